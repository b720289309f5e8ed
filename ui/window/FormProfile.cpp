#include "ui/window/FormProfile.h"

#include "hookmeter/Version.h"
#include "ui/common/ErrorBox.h"
#include "ui/results/ResultsView.h"
#include "ui/settings/SettingsFile.h"
#include "ui/window/ExtraOutputsGroup.h"
#include "ui/window/ExtraSettings.h"
#include "ui/window/FormSettingsControls.h"
#include "ui/window/JobControl.h"
#include "ui/window/JobProgressBar.h"
#include "ui/window/OutputNameBoxes.h"
#include "ui/window/WindowGeometry.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QShowEvent>
#include <QSpinBox>
#include <QSplitter>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

namespace hookmeter {

namespace {

// The window is laid out for a screen of 120 pixels per inch; every size scales with the density.
constexpr double DesignDotsPerInch = 120.0;
constexpr int DesignClientWidth = 729;
constexpr int DesignClientHeight = 563;
constexpr int DesignMargin = 8;
constexpr int DesignGroupSpacing = 6;
constexpr int DesignRawFileGroupHeight = 76;
constexpr int DesignDSPoutFileGroupHeight = 63;
constexpr int DesignCallListGroupHeight = 59;
constexpr int DesignProfileGroupHeight = 60;
constexpr int DesignLeftColumnWidth = 202;
constexpr int DesignBrowseWidth = 83;
constexpr int DesignBrowseHeight = 25;
constexpr int DesignLabelColumnWidth = 99;  // the call-stack box starts at 107
constexpr int DesignCallStackBoxWidth = 84; // 63 for the number, 21 for the arrows
constexpr int DesignProcessWidth = 83;
constexpr int DesignProcessHeight = 30;
constexpr int DesignStatusHeight = 222;
// Small enough that the window with its form fits a laptop screen 768 pixels high.
constexpr int DesignMinStatusHeight = 60;
constexpr int DesignMinResultsHeight = 100;
constexpr int DesignResultsHeight = 330; // the window grows by this much on its first start
constexpr int DesignFontPoints = 9;      // 15 pixels high at 120 pixels per inch

const char* const BrowseCaption = "browser...";
const char* const OpeningStatusText =
    "This tool postprocesses the raw data recorded by hook for program profiling. \n"
    "Refer to application note \"Hookmeter\" for how to use this tool and how this tool works.";

const char* const SettingsLostText = "\n\nThe settings of this run are not saved.";

const char* const CsvFilter = "Comma Separated Values file(*.csv)|*.csv|all files|*.*";

const TFileDialogSetup RawFileDialog{
    "OpenDialogRawFile", "open raw function enter/exit record File",
    "*.txt;*.dat;*.bin|*.txt;*.dat;*.bin|all files|*.*", "", QFileDialog::AcceptOpen};
const TFileDialogSetup DSPoutFileDialog{"OpenDialogDSPoutFile", "open DSP.out File be tested",
                                        "DSP executable output file (*.out)|*.out", ".out",
                                        QFileDialog::AcceptOpen};
const TFileDialogSetup CallListFileDialog{"SaveDialogCallListFile", "save function call list file",
                                          CsvFilter, ".csv", QFileDialog::AcceptSave};
const TFileDialogSetup ProfileFileDialog{"SaveDialogProfileFile",
                                         "save function profile summary file", CsvFilter, "",
                                         QFileDialog::AcceptSave};

template <typename Widget> Widget* Named(Widget* widget, const char* objectName) {
    widget->setObjectName(QString::fromLatin1(objectName));
    return widget;
}

std::string JobFileName(const QLineEdit* edit) {
    return QFile::encodeName(edit->text()).toStdString();
}

} // namespace

TFormProfile::TFormProfile(const QString& settingsDirectory)
    : SettingsDirectory(settingsDirectory),
      Settings(LoadSettingsFile(SettingsFilePath(settingsDirectory))) {
    setObjectName(QStringLiteral("FormProfile"));
    setWindowTitle(WindowTitle());
    setFont(QFont(QStringLiteral("Tahoma"), DesignFontPoints));
    DesignScale = logicalDpiY() / DesignDotsPerInch;

    Geometry = new TWindowGeometry(*this);
    BuildControls();
    SetFocusOrder();
    ConnectHandlers();
    OutputNames =
        std::make_unique<TOutputNameBoxes>(EditCallListFile, EditProfileFile, GroupBoxExtraOutputs);
    SettingsControls = std::make_unique<TFormSettingsControls>(TFormSettingsControls::TControls{
        Geometry, FileTypeButtons, EditRawFile, CheckBoxGlobalSymbolOnly, EditDSPoutFile,
        OutputNames.get(), UpDownCallStackSize});

    OpenDialogRawFile = std::make_unique<TFileChooser>(RawFileDialog, this);
    OpenDialogDSPoutFile = std::make_unique<TFileChooser>(DSPoutFileDialog, this);
    SaveDialogCallListFile = std::make_unique<TFileChooser>(CallListFileDialog, this);
    SaveDialogProfileFile = std::make_unique<TFileChooser>(ProfileFileDialog, this);

    Jobs = std::make_unique<TJobControl>(MemoStatus, ButtonProcess, ButtonStop, ProgressJob);
    connect(Jobs.get(), &TJobControl::Ended, this,
            [this](const TJobEnd& end) { RunGuarded(this, [this, &end] { JobEnded(end); }); });
    const QSize designSize(Scaled(DesignClientWidth),
                           Scaled(DesignClientHeight + DesignResultsHeight) +
                               GroupBoxExtraOutputs->sizeHint().height() +
                               ProgressJob->sizeHint().height());
    resize(designSize.boundedTo(Geometry->AvailableOuterSize()));
    EditRawFile->setFocus();
}

TFormProfile::~TFormProfile() {
    // The raw box loses the focus as the window goes; the names need not follow any more.
    disconnect(EditRawFile, nullptr, this, nullptr);
    try {
        SaveSettingsFile(SettingsFilePath(SettingsDirectory), Settings);
    } catch (...) {
        // The window has gone already; the user learns that this run's choices are not kept.
        ShowErrorBox(nullptr, CurrentExceptionText() + QString::fromLatin1(SettingsLostText));
    }
    Jobs.reset(); // waits for a running job; its queued lines never hold it up
}

QString TFormProfile::WindowTitle() {
    return QStringLiteral("Hookmeter v") + QString::fromLatin1(ProgramVersion);
}

int TFormProfile::Scaled(int designPixels) const {
    return int(std::lround(designPixels * DesignScale));
}

// ---- controls and layout ----

void TFormProfile::BuildControls() {
    auto* upper = new QVBoxLayout;
    upper->setContentsMargins(Scaled(DesignMargin), Scaled(DesignMargin), Scaled(DesignMargin), 0);
    upper->setSpacing(Scaled(DesignGroupSpacing));
    upper->addWidget(BuildRawFileGroup());
    upper->addWidget(BuildDSPoutFileGroup());
    // The edit boxes of both input groups start at the same place, after the wider left control.
    const int leftColumn =
        std::max({Scaled(DesignLeftColumnWidth), RadioGroupFileType->sizeHint().width(),
                  CheckBoxGlobalSymbolOnly->sizeHint().width()});
    RadioGroupFileType->setFixedWidth(leftColumn);
    CheckBoxGlobalSymbolOnly->setFixedWidth(leftColumn);
    upper->addWidget(BuildOutputGroup({"GroupBox2", "Output File: call list", "EditCallListFile",
                                       "ButtonCallListFile", DesignCallListGroupHeight},
                                      GroupBoxCallListFile, EditCallListFile, ButtonCallListFile));
    upper->addWidget(
        BuildOutputGroup({"GroupBox3", "Output File: profile summary", "EditProfileFile",
                          "ButtonProfileFile", DesignProfileGroupHeight},
                         GroupBoxProfileFile, EditProfileFile, ButtonProfileFile));
    upper->addLayout(BuildCallStackRow());
    GroupBoxExtraOutputs = new TExtraOutputsGroup(this);
    upper->addWidget(GroupBoxExtraOutputs);
    upper->addLayout(BuildProgressRow());
    BuildResultsArea();
    ShowFormGroups(true);

    // The status box runs along the bottom edge; extra height goes to the results and the status
    // box, none to the form above them.
    auto* window = new QVBoxLayout(this);
    window->setContentsMargins(0, 0, 0, 0);
    window->setSpacing(Scaled(DesignMargin));
    window->addLayout(upper);
    window->addWidget(SplitterResults, 1);

    // Return presses a focused button, as Space does.
    for (QPushButton* button : findChildren<QPushButton*>())
        button->setAutoDefault(true);
}

QLayout* TFormProfile::BuildProgressRow() {
    ProgressJob = Named(new TJobProgressBar(this), "ProgressJob");
    ButtonStop = Named(new QPushButton(QStringLiteral("Stop"), this), "ButtonStop");
    ButtonStop->setFixedSize(Scaled(DesignProcessWidth), Scaled(DesignProcessHeight));
    ButtonStop->setEnabled(false);
    ButtonStop->setToolTip(QStringLiteral("Stops the running job; the earlier reports stay as "
                                          "they are"));
    auto* row = new QHBoxLayout;
    row->addWidget(ProgressJob, 1);
    row->addWidget(ButtonStop);
    return row;
}

void TFormProfile::BuildResultsArea() {
    SplitterResults = Named(new QSplitter(Qt::Vertical, this), "SplitterResults");
    SplitterResults->setChildrenCollapsible(false);
    ResultsView = new TResultsView(SplitterResults);
    ResultsView->hide(); // until a job has results to show
    ResultsView->setMinimumHeight(Scaled(DesignMinResultsHeight));
    MemoStatus = Named(new QPlainTextEdit(SplitterResults), "MemoStatus");
    MemoStatus->setPlainText(QString::fromLatin1(OpeningStatusText));
    MemoStatus->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    MemoStatus->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    MemoStatus->setTabChangesFocus(true);
    MemoStatus->setMinimumHeight(Scaled(DesignMinStatusHeight));
    SplitterResults->addWidget(ResultsView);
    SplitterResults->addWidget(MemoStatus);
    SplitterResults->setStretchFactor(0, 3);
    SplitterResults->setStretchFactor(1, 1);
    MemoStatus->resize(MemoStatus->width(), Scaled(DesignStatusHeight));
}

QGroupBox* TFormProfile::BuildRawFileGroup() {
    GroupBoxRawFile =
        Named(new QGroupBox(QStringLiteral("Input File: raw enter/exit hook records"), this),
              "GroupBoxDSPoutFile");

    RadioGroupFileType =
        Named(new QGroupBox(QStringLiteral("file type"), GroupBoxRawFile), "RadioGroupFileType");
    auto* textType =
        Named(new QRadioButton(QStringLiteral("text"), RadioGroupFileType), "RadioButtonText");
    auto* binaryType =
        Named(new QRadioButton(QStringLiteral("binary"), RadioGroupFileType), "RadioButtonBinary");
    FileTypeButtons = new QButtonGroup(RadioGroupFileType);
    FileTypeButtons->addButton(textType, 0);
    FileTypeButtons->addButton(binaryType, 1);
    textType->setChecked(true);
    auto* columns = new QGridLayout(RadioGroupFileType);
    columns->addWidget(textType, 0, 0);
    columns->addWidget(binaryType, 0, 1);

    EditRawFile = Named(new QLineEdit(GroupBoxRawFile), "EditRawFile");
    ButtonRawFile = Named(new QPushButton(QString::fromLatin1(BrowseCaption), GroupBoxRawFile),
                          "ButtonRawFile");
    ButtonRawFile->setFixedSize(Scaled(DesignBrowseWidth), Scaled(DesignBrowseHeight));

    auto* row = new QHBoxLayout(GroupBoxRawFile);
    row->setContentsMargins(Scaled(DesignMargin), Scaled(2), Scaled(DesignMargin),
                            Scaled(DesignMargin));
    row->addWidget(RadioGroupFileType);
    row->addWidget(EditRawFile, 1, Qt::AlignVCenter);
    row->addWidget(ButtonRawFile, 0, Qt::AlignVCenter);
    GroupBoxRawFile->setFixedHeight(
        std::max(Scaled(DesignRawFileGroupHeight), GroupBoxRawFile->sizeHint().height()));
    return GroupBoxRawFile;
}

QGroupBox* TFormProfile::BuildDSPoutFileGroup() {
    GroupBoxDSPoutFile = Named(
        new QGroupBox(QStringLiteral("Input File: DSP.out File be tested"), this), "GroupBox1");
    CheckBoxGlobalSymbolOnly =
        Named(new QCheckBox(QStringLiteral("Parse global symbol only"), GroupBoxDSPoutFile),
              "CheckBoxGlobalSymbolOnly");
    CheckBoxGlobalSymbolOnly->setChecked(true);
    EditDSPoutFile = Named(new QLineEdit(GroupBoxDSPoutFile), "EditDSPoutFile");
    ButtonDSPoutFile =
        Named(new QPushButton(QString::fromLatin1(BrowseCaption), GroupBoxDSPoutFile),
              "ButtonDSPoutFile");
    ButtonDSPoutFile->setFixedSize(Scaled(DesignBrowseWidth), Scaled(DesignBrowseHeight));

    auto* row = new QHBoxLayout(GroupBoxDSPoutFile);
    row->setContentsMargins(Scaled(DesignMargin), Scaled(2), Scaled(DesignMargin),
                            Scaled(DesignMargin));
    row->addWidget(CheckBoxGlobalSymbolOnly);
    row->addWidget(EditDSPoutFile, 1);
    row->addWidget(ButtonDSPoutFile);
    GroupBoxDSPoutFile->setFixedHeight(
        std::max(Scaled(DesignDSPoutFileGroupHeight), GroupBoxDSPoutFile->sizeHint().height()));
    return GroupBoxDSPoutFile;
}

QGroupBox* TFormProfile::BuildOutputGroup(const TOutputGroupNames& names, QGroupBox*& group,
                                          QLineEdit*& edit, QPushButton*& button) {
    group = Named(new QGroupBox(QString::fromLatin1(names.Caption), this), names.Group);
    edit = Named(new QLineEdit(group), names.Edit);
    button = Named(new QPushButton(QString::fromLatin1(BrowseCaption), group), names.Button);
    button->setFixedSize(Scaled(DesignBrowseWidth), Scaled(DesignBrowseHeight));

    auto* row = new QHBoxLayout(group);
    row->setContentsMargins(Scaled(DesignMargin), Scaled(2), Scaled(DesignMargin),
                            Scaled(DesignMargin));
    row->addWidget(edit, 1);
    row->addWidget(button);
    group->setFixedHeight(std::max(Scaled(names.DesignHeight), group->sizeHint().height()));
    return group;
}

QLayout* TFormProfile::BuildCallStackRow() {
    LabelCallStackSize = Named(new QLabel(QStringLiteral("Call Stack Size"), this), "Label1");
    LabelCallStackSize->setFixedWidth(
        std::max(Scaled(DesignLabelColumnWidth),
                 LabelCallStackSize->sizeHint().width() + Scaled(DesignMargin)));

    UpDownCallStackSize = Named(new QSpinBox(this), "UpDownCallStackSize");
    UpDownCallStackSize->setRange(int(TJobParameters::MinCallStackSize),
                                  int(TJobParameters::MaxCallStackSize));
    UpDownCallStackSize->setSingleStep(CallStackSizeStep);
    UpDownCallStackSize->setGroupSeparatorShown(false);
    UpDownCallStackSize->setValue(int(TJobParameters::DefaultCallStackSize));
    UpDownCallStackSize->setFixedWidth(Scaled(DesignCallStackBoxWidth));
    // The number box inside the spin box is the call-stack box; the arrows take no focus.
    if (auto* numberBox = UpDownCallStackSize->findChild<QLineEdit*>())
        numberBox->setObjectName(QStringLiteral("EditCallStackSize"));
    LabelCallStackSize->setBuddy(UpDownCallStackSize);

    ButtonProcess = Named(new QPushButton(QStringLiteral("Process"), this), "ButtonProcess");
    QFont bold = ButtonProcess->font();
    bold.setBold(true);
    ButtonProcess->setFont(bold);
    ButtonProcess->setFixedSize(Scaled(DesignProcessWidth), Scaled(DesignProcessHeight));

    auto* row = new QHBoxLayout;
    row->setSpacing(0);
    row->addWidget(LabelCallStackSize);
    row->addWidget(UpDownCallStackSize);
    row->addStretch(1);
    ButtonHideForm = Named(new QPushButton(this), "ButtonHideForm");
    ButtonHideForm->setCheckable(true);
    ButtonHideForm->setToolTip(QStringLiteral("Hides the file and option groups, so that the "
                                              "results get their height"));
    row->addWidget(ButtonHideForm);
    row->addSpacing(Scaled(DesignMargin));
    row->addWidget(ButtonProcess);
    return row;
}

void TFormProfile::ShowFormGroups(bool shown) {
    for (QWidget* group :
         std::initializer_list<QWidget*>{GroupBoxRawFile, GroupBoxDSPoutFile, GroupBoxCallListFile,
                                         GroupBoxProfileFile, GroupBoxExtraOutputs})
        group->setVisible(shown);
    ButtonHideForm->setChecked(!shown);
    ButtonHideForm->setText(shown ? QStringLiteral("Hide files and options \u25b4")
                                  : QStringLiteral("Show files and options \u25be"));
}

void TFormProfile::SetFocusOrder() {
    QWidget* const order[] = {EditRawFile,
                              ButtonRawFile,
                              FileTypeButtons->button(0),
                              FileTypeButtons->button(1),
                              EditDSPoutFile,
                              ButtonDSPoutFile,
                              CheckBoxGlobalSymbolOnly,
                              EditCallListFile,
                              ButtonCallListFile,
                              EditProfileFile,
                              ButtonProfileFile,
                              MemoStatus,
                              ButtonProcess,
                              UpDownCallStackSize};
    for (size_t i = 0; i + 1 < std::size(order); ++i)
        setTabOrder(order[i], order[i + 1]);
    // The controls added to the original form come after its own.
    QWidget* previous = order[std::size(order) - 1];
    std::vector<QWidget*> added = GroupBoxExtraOutputs->FocusOrder();
    added.push_back(ButtonStop);
    added.push_back(ButtonHideForm);
    added.push_back(ResultsView);
    for (QWidget* next : added) {
        setTabOrder(previous, next);
        previous = next;
    }
}

void TFormProfile::ConnectHandlers() {
    const auto guarded = [this](void (TFormProfile::*handler)()) {
        return [this, handler] { RunGuarded(this, [this, handler] { (this->*handler)(); }); };
    };
    connect(ButtonRawFile, &QPushButton::clicked, this, guarded(&TFormProfile::ButtonRawFileClick));
    connect(EditRawFile, &QLineEdit::editingFinished, this,
            guarded(&TFormProfile::EditRawFileExit));
    connect(ButtonDSPoutFile, &QPushButton::clicked, this,
            guarded(&TFormProfile::ButtonDSPoutFileClick));
    connect(ButtonCallListFile, &QPushButton::clicked, this,
            guarded(&TFormProfile::ButtonCallListFileClick));
    connect(ButtonProfileFile, &QPushButton::clicked, this,
            guarded(&TFormProfile::ButtonProfileFileClick));
    connect(ButtonProcess, &QPushButton::clicked, this, guarded(&TFormProfile::ButtonProcessClick));
    connect(ButtonStop, &QPushButton::clicked, this, guarded(&TFormProfile::ButtonStopClick));
    connect(ButtonHideForm, &QPushButton::toggled, this,
            [this](bool hidden) { ShowFormGroups(!hidden); });
    connect(GroupBoxExtraOutputs, &TExtraOutputsGroup::ClockChanged, this,
            &TFormProfile::ShowCyclesWithClock);
}

void TFormProfile::ShowCyclesWithClock(double hz) {
    ResultsView->SetCycleFormat(TCycleFormat(hz));
}

// ---- window events ----

void TFormProfile::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (Shown || event->spontaneous())
        return;
    Shown = true;
    FormShow();
}

