#include "ui/results/ResultsTableModel.h"

namespace hookmeter {

void TResultsTableModel::SetResults(std::shared_ptr<const TJobResults> results) {
    beginResetModel();
    JobResults = std::move(results);
    Rows = JobResults ? RowsOf(*JobResults) : 0;
    endResetModel();
}

void TResultsTableModel::SetCycleFormat(const TCycleFormat& format) {
    Format = format;
    if (Rows > 0)
        emit dataChanged(index(0, 0), index(Rows - 1, columnCount() - 1), {Qt::DisplayRole});
}

int TResultsTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : Rows;
}

int TResultsTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(Columns.size());
}

QVariant TResultsTableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= Rows || index.column() >= columnCount())
        return {};
    const TColumn& column = Columns[size_t(index.column())];
    if (role == Qt::TextAlignmentRole)
        return column.Kind == TColumnKind::Text ? int(Qt::AlignLeft | Qt::AlignVCenter)
                                                : int(Qt::AlignRight | Qt::AlignVCenter);
    if (role != Qt::DisplayRole && role != SortRole && role != Qt::ToolTipRole)
        return {};
    const QVariant value = column.Value(index.row());
    if (role == SortRole)
        return value;
    switch (column.Kind) {
    case TColumnKind::Text:
        return value;
    case TColumnKind::Address:
        return QStringLiteral("0x%1").arg(value.toULongLong(), 8, 16, QLatin1Char('0'));
    case TColumnKind::Count:
        return QString::number(value.toULongLong());
    case TColumnKind::Cycles:
        return Format.Text(value.toDouble());
    case TColumnKind::Percent:
        return QString::number(value.toDouble(), 'f', 2) + QStringLiteral(" %");
    }
    return {};
}

QVariant TResultsTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
        section >= columnCount())
        return {};
    return Columns[size_t(section)].Header;
}

void TResultsTableModel::AddDistributionColumns(const QString& prefix,
                                                std::function<const TDistribution&(int row)> of) {
    const auto column = [&](const char* name, auto read) {
        Columns.push_back({tr("%1 %2").arg(prefix, QLatin1String(name)), TColumnKind::Cycles,
                           [of, read](int row) { return read(of(row)); }});
    };
    using D = const TDistribution&;
    column("min", [](D d) { return Number(d.Min); });
    column("avg", [](D d) { return Number(d.Mean); });
    column("P50", [](D d) { return Number(d.P50); });
    column("P90", [](D d) { return Number(d.P90); });
    column("P99", [](D d) { return Number(d.P99); });
    column("max", [](D d) { return Number(d.Max); });
}

} // namespace hookmeter
