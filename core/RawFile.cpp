#include "core/RawFile.h"

namespace hookmeter {

bool TRawFile::Open(const std::string& fileName, RawForm form) {
    Close();
    bool text = form == RawForm::Text;
    // A text stream is not copied as it is: its decoded records are.
    if (!Source.Open(fileName, !text))
        return false;
    if (text) {
        Spool.Start();
        SpoolingText = true;
        Text.DropHeader();
    }
    return true;
}

void TRawFile::Close() {
    Source.Close();
    Spool.Clear();
    SpoolingText = false;
    ValidSpooled = 0;
}

bool TRawFile::FixContent() {
    if (!Source.FixContent())
        return false;
    if (!SpoolingText)
        return true;
    // A first pass that ended early (a full table) has not read the whole text. The replay
    // starts at one of the valid records that pass counted and takes as many records as it
    // counted, so it never goes further than twice that count: the spool takes that many valid
    // records, or the rest of the text if it holds fewer.
    uint64_t wanted = 2 * ValidSpooled;
    RawRecord record;
    while (ValidSpooled < wanted && ReadAndSpoolText(record) != ReadResult::EndOfFile) {
    }
    if (Source.Problem() != RawFileProblem::None)
        return false;
    if (!Spool.Finish()) {
        Source.EndWith(RawFileProblem::SpoolFailed);
        return false;
    }
    uint64_t size = Spool.Size();
    if (Spool.InMemory())
        Source.ReadBytes(Spool.Bytes(), size_t(size));
    else
        Source.ReadTemporaryFile(Spool.TakeFile(), size);
    SpoolingText = false;
    return Source.Problem() == RawFileProblem::None;
}

bool TRawFile::Rewind() {
    if (SpoolingText)
        FixContent(); // a failure leaves its problem, which the rewind reports
    return Source.Rewind();
}

} // namespace hookmeter
