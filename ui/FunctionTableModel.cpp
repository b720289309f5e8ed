#include "ui/FunctionTableModel.h"

namespace hookmeter {

namespace {

using TKind = TResultsTableModel::TColumnKind;

QVariant Number(uint64_t value) {
    return QVariant::fromValue<qulonglong>(value);
}

} // namespace

TFunctionTableModel::TFunctionTableModel(QObject* parent) : TResultsTableModel(parent) {
    const auto of = [this](auto read) {
        return [this, read](int row) { return read(Function(row)); };
    };
    using F = const TFunctionResult&;
    Columns = {
        {tr("Name"), TKind::Text, of([](F f) { return QVariant(QString::fromStdString(f.Name)); })},
        {tr("Address"), TKind::Address, of([](F f) { return Number(f.Address); })},
        {tr("Calls"), TKind::Count, of([](F f) { return Number(f.Calls); })},
        {tr("Incl min"), TKind::Cycles, of([](F f) { return Number(f.Inclusive.Min); })},
        {tr("Incl avg"), TKind::Cycles, of([](F f) { return QVariant(f.Inclusive.Mean); })},
        {tr("Incl P50"), TKind::Cycles, of([](F f) { return Number(f.Inclusive.P50); })},
        {tr("Incl P90"), TKind::Cycles, of([](F f) { return Number(f.Inclusive.P90); })},
        {tr("Incl P99"), TKind::Cycles, of([](F f) { return Number(f.Inclusive.P99); })},
        {tr("Incl max"), TKind::Cycles, of([](F f) { return Number(f.Inclusive.Max); })},
        {tr("Excl min"), TKind::Cycles, of([](F f) { return Number(f.Exclusive.Min); })},
        {tr("Excl avg"), TKind::Cycles, of([](F f) { return QVariant(f.Exclusive.Mean); })},
        {tr("Excl P50"), TKind::Cycles, of([](F f) { return Number(f.Exclusive.P50); })},
        {tr("Excl P90"), TKind::Cycles, of([](F f) { return Number(f.Exclusive.P90); })},
        {tr("Excl P99"), TKind::Cycles, of([](F f) { return Number(f.Exclusive.P99); })},
        {tr("Excl max"), TKind::Cycles, of([](F f) { return Number(f.Exclusive.Max); })},
        {tr("Share"), TKind::Percent, of([](F f) { return QVariant(f.Share); })},
    };
}

const TFunctionResult& TFunctionTableModel::Function(int row) const {
    return Results()->Functions.at(size_t(row));
}

int TFunctionTableModel::RowsOf(const TJobResults& results) const {
    return int(results.Functions.size());
}

} // namespace hookmeter