void TFormProfile::closeEvent(QCloseEvent* event) {
    RunGuarded(this, [this] { FormClose(); });
    if (!Jobs->Running()) {
        event->accept();
        return;
    }
    // The choices are kept whatever the user answers and however long the job still takes.
    RunGuarded(this, [this] { SaveSettingsNow(); });
    const TCloseAnswer answer = qApp->property(TerminatingProperty).toBool()
                                    ? TCloseAnswer::StopTheJob
                                    : AskOnCloseDuringJob();
    CloseWhenJobEnds = answer == TCloseAnswer::LetItFinish;
    setWindowTitle(WindowTitle() + (CloseWhenJobEnds ? tr(" (closes when the job ends)") : ""));
    switch (answer) {
    case TCloseAnswer::StopTheJob:
        Jobs->Stop();
        event->accept();
        return;
    case TCloseAnswer::JobEnded:
        event->accept();
        return;
    case TCloseAnswer::LetItFinish:
    case TCloseAnswer::Cancel:
        event->ignore();
        return;
    }
}

void TFormProfile::SaveSettingsNow() {
    SaveSettingsFile(SettingsFilePath(SettingsDirectory), Settings);
}

TFormProfile::TCloseAnswer TFormProfile::AskOnCloseDuringJob() {
    QMessageBox question(QMessageBox::Question, QString::fromLatin1(ApplicationTitle),
                         tr("A job is still running. Stop it and close the window, let it finish "
                            "and close the window then, or keep the window open?"),
                         QMessageBox::NoButton, this);
    question.setObjectName(QStringLiteral("MessageBoxStopOnClose"));
    QPushButton* stop = question.addButton(tr("Stop the job"), QMessageBox::AcceptRole);
    stop->setObjectName(QStringLiteral("ButtonStopOnClose"));
    QPushButton* wait = question.addButton(tr("Let it finish"), QMessageBox::AcceptRole);
    wait->setObjectName(QStringLiteral("ButtonWaitOnClose"));
    QPushButton* cancel = question.addButton(QMessageBox::Cancel);
    cancel->setObjectName(QStringLiteral("ButtonCancelOnClose"));
    question.setDefaultButton(wait);
    question.setEscapeButton(cancel);
    // The question follows the job: once it has ended there is nothing left to decide.
    bool ended = false;
    const QMetaObject::Connection onEnd = connect(Jobs.get(), &TJobControl::Ended, &question, [&] {
        ended = true;
        question.done(QMessageBox::Ok);
    });
    question.exec();
    disconnect(onEnd);
    if (ended || !Jobs->Running())
        return TCloseAnswer::JobEnded;
    if (question.clickedButton() == stop)
        return TCloseAnswer::StopTheJob;
    if (question.clickedButton() == wait)
        return TCloseAnswer::LetItFinish;
    return TCloseAnswer::Cancel;
}

