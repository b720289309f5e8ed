// An unnamed file in the system's temporary folder that holds fixed-size chunks: written once,
// one chunk after the other, then read back at random. The file is removed from its folder as
// soon as it is made, so it disappears with its descriptor however the program ends; its space
// is freed when the object goes.
//
// Chunks are gathered in buffers of a megabyte; a thread of the file's own writes each full buffer
// while the next one fills (the caller writes them itself when no thread can be started), so that
// copying them into the system's page cache does not hold the caller up. A failed write is
// remembered (Failed) and nothing more is written. Reading is safe from several threads once
// writing is done.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace hookmeter {

class TChunkFile {
public:
    static constexpr size_t ChunkBytes = 4096;

    TChunkFile() = default;
    ~TChunkFile();
    TChunkFile(const TChunkFile&) = delete;
    TChunkFile& operator=(const TChunkFile&) = delete;

    // Makes the file in `$TMPDIR`, else /tmp; false when that fails.
    bool Create();
    // Appends one chunk of ChunkBytes and returns its number (0 for the first).
    uint32_t Append(const void* chunk);
    // Writes what is gathered and frees the buffers: nothing more can be appended. False when any
    // write failed.
    bool Finish();
    // May lag behind by the buffers being written.
    bool Failed() const;
    uint32_t Chunks() const { return Count; }
    uint64_t Bytes() const { return uint64_t(Count) * ChunkBytes; }

    // After Finish: reads `count` chunks from chunk `first` on into `out`; false when that fails.
    bool Read(uint32_t first, uint32_t count, void* out) const;

private:
    static constexpr uint32_t GatherChunks = 256; // a megabyte
    static constexpr size_t GatherBuffers = 4;

    struct TBuffer {
        std::unique_ptr<char[]> Bytes;
        uint32_t Chunks = 0;
        uint64_t Offset = 0; // in the file
    };
    // Hands the filling buffer over to be written and takes a free one.
    void HandOver();
    void Write(const TBuffer& buffer);
    void WriterLoop();

    int Descriptor = -1;
    uint32_t Count = 0; // chunks appended
    TBuffer Filling;
    bool Finished = false;
    std::thread Writer;
    mutable std::mutex Lock;
    std::condition_variable Changed;
    // Guarded by Lock.
    std::vector<TBuffer> Full; // to be written, oldest first
    std::vector<TBuffer> Free;
    bool Writing = false;
    bool Stopping = false;
    bool WriteFailed = false;
};

} // namespace hookmeter
