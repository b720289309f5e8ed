// The Tasks table: one row per task, with its switch-ins, the distribution of its run slices, its
// total and share of all task cycles, and the deepest its call stack went.
#pragma once

#include "ui/results/ResultsTableModel.h"

namespace hookmeter {

class TTaskTableModel final : public TResultsTableModel {
    Q_OBJECT
public:
    enum TColumnIndex {
        NameColumn,
        HandleColumn,
        SwitchInsColumn,
        MinColumn,
        AvgColumn,
        P50Column,
        P90Column,
        P99Column,
        MaxColumn,
        TotalColumn,
        ShareColumn,
        MaxStackDepthColumn,
    };

    explicit TTaskTableModel(QObject* parent = nullptr);
    const TTaskResult& Task(int row) const;

protected:
    int RowsOf(const TJobResults& results) const override;
};

} // namespace hookmeter
