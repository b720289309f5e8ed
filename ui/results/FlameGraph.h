// TFlameGraph: the call-path tree of a finished job drawn as a flame graph: one root per task,
// callees below their callers, each frame as wide as its cycles (its own and its callees'). Hover
// tells a frame's name, cycles and share; a click zooms into a frame, Escape zooms out one level;
// frames whose name contains the search text are highlighted.
#pragma once

#include "analysis/JobResults.h"
#include "ui/common/CycleFormat.h"
#include "ui/results/FlameLayout.h"

#include <QString>
#include <QWidget>
#include <memory>
#include <vector>

namespace hookmeter {

class TFlameGraph final : public QWidget {
    Q_OBJECT
public:
    explicit TFlameGraph(QWidget* parent = nullptr);

    void SetResults(std::shared_ptr<const TJobResults> results);
    void SetCycleFormat(const TCycleFormat& format);
    // Highlights the frames whose name contains the text, ignoring case; empty text: none.
    void SetSearch(const QString& text);

    uint32_t ZoomNode() const { return Zoom; }
    void ZoomTo(uint32_t node);
    void ZoomOut();

    // The node of the frame under a point of the widget, or none (0): merged frames have none.
    uint32_t NodeAt(QPoint point) const;
    QString ToolTipAt(QPoint point) const;
    int RowHeight() const { return FrameHeight; }
    const TFlameLayout& Layout() const;
    int MatchingFrames() const; // highlighted frames among those laid out

    QSize sizeHint() const override;

signals:
    void ZoomChanged(uint32_t node);
    // A right click on a frame, where something listens: what it offers is up to the listener.
    void FrameMenuRequested(uint32_t node, QPoint globalPosition);

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    // Lays the frames out again when the tree, the zoom or the width has changed.
    void EnsureLayout() const;
    void Relayout();
    const TCallTree* Tree() const { return Results ? &Results->CallTree : nullptr; }
    bool Matches(uint32_t node) const;
    QColor FrameColour(uint32_t node) const;

    std::shared_ptr<const TJobResults> Results;
    TCycleFormat Format;
    mutable TFlameLayout Frames;
    mutable int LaidOutWidth = -1; // -1: to be laid out again
    uint32_t Zoom = 0;
    int FrameHeight = 18;
    std::vector<bool> NameMatches;         // by name index; empty when nothing is searched
    mutable std::vector<QRgb> NameColours; // by name index, made when first drawn; 0: not yet
};

} // namespace hookmeter
