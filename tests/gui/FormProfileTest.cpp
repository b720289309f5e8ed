// The main window as a person uses it: its controls and layout, the settings it applies and
// stores, the browse buttons, and the error boxes of the settings file.
#include "ui/window/FormProfile.h"
#include "GuiTestSupport.h"
#include "job/OutputNames.h"
#include "ui/common/ErrorBox.h"
#include "ui/settings/SettingsFile.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QWindow>
#include <memory>

using namespace hookmeter;
using namespace hookmeter::test;

namespace {

class WindowTest : public testing::Test {
protected:
    QTemporaryDir SettingsDir;

    void WriteSettings(const QByteArray& text) const {
        QFile file(SettingsFilePath(SettingsDir.path()));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
    }

    QByteArray ReadSettings() const {
        QFile file(SettingsFilePath(SettingsDir.path()));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<no file>");
    }

    std::unique_ptr<TFormProfile> OpenWindow() const {
        auto form = std::make_unique<TFormProfile>(SettingsDir.path());
        form->show();
        QApplication::processEvents();
        return form;
    }

    // Closes the window as the user does, then ends the program's use of it.
    static void CloseAndDestroy(std::unique_ptr<TFormProfile>& form) {
        form->close();
        form.reset();
    }
};

// The keys of the added outputs and the clock, after the form's own keys, at their defaults.
const QString AddedKeys = QStringLiteral(
    "TimelineOutput=false\r\nFoldedStacksOutput=false\r\nStatsOutput=false\r\nDSPClockMHz=0\r\n");

QString Text(const QObject& form, const char* name) {
    return Control<QLineEdit>(form, name).text();
}

// Types a name into an open file dialog and confirms it, as a person does.
void TypeFileName(QFileDialog& dialog, const QString& name) {
    Control<QLineEdit>(dialog, "fileNameEdit").setText(name);
    static_cast<QDialog&>(dialog).accept(); // what the dialog's OK button does
}

} // namespace

TEST_F(WindowTest, OpensWithItsControlsAndTheirCaptions) {
    auto form = OpenWindow();
    EXPECT_EQ(form->windowTitle(), "Hookmeter v1.1.1");
    EXPECT_EQ(Control<QGroupBox>(*form, "GroupBoxDSPoutFile").title(),
              "Input File: raw enter/exit hook records");
    EXPECT_EQ(Control<QGroupBox>(*form, "GroupBox1").title(), "Input File: DSP.out File be tested");
    EXPECT_EQ(Control<QGroupBox>(*form, "GroupBox2").title(), "Output File: call list");
    EXPECT_EQ(Control<QGroupBox>(*form, "GroupBox3").title(), "Output File: profile summary");
    EXPECT_EQ(Control<QGroupBox>(*form, "RadioGroupFileType").title(), "file type");
    EXPECT_TRUE(Control<QRadioButton>(*form, "RadioButtonText").isChecked());
    EXPECT_EQ(Control<QRadioButton>(*form, "RadioButtonBinary").text(), "binary");
    EXPECT_EQ(Control<QCheckBox>(*form, "CheckBoxGlobalSymbolOnly").text(),
              "Parse global symbol only");
    EXPECT_TRUE(Control<QCheckBox>(*form, "CheckBoxGlobalSymbolOnly").isChecked());
    for (const char* browse :
         {"ButtonRawFile", "ButtonDSPoutFile", "ButtonCallListFile", "ButtonProfileFile"})
        EXPECT_EQ(Control<QPushButton>(*form, browse).text(), "browser...") << browse;
    for (const char* edit :
         {"EditRawFile", "EditDSPoutFile", "EditCallListFile", "EditProfileFile"})
        EXPECT_EQ(Text(*form, edit), "") << edit;
    EXPECT_EQ(Control<QLabel>(*form, "Label1").text(), "Call Stack Size");

    const auto& stackSize = Control<QSpinBox>(*form, "UpDownCallStackSize");
    EXPECT_EQ(stackSize.value(), 256);
    EXPECT_EQ(stackSize.minimum(), 64);
    EXPECT_EQ(stackSize.maximum(), 8192);
    EXPECT_EQ(stackSize.singleStep(), 64);
    EXPECT_FALSE(stackSize.isGroupSeparatorShown());
    EXPECT_EQ(Text(*form, "EditCallStackSize"), "256");

    const auto& process = Control<QPushButton>(*form, "ButtonProcess");
    EXPECT_EQ(process.text(), "Process");
    EXPECT_TRUE(process.font().bold());
    EXPECT_EQ(StatusLines(*form),
              (QStringList{
                  "This tool postprocesses the raw data recorded by hook for program profiling. ",
                  "Refer to application note \"Hookmeter\" for how to use this tool and how "
                  "this tool works."}));
}

