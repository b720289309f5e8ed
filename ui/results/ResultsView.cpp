#include "ui/results/ResultsView.h"

#include "ui/results/FilesPanel.h"
#include "ui/results/FlameGraphView.h"
#include "ui/results/FunctionTableModel.h"
#include "ui/results/ResultsTable.h"
#include "ui/results/TaskTableModel.h"
#include "ui/results/TimelineCanvas.h"
#include "ui/results/TimelineView.h"

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QSortFilterProxyModel>
#include <QTableView>

namespace hookmeter {

TResultsView::TResultsView(QWidget* parent) : QTabWidget(parent) {
    setObjectName(QStringLiteral("TabsResults"));
    FunctionModel = new TFunctionTableModel;
    TaskModel = new TTaskTableModel;
    Functions = new TResultsTable(FunctionModel, QStringLiteral("Functions"), this);
    Tasks = new TResultsTable(TaskModel, QStringLiteral("Tasks"), this);
    FlameGraph = new TFlameGraphView(this);
    TimelineTab = new TTimelineView(this);
    Files = new TFilesPanel(this);
    // The functions and tasks that take the most time come first.
    Functions->SetDefaultOrder(TFunctionTableModel::ShareColumn, Qt::DescendingOrder);
    Tasks->SetDefaultOrder(TTaskTableModel::ShareColumn, Qt::DescendingOrder);
    addTab(Functions, tr("Functions"));
    addTab(Tasks, tr("Tasks"));
    addTab(FlameGraph, tr("Flame graph"));
    addTab(TimelineTab, tr("Timeline"));
    addTab(Files, tr("Files"));
    // Beside the tabs, where it takes no height from them.
    Caption = new QLabel(this);
    Caption->setObjectName(QStringLiteral("LabelResultsCaption"));
    Caption->setTextInteractionFlags(Qt::TextSelectableByMouse);
    Caption->setContentsMargins(6, 0, 6, 0);
    setCornerWidget(Caption, Qt::TopRightCorner);

    connect(Functions, &TResultsTable::RowActivated, this,
            [this](int row) { Functions->ShowDetails(WorstCallText(row)); });
    connect(Tasks, &TResultsTable::RowActivated, this,
            [this](int row) { Tasks->ShowDetails(LongestSliceText(row)); });
    OfferOnRows(Functions, tr("Show worst call"), "ActionShowWorstCall",
                &TResultsView::ShowWorstCall);
    OfferOnRows(Tasks, tr("Show longest run slice"), "ActionShowLongestSlice",
                &TResultsView::ShowLongestSlice);
    connect(FlameGraph, &TFlameGraphView::ShowCallsRequested, this, &TResultsView::ShowCallsOf);
}

void TResultsView::OfferOnRows(TResultsTable* table, const QString& text, const char* name,
                               void (TResultsView::*show)(int modelRow)) {
    QTableView* view = table->View();
    auto* action = new QAction(text, view);
    action->setObjectName(QString::fromLatin1(name));
    action->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_T));
    action->setShortcutContext(Qt::WidgetShortcut);
    view->addAction(action);
    const auto modelRow = [view] {
        auto* proxy = qobject_cast<QSortFilterProxyModel*>(view->model());
        QModelIndex current = view->currentIndex();
        return current.isValid() && proxy ? proxy->mapToSource(current).row() : -1;
    };
    connect(action, &QAction::triggered, this, [this, show, modelRow] {
        if (int row = modelRow(); row >= 0)
            (this->*show)(row);
    });
    view->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(view, &QWidget::customContextMenuRequested, this, [view, action](QPoint at) {
        QModelIndex index = view->indexAt(at);
        if (!index.isValid())
            return;
        view->setCurrentIndex(index);
        QMenu menu(view);
        menu.addAction(action);
        menu.exec(view->viewport()->mapToGlobal(at));
    });
}

void TResultsView::ShowWorstCall(int functionRow) {
    if (!Results || size_t(functionRow) >= Results->Functions.size())
        return;
    if (TimelineTab->ShowWorstCall(Results->Functions[size_t(functionRow)])) {
        setCurrentWidget(TimelineTab);
        TimelineTab->Canvas()->setFocus();
    } else {
        Functions->ShowDetails(tr("The timeline does not hold this call."));
    }
}

void TResultsView::ShowLongestSlice(int taskRow) {
    if (TimelineTab->ShowLongestSlice(size_t(taskRow))) {
        setCurrentWidget(TimelineTab);
        TimelineTab->Canvas()->setFocus();
    } else {
        Tasks->ShowDetails(tr("The timeline does not hold a run slice of this task."));
    }
}

void TResultsView::ShowCallsOf(uint32_t node) {
    if (TimelineTab->ShowCallsOf(node)) {
        setCurrentWidget(TimelineTab);
        TimelineTab->Canvas()->setFocus();
    }
}

void TResultsView::SetResults(std::shared_ptr<const TJobResults> results) {
    Results = results;
    FunctionModel->SetResults(results);
    TaskModel->SetResults(results);
    FlameGraph->SetResults(results);
    TimelineTab->SetResults(results);
    Files->SetResults(results);
}

void TResultsView::SetCaption(const QString& text, const QString& rawFile, bool previous) {
    Caption->setText(text);
    Caption->setToolTip(rawFile);
    QFont font = Caption->font();
    font.setItalic(previous);
    Caption->setFont(font);
    Caption->setForegroundRole(previous ? QPalette::PlaceholderText : QPalette::WindowText);
    Caption->setProperty("previous", previous);
}

void TResultsView::DropTimeline() {
    if (!Results || !Results->Tracks)
        return;
    auto kept = std::make_shared<TJobResults>(*Results);
    kept->Tracks.reset();
    SetResults(std::move(kept));
}

void TResultsView::SetCycleFormat(const TCycleFormat& format) {
    Format = format;
    FunctionModel->SetCycleFormat(format);
    TaskModel->SetCycleFormat(format);
    FlameGraph->SetCycleFormat(format);
    TimelineTab->SetCycleFormat(format);
}

QString TResultsView::WorstCallText(int functionRow) const {
    if (!Results || functionRow < 0 || size_t(functionRow) >= Results->Functions.size())
        return {};
    const TFunctionResult& function = Results->Functions[size_t(functionRow)];
    return tr("Worst call of %1: %2 inclusive, entered at TSC %3 in task %4, by way of %5")
        .arg(QString::fromStdString(function.Name), Format.Amount(function.Inclusive.Max),
             QString::number(function.WorstEnterTSC), QString::fromStdString(function.WorstTask),
             QString::fromStdString(function.WorstPath)
                 .replace(QLatin1Char(';'), QStringLiteral(" \u25b8 ")));
}

QString TResultsView::LongestSliceText(int taskRow) const {
    if (!Results || taskRow < 0 || size_t(taskRow) >= Results->Tasks.size())
        return {};
    const TTaskResult& task = Results->Tasks[size_t(taskRow)];
    return tr("Longest run slice of %1: %2, started at TSC %3; maximum call stack depth %4")
        .arg(QString::fromStdString(task.Name), Format.Amount(task.Slices.Max),
             QString::number(task.LongestSliceTSC))
        .arg(task.MaxStackDepth);
}

} // namespace hookmeter
