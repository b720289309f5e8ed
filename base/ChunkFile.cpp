#include "base/ChunkFile.h"

#include "base/TemporaryFile.h"

#include <cerrno>
#include <cstring>
#include <system_error>
#include <unistd.h>

namespace hookmeter {

TChunkFile::~TChunkFile() {
    {
        std::lock_guard guard(Lock);
        Stopping = true;
        Changed.notify_all();
    }
    if (Writer.joinable())
        Writer.join();
    if (Descriptor >= 0)
        ::close(Descriptor);
}

bool TChunkFile::Create() {
    int descriptor = CreateUnnamedTemporaryFile("timeline");
    if (descriptor < 0)
        return false;
    Descriptor = descriptor;
    Filling.Bytes.reset(new char[size_t{GatherChunks} * ChunkBytes]);
    for (size_t i = 1; i < GatherBuffers; ++i)
        Free.push_back({std::unique_ptr<char[]>(new char[size_t{GatherChunks} * ChunkBytes])});
    try {
        Writer = std::thread(&TChunkFile::WriterLoop, this);
    } catch (const std::system_error&) {
        // The caller writes each buffer itself.
    }
    return true;
}

uint32_t TChunkFile::Append(const void* chunk) {
    if (Filling.Chunks == GatherChunks)
        HandOver();
    if (Filling.Bytes)
        std::memcpy(Filling.Bytes.get() + size_t{Filling.Chunks} * ChunkBytes, chunk, ChunkBytes);
    ++Filling.Chunks;
    return Count++;
}

bool TChunkFile::Failed() const {
    std::lock_guard guard(Lock);
    return WriteFailed || !Filling.Bytes;
}

void TChunkFile::Write(const TBuffer& buffer) {
    size_t size = size_t{buffer.Chunks} * ChunkBytes;
    for (size_t done = 0; done < size;) {
        ssize_t written = ::pwrite(Descriptor, buffer.Bytes.get() + done, size - done,
                                   off_t(buffer.Offset + done));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            std::lock_guard guard(Lock);
            WriteFailed = true;
            return;
        }
        done += size_t(written);
    }
}

void TChunkFile::HandOver() {
    if (!Filling.Bytes)
        return;
    Filling.Offset = uint64_t(Count - Filling.Chunks) * ChunkBytes;
    if (!Writer.joinable()) {
        Write(Filling);
        Filling.Chunks = 0;
        return;
    }
    std::unique_lock guard(Lock);
    Full.push_back(std::move(Filling));
    Changed.notify_all();
    Changed.wait(guard, [&] { return !Free.empty(); });
    Filling = std::move(Free.back());
    Free.pop_back();
    Filling.Chunks = 0;
}

void TChunkFile::WriterLoop() {
    std::unique_lock guard(Lock);
    for (;;) {
        Changed.wait(guard, [&] { return !Full.empty() || Stopping; });
        if (Full.empty())
            return;
        TBuffer buffer = std::move(Full.front());
        Full.erase(Full.begin());
        Writing = true;
        bool failed = WriteFailed;
        guard.unlock();
        if (!failed)
            Write(buffer);
        guard.lock();
        Writing = false;
        Free.push_back(std::move(buffer));
        Changed.notify_all();
    }
}

bool TChunkFile::Finish() {
    if (Finished)
        return !Failed();
    Finished = true;
    if (Filling.Chunks != 0)
        HandOver();
    {
        std::unique_lock guard(Lock);
        Changed.wait(guard, [&] { return (Full.empty() && !Writing) || !Writer.joinable(); });
        Stopping = true;
        Changed.notify_all();
    }
    if (Writer.joinable())
        Writer.join();
    bool written = Descriptor >= 0 && Filling.Bytes && !WriteFailed;
    Filling = TBuffer{};
    Free.clear();
    return written;
}

bool TChunkFile::Read(uint32_t first, uint32_t count, void* out) const {
    if (Descriptor < 0 || !Finished || uint64_t(first) + count > Count)
        return false;
    char* to = static_cast<char*>(out);
    size_t size = size_t{count} * ChunkBytes;
    uint64_t offset = uint64_t(first) * ChunkBytes;
    for (size_t done = 0; done < size;) {
        ssize_t read = ::pread(Descriptor, to + done, size - done, off_t(offset + done));
        if (read < 0 && errno == EINTR)
            continue;
        if (read <= 0)
            return false;
        done += size_t(read);
    }
    return true;
}

} // namespace hookmeter