void TFormProfile::FormShow() {
    QString error;
    try {
        ApplySettings(Settings, *SettingsControls);
    } catch (...) {
        error = CurrentExceptionText();
    }
    ApplyExtraSettings(Settings, *GroupBoxExtraOutputs);
    // The window opens centred at the size so set, then maximised when that was stored.
    Geometry->Shown();
    if (!error.isNull())
        QTimer::singleShot(0, this, [this, error] { ShowErrorBox(this, error); });
}

void TFormProfile::FormClose() {
    StoreSettings(*SettingsControls, Settings);
    StoreExtraSettings(*GroupBoxExtraOutputs, Settings);
}

// ---- browse buttons ----

void TFormProfile::ButtonRawFileClick() {
    if (const auto chosen = OpenDialogRawFile->Choose()) {
        EditRawFile->setText(*chosen);
        OutputNames->Derive(*chosen);
    }
}

void TFormProfile::EditRawFileExit() {
    OutputNames->Follow(EditRawFile->text());
}

void TFormProfile::ButtonDSPoutFileClick() {
    if (const auto chosen = OpenDialogDSPoutFile->Choose())
        EditDSPoutFile->setText(*chosen);
}

void TFormProfile::ButtonCallListFileClick() {
    if (const auto chosen = SaveDialogCallListFile->Choose())
        EditCallListFile->setText(*chosen);
}

