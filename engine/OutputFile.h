// A report file written through a large buffer, remembering whether any write failed.
#pragma once

#include <cstddef>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>

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
            Flush();
        return Buffer.get() + Used;
    }
    void Commit(char* end) { Used = size_t(end - Buffer.get()); }

    void Write(std::string_view text);

    static constexpr size_t ReserveLimit = 4096;

private:
    void Flush();

    static constexpr size_t BufferSize = size_t{1} << 20;
    std::FILE* File = nullptr;
    std::unique_ptr<char[]> Buffer;
    size_t Used = 0;
    bool Failed = false;
};

} // namespace hookmeter
