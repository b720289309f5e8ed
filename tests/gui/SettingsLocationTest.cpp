// Where "profile.ini" lives: beside the program while the user may write its folder (a build or an
// unpacked folder), in the user's configuration folder once the program is installed somewhere the
// user may not write.
#include "ui/settings/SettingsFile.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <unistd.h>

namespace hookmeter {
namespace {

constexpr QFile::Permissions ReadOnlyFolder = QFile::ReadOwner | QFile::ExeOwner |
                                              QFile::ReadGroup | QFile::ExeGroup |
                                              QFile::ReadOther | QFile::ExeOther;
constexpr QFile::Permissions OwnFolder = ReadOnlyFolder | QFile::WriteOwner;
constexpr QFile::Permissions OpenFolder = OwnFolder | QFile::WriteGroup | QFile::WriteOther;

// Root may write any folder, so as root (in CI) the user is "nobody", who may not.
void BecomeOrdinaryUser() {
    constexpr uid_t Nobody = 65534;
    if (geteuid() == 0 && (setgid(Nobody) != 0 || setuid(Nobody) != 0)) {
        std::fputs("cannot become an ordinary user\n", stderr);
        std::_Exit(3);
    }
}

TEST(SettingsLocation, WritableProgramFolderKeepsTheFileBesideTheProgram) {
    QTemporaryDir program;
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    EXPECT_EQ(ProgramSettingsFilePath(program.path()), program.path() + "/profile.ini");
    EXPECT_FALSE(QFileInfo::exists(config.path() + "/hookmeter"));
    qunsetenv("XDG_CONFIG_HOME");
}

// A death test's child runs the test again from its start, in a new process that ends without
// unwinding. So the child works in the folder its parent made, named in this variable, and the
// parent, who may remove what "nobody" wrote there, removes it.
constexpr const char* ParentFolderVariable = "HOOKMETER_TEST_SETTINGS_FOLDER";

TEST(SettingsLocationDeathTest, ReadOnlyProgramFolderUsesTheUserConfigurationFolder) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    std::optional<QTemporaryDir> made; // only in the parent
    QString base = qEnvironmentVariable(ParentFolderVariable);
    if (base.isEmpty()) {
        made.emplace();
        base = made->path();
    }
    const QString program = base + "/bin";
    const QString config = base + "/config";
    if (made) {
        ASSERT_TRUE(QFile::setPermissions(base, OwnFolder));
        ASSERT_TRUE(QDir().mkdir(program) && QDir().mkdir(config));
        ASSERT_TRUE(QFile::setPermissions(program, ReadOnlyFolder));
        ASSERT_TRUE(QFile::setPermissions(config, OpenFolder));
        qputenv(ParentFolderVariable, base.toLocal8Bit());
    }

    EXPECT_EXIT(
        {
            BecomeOrdinaryUser();
            qputenv("XDG_CONFIG_HOME", config.toLocal8Bit());
            const QString path = ProgramSettingsFilePath(program);
            SaveSettingsFile(path, TSettingsList::FromText("WinMax=false"));
            const bool kept =
                path == config + "/hookmeter/profile.ini" &&
                LoadSettingsFile(path).Lines() == std::vector<std::string>{"WinMax=false"};
            std::fprintf(stderr, "settings file: %s\n", qPrintable(path));
            std::exit(kept ? 0 : 1);
        },
        testing::ExitedWithCode(0), "settings file: ");
    qunsetenv(ParentFolderVariable);
    EXPECT_FALSE(QFileInfo::exists(program + "/profile.ini"));
    EXPECT_TRUE(QFileInfo::exists(config + "/hookmeter/profile.ini"));
}

} // namespace
} // namespace hookmeter
