// Applying stored settings to the window's controls and storing them back, through a recording
// stand-in for the controls; and the settings file on disk.
#include "ui/settings/WindowSettings.h"
#include "ui/settings/SettingsFile.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <string>
#include <vector>

using namespace hookmeter;
using Calls = std::vector<std::string>;
using Lines = std::vector<std::string>;

namespace {

// Records every change made to it and answers the getters from plain fields.
class TRecordingControls final : public TSettingsControls {
public:
    Calls Made;

    bool Maximised = false;
    int Width = 700, Height = 500, FileType = 0, StackSize = 256;
    QString RawFile, DspFile;
    bool GlobalOnly = true;

    void SetOuterWidth(int width) override { Record("width " + std::to_string(width)); }
    void SetOuterHeight(int height) override { Record("height " + std::to_string(height)); }
    void Maximise() override { Record("maximise"); }
    void SetRawDataFileType(int index) override { Record("type " + std::to_string(index)); }
    void SetRawDataFileName(const QString& name) override { Record("raw " + name.toStdString()); }
    void SetOutputFileNames(const QString& raw) override { Record("outputs " + raw.toStdString()); }
    void SetParseGlobalSymbolOnly(bool checked) override {
        Record(checked ? "global on" : "global off");
    }
    void SetDSPOutFileName(const QString& name) override { Record("dsp " + name.toStdString()); }
    void SetCallStackSize(int size) override { Record("stack " + std::to_string(size)); }

    bool IsMaximised() const override { return Maximised; }
    int OuterWidth() const override { return Width; }
    int OuterHeight() const override { return Height; }
    int RawDataFileType() const override { return FileType; }
    QString RawDataFileName() const override { return RawFile; }
    bool ParseGlobalSymbolOnly() const override { return GlobalOnly; }
    QString DSPOutFileName() const override { return DspFile; }
    int CallStackSize() const override { return StackSize; }

private:
    void Record(std::string call) { Made.push_back(std::move(call)); }
};

Calls Apply(const std::string& text) {
    TRecordingControls controls;
    ApplySettings(TSettingsList::FromText(text), controls);
    return controls.Made;
}

std::string ApplyError(const std::string& text, Calls& made) {
    TRecordingControls controls;
    try {
        ApplySettings(TSettingsList::FromText(text), controls);
    } catch (const TInvalidIntegerError& error) {
        made = controls.Made;
        return error.what();
    }
    made = controls.Made;
    return "no error";
}

} // namespace

TEST(ApplySettings, AppliesEveryKeyInItsFixedOrder) {
    const Calls made = Apply("CallStackSize=512\nDSPOutFileName=/p/app.out\n"
                             "ParseGlobalSymbolOnly=false\nRawDataFileName=/r/trace.dat\n"
                             "RawDataFileType=1\nWinMax=true\nWinHeight=480\nWinWidth=640\n");
    EXPECT_EQ(made, (Calls{"width 640", "height 480", "maximise", "type 1", "raw /r/trace.dat",
                           "outputs /r/trace.dat", "global off", "dsp /p/app.out", "stack 512"}));
}

TEST(ApplySettings, AbsentOrEmptyValuesLeaveTheControlsAlone) {
    EXPECT_TRUE(Apply("").empty());
    EXPECT_TRUE(Apply("WinWidth=\nRawDataFileName=\nParseGlobalSymbolOnly=\nCallStackSize=\n"
                      "comment line\n[section]\n")
                    .empty());
}

TEST(ApplySettings, OnlyExactlyTrueCountsAsTrue) {
    EXPECT_EQ(Apply("WinMax=TRUE\nParseGlobalSymbolOnly=yes\n"), (Calls{"global off"}));
    EXPECT_EQ(Apply("WinMax= true\nParseGlobalSymbolOnly=True\n"), (Calls{"global off"}));
    EXPECT_EQ(Apply("winmax=true\nparseglobalsymbolonly=true\n"), (Calls{"maximise", "global on"}));
}

