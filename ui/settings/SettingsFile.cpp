#include "ui/settings/SettingsFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

namespace hookmeter {

namespace {

TSettingsFileError FileError(const char* what, const QString& path, const QString& reason) {
    const QString text =
        QStringLiteral("%1 \"%2\". %3")
            .arg(QString::fromLatin1(what), QDir::toNativeSeparators(path), reason);
    return TSettingsFileError(text.toStdString());
}

} // namespace

QString SettingsFilePath(const QString& directory) {
    if (directory.isEmpty())
        return ProgramSettingsFilePath(QCoreApplication::applicationDirPath());
    return QDir(directory).filePath(QStringLiteral("profile.ini"));
}

QString ProgramSettingsFilePath(const QString& programDirectory) {
    if (QFileInfo(programDirectory).isWritable())
        return QDir(programDirectory).filePath(QStringLiteral("profile.ini"));
    const QString folder =
        QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + "/hookmeter";
    QDir().mkpath(folder); // a folder that cannot be made shows when the file is written
    return QDir(folder).filePath(QStringLiteral("profile.ini"));
}

TSettingsList LoadSettingsFile(const QString& path) {
    if (!QFileInfo::exists(path))
        return {};
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw FileError("Cannot open file", path, file.errorString());
    const QByteArray content = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw FileError("Cannot open file", path, file.errorString());
    return TSettingsList::FromText(std::string_view(content.constData(), size_t(content.size())));
}

void SaveSettingsFile(const QString& path, const TSettingsList& list) {
    QSaveFile file(path);
    file.setDirectWriteFallback(true);
    if (!file.open(QIODevice::WriteOnly))
        throw FileError("Cannot create file", path, file.errorString());
    const std::string text = list.ToText();
    if (file.write(text.data(), qint64(text.size())) != qint64(text.size()) || !file.commit())
        throw FileError("Cannot write file", path, file.errorString());
}

} // namespace hookmeter