TEST_F(WindowTest, CallStackBoxStepsBy64WithinItsBoundsAndTakesTypedNumbers) {
    auto form = OpenWindow();
    auto& stackSize = Control<QSpinBox>(*form, "UpDownCallStackSize");
    stackSize.setFocus();
    QTest::keyClick(&stackSize, Qt::Key_Up);
    EXPECT_EQ(stackSize.value(), 320);
    QTest::keyClick(&stackSize, Qt::Key_Down);
    QTest::keyClick(&stackSize, Qt::Key_Down);
    EXPECT_EQ(stackSize.value(), 192);

    auto& number = Control<QLineEdit>(*form, "EditCallStackSize");
    number.selectAll();
    QTest::keyClicks(&number, "5000");
    EXPECT_EQ(stackSize.value(), 5000);
    stackSize.setValue(8192);
    QTest::keyClick(&stackSize, Qt::Key_Up);
    EXPECT_EQ(stackSize.value(), 8192);
    EXPECT_EQ(number.text(), "8192"); // no thousands separator
    stackSize.setValue(64);
    QTest::keyClick(&stackSize, Qt::Key_Down);
    EXPECT_EQ(stackSize.value(), 64);
}

TEST_F(WindowTest, TabVisitsTheControlsInTheirOrder) {
    auto form = OpenWindow();
    QApplication::setActiveWindow(form.get());
    ASSERT_TRUE(WaitUntil([&] { return QApplication::focusWidget() != nullptr; }));
    EXPECT_EQ(QApplication::focusWidget()->objectName(), "EditRawFile");

    const QStringList expected{
        "ButtonRawFile", "RadioButtonText", "EditDSPoutFile", "ButtonDSPoutFile",
        "CheckBoxGlobalSymbolOnly", "EditCallListFile", "ButtonCallListFile", "EditProfileFile",
        "ButtonProfileFile", "MemoStatus", "ButtonProcess", "UpDownCallStackSize",
        // the controls added to the form come after its own
        "CheckBoxTimeline", "EditTimelineFile", "ButtonTimelineFile", "CheckBoxFolded",
        "EditFoldedFile", "ButtonFoldedFile", "CheckBoxStats", "EditStatsFile", "ButtonStatsFile",
        "EditClockMHz", "ButtonHideForm", "EditRawFile"};
    QStringList visited;
    for (qsizetype i = 0; i < expected.size(); ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        visited.append(QApplication::focusWidget()->objectName());
    }
    EXPECT_EQ(visited, expected);
}

TEST_F(WindowTest, ResizingStretchesTheGroupsAndGivesExtraHeightToTheStatusAndResultsArea) {
    auto form = OpenWindow();
    const auto& group = Control<QGroupBox>(*form, "GroupBox2");
    const auto& browse = Control<QPushButton>(*form, "ButtonCallListFile");
    const auto& status = Control<QPlainTextEdit>(*form, "MemoStatus");
    const auto& process = Control<QPushButton>(*form, "ButtonProcess");
    const QRect groupBefore = group.geometry();
    const int statusHeight = status.height();

    form->resize(form->width() + 200, form->height() + 150);
    form->layout()->activate();

    EXPECT_EQ(group.width(), groupBefore.width() + 200);
    EXPECT_EQ(group.y(), groupBefore.y());
    EXPECT_EQ(group.height(), groupBefore.height());
    EXPECT_EQ(browse.geometry().right(),
              group.contentsRect().right() -
                  browse.parentWidget()->layout()->contentsMargins().right());
    EXPECT_EQ(status.height(), statusHeight + 150); // no results yet: all of it to the status box
    EXPECT_EQ(status.mapTo(form.get(), status.rect().bottomLeft()).y(), form->rect().bottom());
    EXPECT_EQ(status.width(), form->width());
    EXPECT_EQ(process.geometry().right(), group.geometry().right());
}

