#include "core/RawByteSource.h"

#include "base/TemporaryFile.h"

#include <cstring>
#include <sys/stat.h>

namespace hookmeter {

TRawByteSource::TRawByteSource() = default;

TRawByteSource::~TRawByteSource() {
    CloseFiles();
}

bool TRawByteSource::Open(const std::string& fileName, bool keepStreams) {
    Close();
    File = std::fopen(fileName.c_str(), "rb");
    if (File == nullptr)
        return false;
    struct stat info;
    if (::fstat(::fileno(File), &info) != 0 || S_ISDIR(info.st_mode)) {
        Close();
        return false;
    }
    // A regular file can be read again in place. A stream, or a file that claims to be empty
    // (the files of /proc), gives its bytes once.
    if (!S_ISREG(info.st_mode) || info.st_size <= 0) {
        Stream = true;
        if (keepStreams && (Copy = OpenUnnamedTemporaryFile("raw")) == nullptr) {
            Close();
            CurrentProblem = RawFileProblem::SpoolFailed;
            return false;
        }
    } else {
        SizeAtOpen = uint64_t(info.st_size);
        Device = uint64_t(info.st_dev);
        Inode = uint64_t(info.st_ino);
    }
    FileName = fileName;
    std::setvbuf(File, nullptr, _IONBF, 0); // our own buffer holds the blocks
    if (!Buffer) {
        Buffer.reset(new char[Padding + BlockSize + Padding]()); // the padding is never data
        Block = Buffer.get() + Padding;
    }
    return true;
}

void TRawByteSource::CloseFiles() {
    if (File != nullptr)
        std::fclose(File);
    if (Copy != nullptr)
        std::fclose(Copy);
    File = Copy = nullptr;
}

void TRawByteSource::Close() {
    CloseFiles();
    FileName.clear();
    Stream = Resident = false;
    Pos = Fill = 0;
    Exhausted = false;
    Offset = 0;
    Limit = ~uint64_t{0};
    SizeAtOpen = Device = Inode = 0;
    Fixed = false;
    CurrentProblem = RawFileProblem::None;
}

bool TRawByteSource::FixContent() {
    if (CurrentProblem != RawFileProblem::None)
        return false;
    if (Fixed)
        return true;
    if (Copy != nullptr) {
        // The copy holds every byte the stream gave; it is read from now on.
        std::fclose(File);
        File = Copy;
        Copy = nullptr;
        Stream = false;
        Limit = Offset;
    } else if (Stream) {
        Limit = Offset; // nothing more is read from it
    } else {
        struct stat info;
        if (::fstat(::fileno(File), &info) != 0) {
            EndWith(RawFileProblem::ReadError);
            return false;
        }
        // A pass that stopped early (a full table) leaves bytes it has not read.
        Limit = Exhausted ? Offset : uint64_t(info.st_size);
    }
    Fixed = true;
    return true;
}

void TRawByteSource::ReadTemporaryFile(std::FILE* file, uint64_t size) {
    CloseFiles();
    CurrentProblem = RawFileProblem::None;
    File = file;
    FileName.clear();
    Stream = Resident = false;
    Device = Inode = 0;
    Fixed = true;
    Limit = size;
    Pos = Fill = 0;
    Offset = 0;
    Exhausted = false;
    if (std::fseek(File, 0, SEEK_SET) != 0)
        EndWith(RawFileProblem::RewindFailed);
}

void TRawByteSource::ReadBytes(const char* bytes, size_t size) {
    CloseFiles();
    CurrentProblem = RawFileProblem::None;
    FileName.clear();
    Stream = false;
    Resident = true;
    Device = Inode = 0;
    Fixed = true;
    std::memcpy(Block, bytes, size);
    Pos = 0;
    Fill = size;
    Offset = Limit = size;
    Exhausted = true;
}

bool TRawByteSource::StillTheSameFile() const {
    struct stat info;
    if (::fstat(::fileno(File), &info) != 0 || uint64_t(info.st_size) < Limit)
        return false;
    if (Inode == 0 && Device == 0)
        return true; // a temporary file of ours
    return ::stat(FileName.c_str(), &info) == 0 && uint64_t(info.st_dev) == Device &&
           uint64_t(info.st_ino) == Inode;
}

bool TRawByteSource::Rewind() {
    Pos = 0;
    Offset = 0;
    Exhausted = false;
    if (!Resident)
        Fill = 0;
    if (CurrentProblem != RawFileProblem::None) {
        Fill = 0;
        Exhausted = true; // a problem is final
        return false;
    }
    if (Resident) {
        // The bytes in the buffer count as one block read.
        if (StopRequested()) {
            Fill = 0;
            EndWith(RawFileProblem::Stopped);
            return false;
        }
        Offset = Fill;
        Exhausted = true;
        return true;
    }
    if (Stream) {
        EndWith(RawFileProblem::RewindFailed);
        return false;
    }
    if (Fixed && !StillTheSameFile()) {
        EndWith(RawFileProblem::Changed);
        return false;
    }
    if (std::fseek(File, 0, SEEK_SET) != 0) {
        EndWith(RawFileProblem::RewindFailed);
        return false;
    }
    std::clearerr(File);
    return true;
}

void TRawByteSource::EndWith(RawFileProblem problem) {
    CurrentProblem = problem;
    Exhausted = true;
}

bool TRawByteSource::StopRequested() const {
    const std::atomic<bool>* stop = StopFlag.load(std::memory_order_relaxed);
    return stop != nullptr && stop->load(std::memory_order_relaxed);
}

bool TRawByteSource::ReadBlock() {
    if (StopRequested()) {
        EndWith(RawFileProblem::Stopped);
        return false;
    }
    size_t room = BlockSize - Fill;
    if (Limit - Offset < room)
        room = size_t(Limit - Offset);
    if (room == 0) {
        Exhausted = true; // the end of the bytes fixed after the first pass
        return false;
    }
    size_t got = std::fread(Block + Fill, 1, room, File);
    if (got == 0) {
        if (std::ferror(File))
            EndWith(RawFileProblem::ReadError);
        else if (Fixed && Offset < Limit)
            EndWith(RawFileProblem::Changed); // the file lost bytes it had
        else
            Exhausted = true;
        return false;
    }
    if (Copy != nullptr && std::fwrite(Block + Fill, 1, got, Copy) != got) {
        EndWith(RawFileProblem::SpoolFailed);
        return false;
    }
    Fill += got;
    Offset += got;
    if (std::atomic<uint64_t>* counter = BytesReadCounter.load(std::memory_order_relaxed))
        counter->store(Offset, std::memory_order_relaxed);
    return true;
}

size_t TRawByteSource::Available(size_t wanted) {
    size_t have = Fill - Pos;
    if (have >= wanted || Resident)
        return have;
    std::memmove(Block, Block + Pos, have);
    Pos = 0;
    Fill = have;
    while (Fill < wanted && !Exhausted && ReadBlock()) {
    }
    return Fill - Pos;
}

} // namespace hookmeter
