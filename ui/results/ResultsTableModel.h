// TResultsTableModel: a read-only table of one finished job's figures. Subclasses name the columns
// and how each value is read from a row; this class shows them (cycles as cycles or as time) and
// gives the plain numbers under SortRole, so that sorting goes by value and not by text.
#pragma once

#include "analysis/JobResults.h"
#include "ui/common/CycleFormat.h"

#include <QAbstractTableModel>
#include <QString>
#include <QVariant>
#include <functional>
#include <memory>
#include <vector>

namespace hookmeter {

class TResultsTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    static constexpr int SortRole = Qt::UserRole;

    enum class TColumnKind { Text, Address, Count, Cycles, Percent };
    struct TColumn {
        QString Header;
        TColumnKind Kind;
        std::function<QVariant(int row)> Value; // a number for every kind but Text
    };

    // The results stay shared with the window for as long as the model shows them.
    void SetResults(std::shared_ptr<const TJobResults> results);
    void SetCycleFormat(const TCycleFormat& format);
    const TJobResults* Results() const { return JobResults.get(); }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

protected:
    explicit TResultsTableModel(QObject* parent) : QAbstractTableModel(parent) {}
    // Called with every new set of results.
    virtual int RowsOf(const TJobResults& results) const = 0;
    // Appends the minimum, average, P50, P90, P99 and maximum of the distribution `of` reads
    // from a row, headed "<prefix> min", "<prefix> avg" and so on.
    void AddDistributionColumns(const QString& prefix,
                                std::function<const TDistribution&(int row)> of);
    static QVariant Number(uint64_t value) { return QVariant::fromValue<qulonglong>(value); }
    std::vector<TColumn> Columns;

private:
    std::shared_ptr<const TJobResults> JobResults;
    int Rows = 0;
    TCycleFormat Format;
};

} // namespace hookmeter
