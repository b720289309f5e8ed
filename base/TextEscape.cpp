#include "base/TextEscape.h"

#include "base/NumberFormat.h"

#include <array>

namespace hookmeter {
namespace {

// The length of the valid UTF-8 sequence at the start of `text`, or 0.
size_t Utf8SequenceLength(std::string_view text) {
    auto byte = [&](size_t i) { return (unsigned char)text[i]; };
    unsigned char lead = byte(0);
    size_t length;
    unsigned char low = 0x80, high = 0xBF; // allowed range of the second byte
    if (lead < 0x80)
        return 1;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0)
            low = 0xA0; // no overlong forms
        else if (lead == 0xED)
            high = 0x9F; // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0)
            low = 0x90;
        else if (lead == 0xF4)
            high = 0x8F; // nothing above U+10FFFF
    } else {
        return 0;
    }
    if (text.size() < length || byte(1) < low || byte(1) > high)
        return 0;
    for (size_t i = 2; i < length; ++i)
        if (byte(i) < 0x80 || byte(i) > 0xBF)
            return 0;
    return length;
}

} // namespace

void AppendJsonString(std::string& out, std::string_view text) {
    while (!text.empty()) {
        unsigned char c = (unsigned char)text[0];
        size_t length = Utf8SequenceLength(text);
        if (length == 0) {
            out += "\\\\x";
            out += UpperHexDigit(c >> 4);
            out += UpperHexDigit(c);
            length = 1;
        } else if (c == '"') {
            out += "\\\"";
        } else if (c == '\\') {
            out += "\\\\\\\\";
        } else if (c < 0x20 || c == 0x7F) {
            out += "\\u00";
            out += UpperHexDigit(c >> 4);
            out += UpperHexDigit(c);
        } else {
            out.append(text.data(), length);
        }
        text.remove_prefix(length);
    }
}

void AppendUtf8Text(std::string& out, std::string_view text) {
    while (!text.empty()) {
        size_t length = Utf8SequenceLength(text);
        if (length == 0) {
            unsigned char c = (unsigned char)text[0];
            out += "\\x";
            out += UpperHexDigit(c >> 4);
            out += UpperHexDigit(c);
            length = 1;
        } else if (text[0] == '\\') {
            out += "\\\\";
        } else {
            out.append(text.data(), length);
        }
        text.remove_prefix(length);
    }
}

void AppendCsvField(std::string& out, std::string_view text) {
    if (text.find_first_of(",\"\r\n") == std::string_view::npos) {
        out += text;
        return;
    }
    out += '"';
    for (size_t quote; (quote = text.find('"')) != std::string_view::npos;) {
        out += text.substr(0, quote + 1);
        out += '"';
        text.remove_prefix(quote + 1);
    }
    out += text;
    out += '"';
}

void AppendVisibleText(std::string& out, std::string_view text) {
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) {
            out += "\\x";
            out += LowerHexDigit(byte >> 4);
            out += LowerHexDigit(byte);
        } else {
            out += c;
        }
    }
}

void AppendFoldedFrame(std::string& out, std::string_view text) {
    static constexpr auto Frame = [] {
        std::array<char, 256> map{};
        for (int c = 0; c < 256; ++c)
            map[size_t(c)] = c == ';' ? ':' : c < 0x20 || c == 0x7F ? '?' : char(c);
        return map;
    }();
    const size_t at = out.size();
    out.resize(at + text.size());
    char* to = out.data() + at;
    for (char c : text)
        *to++ = Frame[static_cast<unsigned char>(c)];
}

} // namespace hookmeter
