#include "engine/OutputFile.h"

#include <algorithm>
#include <cstring>

namespace hookmeter {

TOutputFile::TOutputFile() = default;

TOutputFile::~TOutputFile() {
    Close();
}

bool TOutputFile::Open(const std::string& fileName) {
    Close();
    if (!Buffers)
        Buffers.reset(new char[2 * BufferSize]);
    File = std::fopen(fileName.c_str(), "w");
    if (File == nullptr)
        return false;
    std::setvbuf(File, nullptr, _IONBF, 0); // our own buffers hold the blocks
    Filling = Buffers.get();
    Used = 0;
    Pending = nullptr;
    Stopping = false;
    Failed = false;
    Writer = std::thread(&TOutputFile::WriterLoop, this);
    return true;
}

bool TOutputFile::Close() {
    if (File == nullptr)
        return true;
    HandOver();
    {
        std::lock_guard guard(Lock);
        Stopping = true;
    }
    Changed.notify_all();
    if (Writer.joinable()) // not when starting the thread failed
        Writer.join();
    if (std::fclose(File) != 0)
        Failed = true;
    File = nullptr;
    return !Failed;
}

void TOutputFile::WriterLoop() {
    std::unique_lock guard(Lock);
    for (;;) {
        Changed.wait(guard, [this] { return Pending != nullptr || Stopping; });
        if (Pending == nullptr)
            return;
        const char* data = Pending;
        size_t size = PendingSize;
        bool failed = Failed;
        guard.unlock();
        // After a failed write the file is incomplete anyway; later blocks are dropped.
        bool ok = failed || std::fwrite(data, 1, size, File) == size;
        guard.lock();
        if (!ok)
            Failed = true;
        Pending = nullptr;
        Changed.notify_all();
    }
}

void TOutputFile::WaitUntilWritten() {
    std::unique_lock guard(Lock);
    Changed.wait(guard, [this] { return Pending == nullptr; });
}

void TOutputFile::HandOver() {
    if (Used == 0)
        return;
    WaitUntilWritten();
    {
        std::lock_guard guard(Lock);
        Pending = Filling;
        PendingSize = Used;
    }
    Changed.notify_all();
    Filling = Filling == Buffers.get() ? Buffers.get() + BufferSize : Buffers.get();
    Used = 0;
}

void TOutputFile::Write(std::string_view text) {
    while (!text.empty()) {
        if (Used == BufferSize)
            HandOver();
        size_t part = std::min(text.size(), BufferSize - Used);
        std::memcpy(Filling + Used, text.data(), part);
        Used += part;
        text.remove_prefix(part);
    }
}

} // namespace hookmeter
