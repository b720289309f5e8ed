#include "analysis/LogHistogram.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <utility>
#include <vector>

namespace hookmeter {
namespace {

constexpr uint32_t ExactBuckets = 128; // values 0..127 have a bucket each
constexpr uint32_t SubBucketBits = 6;  // 64 buckets per power of two above
constexpr uint32_t FirstOctave = 7;    // 2^7 = 128
constexpr uint8_t LongForm = 0x80;     // entries beyond gap 1..16 and count 1..8 in one byte
constexpr size_t MaxEntryBytes = 1 + 5 + 5;
constexpr size_t DenseCheckStride = 64; // packed bytes between checks for the dense form
constexpr size_t FewAdds = 8;           // adds to a packed histogram that are not merged at once
constexpr size_t DenseAnyway = 512;     // packed bytes that make the histogram dense anyway (a
                                        // longer walk through them would cost too much)

size_t PutVarint(uint8_t* out, uint32_t value) {
    size_t length = 0;
    while (value >= 0x80) {
        out[length++] = uint8_t(value | 0x80);
        value >>= 7;
    }
    out[length++] = uint8_t(value);
    return length;
}

uint32_t GetVarint(const uint8_t* at, size_t& length) {
    uint32_t value = 0;
    for (int shift = 0;; shift += 7) {
        uint8_t byte = at[length++];
        value |= uint32_t(byte & 0x7F) << shift;
        if (byte < 0x80)
            return value;
    }
}

} // namespace

uint32_t TLogHistogram::BucketOf(uint64_t value) {
    if (value < ExactBuckets)
        return uint32_t(value);
    uint32_t octave = uint32_t(std::bit_width(value)) - 1; // 7..63
    uint32_t sub = uint32_t(value >> (octave - SubBucketBits)) & ((1u << SubBucketBits) - 1);
    return ExactBuckets + ((octave - FirstOctave) << SubBucketBits) + sub;
}

uint64_t TLogHistogram::MiddleOf(uint32_t bucket) {
    if (bucket < ExactBuckets)
        return bucket;
    uint32_t octave = FirstOctave + ((bucket - ExactBuckets) >> SubBucketBits);
    uint64_t sub = (bucket - ExactBuckets) & ((1u << SubBucketBits) - 1);
    uint32_t shift = octave - SubBucketBits;
    uint64_t lower = ((uint64_t{1} << SubBucketBits) + sub) << shift;
    return lower + ((uint64_t{1} << shift) - 1) / 2;
}

TLogHistogram::TEntry TLogHistogram::Decode(const uint8_t* at) {
    if (at[0] < LongForm)
        return {uint32_t(at[0] & 15) + 1, uint32_t(at[0] >> 4) + 1, 1};
    size_t length = 1;
    uint32_t gap = GetVarint(at, length);
    uint32_t count = GetVarint(at, length);
    return {gap, count, length};
}

size_t TLogHistogram::Encode(uint8_t* out, uint32_t gap, uint32_t count) {
    if (count >= 1 && count <= 8 && gap >= 1 && gap <= 16) {
        out[0] = uint8_t((count - 1) << 4 | (gap - 1));
        return 1;
    }
    out[0] = LongForm;
    size_t length = 1 + PutVarint(out + 1, gap);
    return length + PutVarint(out + length, count);
}

void TLogHistogram::Replace(size_t at, size_t length, const uint8_t* bytes, size_t count) {
    if (count > length) {
        // Grow by a quarter at a time: little slack, and no doubling.
        size_t needed = Bytes.size() + count - length;
        if (needed > Bytes.capacity())
            Bytes.reserve(needed + needed / 4 + 8);
        Bytes.insert(Bytes.begin() + ptrdiff_t(at + length), count - length, 0);
    } else if (count < length) {
        Bytes.erase(Bytes.begin() + ptrdiff_t(at + count), Bytes.begin() + ptrdiff_t(at + length));
    }
    std::memcpy(Bytes.data() + at, bytes, count);
}

uint32_t TLogHistogram::StartAddBucket(uint32_t bucket) {
    ++Values;
    if (!IsDense()) {
        AddPacked(bucket);
        return Finished;
    }
    if (bucket < DenseFirst) {
        Bytes.insert(Bytes.begin(), (DenseFirst - bucket) * CountBytes, 0);
        DenseFirst = uint16_t(bucket);
    } else if (size_t counts = CountsBytes(); (bucket - DenseFirst) * CountBytes >= counts) {
        Bytes.insert(Bytes.begin() + ptrdiff_t(counts),
                     (bucket - DenseFirst) * CountBytes + CountBytes - counts, 0);
    }
    __builtin_prefetch(Bytes.data() + (bucket - DenseFirst) * CountBytes, 1);
    return bucket;
}

void TLogHistogram::AddPacked(uint32_t bucket) {
    uint8_t encoded[2 * MaxEntryBytes];
    int64_t previous = -1;
    size_t at = 0;
    size_t before = Bytes.size();
    while (at < Bytes.size()) {
        TEntry entry = Decode(Bytes.data() + at);
        int64_t current = previous + entry.Gap;
        if (current == bucket) {
            Replace(at, entry.Length, encoded, Encode(encoded, entry.Gap, entry.Count + 1));
            if (Values % 64 == 0)
                MakeDense();
            return;
        }
        if (current > bucket) {
            size_t length = Encode(encoded, uint32_t(bucket - previous), 1);
            length += Encode(encoded + length, uint32_t(current - bucket), entry.Count);
            Replace(at, entry.Length, encoded, length);
            break;
        }
        previous = current;
        at += entry.Length;
    }
    if (at == before)
        Replace(at, 0, encoded, Encode(encoded, uint32_t(bucket - previous), 1));
    if (Bytes.size() / DenseCheckStride != before / DenseCheckStride || Values % 64 == 0)
        MakeDense();
}

void TLogHistogram::AddBuckets(const uint32_t* buckets, size_t count) {
    if (count == 0)
        return;
    if (IsDense()) {
        for (size_t i = 0; i < count; ++i) {
            uint32_t bucket = StartAddBucket(buckets[i]);
            if (bucket != Finished)
                FinishAdd(bucket);
        }
        return;
    }
    if (count <= FewAdds) { // each walks only up to its bucket
        for (size_t i = 0; i < count; ++i) {
            ++Values;
            AddPacked(buckets[i]);
        }
        return;
    }
    // The entries and the new buckets merged, into a buffer kept for the next merge.
    thread_local std::vector<uint8_t> merged;
    merged.clear();
    uint8_t encoded[MaxEntryBytes];
    int64_t written = -1; // the last bucket written
    int64_t existing = -1;
    TEntry entry{};
    size_t at = 0;
    bool haveEntry = false;
    const auto nextEntry = [&] {
        haveEntry = at < Bytes.size();
        if (haveEntry) {
            entry = Decode(Bytes.data() + at);
            at += entry.Length;
            existing += entry.Gap;
        }
    };
    nextEntry();
    for (size_t i = 0; haveEntry || i < count;) {
        int64_t bucket;
        uint32_t hits = 0;
        if (haveEntry && (i == count || existing <= int64_t(buckets[i]))) {
            bucket = existing;
            hits = entry.Count;
            nextEntry();
        } else {
            bucket = buckets[i];
        }
        for (; i < count && buckets[i] == bucket; ++i)
            ++hits;
        size_t length = Encode(encoded, uint32_t(bucket - written), hits);
        merged.insert(merged.end(), encoded, encoded + length);
        written = bucket;
    }
    uint32_t valuesBefore = Values;
    size_t before = Bytes.size();
    Values += uint32_t(count);
    if (merged.size() > Bytes.capacity())
        Bytes.reserve(merged.size() + merged.size() / 4 + 8);
    Bytes.assign(merged.begin(), merged.end());
    // The form is checked where single adds check it: at every 64th value and every 64 bytes.
    if (Bytes.size() / DenseCheckStride != before / DenseCheckStride ||
        Values / 64 != valuesBefore / 64)
        MakeDense();
}

void TLogHistogram::MakeDense() {
    // Dense once one count per bucket of the range hit takes at most twice the packed bytes, or
    // at most one byte per value, or once the packed bytes take long to walk through. The check
    // walks the entries without allocating; only the change itself allocates, once.
    int64_t first = -1;
    int64_t last = -1;
    for (size_t at = 0; at < Bytes.size();) {
        TEntry entry = Decode(Bytes.data() + at);
        last += entry.Gap;
        if (first < 0)
            first = last;
        at += entry.Length;
    }
    size_t range = size_t(last - first + 1);
    size_t denseBytes = range * CountBytes;
    if (denseBytes > 2 * Bytes.size() && denseBytes > Values && Bytes.size() < DenseAnyway)
        return;
    std::vector<uint8_t> dense(denseBytes, 0);
    int64_t bucket = -1;
    for (size_t at = 0; at < Bytes.size();) {
        TEntry entry = Decode(Bytes.data() + at);
        bucket += entry.Gap;
        uint16_t low = uint16_t(entry.Count);
        std::memcpy(dense.data() + (bucket - first) * CountBytes, &low, CountBytes);
        if (entry.Count >> 16 != 0) { // by bucket, as they come
            uint32_t carry = uint32_t(bucket) << 16 | entry.Count >> 16;
            dense.insert(dense.end(), CarryBytes, 0);
            std::memcpy(dense.data() + dense.size() - CarryBytes, &carry, CarryBytes);
            ++CarryCount;
        }
        at += entry.Length;
    }
    Bytes = std::move(dense);
    DenseFirst = uint16_t(first);
}

uint64_t TLogHistogram::Percentile(uint32_t percent, uint64_t smallest, uint64_t largest) const {
    if (Values == 0)
        return 0;
    uint64_t rank = std::max<uint64_t>(1, (uint64_t{Values} * percent + 99) / 100);
    uint64_t seen = 0;
    if (IsDense()) {
        size_t carry = 0;
        for (size_t i = 0; i < CountsBytes() / CountBytes; ++i) {
            seen += DenseCount(i, carry);
            if (seen >= rank)
                return std::clamp(MiddleOf(DenseFirst + uint32_t(i)), smallest, largest);
        }
        return largest;
    }
    int64_t bucket = -1;
    for (size_t at = 0; at < Bytes.size();) {
        TEntry entry = Decode(Bytes.data() + at);
        bucket += entry.Gap;
        seen += entry.Count;
        if (seen >= rank)
            return std::clamp(MiddleOf(uint32_t(bucket)), smallest, largest);
        at += entry.Length;
    }
    return largest;
}

uint32_t TLogHistogram::CarryAt(size_t index) const {
    uint32_t carry;
    std::memcpy(&carry, Bytes.data() + CountsBytes() + index * CarryBytes, CarryBytes);
    return carry;
}

void TLogHistogram::Carry(uint32_t bucket, uint32_t carries) {
    size_t index = 0;
    while (index < CarryCount && CarryAt(index) >> 16 < bucket)
        ++index;
    uint32_t carry = bucket << 16 | carries;
    if (index < CarryCount && CarryAt(index) >> 16 == bucket) {
        carry = CarryAt(index) + carries;
    } else {
        Bytes.insert(Bytes.begin() + ptrdiff_t(CountsBytes() + index * CarryBytes), CarryBytes, 0);
        ++CarryCount;
    }
    std::memcpy(Bytes.data() + CountsBytes() + index * CarryBytes, &carry, CarryBytes);
}

uint64_t TLogHistogram::DenseCount(size_t index, size_t& carry) const {
    uint16_t low;
    std::memcpy(&low, Bytes.data() + index * CountBytes, CountBytes);
    uint64_t count = low;
    if (carry < CarryCount && CarryAt(carry) >> 16 == DenseFirst + index)
        count += uint64_t(CarryAt(carry++) & 0xFFFF) << 16;
    return count;
}

void TLogHistogram::Clear() {
    std::vector<uint8_t>().swap(Bytes);
    DenseFirst = Packed;
    CarryCount = 0;
}

} // namespace hookmeter
