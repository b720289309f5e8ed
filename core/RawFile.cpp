#include "core/RawFile.h"

#include <span>

namespace hookmeter {
namespace {

// The valid records among read attempts in the binary form.
uint64_t ValidAttempts(const char* begin, const char* end) {
    uint64_t valid = 0;
    for (const char* at = begin; at != end; at += TBinaryRecordDecoder::RecordSize) {
        RawRecord record;
        TBinaryRecordDecoder::Decode(at, record);
        valid += IsValidRecord(record) ? 1 : 0;
    }
    return valid;
}

} // namespace

TRawFile::~TRawFile() {
    Close();
}

bool TRawFile::Open(const std::string& fileName, RawForm form) {
    Close();
    bool text = form == RawForm::Text;
    // A text stream is not copied as it is: its decoded records are.
    if (!Source.Open(fileName, !text))
        return false;
    if (text) {
        Spool.Start();
        Text.DropHeader();
        ReadingText = true;
    }
    return true;
}

void TRawFile::Close() {
    Decoding.Stop();
    Source.Close();
    Spool.Clear();
    ReadingText = DecodingStarted = TextEnded = false;
    BlockStart = Next = BlockEnd = nullptr;
    ValidTaken = 0;
}

bool TRawFile::TakeBlock() {
    if (TextEnded)
        return false;
    if (!DecodingStarted) {
        // Started by the first read, once the stop flag and the byte counter are set. A trace
        // that fits in one read block is not worth a thread.
        uint64_t size = Source.KnownSize();
        Decoding.Start(Text, size == 0 || size > TRawByteSource::BlockSize);
        DecodingStarted = true;
    }
    if (BlockStart != nullptr && !Spool.Add(BlockStart, size_t(BlockEnd - BlockStart))) {
        EndText(RawFileProblem::SpoolFailed);
        return false;
    }
    std::span<const char> block = Decoding.Next();
    if (block.empty()) {
        EndText();
        return false;
    }
    BlockStart = Next = block.data();
    BlockEnd = BlockStart + block.size();
    return true;
}

void TRawFile::EndText(RawFileProblem problem) {
    Decoding.Stop();
    if (problem != RawFileProblem::None)
        Source.EndWith(problem);
    TextEnded = true;
    BlockStart = Next = BlockEnd = nullptr;
}

bool TRawFile::FixContent() {
    if (!ReadingText)
        return Source.FixContent();
    // A first pass that ended early (a full table) has not read the whole text. The replay
    // starts at one of the valid records that pass counted and takes as many records as it
    // counted, so it never goes further than twice that count: the spool takes that many valid
    // records, or the whole text if it holds fewer. What the decoding read ahead past them is
    // not needed, nor is a problem it met there.
    uint64_t wanted = 2 * ValidTaken;
    uint64_t spooled = ValidTaken + ValidAttempts(Next, BlockEnd);
    while (spooled < wanted && TakeBlock())
        spooled += ValidAttempts(Next, BlockEnd);
    if (!TextEnded) {
        bool added = BlockStart == nullptr || Spool.Add(BlockStart, size_t(BlockEnd - BlockStart));
        EndText(added ? RawFileProblem::None : RawFileProblem::SpoolFailed);
        if (!added)
            return false;
    } else if (Source.Problem() != RawFileProblem::None) {
        return false;
    }
    uint64_t size = Spool.Size();
    if (Spool.InMemory())
        Source.ReadBytes(Spool.Bytes(), size_t(size));
    else
        Source.ReadTemporaryFile(Spool.TakeFile(), size);
    ReadingText = false;
    return Source.Problem() == RawFileProblem::None;
}

bool TRawFile::Rewind() {
    if (ReadingText)
        FixContent(); // a failure leaves its problem, which the rewind reports
    return Source.Rewind();
}

} // namespace hookmeter
