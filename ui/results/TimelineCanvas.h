// TTimelineCanvas: the job's calls on a time axis. From the top: the ruler; the job's
// inconsistencies as markers; "DSP core" with each task's run slices; the task load, each task's
// share of the core per interval, stacked; then one track per task, in the order the tasks first
// ran, with its calls nested by depth (a flame chart) and its exits without enter as markers on
// its header, which folds the track away when clicked.
//
// Everything drawn comes from the timeline's data (TCallTracks), asked for the boxes of the
// pixels shown: a call at least a pixel wide is a box of its own; narrower neighbours at one
// depth make one grey, hatched box that tells how many calls it holds.
//
// The wheel zooms around the cursor, a drag pans, a drag with Shift selects a range; + and -
// zoom, the arrows pan and scroll, Home shows the whole trace. A click selects a call, a double
// click zooms to it; N and P go to the next and previous call of the selected call's function.
#pragma once

#include "analysis/CallTracks.h"
#include "analysis/JobResults.h"
#include "base/LargeBuffer.h"
#include "ui/common/CycleFormat.h"

#include <QImage>
#include <QString>
#include <QWidget>
#include <memory>
#include <set>
#include <vector>

class QScrollBar;

namespace hookmeter {

class TTimelineCanvas final : public QWidget {
    Q_OBJECT
public:
    explicit TTimelineCanvas(QWidget* parent = nullptr);

    void SetResults(std::shared_ptr<const TJobResults> results);
    void SetCycleFormat(const TCycleFormat& format);
    // Highlights the calls of the functions whose name contains the text, ignoring case.
    void SetSearch(const QString& text);
    const TCallTracks* Tracks() const;

    // The view: its start in cycles from the first record, and its zoom.
    double ViewOffset() const { return Offset; }
    double CyclesPerPixel() const { return Cpp; }
    void SetView(double offset, double cyclesPerPixel);
    int TimeWidth() const;
    void FitAll();
    // Shows [from, to) in the middle of the view, with some room around it.
    void ShowSpan(uint64_t from, uint64_t to);

    TRecordId SelectedCall() const { return Selected; }
    // Selects the call and shows it: zooms to it (with `zoom`, or when it is too narrow to see or
    // out of view), and scrolls its depth into view.
    void ShowCall(TRecordId id, bool zoom = true);
    // The next (or previous) call of the selected call's function, or of the call path set by
    // WalkPath; false when there is none.
    bool Step(bool forward);
    // Restricts Step to the calls with this path (task index, functions from the outermost),
    // until another call is selected by hand.
    void WalkPath(uint32_t task, std::vector<uint32_t> path);

    bool HasRange() const { return RangeToTSC > RangeFromTSC; }
    uint64_t RangeFrom() const { return RangeFromTSC; }
    uint64_t RangeTo() const { return RangeToTSC; }
    void SelectRange(uint64_t from, uint64_t to);

    QSize sizeHint() const override;

signals:
    void CallSelected(TRecordId id); // NoRecord: none
    void RangeSelected();            // or cleared

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    enum class TRowKind { Notes, Core, Load, Task, Calls };
    struct TRow {
        TRowKind Kind;
        int Top; // in the canvas, the scrolled rows at their scrolled place
        int Height;
        uint32_t Task = 0;  // index into the tracks' tasks
        uint32_t Track = 0; // the calls' track, for a row of calls
    };
    // A box as drawn: its pixels and what it shows.
    struct TDrawn {
        int Left, Right;
        TTrackBox Box;
        uint32_t Task = 0; // on the DSP core's row: whose run slices
    };

    void Relayout();
    void ClampView();
    double XOf(uint64_t tsc) const;
    uint64_t TscAt(double x) const;
    uint64_t ViewFrom() const;
    uint64_t ViewTo() const;
    uint64_t MergeCycles(double pixels) const;
    int TimeLeft() const;
    int FixedHeight() const;
    const TRow* RowAt(int y) const;
    const TDrawn* DrawnAt(const TRow& row, int x) const;
    void ZoomAround(double factor, double x);
    void Pan(double pixels);
    void Scroll(int pixels);
    void Select(TRecordId id);
    void ShowRowOf(TRecordId id);
    QString ToolTipAt(QPoint point) const;

    void PaintRuler(QPainter& painter);
    void PaintLabels(QPainter& painter);
    // The boxes of the rows, gathered into Drawn and written into Pixels.
    void GatherMarkers(const TRow& row, uint32_t track);
    void FillCore(const TRow& row);
    void FillLoad(const TRow& row);
    void FillCalls(const TRow& row);
    // What is painted over the pixels.
    void PaintMarkers(QPainter& painter, const TRow& row, const QColor& colour);
    void PaintCallLabels(QPainter& painter, const TRow& row);
    void PaintRange(QPainter& painter);
    QColor FunctionColour(uint32_t function) const;
    QColor TaskColour(uint32_t task) const;

    std::shared_ptr<const TJobResults> Results;
    const TCallTracks* Data = nullptr;
    TCycleFormat Format;
    double Offset = 0; // cycles from the first record at the left edge
    double Cpp = 1;    // cycles per pixel
    int ScrollY = 0;   // pixels the task tracks are scrolled up
    std::vector<TRow> Rows;
    int ContentHeight = 0; // of the scrolled rows
    std::set<uint32_t> Folded;
    std::vector<QRgb> FunctionColours;
    std::unique_ptr<TTrackHighlight> Highlight;
    TRecordId Selected = NoRecord;
    uint32_t PathTask = 0;
    std::vector<uint32_t> Path; // empty: Step goes by function
    uint64_t RangeFromTSC = 0, RangeToTSC = 0;
    // The mouse: where a press was, and whether it pans or selects a range.
    QPoint PressAt;
    double PressOffset = 0;
    int PressScroll = 0;
    bool Pressed = false, Selecting = false, Moved = false;
    QScrollBar* Scrollbar = nullptr;
    // The time area's pixels, written directly: tens of thousands of boxes a repaint would cost a
    // painter's call each.
    struct TPixels {
        TLargeBuffer Memory; // the image's pixels
        QImage Image;
        int ClipTop = 0, ClipBottom = 0; // rows outside are left alone
        void Resize(int width, int height);
        void Fill(int left, int right, int top, int bottom, QRgb colour);
        // Diagonal stripes: what merged boxes look like.
        void Hatch(int left, int right, int top, int bottom, QRgb colour, QRgb stripe);
        std::vector<QRgb> HatchLines; // of the last colours hatched
        QRgb HatchColour = 0, HatchStripe = 0;
    };
    TPixels Pixels;
    mutable std::vector<std::vector<TDrawn>> Drawn; // by row, as last painted
    std::vector<TTrackBox> Boxes;                   // reused while painting
};

} // namespace hookmeter