TEST(ApplySettings, FileTypeAndCallStackSizeEndAtTheNearerBound) {
    EXPECT_EQ(Apply("RawDataFileType=5\n"), (Calls{"type 1"}));
    EXPECT_EQ(Apply("RawDataFileType=-3\n"), (Calls{"type -1"}));
    EXPECT_EQ(Apply("RawDataFileType=-1\n"), (Calls{"type -1"}));
    EXPECT_EQ(Apply("RawDataFileType=0\n"), (Calls{"type 0"}));
    EXPECT_EQ(Apply("CallStackSize=100\n"), (Calls{"stack 100"})); // no need to be a multiple of 64
    EXPECT_EQ(Apply("CallStackSize=8193\n"), (Calls{"stack 8192"}));
    EXPECT_EQ(Apply("CallStackSize=70000\n"), (Calls{"stack 8192"})); // beyond 16 bits
    EXPECT_EQ(Apply("CallStackSize=63\n"), (Calls{"stack 64"}));
    EXPECT_EQ(Apply("CallStackSize=-70000\n"), (Calls{"stack 64"}));
    EXPECT_EQ(Apply("CallStackSize=+128\n"), (Calls{"stack 128"}));
}

TEST(ApplySettings, BadIntegerStopsAtThatKeyWithItsText) {
    Calls made;
    EXPECT_EQ(
        ApplyError("WinWidth=640\nWinHeight=4x0\nRawDataFileType=1\nCallStackSize=512\n", made),
        "'4x0' is not a valid integer value.");
    EXPECT_EQ(made, (Calls{"width 640"}));

    EXPECT_EQ(ApplyError("WinMax=true\nRawDataFileType=binary\nRawDataFileName=/t.dat\n", made),
              "'binary' is not a valid integer value.");
    EXPECT_EQ(made, (Calls{"maximise"}));

    EXPECT_EQ(ApplyError("RawDataFileName=/t.dat\nCallStackSize= 256\n", made),
              "' 256' is not a valid integer value.");
    EXPECT_EQ(made, (Calls{"raw /t.dat", "outputs /t.dat"}));

    EXPECT_EQ(ApplyError("WinWidth=99999999999\n", made),
              "'99999999999' is not a valid integer value.");
    EXPECT_EQ(ApplyError("WinWidth=+-5\n", made), "'+-5' is not a valid integer value.");
    EXPECT_EQ(ApplyError("WinWidth=-\n", made), "'-' is not a valid integer value.");
}

TEST(StoreSettings, FromNoFileWritesTheKeysInTheirOrder) {
    TRecordingControls controls;
    controls.RawFile = "/r/trace.bin";
    controls.FileType = 1;
    controls.GlobalOnly = false;
    controls.DspFile = "/p/app.out";
    controls.StackSize = 100;
    TSettingsList settings;
    StoreSettings(controls, settings);
    EXPECT_EQ(settings.Lines(),
              (Lines{"WinMax=false", "WinWidth=700", "WinHeight=500", "RawDataFileType=1",
                     "RawDataFileName=/r/trace.bin", "ParseGlobalSymbolOnly=false",
                     "DSPOutFileName=/p/app.out", "CallStackSize=100"}));
}

TEST(StoreSettings, EmptyFileNamesRemoveTheirLines) {
    TRecordingControls controls;
    controls.FileType = -1;
    auto settings = TSettingsList::FromText("RawDataFileName=/old.dat\nDSPOutFileName=/old.out\n");
    StoreSettings(controls, settings);
    EXPECT_EQ(settings.Lines(),
              (Lines{"WinMax=false", "WinWidth=700", "WinHeight=500", "RawDataFileType=-1",
                     "ParseGlobalSymbolOnly=true", "CallStackSize=256"}));
}

