#include "engine/OutputFile.h"

#include <cstring>

namespace hookmeter {

TOutputFile::TOutputFile() = default;

TOutputFile::~TOutputFile() {
    Close();
}

bool TOutputFile::Open(const std::string& fileName) {
    Close();
    if (!Buffer)
        Buffer.reset(new char[BufferSize]);
    File = std::fopen(fileName.c_str(), "w");
    if (File == nullptr)
        return false;
    std::setvbuf(File, nullptr, _IONBF, 0); // our own buffer holds the blocks
    Used = 0;
    Failed = false;
    return true;
}

bool TOutputFile::Close() {
    if (File == nullptr)
        return !Failed;
    Flush();
    if (std::fclose(File) != 0)
        Failed = true;
    File = nullptr;
    return !Failed;
}

void TOutputFile::Flush() {
    if (Used != 0 && !Failed && std::fwrite(Buffer.get(), 1, Used, File) != Used)
        Failed = true; // later output is dropped: the file is incomplete either way
    Used = 0;
}

void TOutputFile::Write(std::string_view text) {
    if (text.size() <= BufferSize - Used) {
        std::memcpy(Buffer.get() + Used, text.data(), text.size());
        Used += text.size();
        return;
    }
    Flush();
    if (text.size() < BufferSize) {
        std::memcpy(Buffer.get(), text.data(), text.size());
        Used = text.size();
    } else if (!Failed && std::fwrite(text.data(), 1, text.size(), File) != text.size()) {
        Failed = true;
    }
}

} // namespace hookmeter