TEST_F(WindowTest, StoredSettingsAreAppliedAndStoredBackKeepingOtherLines) {
    WriteSettings("; my notes\r\nwinwidth=800\r\nWinHeight=600\r\nRawDataFileType=1\r\n"
                  "RawDataFileName=/data/runs/trace.data\r\nParseGlobalSymbolOnly=yes\r\n"
                  "DSPOutFileName=/data/app.out\r\nCallStackSize=100\r\nWinWidth=1\r\n");
    auto form = OpenWindow();
    EXPECT_EQ(form->frameGeometry().size(), QSize(800, 600));
    EXPECT_FALSE(form->isMaximized());
    EXPECT_TRUE(Control<QRadioButton>(*form, "RadioButtonBinary").isChecked());
    EXPECT_EQ(Text(*form, "EditRawFile"), "/data/runs/trace.data");
    EXPECT_EQ(Text(*form, "EditCallListFile"), "/data/runs/trace._call_list.csv");
    EXPECT_EQ(Text(*form, "EditProfileFile"), "/data/runs/trace._profile.csv");
    EXPECT_FALSE(Control<QCheckBox>(*form, "CheckBoxGlobalSymbolOnly").isChecked());
    EXPECT_EQ(Text(*form, "EditDSPoutFile"), "/data/app.out");
    EXPECT_EQ(Control<QSpinBox>(*form, "UpDownCallStackSize").value(), 100);

    Control<QLineEdit>(*form, "EditRawFile").clear();
    Control<QSpinBox>(*form, "UpDownCallStackSize").setValue(1024);
    form->resize(900, 700);
    const QSize outerSize = form->frameGeometry().size();
    CloseAndDestroy(form);
    EXPECT_EQ(ReadSettings(),
              QStringLiteral("; my notes\r\nWinWidth=%1\r\nWinHeight=%2\r\n"
                             "RawDataFileType=1\r\nParseGlobalSymbolOnly=false\r\n"
                             "DSPOutFileName=/data/app.out\r\nCallStackSize=1024\r\n"
                             "WinWidth=1\r\nWinMax=false\r\n%3")
                  .arg(outerSize.width())
                  .arg(outerSize.height())
                  .arg(AddedKeys)
                  .toLatin1());

    // The raw file name was cleared, so the next start shows empty output boxes.
    form = OpenWindow();
    EXPECT_EQ(Text(*form, "EditCallListFile"), "");
    EXPECT_EQ(form->frameGeometry().size(), outerSize);
}

TEST_F(WindowTest, FirstStartWithoutFileLeavesEveryKeyInOrder) {
    auto form = OpenWindow();
    const QSize size = form->frameGeometry().size();
    Control<QLineEdit>(*form, "EditRawFile").setText("/r/t.bin");
    CloseAndDestroy(form);
    EXPECT_EQ(ReadSettings(),
              QStringLiteral("WinMax=false\r\nWinWidth=%1\r\nWinHeight=%2\r\n"
                             "RawDataFileType=0\r\nRawDataFileName=/r/t.bin\r\n"
                             "ParseGlobalSymbolOnly=true\r\nCallStackSize=256\r\n%3")
                  .arg(size.width())
                  .arg(size.height())
                  .arg(AddedKeys)
                  .toLatin1());
}

TEST_F(WindowTest, MaximisedWindowKeepsItsStoredSize) {
    WriteSettings("WinWidth=820\r\nWinHeight=610\r\nWinMax=true\r\n");
    auto form = OpenWindow();
    EXPECT_TRUE(form->isMaximized());
    const QMargins frame = form->windowHandle()->frameMargins();
    EXPECT_EQ(form->normalGeometry().size().grownBy(frame), QSize(820, 610));
    CloseAndDestroy(form);
    EXPECT_EQ(ReadSettings(),
              "WinWidth=820\r\nWinHeight=610\r\nWinMax=true\r\nRawDataFileType=0\r\n"
              "ParseGlobalSymbolOnly=true\r\nCallStackSize=256\r\n" +
                  AddedKeys.toLatin1());

    // The next start sets that size, then maximises; restored, the window has that size.
    form = OpenWindow();
    form->showNormal();
    EXPECT_TRUE(WaitUntil([&] { return form->frameGeometry().size() == QSize(820, 610); }));

    WriteSettings("WinWidth=820\r\nWinHeight=610\r\nWinMax=TRUE\r\n");
    form = OpenWindow();
    EXPECT_FALSE(form->isMaximized());
    EXPECT_EQ(form->frameGeometry().size(), QSize(820, 610));
}

