#include "core/BinaryRecordDecoder.h"

namespace hookmeter {

ReadResult TBinaryRecordDecoder::ReadLast(RawRecord& record) {
    size_t have = Source.Available(RecordSize);
    if (have == 0)
        return ReadResult::EndOfFile;
    if (have < RecordSize) {
        Source.Consume(have); // a partial record at the end is consumed as one failed read
        return ReadResult::Invalid;
    }
    return Read(record); // the buffer now holds the record whole
}

} // namespace hookmeter
