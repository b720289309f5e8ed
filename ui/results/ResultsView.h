// TResultsView: the results of the last finished job, in tabs: Functions, Tasks, Flame graph,
// Timeline and Files, with a caption that says whose results they are. Everything comes from the
// job's results in memory, never from the files it wrote. The tables' rows and the flame graph's
// frames lead to their calls on the timeline.
#pragma once

#include "analysis/JobResults.h"
#include "ui/common/CycleFormat.h"

#include <QTabWidget>
#include <memory>

class QLabel;

namespace hookmeter {

class TFilesPanel;
class TFlameGraphView;
class TFunctionTableModel;
class TResultsTable;
class TTaskTableModel;
class TTimelineView;

class TResultsView final : public QTabWidget {
    Q_OBJECT
public:
    explicit TResultsView(QWidget* parent = nullptr);

    void SetResults(std::shared_ptr<const TJobResults> results);
    // Keeps showing the results without their timeline, whose memory and temporary file go
    // once no one else holds them.
    void DropTimeline();
    void SetCycleFormat(const TCycleFormat& format);
    // Which job the results belong to; `previous`: an earlier job than the last one, whose
    // inputs they do not show. The raw file's full path is the caption's tool tip.
    void SetCaption(const QString& text, const QString& rawFile, bool previous);

    // What a double-click on a row shows.
    QString WorstCallText(int functionRow) const;
    QString LongestSliceText(int taskRow) const;
    TTimelineView* Timeline() const { return TimelineTab; }

private:
    // Adds the action to the table's context menu and binds its key there.
    void OfferOnRows(TResultsTable* table, const QString& text, const char* name,
                     void (TResultsView::*show)(int modelRow));
    void ShowWorstCall(int functionRow);
    void ShowLongestSlice(int taskRow);
    void ShowCallsOf(uint32_t node);

    std::shared_ptr<const TJobResults> Results;
    TCycleFormat Format;
    TFunctionTableModel* FunctionModel = nullptr;
    TTaskTableModel* TaskModel = nullptr;
    TResultsTable* Functions = nullptr;
    TResultsTable* Tasks = nullptr;
    TFlameGraphView* FlameGraph = nullptr;
    TTimelineView* TimelineTab = nullptr;
    TFilesPanel* Files = nullptr;
    QLabel* Caption = nullptr;
};

} // namespace hookmeter
