// TFlameGraphView: the Flame graph tab: a search box, a zoom-out button with the path of the frame
// zoomed into, and the flame graph itself, scrolled when it is deeper than the tab. A right click
// on a frame offers its calls on the timeline and zooming out.
#pragma once

#include "analysis/JobResults.h"
#include "ui/common/CycleFormat.h"

#include <QWidget>
#include <memory>

class QLabel;
class QLineEdit;
class QPushButton;

namespace hookmeter {

class TFlameGraph;

class TFlameGraphView final : public QWidget {
    Q_OBJECT
public:
    explicit TFlameGraphView(QWidget* parent = nullptr);

    void SetResults(std::shared_ptr<const TJobResults> results);
    void SetCycleFormat(const TCycleFormat& format);

signals:
    // "Show calls on the timeline" was chosen for the frame of this call-tree node.
    void ShowCallsRequested(uint32_t node);

private:
    void ShowZoom(uint32_t node);

    std::shared_ptr<const TJobResults> Results;
    QLineEdit* Search = nullptr;
    QPushButton* ZoomOutButton = nullptr;
    QLabel* ZoomPath = nullptr;
    TFlameGraph* FlameGraph = nullptr;
};

} // namespace hookmeter
