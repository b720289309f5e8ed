// Keeps a large output from filling the page cache. Past its first StartAfter bytes, a file is
// handed to the disk a window at a time as it is written, and each window is dropped from the
// cache once it is on the disk, so a job that writes gigabytes streams them at the disk's speed
// with a few windows of cache instead of leaving them all dirty in memory (where the kernel
// would stall the job later anyway, and evict everything else first). A small file is left to
// the page cache as any other.
//
// Writing a window back also reports what a later close would not: a disk that failed the
// write.
#pragma once

#include <cstdint>

namespace hookmeter {

class TWriteBehind {
public:
    static constexpr uint64_t DefaultStartAfter = uint64_t{64} << 20;
    static constexpr uint64_t DefaultWindow = uint64_t{8} << 20;

    // For the open descriptor; does nothing unless it is a regular file.
    explicit TWriteBehind(int descriptor, uint64_t startAfter = DefaultStartAfter,
                          uint64_t window = DefaultWindow);

    // After `bytes` more were written; false when the disk failed a write.
    bool Written(uint64_t bytes);

private:
    int Descriptor;
    uint64_t Window;
    uint64_t Size = 0;   // bytes written so far
    uint64_t Handed = 0; // the disk has been asked to write everything before it
    bool Enabled = false;
};

} // namespace hookmeter
