#include "core/RawFile.h"

#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace hookmeter {
namespace {

constexpr size_t BufferSize = size_t{1} << 20;
constexpr size_t MaxLinePiece = 63; // a line read takes at most 63 characters

uint32_t LoadLittleEndian32(const char* bytes) {
    const auto* b = reinterpret_cast<const unsigned char*>(bytes);
    return uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24;
}

// The value of each hexadecimal digit character, -1 for every other byte.
struct THexDigits {
    int8_t Value[256];
    constexpr THexDigits() : Value{} {
        for (int c = 0; c < 256; ++c)
            Value[c] = -1;
        for (int c = '0'; c <= '9'; ++c)
            Value[c] = int8_t(c - '0');
        for (int c = 'a'; c <= 'f'; ++c)
            Value[c] = int8_t(c - 'a' + 10);
        for (int c = 'A'; c <= 'F'; ++c)
            Value[c] = int8_t(c - 'A' + 10);
    }
};
constexpr THexDigits HexDigits;

// Parses "0x" and at least one hexadecimal digit at the start of text[0, length); `stop` is
// where the parse ended, at the first byte that is not part of the number.
bool ParseHexPrefix(const char* text, size_t length, uint32_t& value, size_t& stop) {
    if (length < 3 || text[0] != '0' || text[1] != 'x') {
        stop = 0;
        return false;
    }
    uint32_t result = 0;
    size_t i = 2;
    for (int digit; i < length && (digit = HexDigits.Value[uint8_t(text[i])]) >= 0; ++i)
        result = result << 4 | uint32_t(digit);
    stop = i;
    if (i == 2)
        return false;
    // More than eight digits: the number is wider than 32 bits unless the extra ones are
    // leading zeros.
    for (size_t extra = 2; extra + 8 < i; ++extra)
        if (text[extra] != '0')
            return false;
    value = result;
    return true;
}

// An unnamed file in the system's temporary folder: it is removed with its last descriptor,
// however the job ends.
std::FILE* OpenSpoolFile() {
    std::error_code error;
    std::filesystem::path folder = std::filesystem::temp_directory_path(error);
    if (error)
        folder = "/tmp";
    std::string pattern = (folder / "hookmeter-raw-XXXXXX").string();
    int descriptor = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (descriptor < 0)
        return nullptr;
    ::unlink(pattern.c_str());
    std::FILE* file = ::fdopen(descriptor, "w+b");
    if (file == nullptr) {
        ::close(descriptor);
        return nullptr;
    }
    std::setvbuf(file, nullptr, _IONBF, 0); // written in whole blocks
    return file;
}

} // namespace

bool ParseHexLine(const char* piece, size_t length, uint32_t& value) {
    size_t stop;
    return ParseHexPrefix(piece, length, value, stop);
}

TRawFile::TRawFile() = default;

TRawFile::~TRawFile() {
    Close();
}

