// The Functions table: one row per function that completed a call, with its call count, the
// distributions of its inclusive and exclusive cycles, and its share of all exclusive cycles.
#pragma once

#include "ui/results/ResultsTableModel.h"

namespace hookmeter {

class TFunctionTableModel final : public TResultsTableModel {
    Q_OBJECT
public:
    enum TColumnIndex {
        NameColumn,
        AddressColumn,
        CallsColumn,
        InclMinColumn,
        InclAvgColumn,
        InclP50Column,
        InclP90Column,
        InclP99Column,
        InclMaxColumn,
        ExclMinColumn,
        ExclAvgColumn,
        ExclP50Column,
        ExclP90Column,
        ExclP99Column,
        ExclMaxColumn,
        ShareColumn,
    };

    explicit TFunctionTableModel(QObject* parent = nullptr);
    const TFunctionResult& Function(int row) const;

protected:
    int RowsOf(const TJobResults& results) const override;
};

} // namespace hookmeter
