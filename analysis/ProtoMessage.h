// Protocol buffer messages written by hand: varints, length-delimited fields and the tags that
// start them (the encoding of https://protobuf.dev/programming-guides/encoding/). PutVarint writes
// into a buffer for the hot paths; TProtoMessage builds a message of any size in a string that it
// reuses, for the rest.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace hookmeter {

enum class WireType : uint8_t { Varint = 0, Length = 2 };

inline constexpr size_t MaxVarintBytes = 10;

// Writes `value` as a varint at `out`; returns the position after it.
inline char* PutVarint(char* out, uint64_t value) {
    while (value >= 0x80) {
        *out++ = char(value | 0x80);
        value >>= 7;
    }
    *out++ = char(value);
    return out;
}

// A field's tag as one byte: for field numbers below 16.
constexpr char ShortTag(uint32_t field, WireType type) {
    return char(field << 3 | uint32_t(type));
}

class TProtoMessage {
public:
    void Clear() { Data.clear(); }
    std::string_view View() const { return Data; }
    size_t Size() const { return Data.size(); }

    void Varint(uint32_t field, uint64_t value) {
        Tag(field, WireType::Varint);
        PutRaw(value);
    }
    void Bytes(uint32_t field, std::string_view bytes) {
        Tag(field, WireType::Length);
        PutRaw(bytes.size());
        Data += bytes;
    }
    void Message(uint32_t field, const TProtoMessage& message) { Bytes(field, message.View()); }

private:
    void Tag(uint32_t field, WireType type) { PutRaw(uint64_t(field) << 3 | uint32_t(type)); }
    void PutRaw(uint64_t value) {
        char text[MaxVarintBytes];
        Data.append(text, size_t(PutVarint(text, value) - text));
    }

    std::string Data;
};

} // namespace hookmeter
