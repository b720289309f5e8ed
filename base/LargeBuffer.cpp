#include "base/LargeBuffer.h"

#include <cstdint>
#include <new>
#include <sys/mman.h>
#include <utility>

namespace hookmeter {

namespace {

constexpr size_t HugePage = size_t{2} << 20;

} // namespace

TLargeBuffer::TLargeBuffer(size_t bytes) {
    size_t length = (bytes + HugePage - 1) / HugePage * HugePage;
    // Huge pages need an address aligned to their size: map more and give back the ends.
    void* memory = ::mmap(nullptr, length + HugePage, PROT_READ | PROT_WRITE,
                          MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (memory == MAP_FAILED)
        throw std::bad_alloc();
    char* start = static_cast<char*>(memory);
    char* aligned = start + (HugePage - reinterpret_cast<uintptr_t>(start) % HugePage) % HugePage;
    if (aligned != start)
        ::munmap(start, size_t(aligned - start));
    if (size_t tail = size_t(start + length + HugePage - (aligned + length)); tail != 0)
        ::munmap(aligned + length, tail);
    ::madvise(aligned, length, MADV_HUGEPAGE);
    Bytes = aligned;
    Length = length;
}

TLargeBuffer::~TLargeBuffer() {
    if (Bytes != nullptr)
        ::munmap(Bytes, Length);
}

TLargeBuffer::TLargeBuffer(TLargeBuffer&& other) noexcept
    : Bytes(std::exchange(other.Bytes, nullptr)), Length(std::exchange(other.Length, 0)) {}

TLargeBuffer& TLargeBuffer::operator=(TLargeBuffer&& other) noexcept {
    if (this != &other) {
        if (Bytes != nullptr)
            ::munmap(Bytes, Length);
        Bytes = std::exchange(other.Bytes, nullptr);
        Length = std::exchange(other.Length, 0);
    }
    return *this;
}

} // namespace hookmeter