void TFormProfile::ButtonProfileFileClick() {
    if (const auto chosen = SaveDialogProfileFile->Choose())
        EditProfileFile->setText(*chosen);
}

// ---- running a job ----

void TFormProfile::ButtonProcessClick() {
    if (Jobs->Running())
        return;
    OutputNames->Follow(EditRawFile->text());
    TJobParameters parameters = JobParameters();
    const QString rawFile = EditRawFile->text();
    // The last job's timeline goes (with its temporary file); its other results stay in view.
    ResultsView->DropTimeline();
    Jobs->Start(std::move(parameters));
    RunningJob = {rawFile, QDateTime::currentDateTime()};
}

void TFormProfile::ButtonStopClick() {
    Jobs->Stop();
}

void TFormProfile::JobEnded(const TJobEnd& end) {
    const auto describe = [](const TJobRecord& job) {
        const QString name = QFileInfo(job.RawFile).fileName();
        return tr("%1, processed %2")
            .arg(name.isEmpty() ? tr("no raw file") : name,
                 job.Started.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
    };
    if (std::shared_ptr<const TJobResults> results = Jobs->Results()) {
        ResultsView->SetResults(std::move(results));
        ShownResults = RunningJob;
        ResultsView->SetCaption(tr("Results of %1").arg(describe(ShownResults)),
                                ShownResults.RawFile, false);
        ResultsView->show();
    } else if (ResultsView->isVisibleTo(this)) {
        // What is shown belongs to an earlier job, not to the inputs of this one.
        ResultsView->SetCaption(
            tr("Results of the previous job (%1): the job of %2 %3 and has none")
                .arg(describe(ShownResults),
                     RunningJob.Started.toString(QStringLiteral("HH:mm:ss")),
                     end.Outcome == JobOutcome::Stopped ? tr("was stopped") : tr("failed")),
            ShownResults.RawFile, true);
    }
    if (CloseWhenJobEnds)
        QTimer::singleShot(0, this, [this] { close(); });
}

TJobParameters TFormProfile::JobParameters() const {
    const auto extra = [this](TExtraOutputsGroup::TOutput output) {
        return QFile::encodeName(GroupBoxExtraOutputs->JobFileName(output)).toStdString();
    };
    TJobParameters parameters;
    parameters.RawDataFileName = JobFileName(EditRawFile);
    // A raw form the settings left unchosen is read as text.
    parameters.RawDataFileType =
        SettingsControls->RawDataFileType() == 1 ? RawForm::Binary : RawForm::Text;
    parameters.DSPOutFileName = JobFileName(EditDSPoutFile);
    parameters.ParseGlobalSymbolOnly = CheckBoxGlobalSymbolOnly->isChecked();
    parameters.CallListFileName = JobFileName(EditCallListFile);
    parameters.ProfileFileName = JobFileName(EditProfileFile);
    parameters.CallStackSize = uint32_t(UpDownCallStackSize->value());
    parameters.TimelineFileName = extra(TExtraOutputsGroup::Timeline);
    parameters.FoldedFileName = extra(TExtraOutputsGroup::Folded);
    parameters.StatsFileName = extra(TExtraOutputsGroup::Stats);
    parameters.ClockHz = GroupBoxExtraOutputs->ClockMHz() * 1e6;
    parameters.CollectResults = true;
    parameters.CollectTimeline = true;
    return parameters;
}

} // namespace hookmeter
