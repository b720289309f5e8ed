// A buffer of many megabytes that is filled bit by bit, such as a cache: it asks the system for
// huge pages, so that the first touch of each part costs one fault per 2 MiB instead of one per
// 4 KiB page (on some virtual machines a fault costs as much as reading a whole page from a file).
// Its memory is not cleared.
#pragma once

#include <cstddef>

namespace hookmeter {

class TLargeBuffer {
public:
    TLargeBuffer() = default;
    explicit TLargeBuffer(size_t bytes);
    ~TLargeBuffer();
    TLargeBuffer(const TLargeBuffer&) = delete;
    TLargeBuffer& operator=(const TLargeBuffer&) = delete;
    TLargeBuffer(TLargeBuffer&& other) noexcept;
    TLargeBuffer& operator=(TLargeBuffer&& other) noexcept;

    char* Data() const { return Bytes; }
    size_t Size() const { return Length; }
    explicit operator bool() const { return Bytes != nullptr; }

private:
    char* Bytes = nullptr;
    size_t Length = 0;
};

} // namespace hookmeter