TEST_F(WindowTest, AStoredSizeLargerThanTheScreenIsFittedIntoItsAvailableArea) {
    WriteSettings("WinWidth=5000\r\nWinHeight=4000\r\n");
    auto form = OpenWindow();
    const QRect available = form->screen()->availableGeometry();
    EXPECT_TRUE(WaitUntil([&] { return available.contains(form->frameGeometry()); }))
        << form->frameGeometry().width() << " x " << form->frameGeometry().height() << " at "
        << form->frameGeometry().x() << ", " << form->frameGeometry().y();
}

TEST_F(WindowTest, ReturnOnAFocusedButtonPressesItAsSpaceDoes) {
    auto form = OpenWindow();
    QApplication::setActiveWindow(form.get());
    auto& process = Control<QPushButton>(*form, "ButtonProcess");
    int presses = 0;
    QObject::connect(&process, &QPushButton::clicked, [&] { ++presses; });
    process.setFocus();
    QTest::keyClick(&process, Qt::Key_Return);
    EXPECT_EQ(presses, 1);
    ASSERT_TRUE(WaitForJobEnd(*form)); // the press ran a job, which ends at its empty raw box

    TDialogAnswerer answerer;
    std::vector<QString> opened;
    answerer.OnFileDialog = [&](QFileDialog& dialog) {
        opened.push_back(dialog.objectName());
        dialog.reject();
    };
    for (const char* browse : {"ButtonRawFile", "ButtonTimelineFile"}) {
        auto& button = Control<QPushButton>(*form, browse);
        button.setFocus();
        QTest::keyClick(&button, Qt::Key_Return);
    }
    EXPECT_EQ(opened, (std::vector<QString>{"OpenDialogRawFile", "SaveDialogTimelineFile"}));
}

TEST_F(WindowTest, MoreOutputsAreNamedAfterTheRawFileAndKeptUnderTheirOwnKeys) {
    WriteSettings("RawDataFileName=/data/runs/trace.bin\r\nStatsOutput=true\r\n"
                  "DSPClockMHz=600\r\n");
    auto form = OpenWindow();
    EXPECT_EQ(Text(*form, "EditTimelineFile"), "/data/runs/trace_timeline.pftrace");
    EXPECT_EQ(Text(*form, "EditFoldedFile"), "/data/runs/trace_folded.txt");
    EXPECT_EQ(Text(*form, "EditStatsFile"), "/data/runs/trace_stats.csv");
    EXPECT_TRUE(Control<QCheckBox>(*form, "CheckBoxStats").isChecked());
    EXPECT_FALSE(Control<QCheckBox>(*form, "CheckBoxTimeline").isChecked());
    Control<QCheckBox>(*form, "CheckBoxFolded").setChecked(true);
    CloseAndDestroy(form);
    const QByteArray stored = ReadSettings();
    EXPECT_TRUE(
        stored.endsWith("CallStackSize=256\r\nTimelineOutput=false\r\nFoldedStacksOutput=true\r\n"))
        << stored.toStdString();
    EXPECT_TRUE(stored.contains("\r\nStatsOutput=true\r\nDSPClockMHz=600\r\n")); // in place
    EXPECT_FALSE(stored.contains("TimelineFileName")); // the derived Perfetto name is not kept

    // A JSON timeline chosen before stays, under its own key; a Perfetto one is derived again.
    WriteSettings("RawDataFileName=/data/runs/trace.bin\r\nTimelineFileName=/old/t.json\r\n");
    form = OpenWindow();
    EXPECT_EQ(Text(*form, "EditTimelineFile"), "/old/t.json");
    CloseAndDestroy(form);
    EXPECT_TRUE(ReadSettings().contains("\r\nTimelineFileName=/old/t.json\r\n"));
    WriteSettings("RawDataFileName=/data/runs/trace.bin\r\nTimelineFileName=/old/t.pftrace\r\n");
    form = OpenWindow();
    EXPECT_EQ(Text(*form, "EditTimelineFile"), "/data/runs/trace_timeline.pftrace");
    CloseAndDestroy(form);
    EXPECT_FALSE(ReadSettings().contains("TimelineFileName"));
}

