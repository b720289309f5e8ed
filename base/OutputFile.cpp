#include "base/OutputFile.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace hookmeter {
namespace {

// Creates "<name>.tmp-XXXXXX" with the permissions a new file gets from fopen(name, "w").
int CreateTemporary(const std::string& name, std::string& temporaryName) {
    static std::atomic<uint64_t> sequence{0};
    static constexpr char Letters[] =
        "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
    uint64_t seed = uint64_t(std::chrono::steady_clock::now().time_since_epoch().count()) ^
                    uint64_t(::getpid()) << 32;
    for (int attempt = 0; attempt < 100; ++attempt) {
        uint64_t bits = (seed + sequence.fetch_add(1)) * 0x9E3779B97F4A7C15ull;
        temporaryName = name + ".tmp-";
        for (int i = 0; i < 6; ++i, bits /= 62)
            temporaryName += Letters[bits % 62];
        int descriptor = ::open(temporaryName.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC,
                                0666); // the umask applies, as for fopen
        if (descriptor >= 0 || errno != EEXIST)
            return descriptor;
    }
    return -1;
}

} // namespace

TOutputFile::TOutputFile(uint64_t largeAfter) : LargeAfter(largeAfter) {}

TOutputFile::~TOutputFile() {
    Discard();
}

bool TOutputFile::Open(const std::string& fileName) {
    Discard();
    if (!Storage) {
        constexpr size_t Alignment = TBlockWriter::Alignment;
        Storage.reset(new char[2 * BufferSize + Alignment]);
        Buffers = Storage.get() + (Alignment - uintptr_t(Storage.get()) % Alignment) % Alignment;
    }
    Failed = false;
    if (!OpenTarget(fileName))
        return false;
    std::setvbuf(File, nullptr, _IONBF, 0); // our own buffers hold the blocks
    BlockWriter.emplace(::fileno(File), LargeAfter);
    Handed = 0;
    Filling = Buffers;
    Used = 0;
    Pending = nullptr;
    Stopping = false;
    Synchronous = false;
    try {
        Writer = StartWriter();
    } catch (const std::system_error&) {
        Synchronous = true; // slower, but the report is still written
    }
    return true;
}

std::thread TOutputFile::StartWriter() {
    return std::thread(&TOutputFile::WriterLoop, this);
}

bool TOutputFile::OpenTarget(const std::string& fileName) {
    if (fileName.empty())
        return false; // no name, and nothing to put a temporary name beside
    FinalName = fileName;
    TemporaryName.clear();
    std::string target = fileName;
    bool direct = false;
    bool keepMode = false;
    struct stat info;
    if (::stat(fileName.c_str(), &info) == 0) {
        if (S_ISDIR(info.st_mode))
            return false;
        if (!S_ISREG(info.st_mode) || info.st_nlink > 1) {
            direct = true; // a device, or a file that other names must keep seeing
        } else {
            if (::access(fileName.c_str(), W_OK) != 0)
                return false; // a read-only report stays read-only
            keepMode = true;
            // Through a link the file it leads to is replaced, not the link.
            if (char* resolved = ::realpath(fileName.c_str(), nullptr)) {
                target = resolved;
                std::free(resolved);
            } else {
                direct = true;
            }
        }
    } else {
        struct stat link;
        direct = ::lstat(fileName.c_str(), &link) == 0; // a link that leads nowhere yet
    }
    if (!direct) {
        int descriptor = CreateTemporary(target, TemporaryName);
        if (descriptor >= 0) {
            if (keepMode)
                (void)::fchmod(descriptor, info.st_mode & 07777);
            File = ::fdopen(descriptor, "w");
            if (File != nullptr) {
                FinalName = target;
                return true;
            }
            ::close(descriptor);
            ::unlink(TemporaryName.c_str());
        }
        TemporaryName.clear();
    }
    // No temporary file beside it (a folder that takes no new file, a name too long for the
    // suffix): the final name itself, exactly as before.
    File = std::fopen(fileName.c_str(), "w");
    return File != nullptr;
}

bool TOutputFile::StopWriting() {
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
    Storage.reset(); // 2 MiB that a long job's last steps can use
    Buffers = Filling = nullptr;
    BlockWriter.reset();
    return !Failed;
}

bool TOutputFile::Finish() {
    if (File == nullptr)
        return !Failed;
    HandOver(true);
    StopWriting();
    Finished = true;
    return !Failed;
}

bool TOutputFile::Publish() {
    if (!Finished)
        return true;
    Finished = false;
    if (TemporaryName.empty())
        return true;
    bool moved = ::rename(TemporaryName.c_str(), FinalName.c_str()) == 0;
    if (!moved)
        ::unlink(TemporaryName.c_str());
    TemporaryName.clear();
    return moved;
}

bool TOutputFile::Close() {
    bool written = Finish();
    return Publish() && written;
}

void TOutputFile::Discard() {
    if (File != nullptr) {
        Used = 0; // what is still buffered is dropped
        StopWriting();
    }
    if (!TemporaryName.empty())
        ::unlink(TemporaryName.c_str());
    TemporaryName.clear();
    Finished = false;
}

bool TOutputFile::WriteBlock(const char* data, size_t size) {
    return BlockWriter->Write(data, size);
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
        bool ok = failed || WriteBlock(data, size);
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

void TOutputFile::HandOver(bool all) {
    if (Used == 0)
        return;
    size_t size = all ? Used : TBlockWriter::AlignedSize(Handed, Used, LargeAfter);
    char* next = Filling == Buffers ? Buffers + BufferSize : Buffers;
    if (Synchronous) {
        if (!Failed && !WriteBlock(Filling, size))
            Failed = true;
        next = Filling;
    } else {
        WaitUntilWritten();
        {
            std::lock_guard guard(Lock);
            Pending = Filling;
            PendingSize = size;
        }
        Changed.notify_all();
    }
    std::memmove(next, Filling + size, Used - size); // the rest, for the next block
    Filling = next;
    Used -= size;
    Handed += size;
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
