#include "ui/settings/WindowSettings.h"

#include "job/JobParameters.h"

#include <QFile>
#include <algorithm>
#include <charconv>
#include <optional>
#include <string>

namespace hookmeter {

namespace {

constexpr const char* WinWidthKey = "WinWidth";
constexpr const char* WinHeightKey = "WinHeight";
constexpr const char* WinMaxKey = "WinMax";
constexpr const char* RawDataFileTypeKey = "RawDataFileType";
constexpr const char* RawDataFileNameKey = "RawDataFileName";
constexpr const char* ParseGlobalSymbolOnlyKey = "ParseGlobalSymbolOnly";
constexpr const char* DSPOutFileNameKey = "DSPOutFileName";
constexpr const char* CallStackSizeKey = "CallStackSize";

// Plain signed decimal: an optional sign, then digits, within 32 bits.
std::optional<int> ParseInteger(const std::string& text) {
    const char* first = text.data();
    const char* last = text.data() + text.size();
    if (first != last && *first == '+' && last - first > 1 && first[1] != '-')
        ++first;
    int value = 0;
    const auto [end, error] = std::from_chars(first, last, value);
    if (error != std::errc() || end != last)
        return std::nullopt;
    return value;
}

// The stored integer, or nothing when the key is absent or empty.
std::optional<int> IntegerSetting(const TSettingsList& settings, const char* key) {
    const std::string value = settings.Value(key);
    if (value.empty())
        return std::nullopt;
    const std::optional<int> number = ParseInteger(value);
    if (!number)
        throw TInvalidIntegerError("'" + value + "' is not a valid integer value.");
    return number;
}

std::optional<QString> FileNameSetting(const TSettingsList& settings, const char* key) {
    const std::string value = settings.Value(key);
    if (value.empty())
        return std::nullopt;
    return QFile::decodeName(QByteArray::fromStdString(value));
}

std::string StoredFileName(const QString& name) {
    return QFile::encodeName(name).toStdString();
}

const char* StoredFlag(bool flag) {
    return flag ? "true" : "false";
}

} // namespace

int ClampRawDataFileType(int index) {
    return std::clamp(index, -1, 1);
}

int ClampCallStackSize(int size) {
    return std::clamp(size, int(TJobParameters::MinCallStackSize),
                      int(TJobParameters::MaxCallStackSize));
}

void ApplySettings(const TSettingsList& settings, TSettingsControls& controls) {
    if (const auto width = IntegerSetting(settings, WinWidthKey))
        controls.SetOuterWidth(*width);
    if (const auto height = IntegerSetting(settings, WinHeightKey))
        controls.SetOuterHeight(*height);
    if (settings.Value(WinMaxKey) == "true")
        controls.Maximise();
    if (const auto fileType = IntegerSetting(settings, RawDataFileTypeKey))
        controls.SetRawDataFileType(ClampRawDataFileType(*fileType));
    if (const auto rawFile = FileNameSetting(settings, RawDataFileNameKey)) {
        controls.SetRawDataFileName(*rawFile);
        controls.SetOutputFileNames(*rawFile);
    }
    if (const std::string globalOnly = settings.Value(ParseGlobalSymbolOnlyKey);
        !globalOnly.empty())
        controls.SetParseGlobalSymbolOnly(globalOnly == "true");
    if (const auto dspFile = FileNameSetting(settings, DSPOutFileNameKey))
        controls.SetDSPOutFileName(*dspFile);
    if (const auto stackSize = IntegerSetting(settings, CallStackSizeKey))
        controls.SetCallStackSize(ClampCallStackSize(*stackSize));
}

void StoreSettings(const TSettingsControls& controls, TSettingsList& settings) {
    if (controls.IsMaximised()) {
        settings.SetValue(WinMaxKey, "true");
    } else {
        settings.SetValue(WinMaxKey, "false");
        settings.SetValue(WinWidthKey, std::to_string(controls.OuterWidth()));
        settings.SetValue(WinHeightKey, std::to_string(controls.OuterHeight()));
    }
    settings.SetValue(RawDataFileTypeKey, std::to_string(controls.RawDataFileType()));
    settings.SetValue(RawDataFileNameKey, StoredFileName(controls.RawDataFileName()));
    settings.SetValue(ParseGlobalSymbolOnlyKey, StoredFlag(controls.ParseGlobalSymbolOnly()));
    settings.SetValue(DSPOutFileNameKey, StoredFileName(controls.DSPOutFileName()));
    settings.SetValue(CallStackSizeKey, std::to_string(controls.CallStackSize()));
}

} // namespace hookmeter
