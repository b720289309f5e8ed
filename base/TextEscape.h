// How names are written into each output format. Names come from the executable as they are, so
// any byte may occur; each format has one rule here, and no byte is lost where the format can
// carry it.
#pragma once

#include <string>
#include <string_view>

namespace hookmeter {

// The content of a JSON string (RFC 8259), without the enclosing quotes. Valid UTF-8 is kept as
// it is; '"' and control characters are escaped. Each byte that is not part of a valid UTF-8
// sequence becomes the four characters \xNN (two upper-case hex digits), and a backslash becomes
// two backslashes, so the original bytes can always be told apart and restored.
void AppendJsonString(std::string& out, std::string_view text);

// Text that must be valid UTF-8 (a Perfetto trace's strings): mapped as AppendJsonString maps it,
// without JSON's escapes, so it is the very text a JSON reader gets from AppendJsonString's output.
void AppendUtf8Text(std::string& out, std::string_view text);

// A CSV field (RFC 4180): in double quotes, with quotes inside doubled, when it holds a comma, a
// quote or a line break; as it is otherwise.
void AppendCsvField(std::string& out, std::string_view text);

// A name in a plain-text table: control characters as \xNN (two lower-case hex digits).
void AppendVisibleText(std::string& out, std::string_view text);

// A frame of a folded stack: ';' separates frames, so it becomes ':'; line breaks and other
// control characters become '?'.
void AppendFoldedFrame(std::string& out, std::string_view text);

} // namespace hookmeter