bool TRawFile::Open(const std::string& fileName, RawForm form) {
    Close();
    Binary = form == RawForm::Binary;
    File = std::fopen(fileName.c_str(), "rb");
    if (File == nullptr)
        return false;
    struct stat info;
    if (::fstat(::fileno(File), &info) != 0 || S_ISDIR(info.st_mode)) {
        Close();
        return false;
    }
    // A regular file can be read again in place. A stream, or a file that claims to be empty
    // (the files of /proc), is copied while the first pass reads it.
    if (!S_ISREG(info.st_mode) || info.st_size <= 0) {
        Spool = OpenSpoolFile();
        if (Spool == nullptr) {
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
    if (!Buffer)
        Buffer.reset(new char[BufferSize]);
    if (!Binary)
        DropHeader();
    return true;
}

void TRawFile::Close() {
    if (File != nullptr)
        std::fclose(File);
    if (Spool != nullptr)
        std::fclose(Spool);
    File = Spool = nullptr;
    FileName.clear();
    Pos = Fill = 0;
    Exhausted = false;
    Offset = 0;
    Limit = ~uint64_t{0};
    SizeAtOpen = Device = Inode = 0;
    Fixed = false;
    CurrentProblem = RawFileProblem::None;
}

bool TRawFile::FixContent() {
    if (CurrentProblem != RawFileProblem::None)
        return false;
    if (Spool != nullptr) {
        // The copy holds every byte the stream gave; it is read from now on.
        std::fclose(File);
        File = Spool;
        Spool = nullptr;
        Limit = Offset;
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

bool TRawFile::StillTheSameFile() const {
    struct stat info;
    if (::fstat(::fileno(File), &info) != 0 || uint64_t(info.st_size) < Limit)
        return false;
    if (Inode == 0 && Device == 0)
        return true; // our own copy of a stream
    return ::stat(FileName.c_str(), &info) == 0 && uint64_t(info.st_dev) == Device &&
           uint64_t(info.st_ino) == Inode;
}

bool TRawFile::Rewind() {
    Pos = Fill = 0;
    Offset = 0;
    Exhausted = false;
    if (CurrentProblem != RawFileProblem::None) {
        Exhausted = true; // a problem is final
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
    if (!Binary)
        DropHeader();
    return true;
}

void TRawFile::EndWith(RawFileProblem problem) {
    CurrentProblem = problem;
    Exhausted = true;
}

void TRawFile::DropHeader() {
    uint32_t ignored;
    ReadHexLine(ignored);
}

bool TRawFile::ReadBlock() {
    if (StopFlag != nullptr && StopFlag->load(std::memory_order_relaxed)) {
        EndWith(RawFileProblem::Stopped);
        return false;
    }
    size_t room = BufferSize - Fill;
    if (Limit - Offset < room)
        room = size_t(Limit - Offset);
    if (room == 0) {
        Exhausted = true; // the end of the bytes fixed after the first pass
        return false;
    }
    size_t got = std::fread(Buffer.get() + Fill, 1, room, File);
    if (got == 0) {
        if (std::ferror(File))
            EndWith(RawFileProblem::ReadError);
        else if (Fixed && Offset < Limit)
            EndWith(RawFileProblem::Changed); // the file lost bytes it had
        else
            Exhausted = true;
        return false;
    }
    if (Spool != nullptr && std::fwrite(Buffer.get() + Fill, 1, got, Spool) != got) {
        EndWith(RawFileProblem::SpoolFailed);
        return false;
    }
    Fill += got;
    Offset += got;
    if (BytesReadCounter != nullptr)
        BytesReadCounter->store(Offset, std::memory_order_relaxed);
    return true;
}

size_t TRawFile::Available(size_t wanted) {
    size_t have = Fill - Pos;
    if (have >= wanted)
        return have;
    std::memmove(Buffer.get(), Buffer.get() + Pos, have);
    Pos = 0;
    Fill = have;
    while (Fill < wanted && !Exhausted && ReadBlock()) {
    }
    return Fill - Pos;
}

void TRawFile::DecodeBinaryRecord(const char* bytes, RawRecord& record) {
    record.Address = LoadLittleEndian32(bytes);
    record.Reserved = LoadLittleEndian32(bytes + 4);
    record.TSC = uint64_t(LoadLittleEndian32(bytes + 12)) << 32 | LoadLittleEndian32(bytes + 8);
}

ReadResult TRawFile::ReadLastBinaryRecords(RawRecord& record) {
    size_t have = Available(BinaryRecordSize);
    if (have == 0)
        return ReadResult::EndOfFile;
    if (have < BinaryRecordSize) {
        Pos += have; // a partial record at the end is consumed as one failed read
        return ReadResult::Invalid;
    }
    return ReadBinaryRecord(record); // the buffer now holds the record whole
}

TRawFile::LineRead TRawFile::ReadHexLine(uint32_t& value) {
    size_t have = Fill - Pos;
    if (have < MaxLinePiece) {
        have = Available(MaxLinePiece);
        if (have == 0)
            return LineRead::NoLine;
    }
    size_t limit = have < MaxLinePiece ? have : MaxLinePiece;
    const char* line = Buffer.get() + Pos;
    size_t stop;
    bool parsed = ParseHexPrefix(line, limit, value, stop);
    // The number cannot run past the line feed, so the line ends at or after `stop`.
    const void* lineFeed = std::memchr(line + stop, '\n', limit - stop);
    Pos += lineFeed != nullptr ? size_t(static_cast<const char*>(lineFeed) - line) + 1 : limit;
    return parsed ? LineRead::Number : LineRead::NoNumber;
}

ReadResult TRawFile::ReadTextRecord(RawRecord& record) {
    uint32_t fields[3];
    for (int i = 0; i < 3; ++i) {
        switch (ReadHexLine(fields[i])) {
        case LineRead::NoLine:
            return i == 0 ? ReadResult::EndOfFile : ReadResult::Invalid;
        case LineRead::NoNumber:
            return ReadResult::Invalid;
        case LineRead::Number:
            break;
        }
    }
    record.Address = fields[0];
    record.Reserved = 0;
    record.TSC = uint64_t(fields[2]) << 32 | fields[1];
    return ReadResult::Valid;
}

} // namespace hookmeter
