#include "core/RecordSpool.h"

#include "core/TemporaryFile.h"

namespace hookmeter {

TRecordSpool::TRecordSpool() = default;

TRecordSpool::~TRecordSpool() {
    Clear();
}

void TRecordSpool::Start() {
    if (!Block)
        Block.reset(new char[BlockSize]);
    Clear();
}

void TRecordSpool::Clear() {
    if (File != nullptr)
        std::fclose(File);
    File = nullptr;
    Used = 0;
    Written = 0;
    Failed = false;
}

bool TRecordSpool::WriteBlock() {
    if (!Failed && File == nullptr && (File = OpenUnnamedTemporaryFile()) == nullptr)
        Failed = true;
    if (!Failed && std::fwrite(Block.get(), 1, Used, File) != Used)
        Failed = true;
    if (!Failed)
        Written += Used;
    Used = 0;
    return !Failed;
}

bool TRecordSpool::Finish() {
    if (File == nullptr || Used == 0)
        return !Failed;
    return WriteBlock();
}

std::FILE* TRecordSpool::TakeFile() {
    std::FILE* file = File;
    File = nullptr;
    Used = 0;
    Written = 0;
    return file;
}

} // namespace hookmeter