TEST_F(WindowTest, OutOfRangeFileTypeAndStackSizeEndAtTheNearerBound) {
    WriteSettings("RawDataFileType=-3\r\nCallStackSize=70000\r\nRawDataFileName=abcd\r\n");
    auto form = OpenWindow();
    EXPECT_EQ(Control<QRadioButton>(*form, "RadioButtonText").group()->checkedId(), -1);
    EXPECT_EQ(Control<QSpinBox>(*form, "UpDownCallStackSize").value(), 8192);
    // A raw file name of four characters or fewer leaves bare output names.
    EXPECT_EQ(Text(*form, "EditCallListFile"), "_call_list.csv");
    EXPECT_EQ(Text(*form, "EditProfileFile"), "_profile.csv");
    CloseAndDestroy(form);
    const QList<QByteArray> stored = ReadSettings().split('\n');
    EXPECT_TRUE(stored.contains("RawDataFileType=-1\r"));
    EXPECT_TRUE(stored.contains("CallStackSize=8192\r"));

    WriteSettings("RawDataFileType=5\r\n");
    form = OpenWindow();
    EXPECT_TRUE(Control<QRadioButton>(*form, "RadioButtonBinary").isChecked());
}

TEST_F(WindowTest, BadIntegerShowsItsErrorAndTheWindowOpensAllTheSame) {
    WriteSettings("WinWidth=640\r\nRawDataFileType=bin\r\nCallStackSize=512\r\n");
    TDialogAnswerer answerer;
    auto form = OpenWindow();
    ASSERT_TRUE(WaitUntil([&] { return !answerer.Boxes.empty(); }));
    EXPECT_EQ(answerer.Boxes[0].Title, "Hookmeter");
    EXPECT_EQ(answerer.Boxes[0].Text, "'bin' is not a valid integer value.");
    EXPECT_EQ(answerer.Boxes[0].Icon, QMessageBox::Critical);
    EXPECT_EQ(answerer.Boxes[0].ButtonCount, 1);
    EXPECT_TRUE(form->isVisible());
    EXPECT_EQ(form->frameGeometry().width(), 640);                           // before the bad key
    EXPECT_EQ(Control<QSpinBox>(*form, "UpDownCallStackSize").value(), 256); // after it
    CloseAndDestroy(form);
    EXPECT_EQ(answerer.Boxes.size(), 1u);
    EXPECT_TRUE(ReadSettings().split('\n').contains("RawDataFileType=0\r"));
}

TEST_F(WindowTest, UnreadableSettingsFileStopsTheWindowWithItsReason) {
    ASSERT_TRUE(QDir(SettingsDir.path()).mkdir("profile.ini"));
    try {
        TFormProfile form(SettingsDir.path());
        FAIL() << "the window was made without its settings";
    } catch (const TSettingsFileError& error) {
        EXPECT_TRUE(
            QString::fromUtf8(error.what())
                .startsWith("Cannot open file \"" + SettingsFilePath(SettingsDir.path()) + "\". "))
            << error.what();
    }
    EXPECT_TRUE(QFileInfo(SettingsFilePath(SettingsDir.path())).isDir()); // left as it was
}

TEST_F(WindowTest, SettingsThatCannotBeWrittenAtExitAreReportedAndTheWindowStillGoes) {
    const QString gone = QDir(SettingsDir.path()).filePath("gone");
    ASSERT_TRUE(QDir().mkpath(gone));
    auto form = std::make_unique<TFormProfile>(gone);
    form->show();
    ASSERT_TRUE(QDir(gone).removeRecursively());
    TDialogAnswerer answerer;
    CloseAndDestroy(form);
    ASSERT_EQ(answerer.Boxes.size(), 1u);
    EXPECT_EQ(answerer.Boxes[0].Title, "Hookmeter");
    EXPECT_TRUE(answerer.Boxes[0].Text.startsWith("Cannot create file \"" + SettingsFilePath(gone) +
                                                  "\". "))
        << answerer.Boxes[0].Text.toStdString();
    EXPECT_TRUE(answerer.Boxes[0].Text.endsWith("\n\nThe settings of this run are not saved."));
}

