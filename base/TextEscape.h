// Text for JSON strings (RFC 8259). Valid UTF-8 is kept as it is; '"' and control characters
// are escaped. No byte is lost: each byte that is not part of a valid UTF-8 sequence becomes
// the four characters \xNN (two upper-case hex digits), and a backslash becomes two
// backslashes, so the original bytes can always be told apart and restored.
#pragma once

#include <string>
#include <string_view>

namespace hookmeter {

// Appends `text` as the content of a JSON string, without the enclosing quotes.
void AppendJsonString(std::string& out, std::string_view text);

} // namespace hookmeter
