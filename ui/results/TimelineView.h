// TTimelineView: the Timeline tab: a search box, the timeline itself (TTimelineCanvas), the call
// path and figures of the selected call, and for a selected range its length and the cycles
// each task and each function spent inside it.
#pragma once

#include "analysis/JobResults.h"
#include "ui/common/CycleFormat.h"

#include <QTimer>
#include <QWidget>
#include <cstdint>
#include <memory>

class QLabel;
class QLineEdit;
class QStandardItemModel;
class QTableView;

namespace hookmeter {

class TTimelineCanvas;

class TTimelineView final : public QWidget {
    Q_OBJECT
public:
    explicit TTimelineView(QWidget* parent = nullptr);

    void SetResults(std::shared_ptr<const TJobResults> results);
    void SetCycleFormat(const TCycleFormat& format);
    TTimelineCanvas* Canvas() const { return Timeline; }

    // Each shows its calls on the timeline; false when the timeline has none of them.
    // The function's worst call, selected.
    bool ShowWorstCall(const TFunctionResult& function);
    // The task's longest run slice, as the selected range; `task` indexes the results' tasks.
    bool ShowLongestSlice(size_t task);
    // The first call with the call path of the call tree's node, selected; N and P then go
    // through the calls with that path.
    bool ShowCallsOf(uint32_t node);

private:
    void ShowSelection();
    void ShowRange();

    std::shared_ptr<const TJobResults> Results;
    TCycleFormat Format;
    QLineEdit* Search = nullptr;
    TTimelineCanvas* Timeline = nullptr;
    QLabel* Details = nullptr;
    QLabel* RangeText = nullptr;
    QStandardItemModel* RangeModel = nullptr;
    QTableView* RangeTable = nullptr;
    QTimer SearchDelay;
};

} // namespace hookmeter