TEST(ErrorBox, ExceptionInAHandlerIsShownAndTheProgramCarriesOn) {
    TDialogAnswerer answerer;
    bool after = false;
    RunGuarded(nullptr, [&] {
        throw std::runtime_error("disk on fire");
        after = true;
    });
    RunGuarded(nullptr, [] { throw 42; });
    EXPECT_FALSE(after);
    ASSERT_EQ(answerer.Boxes.size(), 2u);
    EXPECT_EQ(answerer.Boxes[0].Text, "disk on fire");
    EXPECT_EQ(answerer.Boxes[0].Title, "Hookmeter");
    EXPECT_EQ(answerer.Boxes[0].Icon, QMessageBox::Critical);
    EXPECT_EQ(answerer.Boxes[1].Text, "");
}

// ---- browse buttons ----

TEST_F(WindowTest, FileDialogsHaveTheirTitlesFiltersAndExtensions) {
    auto form = OpenWindow();
    struct TSeen {
        QString Name, Title, Suffix;
        QStringList Filters;
        QFileDialog::AcceptMode Mode;
        QFileDialog::FileMode Files;
        bool Confirms;
    };
    std::vector<TSeen> seen;
    TDialogAnswerer answerer;
    answerer.OnFileDialog = [&](QFileDialog& dialog) {
        seen.push_back({dialog.objectName(), dialog.windowTitle(), dialog.defaultSuffix(),
                        dialog.nameFilters(), dialog.acceptMode(), dialog.fileMode(),
                        !dialog.testOption(QFileDialog::DontConfirmOverwrite)});
        dialog.reject();
    };
    for (const char* browse :
         {"ButtonRawFile", "ButtonDSPoutFile", "ButtonCallListFile", "ButtonProfileFile"})
        QTest::mouseClick(&Control<QPushButton>(*form, browse), Qt::LeftButton);
    ASSERT_EQ(seen.size(), 4u);

    EXPECT_EQ(seen[0].Name, "OpenDialogRawFile");
    EXPECT_EQ(seen[0].Title, "open raw function enter/exit record File");
    EXPECT_EQ(seen[0].Filters,
              (QStringList{"*.txt;*.dat;*.bin (*.txt *.dat *.bin)", "all files (*)"}));
    EXPECT_EQ(seen[0].Suffix, "");
    EXPECT_EQ(seen[0].Mode, QFileDialog::AcceptOpen);
    EXPECT_EQ(seen[0].Files, QFileDialog::AnyFile); // names of files that do not exist are taken

    EXPECT_EQ(seen[1].Name, "OpenDialogDSPoutFile");
    EXPECT_EQ(seen[1].Title, "open DSP.out File be tested");
    EXPECT_EQ(seen[1].Filters, QStringList{"DSP executable output file (*.out)"});
    EXPECT_EQ(seen[1].Suffix, "out");
    EXPECT_EQ(seen[1].Mode, QFileDialog::AcceptOpen);
    EXPECT_EQ(seen[1].Files, QFileDialog::AnyFile);

    EXPECT_EQ(seen[2].Name, "SaveDialogCallListFile");
    EXPECT_EQ(seen[2].Title, "save function call list file");
    EXPECT_EQ(seen[2].Filters,
              (QStringList{"Comma Separated Values file(*.csv)", "all files (*)"}));
    EXPECT_EQ(seen[2].Suffix, "csv");
    EXPECT_EQ(seen[2].Mode, QFileDialog::AcceptSave);
    EXPECT_FALSE(seen[2].Confirms);

    EXPECT_EQ(seen[3].Name, "SaveDialogProfileFile");
    EXPECT_EQ(seen[3].Title, "save function profile summary file");
    EXPECT_EQ(seen[3].Filters, seen[2].Filters);
    EXPECT_EQ(seen[3].Suffix, "");
    EXPECT_EQ(seen[3].Mode, QFileDialog::AcceptSave);
    EXPECT_FALSE(seen[3].Confirms);

    // Cancelling changed nothing.
    for (const char* edit :
         {"EditRawFile", "EditDSPoutFile", "EditCallListFile", "EditProfileFile"})
        EXPECT_EQ(Text(*form, edit), "") << edit;
}

