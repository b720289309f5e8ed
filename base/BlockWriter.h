// Writes an output's blocks to its file. A file that grows past its first StartAfter bytes is
// large: from there it goes to the disk without the page cache (direct I/O) where the file system
// allows it, else it is written behind: handed to the disk a window at a time and dropped from
// the cache once it is there. Either way a job that writes gigabytes streams them at the disk's
// speed instead of leaving them all dirty in memory (where the kernel would stall the job later
// anyway, after evicting everything else), and a disk that fails a write is reported as a failed
// write. A small file is left to the page cache as any other.
//
// Direct writes need blocks that start at a multiple of Alignment in memory and in the file and
// whose size is one: the writer of the blocks shapes them so (AlignedSize); a block that is not
// so, such as the last one, is written through the cache.
#pragma once

#include <cstddef>
#include <cstdint>

namespace hookmeter {

class TBlockWriter {
public:
    static constexpr uint64_t DefaultStartAfter = uint64_t{64} << 20;
    static constexpr uint64_t DefaultWindow = uint64_t{8} << 20;
    static constexpr size_t Alignment = 4096;

    // For the open descriptor; a file that is not a regular one is only written.
    explicit TBlockWriter(int descriptor, uint64_t startAfter = DefaultStartAfter,
                          uint64_t window = DefaultWindow);

    // Writes the block whole; false when that failed.
    bool Write(const char* data, size_t size);

    // How much of `size` bytes, to be written at `offset`, to write now so that the block ends at
    // a multiple of Alignment once the file is large; `size` itself when that leaves nothing.
    static size_t AlignedSize(uint64_t offset, size_t size, uint64_t startAfter);

private:
    void SetDirect(bool direct);
    // After a write through the cache: hands what is due to the disk; false when it failed.
    bool WriteBehind();

    int Descriptor;
    uint64_t StartAfter;
    uint64_t Window;
    uint64_t Offset = 0;  // bytes written so far
    uint64_t Handed;      // write-behind: the disk was asked to write everything before this
    bool Regular = false; // a regular file: large files are written as above
    bool Direct = false;
    bool DirectRefused = false;
};

} // namespace hookmeter
