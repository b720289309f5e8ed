// The raw record input of a job: a byte source and the decoder of the file's form.
//
// A binary trace is read from the file in both passes; a stream is copied by the byte source
// during the first pass, and the later passes read that copy. A text trace is parsed once: the
// first pass spools the decoded read attempts (TRecordSpool), and from FixContent on every pass
// reads the spool with the binary decoder. The text file, or pipe, is not read again.
#pragma once

#include "core/BinaryRecordDecoder.h"
#include "core/RawByteSource.h"
#include "core/RawRecord.h"
#include "core/RecordSpool.h"
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
        if (!SpoolingText)
            return Binary.Read(record);
        return ReadAndSpoolText(record);
    }
    // Called once the first pass has read what it needs: from then on only the records the file
    // holds now are read (later growth is ignored), and a file that is replaced or shrinks is
    // reported as Changed. A text trace's spool takes the file's place. False with a problem set.
    bool FixContent();
    // Back to the first record. False with a problem set when the file cannot be rewound or has
    // changed. A text trace is fixed first.
    bool Rewind();
    // True when every record has been consumed.
    bool AtEnd() const { return Source.AtEnd(); }
    // None when the last EndOfFile was the true end of the data.
    RawFileProblem Problem() const { return Source.Problem(); }

private:
    ReadResult ReadAndSpoolText(RawRecord& record) {
        ReadResult result = Text.Read(record);
        if (result == ReadResult::EndOfFile)
            return result;
        bool spooled;
        if (result == ReadResult::Valid) {
            ++ValidSpooled;
            spooled = Spool.Add(record);
        } else {
            spooled = Spool.AddFailedRead();
        }
        if (!spooled) {
            Source.EndWith(RawFileProblem::SpoolFailed);
            return ReadResult::EndOfFile;
        }
        return result;
    }

    TRawByteSource Source;
    TBinaryRecordDecoder Binary{Source};
    TTextRecordDecoder Text{Source};
    TRecordSpool Spool;
    bool SpoolingText = false; // a text trace's first pass: read the text, fill the spool
    uint64_t ValidSpooled = 0; // valid records in the spool
};

} // namespace hookmeter