TEST_F(WindowTest, ChoosingARawFileDerivesBothOutputNamesAndIsRemembered) {
    auto form = OpenWindow();
    Control<QLineEdit>(*form, "EditCallListFile").setText("/typed/by/hand.csv");
    TDialogAnswerer answerer;
    const QString chosen = QDir(SettingsDir.path()).filePath("runs/trace.data"); // does not exist
    ASSERT_TRUE(QDir(SettingsDir.path()).mkdir("runs"));
    answerer.OnFileDialog = [&](QFileDialog& dialog) { TypeFileName(dialog, chosen); };
    QTest::mouseClick(&Control<QPushButton>(*form, "ButtonRawFile"), Qt::LeftButton);
    EXPECT_EQ(Text(*form, "EditRawFile"), chosen);
    const QString stem = chosen.chopped(4);
    EXPECT_EQ(Text(*form, "EditCallListFile"), stem + "_call_list.csv");
    EXPECT_EQ(Text(*form, "EditProfileFile"), stem + "_profile.csv");

    // The dialog opens on its last choice; cancelling changes nothing.
    QStringList offered;
    answerer.OnFileDialog = [&](QFileDialog& dialog) {
        offered = dialog.selectedFiles();
        dialog.reject();
    };
    QTest::mouseClick(&Control<QPushButton>(*form, "ButtonRawFile"), Qt::LeftButton);
    EXPECT_EQ(offered, QStringList{chosen});
    EXPECT_EQ(Text(*form, "EditRawFile"), chosen);
    EXPECT_EQ(Text(*form, "EditCallListFile"), stem + "_call_list.csv");
}

TEST_F(WindowTest, ChoosingAnOutputChangesOnlyItsOwnBox) {
    auto form = OpenWindow();
    Control<QLineEdit>(*form, "EditRawFile").setText("/r/trace.dat");
    Control<QLineEdit>(*form, "EditProfileFile").setText("/r/profile.csv");
    QFile existing(QDir(SettingsDir.path()).filePath("old.csv"));
    ASSERT_TRUE(existing.open(QIODevice::WriteOnly));
    existing.close();

    TDialogAnswerer answerer;
    answerer.OnFileDialog = [&](QFileDialog& dialog) {
        TypeFileName(dialog,
                     QDir(SettingsDir.path()).filePath("calls")); // gets the ".csv" extension
    };
    QTest::mouseClick(&Control<QPushButton>(*form, "ButtonCallListFile"), Qt::LeftButton);
    EXPECT_EQ(Text(*form, "EditCallListFile"), QDir(SettingsDir.path()).filePath("calls.csv"));
    EXPECT_EQ(Text(*form, "EditRawFile"), "/r/trace.dat");
    EXPECT_EQ(Text(*form, "EditProfileFile"), "/r/profile.csv");

    answerer.OnFileDialog = [&](QFileDialog& dialog) {
        TypeFileName(dialog, existing.fileName()); // replaced without a question
    };
    QTest::mouseClick(&Control<QPushButton>(*form, "ButtonProfileFile"), Qt::LeftButton);
    EXPECT_EQ(Text(*form, "EditProfileFile"), existing.fileName());
    EXPECT_EQ(Text(*form, "EditCallListFile"), QDir(SettingsDir.path()).filePath("calls.csv"));
    EXPECT_TRUE(answerer.Boxes.empty());

    answerer.OnFileDialog = [&](QFileDialog& dialog) {
        TypeFileName(dialog, QDir(SettingsDir.path()).filePath("app"));
    };
    QTest::mouseClick(&Control<QPushButton>(*form, "ButtonDSPoutFile"), Qt::LeftButton);
    EXPECT_EQ(Text(*form, "EditDSPoutFile"), QDir(SettingsDir.path()).filePath("app.out"));
    EXPECT_EQ(Text(*form, "EditRawFile"), "/r/trace.dat");
}

