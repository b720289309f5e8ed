// A strict JSON reader for tests (RFC 8259, UTF-8): it rejects what a conforming parser must
// reject and gives the parsed value, so tests can both check and read a JSON file.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace hookmeter::test {

struct TJsonValue {
    enum class Kind { Null, Bool, Number, String, Array, Object } Type = Kind::Null;
    bool Bool = false;
    double Number = 0;
    std::string Text; // a string's decoded bytes (UTF-8), or a number as written
    std::vector<TJsonValue> Items;
    std::vector<std::pair<std::string, TJsonValue>> Members;

    // The member named `name`, or none.
    const TJsonValue* Find(const std::string& name) const;
};

// The value of `text`, or none when it is not a valid JSON text; `error` then says where.
std::unique_ptr<TJsonValue> ParseJson(const std::string& text, std::string* error = nullptr);

} // namespace hookmeter::test
