// TSettingsList: the name=value lines of "profile.ini", kept in file order. Lines that are not the
// first setting of their name (other names, later duplicates, comments, blank lines) are carried
// along untouched and written back where they stood.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace hookmeter {

class TSettingsList {
public:
    // Splits 8-bit text into lines. CR, LF and CR LF each end a line; a NUL byte ends the text.
    static TSettingsList FromText(std::string_view text);
    // Every line followed by CR LF.
    std::string ToText() const;

    // The value of the first line whose name matches without regard to letter case; empty text
    // when no line matches.
    std::string Value(std::string_view name) const;
    // Replaces the first matching line by name=value, or appends it when none matches. Empty
    // text removes the first matching line instead.
    void SetValue(std::string_view name, std::string_view value);

    const std::vector<std::string>& Lines() const { return Items; }

private:
    std::vector<std::string>::const_iterator FindSetting(std::string_view name) const;

    std::vector<std::string> Items;
};

} // namespace hookmeter
