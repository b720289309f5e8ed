#include "JsonCheck.h"

#include <cstdlib>

namespace hookmeter::test {
namespace {

class TJsonReader {
public:
    explicit TJsonReader(const std::string& text) : Text(text) {}

    bool ReadDocument(TJsonValue& value) {
        SkipSpace();
        if (!ReadValue(value, 0))
            return false;
        SkipSpace();
        return Fail(At == Text.size() ? nullptr : "text after the value");
    }
    std::string Error;

private:
    bool Fail(const char* what) {
        if (what == nullptr)
            return true;
        Error = std::string(what) + " at byte " + std::to_string(At);
        return false;
    }
    void SkipSpace() {
        while (At < Text.size() &&
               (Text[At] == ' ' || Text[At] == '\t' || Text[At] == '\n' || Text[At] == '\r'))
            ++At;
    }
    bool Literal(const char* word) {
        for (size_t i = 0; word[i] != 0; ++i, ++At)
            if (At >= Text.size() || Text[At] != word[i])
                return Fail("bad literal");
        return true;
    }
    bool ReadValue(TJsonValue& value, int depth) {
        if (depth > 512)
            return Fail("nesting too deep");
        if (At >= Text.size())
            return Fail("value expected");
        switch (Text[At]) {
        case '{':
            return ReadObject(value, depth);
        case '[':
            return ReadArray(value, depth);
        case '"':
            value.Type = TJsonValue::Kind::String;
            return ReadString(value.Text);
        case 't':
            value.Type = TJsonValue::Kind::Bool;
            value.Bool = true;
            return Literal("true");
        case 'f':
            value.Type = TJsonValue::Kind::Bool;
            return Literal("false");
        case 'n':
            return Literal("null");
        default:
            return ReadNumber(value);
        }
    }
    bool ReadObject(TJsonValue& value, int depth) {
        value.Type = TJsonValue::Kind::Object;
        ++At;
        SkipSpace();
        if (At < Text.size() && Text[At] == '}')
            return ++At, true;
        for (;;) {
            SkipSpace();
            std::string name;
            if (At >= Text.size() || Text[At] != '"' || !ReadString(name))
                return Fail("member name expected");
            SkipSpace();
            if (At >= Text.size() || Text[At++] != ':')
                return Fail("':' expected");
            SkipSpace();
            value.Members.emplace_back(std::move(name), TJsonValue{});
            if (!ReadValue(value.Members.back().second, depth + 1))
                return false;
            SkipSpace();
            if (At < Text.size() && Text[At] == ',') {
                ++At;
                continue;
            }
            if (At < Text.size() && Text[At] == '}')
                return ++At, true;
            return Fail("',' or '}' expected");
        }
    }
    bool ReadArray(TJsonValue& value, int depth) {
        value.Type = TJsonValue::Kind::Array;
        ++At;
        SkipSpace();
        if (At < Text.size() && Text[At] == ']')
            return ++At, true;
        for (;;) {
            SkipSpace();
            if (!ReadValue(value.Items.emplace_back(), depth + 1))
                return false;
            SkipSpace();
            if (At < Text.size() && Text[At] == ',') {
                ++At;
                continue;
            }
            if (At < Text.size() && Text[At] == ']')
                return ++At, true;
            return Fail("',' or ']' expected");
        }
    }
    bool ReadNumber(TJsonValue& value) {
        size_t start = At;
        auto digits = [&] {
            size_t from = At;
            while (At < Text.size() && Text[At] >= '0' && Text[At] <= '9')
                ++At;
            return At > from;
        };
        if (At < Text.size() && Text[At] == '-')
            ++At;
        if (At < Text.size() && Text[At] == '0')
            ++At;
        else if (!digits())
            return Fail("number expected");
        if (At < Text.size() && Text[At] == '.' && (++At, !digits()))
            return Fail("digits expected after '.'");
        if (At < Text.size() && (Text[At] == 'e' || Text[At] == 'E')) {
            ++At;
            if (At < Text.size() && (Text[At] == '+' || Text[At] == '-'))
                ++At;
            if (!digits())
                return Fail("exponent expected");
        }
        value.Type = TJsonValue::Kind::Number;
        value.Text = Text.substr(start, At - start);
        value.Number = std::strtod(value.Text.c_str(), nullptr);
        return true;
    }
    static void PutUtf8(std::string& out, unsigned code) {
        if (code < 0x80) {
            out += char(code);
        } else if (code < 0x800) {
            out += char(0xC0 | code >> 6);
            out += char(0x80 | (code & 0x3F));
        } else if (code < 0x10000) {
            out += char(0xE0 | code >> 12);
            out += char(0x80 | (code >> 6 & 0x3F));
            out += char(0x80 | (code & 0x3F));
        } else {
            out += char(0xF0 | code >> 18);
            out += char(0x80 | (code >> 12 & 0x3F));
            out += char(0x80 | (code >> 6 & 0x3F));
            out += char(0x80 | (code & 0x3F));
        }
    }
    bool ReadHex4(unsigned& code) {
        code = 0;
        for (int i = 0; i < 4; ++i, ++At) {
            if (At >= Text.size())
                return Fail("bad \\u escape");
            char c = Text[At];
            unsigned digit = c >= '0' && c <= '9'   ? unsigned(c - '0')
                             : c >= 'a' && c <= 'f' ? unsigned(c - 'a' + 10)
                             : c >= 'A' && c <= 'F' ? unsigned(c - 'A' + 10)
                                                    : 16;
            if (digit == 16)
                return Fail("bad \\u escape");
            code = code * 16 + digit;
        }
        return true;
    }
    // The length of a valid UTF-8 sequence at At, or 0.
    size_t Utf8Length() const {
        auto byte = [&](size_t i) {
            return At + i < Text.size() ? (unsigned char)Text[At + i] : 0u;
        };
        unsigned lead = byte(0);
        size_t length = lead < 0x80                    ? 1
                        : lead >= 0xC2 && lead <= 0xDF ? 2
                        : lead >= 0xE0 && lead <= 0xEF ? 3
                        : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                       : 0;
        unsigned low = lead == 0xE0 ? 0xA0 : lead == 0xF0 ? 0x90 : 0x80;
        unsigned high = lead == 0xED ? 0x9F : lead == 0xF4 ? 0x8F : 0xBF;
        if (length >= 2 && (byte(1) < low || byte(1) > high))
            return 0;
        for (size_t i = 2; i < length; ++i)
            if (byte(i) < 0x80 || byte(i) > 0xBF)
                return 0;
        return length;
    }
    bool ReadString(std::string& out) {
        ++At; // the opening quote
        for (;;) {
            if (At >= Text.size())
                return Fail("unterminated string");
            unsigned char c = (unsigned char)Text[At];
            if (c == '"')
                return ++At, true;
            if (c < 0x20)
                return Fail("control character in a string");
            if (c != '\\') {
                size_t length = Utf8Length();
                if (length == 0)
                    return Fail("invalid UTF-8");
                out.append(Text, At, length);
                At += length;
                continue;
            }
            if (++At >= Text.size())
                return Fail("unterminated escape");
            char e = Text[At++];
            switch (e) {
            case '"':
            case '\\':
            case '/':
                out += e;
                break;
            case 'b':
                out += '\b';
                break;
            case 'f':
                out += '\f';
                break;
            case 'n':
                out += '\n';
                break;
            case 'r':
                out += '\r';
                break;
            case 't':
                out += '\t';
                break;
            case 'u': {
                unsigned code;
                if (!ReadHex4(code))
                    return false;
                if (code >= 0xDC00 && code <= 0xDFFF)
                    return Fail("lone low surrogate");
                if (code >= 0xD800 && code <= 0xDBFF) {
                    unsigned low;
                    if (At + 1 >= Text.size() || Text[At] != '\\' || Text[At + 1] != 'u')
                        return Fail("lone high surrogate");
                    At += 2;
                    if (!ReadHex4(low) || low < 0xDC00 || low > 0xDFFF)
                        return Fail("bad surrogate pair");
                    code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
                }
                PutUtf8(out, code);
                break;
            }
            default:
                return Fail("unknown escape");
            }
        }
    }

    const std::string& Text;
    size_t At = 0;
};

} // namespace

const TJsonValue* TJsonValue::Find(const std::string& name) const {
    for (const auto& [key, value] : Members)
        if (key == name)
            return &value;
    return nullptr;
}

std::unique_ptr<TJsonValue> ParseJson(const std::string& text, std::string* error) {
    auto value = std::make_unique<TJsonValue>();
    TJsonReader reader(text);
    if (reader.ReadDocument(*value))
        return value;
    if (error != nullptr)
        *error = reader.Error;
    return nullptr;
}

} // namespace hookmeter::test
