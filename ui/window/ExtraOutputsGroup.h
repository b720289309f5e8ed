// TExtraOutputsGroup: the optional outputs of a job (timeline, folded stacks, statistics), each a
// check box with its file name and a browse button, and the DSP's clock rate, which turns cycles
// into time in the timeline and the results.
#pragma once

#include "ui/common/FileDialogs.h"

#include <QGroupBox>
#include <memory>
#include <vector>

class QCheckBox;
class QDoubleSpinBox;
class QLineEdit;
class QPushButton;

namespace hookmeter {

class TExtraOutputsGroup final : public QGroupBox {
    Q_OBJECT
public:
    enum TOutput { Timeline, Folded, Stats, OutputCount };

    explicit TExtraOutputsGroup(QWidget* parent = nullptr);
    ~TExtraOutputsGroup() override;

    // Derives the three file names from a raw record file name.
    void SetRawFileName(const QString& rawDataFileName);

    bool IsChosen(TOutput output) const;
    void SetChosen(TOutput output, bool chosen);
    QString FileName(TOutput output) const;
    void SetFileName(TOutput output, const QString& fileName);
    // The file name to hand to a job: empty when the output is not chosen.
    QString JobFileName(TOutput output) const;

    double ClockMHz() const;
    void SetClockMHz(double megahertz);

    // The controls in their keyboard focus order.
    std::vector<QWidget*> FocusOrder() const;

signals:
    void ClockChanged(double hz);

private:
    struct TRow {
        QCheckBox* Check = nullptr;
        QLineEdit* Edit = nullptr;
        QPushButton* Browse = nullptr;
        std::unique_ptr<TFileChooser> Dialog;
    };

    TRow Rows[OutputCount];
    QDoubleSpinBox* Clock = nullptr;
};

} // namespace hookmeter
