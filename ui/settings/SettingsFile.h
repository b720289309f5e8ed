// Reading and writing "profile.ini", the settings file: beside the executable, or in the user's
// configuration folder when the program was installed into a folder the user may not write.
#pragma once

#include "ui/settings/SettingsList.h"

#include <QString>
#include <stdexcept>

namespace hookmeter {

// A settings file that cannot be read or written; what() is the text for the error box (UTF-8).
class TSettingsFileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// "profile.ini" in the given directory; when it is empty, ProgramSettingsFilePath of the running
// executable's directory.
QString SettingsFilePath(const QString& directory);

// Where a program that runs from programDirectory keeps "profile.ini": beside it when the user may
// write that folder (a build or an unpacked folder), otherwise "hookmeter/profile.ini" in the
// user's configuration folder ($XDG_CONFIG_HOME, else ~/.config), which is created when missing so
// that the file can be written at exit.
QString ProgramSettingsFilePath(const QString& programDirectory);

// The list held by the file at the path; an empty list when no file exists there. Throws
// TSettingsFileError when the file exists but cannot be read.
TSettingsList LoadSettingsFile(const QString& path);

// Creates the file or replaces its content with the whole list. The old content stays intact when
// the new one cannot be written completely. Throws TSettingsFileError on failure.
void SaveSettingsFile(const QString& path, const TSettingsList& list);

} // namespace hookmeter
