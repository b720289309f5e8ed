#include "ui/window/ExtraOutputsGroup.h"

#include "ui/common/ErrorBox.h"
#include "ui/window/ExtraOutputNames.h"

#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace hookmeter {

namespace {

struct TRowSetup {
    const char* Name; // object names: CheckBox<Name>, Edit<Name>File, Button<Name>File
    const char* Caption;
    TFileDialogSetup Dialog;
};

const TRowSetup RowSetups[TExtraOutputsGroup::OutputCount] = {
    {"Timeline",
     "Timeline",
     {"SaveDialogTimelineFile", "save timeline file",
      "Perfetto trace(*.pftrace)|*.pftrace;*.perfetto-trace|Trace Event JSON file(*.json)|*.json",
      ".pftrace", QFileDialog::AcceptSave}},
    {"Folded",
     "Folded stacks",
     {"SaveDialogFoldedFile", "save folded stacks file", "Text file(*.txt)|*.txt|all files|*.*",
      ".txt", QFileDialog::AcceptSave}},
    {"Stats",
     "Statistics (CSV)",
     {"SaveDialogStatsFile", "save statistics file",
      "Comma Separated Values file(*.csv)|*.csv|all files|*.*", ".csv", QFileDialog::AcceptSave}},
};

constexpr double MaxClockMHz = 100000;

} // namespace

TExtraOutputsGroup::TExtraOutputsGroup(QWidget* parent)
    : QGroupBox(tr("More outputs and the DSP clock"), parent) {
    setObjectName(QStringLiteral("GroupBoxExtraOutputs"));
    auto* grid = new QGridLayout(this);
    for (int i = 0; i < OutputCount; ++i) {
        const TRowSetup& setup = RowSetups[i];
        const QString name = QString::fromLatin1(setup.Name);
        TRow& row = Rows[i];
        row.Check = new QCheckBox(tr(setup.Caption), this);
        row.Check->setObjectName(QStringLiteral("CheckBox") + name);
        row.Edit = new QLineEdit(this);
        row.Edit->setObjectName(QStringLiteral("Edit%1File").arg(name));
        row.Browse = new QPushButton(QStringLiteral("browser..."), this);
        row.Browse->setObjectName(QStringLiteral("Button%1File").arg(name));
        row.Dialog = std::make_unique<TFileChooser>(setup.Dialog, this);
        grid->addWidget(row.Check, i, 0);
        grid->addWidget(row.Edit, i, 1);
        grid->addWidget(row.Browse, i, 2);
        connect(row.Browse, &QPushButton::clicked, this, [this, &row] {
            RunGuarded(this, [&row] {
                if (const auto chosen = row.Dialog->Choose()) {
                    row.Edit->setText(*chosen);
                    row.Check->setChecked(true);
                }
            });
        });
    }
    auto* clockLabel = new QLabel(tr("DSP clock (MHz)"), this);
    Clock = new QDoubleSpinBox(this);
    Clock->setObjectName(QStringLiteral("EditClockMHz"));
    Clock->setRange(0, MaxClockMHz);
    Clock->setDecimals(3);
    Clock->setGroupSeparatorShown(false);
    Clock->setSpecialValueText(tr("none: show cycles"));
    Rows[Timeline].Check->setToolTip(
        tr("A name ending in .pftrace writes a Perfetto trace (for the "
           "Perfetto UI), one ending in .json Trace Event JSON"));
    Clock->setToolTip(tr("With the DSP's clock rate, cycles are shown as time"));
    clockLabel->setBuddy(Clock);
    grid->addWidget(clockLabel, OutputCount, 0);
    grid->addWidget(Clock, OutputCount, 1, Qt::AlignLeft);
    grid->setColumnStretch(1, 1);
    connect(Clock, &QDoubleSpinBox::valueChanged, this,
            [this](double megahertz) { emit ClockChanged(megahertz * 1e6); });
}

TExtraOutputsGroup::~TExtraOutputsGroup() = default;

void TExtraOutputsGroup::SetRawFileName(const QString& rawDataFileName) {
    const TExtraOutputNames names = DeriveExtraOutputNames(rawDataFileName);
    Rows[Timeline].Edit->setText(names.TimelineFileName);
    Rows[Folded].Edit->setText(names.FoldedFileName);
    Rows[Stats].Edit->setText(names.StatsFileName);
}

bool TExtraOutputsGroup::IsChosen(TOutput output) const {
    return Rows[output].Check->isChecked();
}

void TExtraOutputsGroup::SetChosen(TOutput output, bool chosen) {
    Rows[output].Check->setChecked(chosen);
}

QString TExtraOutputsGroup::FileName(TOutput output) const {
    return Rows[output].Edit->text();
}

void TExtraOutputsGroup::SetFileName(TOutput output, const QString& fileName) {
    Rows[output].Edit->setText(fileName);
}

QString TExtraOutputsGroup::JobFileName(TOutput output) const {
    return IsChosen(output) ? FileName(output) : QString();
}

double TExtraOutputsGroup::ClockMHz() const {
    return Clock->value();
}

void TExtraOutputsGroup::SetClockMHz(double megahertz) {
    Clock->setValue(megahertz);
}

std::vector<QWidget*> TExtraOutputsGroup::FocusOrder() const {
    std::vector<QWidget*> order;
    for (const TRow& row : Rows)
        order.insert(order.end(), {row.Check, row.Edit, row.Browse});
    order.push_back(Clock);
    return order;
}

} // namespace hookmeter
