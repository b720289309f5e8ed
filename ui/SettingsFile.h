// Reading and writing "profile.ini", the settings file in the directory of the executable.
#pragma once

#include "ui/SettingsList.h"

#include <QString>
#include <stdexcept>

namespace hookmeter {

// A settings file that cannot be read or written; what() is the text for the error box (UTF-8).
class TSettingsFileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// "profile.ini" in the given directory, or beside the running executable when it is empty.
QString SettingsFilePath(const QString& directory);

// The list held by the file at the path; an empty list when no file exists there. Throws
// TSettingsFileError when the file exists but cannot be read.
TSettingsList LoadSettingsFile(const QString& path);

// Creates the file or replaces its content with the whole list. The old content stays intact when
// the new one cannot be written completely. Throws TSettingsFileError on failure.
void SaveSettingsFile(const QString& path, const TSettingsList& list);

} // namespace hookmeter
