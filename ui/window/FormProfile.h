// TFormProfile: the main window. It gathers what a processing job needs, starts one job per press
// of "Process", shows the job's progress and status lines, lets the user stop it, shows the
// results of the last job, and keeps the user's choices in "profile.ini". The GUI thread never
// waits for a job while the window is open.
#pragma once

#include "job/Profile.h"
#include "ui/common/FileDialogs.h"
#include "ui/settings/SettingsList.h"
#include "ui/settings/WindowSettings.h"
#include "ui/window/JobReaper.h"

#include <QSize>
#include <QString>
#include <QWidget>
#include <memory>
#include <string>

class QButtonGroup;
class QCheckBox;
class QGroupBox;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QSpinBox;
class QSplitter;

namespace hookmeter {

class TExtraOutputsGroup;
class TJobChannel;
class TJobProgressBar;
class TResultsView;

// Set to true on the application object when the program is being ended (a termination signal):
// closing the window then stops a running job without asking.
inline constexpr const char* TerminatingProperty = "hookmeterTerminating";

class TFormProfile final : public QWidget, public TSettingsControls {
    Q_OBJECT
public:
    // Reads "profile.ini" from the settings directory; when it is empty, from the program's place
    // for it (SettingsFilePath). Throws TSettingsFileError when the file exists but cannot be read.
    explicit TFormProfile(const QString& settingsDirectory = {});
    // Writes "profile.ini", then waits for a running job.
    ~TFormProfile() override;

    // TSettingsControls
    void SetOuterWidth(int width) override;
    void SetOuterHeight(int height) override;
    void Maximise() override;
    void SetRawDataFileType(int index) override;
    void SetRawDataFileName(const QString& name) override;
    void SetOutputFileNames(const QString& rawDataFileName) override;
    void SetParseGlobalSymbolOnly(bool checked) override;
    void SetDSPOutFileName(const QString& name) override;
    void SetCallStackSize(int size) override;
    bool IsMaximised() const override;
    int OuterWidth() const override;
    int OuterHeight() const override;
    int RawDataFileType() const override;
    QString RawDataFileName() const override;
    bool ParseGlobalSymbolOnly() const override;
    QString DSPOutFileName() const override;
    int CallStackSize() const override;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

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
    QLayout* BuildProgressRow();
    void BuildResultsArea();
    void SetFocusOrder();
    void ConnectHandlers();
    int Scaled(int designPixels) const;
    void CenterOnScreen();
    void FitOuterSizeToFrame();
    QSize AvailableOuterSize() const;
    void SaveSettingsNow();

    void FormShow();
    void FormClose();
    void ButtonRawFileClick();
    void ButtonDSPoutFileClick();
    void ButtonCallListFileClick();
    void ButtonProfileFileClick();
    void ButtonProcessClick();
    void ButtonStopClick();
    // What the boxes ask of a job.
    TJobParameters JobParameters() const;
    void JobEnded();
    // Asked when the window is closed while a job runs: true to stop the job, false to wait.
    bool AskStopOnClose();
    void ShowCyclesWithClock(double hz);

    const QString SettingsDirectory;
    TSettingsList Settings;
    double DesignScale = 1.0;
    bool Shown = false;
    bool MaximiseRequested = false;
    QSize OuterSizeToFit{-1, -1}; // a stored outer size set before the frame was known
    // The stored outer size and the inner size the window was given for it: while the window
    // keeps that inner size, its outer size is the stored one, whatever the window manager says
    // about its frame at the moment. So the stored size never grows by a frame.
    QSize StoredOuterSize{-1, -1};
    QSize InnerSizeForStored{-1, -1};

    QGroupBox* GroupBoxDSPoutFile = nullptr;
    QGroupBox* RadioGroupFileType = nullptr;
    QButtonGroup* FileTypeButtons = nullptr;
    QLineEdit* EditRawFile = nullptr;
    QPushButton* ButtonRawFile = nullptr;
    QGroupBox* GroupBox1 = nullptr;
    QCheckBox* CheckBoxGlobalSymbolOnly = nullptr;
    QLineEdit* EditDSPoutFile = nullptr;
    QPushButton* ButtonDSPoutFile = nullptr;
    QGroupBox* GroupBox2 = nullptr;
    QLineEdit* EditCallListFile = nullptr;
    QPushButton* ButtonCallListFile = nullptr;
    QGroupBox* GroupBox3 = nullptr;
    QLineEdit* EditProfileFile = nullptr;
    QPushButton* ButtonProfileFile = nullptr;
    QSpinBox* UpDownCallStackSize = nullptr;
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

    TJobChannel* Channel = nullptr; // a child: outlives the job, which is destroyed first
    TJobReaper Reaper;              // destroys earlier jobs away from the GUI thread; outlives Job
    std::unique_ptr<TProfile> Job;
    bool Running = false;       // from the press that started Job until its end is shown
    bool StopRequested = false; // the user asked the running job to stop
};

} // namespace hookmeter
