// The raw record input of a job: a byte source and the decoder of the file's form.
//
// A binary trace is read from the file in every pass; a stream is copied by the byte source
// during the first pass, and the later passes read that copy. A text trace is parsed once: its
// read attempts are decoded into blocks in the binary form (a large trace a few blocks ahead, on
// a thread of its own), the first pass reads them from there, and every block goes into the
// record spool. From FixContent on, every pass reads the spool with the binary decoder; the text
// file, or pipe, is not read again.
#pragma once

#include "core/BinaryRecordDecoder.h"
#include "core/RawByteSource.h"
#include "core/RawRecord.h"
#include "core/RecordSpool.h"
#include "core/TextDecodeThread.h"
#include "core/TextRecordDecoder.h"

#include <atomic>
#include <cstdint>
#include <string>

namespace hookmeter {

// The two forms of a raw record file.
enum class RawForm : uint8_t { Text, Binary };

class TRawFile {
public:
    TRawFile() = default;
    ~TRawFile();
    TRawFile(const TRawFile&) = delete;
    TRawFile& operator=(const TRawFile&) = delete;

    // The text form's header line is dropped. Fails for a folder, for what cannot be read, and
    // for a binary stream when no temporary copy can be made.
    bool Open(const std::string& fileName, RawForm form);
    void Close();
    bool IsOpen() const { return Source.IsOpen(); }
    // The file's size when it was opened; 0 for a stream or when it is not known.
    uint64_t KnownSize() const { return Source.KnownSize(); }

    // Checked before every block read: once it is set, the records end with Stopped.
    void SetStopFlag(const std::atomic<bool>* stop) { Source.SetStopFlag(stop); }
    // Receives the number of bytes read so far after every block read; none: nothing is told.
    void SetBytesReadCounter(std::atomic<uint64_t>* counter) {
        Source.SetBytesReadCounter(counter);
    }

    ReadResult ReadRecord(RawRecord& record) {
        if (!ReadingText)
            return Binary.Read(record);
        if (Next == BlockEnd && !TakeBlock())
            return ReadResult::EndOfFile;
        TBinaryRecordDecoder::Decode(Next, record);
        Next += TBinaryRecordDecoder::RecordSize;
        if (!IsValidRecord(record))
            return ReadResult::Invalid;
        ++ValidTaken;
        return ReadResult::Valid;
    }
    // Called once the first pass has read what it needs: from then on only the records the file
    // holds now are read (later growth is ignored), and a file that is replaced or shrinks is
    // reported as Changed. A text trace's spool takes the file's place. False with a problem set.
    bool FixContent();
    // Back to the first record. False with a problem set when the file cannot be rewound or has
    // changed. A text trace is fixed first.
    bool Rewind();
    // True when every record has been consumed.
    bool AtEnd() const { return ReadingText ? TextEnded && Next == BlockEnd : Source.AtEnd(); }
    // None when the last EndOfFile was the true end of the data.
    RawFileProblem Problem() const {
        return ReadingText && !TextEnded ? RawFileProblem::None : Source.Problem();
    }

private:
    // Hands the block read so far to the spool and takes the next one. False at the end of the
    // text, or when the spool could not be written.
    bool TakeBlock();
    // Ends the text's decoding; the byte source is this thread's again.
    void EndText(RawFileProblem problem = RawFileProblem::None);

    TRawByteSource Source;
    TBinaryRecordDecoder Binary{Source};
    TTextRecordDecoder Text{Source};
    TTextDecodeThread Decoding;
    TRecordSpool Spool;
    bool ReadingText = false; // a text trace's first pass: the decoded blocks are read
    bool DecodingStarted = false;
    bool TextEnded = false;           // the decoding has ended and its thread is gone
    const char* BlockStart = nullptr; // the block taken last, not yet in the spool
    const char* Next = nullptr;
    const char* BlockEnd = nullptr;
    uint64_t ValidTaken = 0; // valid records read from the blocks
};

} // namespace hookmeter
