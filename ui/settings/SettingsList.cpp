#include "ui/settings/SettingsList.h"

#include <algorithm>

namespace hookmeter {

namespace {

char FoldAsciiCase(char c) {
    return (c >= 'a' && c <= 'z') ? char(c - 'a' + 'A') : c;
}

bool SameNameIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return FoldAsciiCase(x) == FoldAsciiCase(y);
           });
}

// A line without "=" is never a setting.
bool LineHasName(std::string_view line, std::string_view name) {
    const auto equals = line.find('=');
    return equals != std::string_view::npos && SameNameIgnoringCase(line.substr(0, equals), name);
}

} // namespace

TSettingsList TSettingsList::FromText(std::string_view text) {
    text = text.substr(0, text.find('\0'));
    TSettingsList list;
    size_t pos = 0;
    while (pos < text.size()) {
        const size_t end = std::min(text.find_first_of("\r\n", pos), text.size());
        list.Items.emplace_back(text.substr(pos, end - pos));
        pos = end;
        if (pos < text.size() && text[pos] == '\r')
            ++pos;
        if (pos < text.size() && text[pos] == '\n')
            ++pos;
    }
    return list;
}

std::string TSettingsList::ToText() const {
    std::string text;
    for (const std::string& line : Items) {
        text += line;
        text += "\r\n";
    }
    return text;
}

std::vector<std::string>::const_iterator TSettingsList::FindSetting(std::string_view name) const {
    return std::find_if(Items.begin(), Items.end(),
                        [name](const std::string& line) { return LineHasName(line, name); });
}

std::string TSettingsList::Value(std::string_view name) const {
    const auto line = FindSetting(name);
    if (line == Items.end())
        return {};
    return line->substr(line->find('=') + 1);
}

void TSettingsList::SetValue(std::string_view name, std::string_view value) {
    const auto found = FindSetting(name);
    if (value.empty()) {
        if (found != Items.end())
            Items.erase(found);
        return;
    }
    std::string line{name};
    line += '=';
    line += value;
    if (found == Items.end())
        Items.push_back(std::move(line));
    else
        Items[size_t(found - Items.begin())] = std::move(line);
}

} // namespace hookmeter
