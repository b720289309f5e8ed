#include "core/RecordSpool.h"

#include "base/TemporaryFile.h"

#include <cstring>

namespace hookmeter {

TRecordSpool::TRecordSpool() = default;

TRecordSpool::~TRecordSpool() {
    Clear();
}

void TRecordSpool::Start() {
    if (!Memory)
        Memory.reset(new char[MemoryBytes]);
    Clear();
}

void TRecordSpool::Clear() {
    if (File != nullptr)
        std::fclose(File);
    File = nullptr;
    Held = 0;
    Written = 0;
    Failed = false;
}

bool TRecordSpool::Add(const char* attempts, size_t size) {
    if (Failed)
        return false;
    if (File == nullptr && Written == 0 && Held == 0 && size <= MemoryBytes) {
        std::memcpy(Memory.get(), attempts, size);
        Held = size;
        return true;
    }
    if (File == nullptr) {
        // More than one block: from now on every block goes to the file.
        File = OpenUnnamedTemporaryFile("raw");
        if (File == nullptr || !Write(Memory.get(), Held)) {
            Failed = true;
            return false;
        }
        Held = 0;
    }
    return Write(attempts, size);
}

bool TRecordSpool::Write(const char* bytes, size_t size) {
    if (size != 0 && std::fwrite(bytes, 1, size, File) != size) {
        Failed = true;
        return false;
    }
    Written += size;
    return true;
}

std::FILE* TRecordSpool::TakeFile() {
    std::FILE* file = File;
    File = nullptr;
    Written = 0;
    return file;
}

} // namespace hookmeter
