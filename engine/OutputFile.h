// A report file written through large buffers. A background thread writes each full buffer
// while the job fills the next one; the file remembers whether any write failed.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

namespace hookmeter {

class TOutputFile {
public:
    TOutputFile();
    ~TOutputFile();
    TOutputFile(const TOutputFile&) = delete;
    TOutputFile& operator=(const TOutputFile&) = delete;

    bool Open(const std::string& fileName);
    // Writes what is buffered and closes the file. False when any write, the flush or the close
    // failed: the file is then incomplete.
    bool Close();
    bool IsOpen() const { return File != nullptr; }

    // Room for `length` more bytes at the returned position; Commit what was written there.
    // `length` must not exceed ReserveLimit.
    char* Reserve(size_t length) {
        if (BufferSize - Used < length)
            HandOver();
        return Filling + Used;
    }
    void Commit(char* end) { Used = size_t(end - Filling); }

    void Write(std::string_view text);

    static constexpr size_t ReserveLimit = 4096;

private:
    // Passes the filled buffer to the writer thread and goes on with the other one.
    void HandOver();
    // Returns once the writer thread has written everything handed to it.
    void WaitUntilWritten();
    void WriterLoop();
    void WriteBlock(const char* data, size_t size);

    static constexpr size_t BufferSize = size_t{1} << 20;
    std::FILE* File = nullptr;
    std::unique_ptr<char[]> Buffers; // two buffers of BufferSize: one filling, one writing
    char* Filling = nullptr;
    size_t Used = 0;

    std::thread Writer;
    std::mutex Lock;
    std::condition_variable Changed;
    const char* Pending = nullptr; // the buffer the writer thread is to write, guarded by Lock
    size_t PendingSize = 0;
    bool Stopping = false;
    bool Failed = false; // written by the writer thread under Lock
};

} // namespace hookmeter
