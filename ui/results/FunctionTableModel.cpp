#include "ui/results/FunctionTableModel.h"

namespace hookmeter {

using TKind = TResultsTableModel::TColumnKind;

TFunctionTableModel::TFunctionTableModel(QObject* parent) : TResultsTableModel(parent) {
    const auto of = [this](auto read) {
        return [this, read](int row) { return read(Function(row)); };
    };
    using F = const TFunctionResult&;
    Columns = {
        {tr("Name"), TKind::Text, of([](F f) { return QVariant(QString::fromStdString(f.Name)); })},
        {tr("Address"), TKind::Address, of([](F f) { return Number(f.Address); })},
        {tr("Calls"), TKind::Count, of([](F f) { return Number(f.Calls); })},
    };
    AddDistributionColumns(
        tr("Incl"), [this](int row) -> const TDistribution& { return Function(row).Inclusive; });
    AddDistributionColumns(
        tr("Excl"), [this](int row) -> const TDistribution& { return Function(row).Exclusive; });
    Columns.push_back({tr("Share"), TKind::Percent, of([](F f) { return QVariant(f.Share); })});
}

const TFunctionResult& TFunctionTableModel::Function(int row) const {
    return Results()->Functions.at(size_t(row));
}

int TFunctionTableModel::RowsOf(const TJobResults& results) const {
    return int(results.Functions.size());
}

} // namespace hookmeter
