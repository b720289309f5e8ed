// TByteView: bounds-checked reads of little- or big-endian fields from bytes held in memory.
// Every read outside the bytes yields 0 or nothing, so a parser can never look past what was read.
#pragma once

#include <algorithm>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace hookmeter {

class TByteView {
public:
    TByteView() = default;
    explicit TByteView(std::span<const uint8_t> bytes, bool bigEndian = false)
        : Bytes(bytes), BigEndian(bigEndian) {}

    uint64_t Size() const { return Bytes.size(); }
    TByteView InByteOrder(bool bigEndian) const { return TByteView(Bytes, bigEndian); }

    // The bytes [offset, offset + length) when all of them are present; none otherwise.
    std::optional<TByteView> Slice(uint64_t offset, uint64_t length) const {
        if (offset > Bytes.size() || length > Bytes.size() - offset)
            return std::nullopt;
        return TByteView(Bytes.subspan(size_t(offset), size_t(length)), BigEndian);
    }
    // The bytes from offset to the end; empty when offset lies at or past the end.
    TByteView Tail(uint64_t offset) const {
        if (offset >= Bytes.size())
            return TByteView({}, BigEndian);
        return TByteView(Bytes.subspan(size_t(offset)), BigEndian);
    }

    uint8_t U8(uint64_t offset) const { return offset < Bytes.size() ? Bytes[size_t(offset)] : 0; }
    uint16_t U16(uint64_t offset) const { return uint16_t(Field(offset, 2)); }
    uint32_t U32(uint64_t offset) const { return Field(offset, 4); }

    // The characters from offset up to the first NUL, at most maxLength of them and never past the
    // end; none when offset lies at or past the end.
    std::optional<std::string_view> CString(uint64_t offset, size_t maxLength) const {
        if (offset >= Bytes.size())
            return std::nullopt;
        const auto rest = Bytes.subspan(size_t(offset));
        const auto limit = rest.begin() + std::ptrdiff_t(std::min(rest.size(), maxLength));
        const auto end = std::find(rest.begin(), limit, uint8_t{0});
        return std::string_view(reinterpret_cast<const char*>(rest.data()),
                                size_t(end - rest.begin()));
    }

private:
    uint32_t Field(uint64_t offset, unsigned width) const {
        if (offset > Bytes.size() || width > Bytes.size() - offset)
            return 0;
        uint32_t value = 0;
        for (unsigned i = 0; i < width; ++i) {
            const unsigned byteIndex = BigEndian ? i : width - 1 - i;
            value = (value << 8) | Bytes[size_t(offset) + byteIndex];
        }
        return value;
    }

    std::span<const uint8_t> Bytes;
    bool BigEndian = false;
};

} // namespace hookmeter
