#include "ui/results/ResultsView.h"

#include "ui/results/FilesPanel.h"
#include "ui/results/FlameGraphView.h"
#include "ui/results/FunctionTableModel.h"
#include "ui/results/ResultsTable.h"
#include "ui/results/TaskTableModel.h"

namespace hookmeter {

namespace {

QString Hex(uint64_t value) {
    return QStringLiteral("0x%1").arg(value, 0, 16);
}

} // namespace

TResultsView::TResultsView(QWidget* parent) : QTabWidget(parent) {
    setObjectName(QStringLiteral("TabsResults"));
    FunctionModel = new TFunctionTableModel;
    TaskModel = new TTaskTableModel;
    Functions = new TResultsTable(FunctionModel, QStringLiteral("Functions"), this);
    Tasks = new TResultsTable(TaskModel, QStringLiteral("Tasks"), this);
    FlameGraph = new TFlameGraphView(this);
    Files = new TFilesPanel(this);
    // The functions and tasks that take the most time come first.
    Functions->SetDefaultOrder(TFunctionTableModel::ShareColumn, Qt::DescendingOrder);
    Tasks->SetDefaultOrder(TTaskTableModel::ShareColumn, Qt::DescendingOrder);
    addTab(Functions, tr("Functions"));
    addTab(Tasks, tr("Tasks"));
    addTab(FlameGraph, tr("Flame graph"));
    addTab(Files, tr("Files"));

    connect(Functions, &TResultsTable::RowActivated, this,
            [this](int row) { Functions->ShowDetails(WorstCallText(row)); });
    connect(Tasks, &TResultsTable::RowActivated, this,
            [this](int row) { Tasks->ShowDetails(LongestSliceText(row)); });
}

void TResultsView::SetResults(std::shared_ptr<const TJobResults> results) {
    Results = results;
    FunctionModel->SetResults(results);
    TaskModel->SetResults(results);
    FlameGraph->SetResults(results);
    Files->SetResults(results);
}

void TResultsView::SetCycleFormat(const TCycleFormat& format) {
    Format = format;
    FunctionModel->SetCycleFormat(format);
    TaskModel->SetCycleFormat(format);
    FlameGraph->SetCycleFormat(format);
}

QString TResultsView::WorstCallText(int functionRow) const {
    if (!Results || functionRow < 0 || size_t(functionRow) >= Results->Functions.size())
        return {};
    const TFunctionResult& function = Results->Functions[size_t(functionRow)];
    return tr("Worst call of %1: %2 inclusive, entered at TSC %3 in task %4, by way of %5")
        .arg(QString::fromStdString(function.Name), Format.Text(function.Inclusive.Max),
             Hex(function.WorstEnterTSC), QString::fromStdString(function.WorstTask),
             QString::fromStdString(function.WorstPath)
                 .replace(QLatin1Char(';'), QStringLiteral(" \u25b8 ")));
}

QString TResultsView::LongestSliceText(int taskRow) const {
    if (!Results || taskRow < 0 || size_t(taskRow) >= Results->Tasks.size())
        return {};
    const TTaskResult& task = Results->Tasks[size_t(taskRow)];
    return tr("Longest run slice of %1: %2, started at TSC %3; deepest call stack: %4 frames")
        .arg(QString::fromStdString(task.Name), Format.Text(task.Slices.Max),
             Hex(task.LongestSliceTSC))
        .arg(task.MaxStackDepth);
}

} // namespace hookmeter
