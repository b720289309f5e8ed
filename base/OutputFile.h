// A report file written through large buffers. A background thread writes each full buffer
// while the job fills the next one (the job writes them itself when no thread can be started);
// the file remembers whether any write failed. A large file bypasses the page cache or is written
// behind it (TBlockWriter).
//
// A report is written under a temporary name beside its final name ("<name>.tmp-XXXXXX") and
// moved over the final name by Publish, so that a job that ends early leaves the earlier report
// untouched. Where that is not possible or would change what the name refers to (a device, a
// name with several links, a link that leads nowhere, a folder that takes no new file) the
// final name is written directly, as a plain fopen(name, "w") would.
#pragma once

#include "base/BlockWriter.h"

#include <condition_variable>
#include <cstddef>
#include <cstdio>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>

namespace hookmeter {

class TOutputFile {
public:
    // Past `largeAfter` bytes the file counts as large (see TBlockWriter).
    explicit TOutputFile(uint64_t largeAfter = TBlockWriter::DefaultStartAfter);
    // An open or finished report that was never published is discarded.
    virtual ~TOutputFile();
    TOutputFile(const TOutputFile&) = delete;
    TOutputFile& operator=(const TOutputFile&) = delete;

    // Fails where fopen(fileName, "w") fails: a missing folder, a folder, a read-only file...
    bool Open(const std::string& fileName);
    // Writes what is buffered and closes the file, still under its temporary name. False when
    // any write, the flush or the close failed: the file is then incomplete.
    bool Finish();
    // Moves a finished file over its final name, also an incomplete one. False when that fails.
    bool Publish();
    // Finish and Publish: false when either failed.
    bool Close();
    // Stops writing and removes the temporary file; the final name keeps what it held.
    void Discard();

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

protected:
    // Starts the thread that writes the full buffers; throws std::system_error when it cannot.
    virtual std::thread StartWriter();

private:
    // Opens the file the report is written to; false where fopen(fileName, "w") would fail.
    bool OpenTarget(const std::string& fileName);
    // Passes the filled buffer to the writer thread and goes on with the other one; unless
    // `all`, a large file's blocks end at the alignment direct writes need, and the rest is
    // carried over.
    void HandOver(bool all = false);
    // Returns once the writer thread has written everything handed to it.
    void WaitUntilWritten();
    void WriterLoop();
    // Writes one block to the file; false when that failed.
    bool WriteBlock(const char* data, size_t size);
    // Ends the writer thread and closes the file; false when a write or the close failed.
    bool StopWriting();

    static constexpr size_t BufferSize = size_t{1} << 20;
    std::FILE* File = nullptr;
    uint64_t LargeAfter;
    std::optional<TBlockWriter> BlockWriter; // used by whichever thread writes the blocks
    uint64_t Handed = 0;                     // bytes handed over to be written
    std::string FinalName;
    std::string TemporaryName; // empty: the final name is written directly
    bool Finished = false;     // closed, waiting for Publish or Discard
    std::unique_ptr<char[]> Storage;
    char* Buffers = nullptr; // two buffers of BufferSize in Storage, aligned for direct writes
    char* Filling = nullptr;
    size_t Used = 0;

    std::thread Writer;
    bool Synchronous = false; // no writer thread: HandOver writes itself
    std::mutex Lock;
    std::condition_variable Changed;
    const char* Pending = nullptr; // the buffer the writer thread is to write, guarded by Lock
    size_t PendingSize = 0;
    bool Stopping = false;
    bool Failed = false; // written by the writer thread under Lock
};

} // namespace hookmeter