TEST(StoreSettings, MaximisedKeepsTheStoredSizeAndRespellsMatchedNames) {
    TRecordingControls controls;
    controls.Maximised = true;
    auto settings = TSettingsList::FromText("winwidth=640\nWinHeight=bad\nwinmax=false\n"
                                            "WinWidth=1\n; kept\n");
    StoreSettings(controls, settings);
    EXPECT_EQ(settings.Lines(),
              (Lines{"winwidth=640", "WinHeight=bad", "WinMax=true", "WinWidth=1", "; kept",
                     "RawDataFileType=0", "ParseGlobalSymbolOnly=true", "CallStackSize=256"}));

    controls.Maximised = false;
    StoreSettings(controls, settings);
    EXPECT_EQ(settings.Lines()[0], "WinWidth=700");
    EXPECT_EQ(settings.Lines()[1], "WinHeight=500");
    EXPECT_EQ(settings.Lines()[3], "WinWidth=1"); // the later duplicate stays as it was
}

TEST(StoreSettings, StoredValuesApplyBackToTheSameControls) {
    TRecordingControls original;
    original.Width = 900;
    original.Height = 650;
    original.FileType = 1;
    original.RawFile = "/data/runs/trace.data";
    original.GlobalOnly = false;
    original.DspFile = "/data/app.out";
    original.StackSize = 4096;
    TSettingsList settings;
    StoreSettings(original, settings);
    EXPECT_EQ(
        Apply(settings.ToText()),
        (Calls{"width 900", "height 650", "type 1", "raw /data/runs/trace.data",
               "outputs /data/runs/trace.data", "global off", "dsp /data/app.out", "stack 4096"}));
}

// ---- the file ----

TEST(SettingsFile, LivesBesideTheExecutableUnlessADirectoryIsGiven) {
    EXPECT_EQ(SettingsFilePath("/some/dir"), "/some/dir/profile.ini");
    EXPECT_TRUE(SettingsFilePath({}).endsWith("/profile.ini"));
    EXPECT_NE(SettingsFilePath({}), "/profile.ini");
}

TEST(SettingsFile, MissingFileGivesAnEmptyListAndSavingCreatesIt) {
    QTemporaryDir dir;
    const QString path = SettingsFilePath(dir.path());
    EXPECT_TRUE(LoadSettingsFile(path).Lines().empty());

    auto list = TSettingsList::FromText("; mine\nWinMax=true");
    SaveSettingsFile(path, list);
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll().toStdString(), "; mine\r\nWinMax=true\r\n");
    EXPECT_EQ(LoadSettingsFile(path).Lines(), (Lines{"; mine", "WinMax=true"}));
}

TEST(SettingsFile, UnreadableFileNamesThePathAndTheReason) {
    QTemporaryDir dir;
    const QString path = SettingsFilePath(dir.path());
    ASSERT_TRUE(QDir(dir.path()).mkdir("profile.ini")); // exists, but is no file to read
    try {
        LoadSettingsFile(path);
        FAIL() << "a directory was read as settings";
    } catch (const TSettingsFileError& error) {
        const std::string prefix = "Cannot open file \"" + path.toStdString() + "\". ";
        EXPECT_EQ(std::string(error.what()).substr(0, prefix.size()), prefix);
        EXPECT_GT(std::string(error.what()).size(), prefix.size()); // the system's reason follows
    }
}

TEST(SettingsFile, UnwritableFileIsReportedAndLeavesTheOldContent) {
    QTemporaryDir dir;
    const QString missingDir = QDir(dir.path()).filePath("gone");
    EXPECT_THROW(SaveSettingsFile(SettingsFilePath(missingDir), TSettingsList::FromText("a=1")),
                 TSettingsFileError);

    ASSERT_TRUE(QDir(dir.path()).mkdir("profile.ini"));
    EXPECT_THROW(SaveSettingsFile(SettingsFilePath(dir.path()), TSettingsList::FromText("a=1")),
                 TSettingsFileError);
    EXPECT_TRUE(QFileInfo(SettingsFilePath(dir.path())).isDir());
}
