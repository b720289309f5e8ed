// TFormProfile: the main window. It gathers what a processing job needs, starts one job per press
// of "Process", shows the job's progress and status lines, lets the user stop it, shows the
// results of the last job, and keeps the user's choices in "profile.ini". The GUI thread never
// waits for a job while the window is open. The form holds the widgets, their layout and the
// handlers; the run control is TJobControl, the outer size TWindowGeometry, and the controls as
// the settings see them TFormSettingsControls.
#pragma once

#include "job/JobListener.h"
#include "job/JobParameters.h"
#include "ui/common/FileDialogs.h"
#include "ui/settings/SettingsList.h"

#include <QDateTime>
#include <QString>
#include <QWidget>
#include <memory>

class QButtonGroup;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QSpinBox;
class QSplitter;

namespace hookmeter {

class TExtraOutputsGroup;
class TFormSettingsControls;
class TJobControl;
class TJobProgressBar;
class TOutputNameBoxes;
class TResultsView;
class TWindowGeometry;

// Set to true on the application object when the program is being ended (a termination signal):
// closing the window then stops a running job without asking.
inline constexpr const char* TerminatingProperty = "hookmeterTerminating";

class TFormProfile final : public QWidget {
    Q_OBJECT
public:
    // Reads "profile.ini" from the settings directory; when it is empty, from the program's place
    // for it (SettingsFilePath). Throws TSettingsFileError when the file exists but cannot be read.
    explicit TFormProfile(const QString& settingsDirectory = {});
    // Writes "profile.ini", then waits for a running job.
    ~TFormProfile() override;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void BuildControls();
    QGroupBox* BuildRawFileGroup();
    QGroupBox* BuildDSPoutFileGroup();
    struct TOutputGroupNames {
        const char* Group;
        const char* Caption;
        const char* Edit;
        const char* Button;
        int DesignHeight;
    };
    QGroupBox* BuildOutputGroup(const TOutputGroupNames& names, QGroupBox*& group, QLineEdit*& edit,
                                QPushButton*& button);
    QLayout* BuildCallStackRow();
    // The groups of files and options, or only the rows below them: on a small screen the
    // results get the height.
    void ShowFormGroups(bool shown);
    QLayout* BuildProgressRow();
    void BuildResultsArea();
    void SetFocusOrder();
    void ConnectHandlers();
    static QString WindowTitle();
    int Scaled(int designPixels) const;
    void SaveSettingsNow();

    void FormShow();
    void FormClose();
    void ButtonRawFileClick();
    void EditRawFileExit(); // the raw box lost the focus, or Return was pressed in it
    void ButtonDSPoutFileClick();
    void ButtonCallListFileClick();
    void ButtonProfileFileClick();
    void ButtonProcessClick();
    void ButtonStopClick();
    // What the boxes ask of a job.
    TJobParameters JobParameters() const;
    void JobEnded(const TJobEnd& end);
    enum class TCloseAnswer { StopTheJob, LetItFinish, Cancel, JobEnded };
    // Asked when the window is closed while a job runs; the question goes when the job ends.
    TCloseAnswer AskOnCloseDuringJob();
    void ShowCyclesWithClock(double hz);

    const QString SettingsDirectory;
    TSettingsList Settings;
    double DesignScale = 1.0;
    bool Shown = false;
    TWindowGeometry* Geometry = nullptr; // a child
    std::unique_ptr<TOutputNameBoxes> OutputNames;
    std::unique_ptr<TFormSettingsControls> SettingsControls;
    // A job: its raw file as the box held it, and when it was started.
    struct TJobRecord {
        QString RawFile;
        QDateTime Started;
    };
    TJobRecord RunningJob;   // the last job started
    TJobRecord ShownResults; // the job whose results are shown
    bool CloseWhenJobEnds = false;

    // The members are named by role; the object names are those of the original form, which the
    // tests use: the raw file's group is "GroupBoxDSPoutFile", the executable's "GroupBox1", the
    // outputs' "GroupBox2" and "GroupBox3", the call-stack label "Label1".
    QGroupBox* GroupBoxRawFile = nullptr;
    QGroupBox* RadioGroupFileType = nullptr;
    QButtonGroup* FileTypeButtons = nullptr;
    QLineEdit* EditRawFile = nullptr;
    QPushButton* ButtonRawFile = nullptr;
    QGroupBox* GroupBoxDSPoutFile = nullptr;
    QCheckBox* CheckBoxGlobalSymbolOnly = nullptr;
    QLineEdit* EditDSPoutFile = nullptr;
    QPushButton* ButtonDSPoutFile = nullptr;
    QGroupBox* GroupBoxCallListFile = nullptr;
    QLineEdit* EditCallListFile = nullptr;
    QPushButton* ButtonCallListFile = nullptr;
    QGroupBox* GroupBoxProfileFile = nullptr;
    QLineEdit* EditProfileFile = nullptr;
    QPushButton* ButtonProfileFile = nullptr;
    QLabel* LabelCallStackSize = nullptr;
    QSpinBox* UpDownCallStackSize = nullptr;
    QPushButton* ButtonHideForm = nullptr;
    QPushButton* ButtonProcess = nullptr;
    QPlainTextEdit* MemoStatus = nullptr;
    TExtraOutputsGroup* GroupBoxExtraOutputs = nullptr;
    TJobProgressBar* ProgressJob = nullptr;
    QPushButton* ButtonStop = nullptr;
    QSplitter* SplitterResults = nullptr;
    TResultsView* ResultsView = nullptr;

    std::unique_ptr<TFileChooser> OpenDialogRawFile;
    std::unique_ptr<TFileChooser> OpenDialogDSPoutFile;
    std::unique_ptr<TFileChooser> SaveDialogCallListFile;
    std::unique_ptr<TFileChooser> SaveDialogProfileFile;

    std::unique_ptr<TJobControl> Jobs; // destroyed first: it waits for a running job
};

} // namespace hookmeter
