#include "ui/results/TimelineView.h"

#include "analysis/CallTracks.h"
#include "ui/results/TimeAxis.h"
#include "ui/results/TimelineCanvas.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QStandardItemModel>
#include <QTableView>
#include <QVBoxLayout>
#include <vector>

namespace hookmeter {

namespace {

constexpr int SortRole = Qt::UserRole;

QStandardItem* Item(const QString& text, const QVariant& sortValue) {
    auto* item = new QStandardItem(text);
    item->setData(sortValue, SortRole);
    item->setEditable(false);
    return item;
}

} // namespace

TTimelineView::TTimelineView(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("TimelineTab"));
    Search = new QLineEdit(this);
    Search->setObjectName(QStringLiteral("EditTimelineSearch"));
    Search->setPlaceholderText(tr("Highlight the calls of functions"));
    Search->setClearButtonEnabled(true);
    auto* keys = new QLabel(
        tr("Wheel: zoom \u00b7 drag: pan \u00b7 Shift+drag: select a range \u00b7 + \u2212 "
           "arrows Home \u00b7 click: select a call \u00b7 double-click: zoom to it \u00b7 N, P: "
           "its function's next, previous call"),
        this);
    keys->setWordWrap(true);
    Timeline = new TTimelineCanvas(this);
    Details = new QLabel(this);
    Details->setObjectName(QStringLiteral("LabelTimelineDetails"));
    Details->setTextInteractionFlags(Qt::TextSelectableByMouse);
    Details->setWordWrap(true);
    RangeText = new QLabel(this);
    RangeText->setObjectName(QStringLiteral("LabelTimelineRange"));
    RangeModel = new QStandardItemModel(this);
    RangeModel->setSortRole(SortRole);
    RangeTable = new QTableView(this);
    RangeTable->setObjectName(QStringLiteral("TableTimelineRange"));
    RangeTable->setModel(RangeModel);
    RangeTable->setSortingEnabled(true);
    RangeTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
    RangeTable->setSelectionBehavior(QAbstractItemView::SelectRows);
    RangeTable->verticalHeader()->hide();
    RangeTable->verticalHeader()->setDefaultSectionSize(RangeTable->fontMetrics().height() + 6);
    RangeTable->setMaximumHeight(9 * (RangeTable->fontMetrics().height() + 6));
    RangeText->hide();
    RangeTable->hide();

    auto* bar = new QHBoxLayout;
    bar->addWidget(Search, 1);
    bar->addWidget(keys, 3);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->addLayout(bar);
    column->addWidget(Timeline, 1);
    column->addWidget(Details);
    column->addWidget(RangeText);
    column->addWidget(RangeTable);

    SearchDelay.setSingleShot(true);
    SearchDelay.setInterval(250);
    connect(Search, &QLineEdit::textChanged, &SearchDelay, qOverload<>(&QTimer::start));
    connect(&SearchDelay, &QTimer::timeout, this, [this] { Timeline->SetSearch(Search->text()); });
    connect(Timeline, &TTimelineCanvas::CallSelected, this, &TTimelineView::ShowSelection);
    connect(Timeline, &TTimelineCanvas::RangeSelected, this, &TTimelineView::ShowRange);
}

void TTimelineView::SetResults(std::shared_ptr<const TJobResults> results) {
    Results = results;
    Timeline->SetResults(std::move(results));
    Timeline->SetSearch(Search->text());
}

void TTimelineView::SetCycleFormat(const TCycleFormat& format) {
    Format = format;
    Timeline->SetCycleFormat(format);
    ShowSelection();
    ShowRange();
}

bool TTimelineView::ShowWorstCall(const TFunctionResult& function) {
    const TCallTracks* tracks = Timeline->Tracks();
    if (!tracks)
        return false;
    int32_t index = tracks->FunctionOfAddress(function.Address);
    if (index < 0)
        return false;
    for (uint32_t task = 0; task < tracks->Tasks().size(); ++task) {
        if (tracks->Tasks()[task].Name != function.WorstTask)
            continue;
        TRecordId id = tracks->FindCall(uint32_t(index), task, function.WorstEnterTSC);
        if (id != NoRecord) {
            Timeline->WalkPath(0, {});
            Timeline->ShowCall(id);
            return true;
        }
    }
    return false;
}

bool TTimelineView::ShowLongestSlice(size_t task) {
    if (!Results || task >= Results->Tasks.size() || !Timeline->Tracks())
        return false;
    const TTaskResult& result = Results->Tasks[task];
    if (result.SlicesCounted == 0)
        return false;
    uint64_t from = result.LongestSliceTSC, to = from + result.Slices.Max;
    Timeline->ShowSpan(from, to);
    Timeline->SelectRange(from, to);
    return true;
}

