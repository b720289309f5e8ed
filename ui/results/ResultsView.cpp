#include "ui/results/ResultsView.h"

#include "ui/results/FilesPanel.h"
#include "ui/results/FlameGraphView.h"
#include "ui/results/FunctionTableModel.h"
#include "ui/results/ResultsTable.h"
#include "ui/results/TaskTableModel.h"

#include <QLabel>

namespace hookmeter {

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
}

void TResultsView::SetResults(std::shared_ptr<const TJobResults> results) {
    Results = results;
    FunctionModel->SetResults(results);
    TaskModel->SetResults(results);
    FlameGraph->SetResults(results);
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