// A raw file name typed by hand takes along the output names that were derived from the previous
// one, when the raw box loses the focus or "Process" is pressed; a name the user chose stays.
TEST_F(WindowTest, ATypedRawFileNameTakesAlongTheNamesDerivedFromThePreviousOne) {
    WriteSettings("RawDataFileName=/data/big.bin\r\n");
    auto form = OpenWindow();
    QApplication::setActiveWindow(form.get());
    const auto derived = [](const char* raw) { return DeriveOutputNames(raw); };
    ASSERT_EQ(Text(*form, "EditCallListFile").toStdString(),
              derived("/data/big.bin").CallListFileName);
    Control<QLineEdit>(*form, "EditProfileFile").setText("/data/mine.csv");

    auto& raw = Control<QLineEdit>(*form, "EditRawFile");
    raw.setFocus();
    raw.selectAll();
    QTest::keyClicks(&raw, "/data/sample_trace.bin");
    Control<QLineEdit>(*form, "EditDSPoutFile").setFocus(); // the raw box loses the focus
    const TOutputNames sample = derived("/data/sample_trace.bin");
    EXPECT_EQ(Text(*form, "EditCallListFile").toStdString(), sample.CallListFileName);
    EXPECT_EQ(Text(*form, "EditTimelineFile").toStdString(), sample.TimelineFileName);
    EXPECT_EQ(Text(*form, "EditFoldedFile").toStdString(), sample.FoldedFileName);
    EXPECT_EQ(Text(*form, "EditStatsFile").toStdString(), sample.StatsFileName);
    EXPECT_EQ(Text(*form, "EditProfileFile"), "/data/mine.csv");

    raw.setText("/data/third.bin"); // no focus change: "Process" takes the names along
    Control<QPushButton>(*form, "ButtonProcess").click();
    EXPECT_EQ(Text(*form, "EditCallListFile").toStdString(),
              derived("/data/third.bin").CallListFileName);
    EXPECT_EQ(Text(*form, "EditProfileFile"), "/data/mine.csv");
    ASSERT_TRUE(WaitForJobEnd(*form));
}

// After a job, the keyboard focus is back on "Process": typing goes into no option of the next
// job.
TEST_F(WindowTest, AfterAJobTheFocusIsBackOnProcess) {
    auto form = OpenWindow();
    QApplication::setActiveWindow(form.get());
    auto& process = Control<QPushButton>(*form, "ButtonProcess");
    process.setFocus();
    QTest::keyClick(&process, Qt::Key_Return);
    ASSERT_TRUE(WaitForJobEnd(*form));
    EXPECT_EQ(QApplication::focusWidget(), &process);
}

// On a 1366 x 768 screen, less a panel and a title bar, the window with its results fits, and
// with the files and options hidden the results get most of its height.
TEST_F(WindowTest, OnALaptopScreenTheFormCanBeHiddenAndTheResultsGetTheHeight) {
    const QString trace = QDir(SettingsDir.path()).filePath("trace.bin");
    WriteBinaryTrace(trace, {{0x100 | FunctionEnter, 0, 10}, {0x100 | FunctionExit, 0, 20}});
    auto form = OpenWindow();
    Control<QRadioButton>(*form, "RadioButtonBinary").setChecked(true);
    Control<QLineEdit>(*form, "EditRawFile").setText(trace);
    Control<QLineEdit>(*form, "EditCallListFile").setText(trace + "_calls.csv");
    Control<QLineEdit>(*form, "EditProfileFile").setText(trace + "_profile.csv");
    Control<QPushButton>(*form, "ButtonProcess").click();
    ASSERT_TRUE(WaitForJobEnd(*form));
    const auto& results = Control<QWidget>(*form, "TabsResults");
    ASSERT_TRUE(results.isVisible());

    constexpr int LaptopHeight = 768 - 40 - 30;
    form->layout()->activate();
    EXPECT_LE(form->minimumSizeHint().height(), LaptopHeight);
    form->resize(1366, LaptopHeight);
    Control<QPushButton>(*form, "ButtonHideForm").click();
    form->layout()->activate();
    EXPECT_FALSE(Control<QGroupBox>(*form, "GroupBoxDSPoutFile").isVisible());
    EXPECT_FALSE(Control<QWidget>(*form, "GroupBoxExtraOutputs").isVisible());
    EXPECT_TRUE(Control<QPushButton>(*form, "ButtonProcess").isVisible());
    EXPECT_GE(results.height(), LaptopHeight / 2) << results.height();
    Control<QPushButton>(*form, "ButtonHideForm").click();
    EXPECT_TRUE(Control<QGroupBox>(*form, "GroupBoxDSPoutFile").isVisible());
}
