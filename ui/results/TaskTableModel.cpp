#include "ui/results/TaskTableModel.h"

namespace hookmeter {

using TKind = TResultsTableModel::TColumnKind;

TTaskTableModel::TTaskTableModel(QObject* parent) : TResultsTableModel(parent) {
    const auto of = [this](auto read) { return [this, read](int row) { return read(Task(row)); }; };
    using T = const TTaskResult&;
    Columns = {
        {tr("Name"), TKind::Text, of([](T t) { return QVariant(QString::fromStdString(t.Name)); })},
        {tr("Handle"), TKind::Address, of([](T t) { return Number(t.Handle); })},
        {tr("Switch-ins"), TKind::Count, of([](T t) { return Number(t.SwitchIns); })},
    };
    AddDistributionColumns(tr("Slice"),
                           [this](int row) -> const TDistribution& { return Task(row).Slices; });
    Columns.insert(Columns.end(),
                   {
                       {tr("Total"), TKind::Cycles, of([](T t) { return Number(t.TotalCycles); })},
                       {tr("Share"), TKind::Percent, of([](T t) { return QVariant(t.Share); })},
                       {tr("Max stack depth"), TKind::Count,
                        of([](T t) { return QVariant::fromValue<qlonglong>(t.MaxStackDepth); })},
                   });
}

const TTaskResult& TTaskTableModel::Task(int row) const {
    return Results()->Tasks.at(size_t(row));
}

int TTaskTableModel::RowsOf(const TJobResults& results) const {
    return int(results.Tasks.size());
}

} // namespace hookmeter