bool TTimelineView::ShowCallsOf(uint32_t node) {
    const TCallTracks* tracks = Timeline->Tracks();
    if (!tracks || !Results || node >= Results->CallTree.Nodes.size())
        return false;
    const TCallTree& tree = Results->CallTree;
    std::vector<uint32_t> nodes;
    tree.PathTo(node, nodes);
    if (nodes.size() < 2)
        return false;
    // Node names: a task's index in the task table, or the task count plus a function's index.
    uint32_t taskCount = uint32_t(Results->Tasks.size());
    uint32_t taskIndex = tree.Nodes[nodes[0]].Name;
    std::vector<uint32_t> path;
    for (size_t i = 1; i < nodes.size(); ++i)
        path.push_back(tree.Nodes[nodes[i]].Name - taskCount);
    for (uint32_t task = 0; task < tracks->Tasks().size(); ++task) {
        if (tracks->Tasks()[task].Index != taskIndex)
            continue;
        TRecordId id = tracks->FirstCallOnPath(task, path);
        if (id == NoRecord)
            return false;
        Timeline->WalkPath(task, path);
        Timeline->ShowCall(id);
        return true;
    }
    return false;
}

void TTimelineView::ShowSelection() {
    const TCallTracks* tracks = Timeline->Tracks();
    TRecordId id = Timeline->SelectedCall();
    if (!tracks || id == NoRecord) {
        Details->clear();
        return;
    }
    std::vector<TTrackCall> path = tracks->PathOf(id);
    const TCallTracks::TTrackData& track = tracks->Track(path.back().Track);
    QStringList names{QString::fromStdString(tracks->Tasks()[track.Task].Name)};
    for (const TTrackCall& call : path)
        names.append(QString::fromStdString(tracks->Functions()[call.Function].Name));
    const TTrackCall& call = path.back();
    QString figures =
        call.Cut ? tr("entered at TSC %1, given up without exit at TSC %2")
                       .arg(qulonglong(call.Enter))
                       .arg(qulonglong(call.End))
                 : tr("entered at TSC %1, exit at TSC %2, inclusive %3, exclusive %4")
                       .arg(qulonglong(call.Enter))
                       .arg(qulonglong(call.End))
                       .arg(Format.Text(call.End - call.Enter), Format.Text(call.Exclusive));
    Details->setText(names.join(QStringLiteral(" \u25b8 ")) + QStringLiteral(": ") + figures);
}

void TTimelineView::ShowRange() {
    const TCallTracks* tracks = Timeline->Tracks();
    RangeModel->clear();
    if (!tracks || !Timeline->HasRange()) {
        RangeText->hide();
        RangeTable->hide();
        return;
    }
    uint64_t from = Timeline->RangeFrom(), to = Timeline->RangeTo();
    TCallTracks::TRangeFigures figures = tracks->Figures(from, to);
    double length = double(to - from);
    RangeText->setText(tr("Range from TSC %1 to %2: %3. Cycles inside it: each task's run slices, "
                          "each function's exclusive cycles.")
                           .arg(qulonglong(from))
                           .arg(qulonglong(to))
                           .arg(AxisLength(length, Format)));
    RangeModel->setHorizontalHeaderLabels({tr("Kind"), tr("Name"), tr("Cycles"), tr("Share")});
    const auto add = [&](const QString& kind, const std::string& name, uint64_t cycles) {
        RangeModel->appendRow(
            {Item(kind, kind), Item(QString::fromStdString(name), QString::fromStdString(name)),
             Item(Format.Text(cycles), qulonglong(cycles)),
             Item(QString::number(100.0 * double(cycles) / length, 'f', 2) + QStringLiteral(" %"),
                  double(cycles))});
    };
    for (size_t task = 0; task < figures.TaskCycles.size(); ++task)
        if (figures.TaskCycles[task] != 0)
            add(tr("Task"), tracks->Tasks()[task].Name, figures.TaskCycles[task]);
    for (size_t function = 0; function < figures.FunctionCycles.size(); ++function)
        if (figures.FunctionCycles[function] != 0)
            add(tr("Function"), tracks->Functions()[function].Name,
                figures.FunctionCycles[function]);
    RangeTable->sortByColumn(2, Qt::DescendingOrder);
    RangeTable->resizeColumnsToContents();
    RangeText->show();
    RangeTable->show();
}

} // namespace hookmeter
