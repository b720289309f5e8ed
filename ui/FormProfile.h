// TFormProfile: the main window. It gathers what a processing job needs, starts one job per press
// of "Process", shows the job's status lines, and keeps the user's choices in "profile.ini".
#pragma once

#include "engine/Profile.h"
#include "ui/FileDialogs.h"
#include "ui/SettingsList.h"
#include "ui/WindowSettings.h"

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

namespace hookmeter {

class TJobChannel;

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
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The file names of the current job, copied from the boxes at the press that started it and
    // kept unchanged while that job exists.
    struct TJobFileNames {
        std::string RawDataFileName;
        std::string DSPOutFileName;
        std::string CallListFileName;
        std::string ProfileFileName;
    };

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
    void SetFocusOrder();
    void ConnectHandlers();
    int Scaled(int designPixels) const;
    void CenterOnScreen();
    void FitOuterSizeToFrame();

    void FormShow();
    void FormClose();
    void ButtonRawFileClick();
    void ButtonDSPoutFileClick();
    void ButtonCallListFileClick();
    void ButtonProfileFileClick();
    void ButtonProcessClick();
    void StartJob();

    const QString SettingsDirectory;
    TSettingsList Settings;
    double DesignScale = 1.0;
    bool Shown = false;
    bool MaximiseRequested = false;
    QSize OuterSizeToFit{-1, -1}; // a stored outer size set before the frame was known

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

    std::unique_ptr<TFileChooser> OpenDialogRawFile;
    std::unique_ptr<TFileChooser> OpenDialogDSPoutFile;
    std::unique_ptr<TFileChooser> SaveDialogCallListFile;
    std::unique_ptr<TFileChooser> SaveDialogProfileFile;

    TJobChannel* Channel = nullptr; // a child: outlives the job, which is destroyed first
    TJobFileNames JobFileNames;
    std::unique_ptr<TProfile> Job;
};

} // namespace hookmeter
