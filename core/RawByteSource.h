// The bytes of a raw record file, read in blocks of 1 MiB into one buffer that the record
// decoders read from.
//
// A regular file is read in place and can be read again. Anything else that can be read as a
// stream (a pipe, a FIFO, a character device, a file of /proc that claims to be empty) gives its
// bytes once; a source asked to keep streams copies them, while they are read the first time,
// into an unnamed temporary file, and reads that copy from then on.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

namespace hookmeter {

// Why the records ended before the end of the file's data.
enum class RawFileProblem {
    None,
    ReadError,    // reading the file failed
    RewindFailed, // the file could not be positioned at its start again
    Changed,      // the file was replaced or lost data since its content was fixed
    SpoolFailed,  // a temporary copy of the raw data could not be written
    Stopped,      // the stop flag was set
};

class TRawByteSource {
public:
    static constexpr size_t BlockSize = size_t{1} << 20;
    // Readable bytes before and past the data, so that the decoders may load whole words near
    // its ends.
    static constexpr size_t Padding = 64;

    TRawByteSource();
    ~TRawByteSource();
    TRawByteSource(const TRawByteSource&) = delete;
    TRawByteSource& operator=(const TRawByteSource&) = delete;

    // Fails for a folder, for what cannot be read, and, with `keepStreams`, for a stream when no
    // temporary copy can be made (SpoolFailed).
    bool Open(const std::string& fileName, bool keepStreams);
    void Close();
    bool IsOpen() const { return File != nullptr || Resident; }
    // The file's size when it was opened; 0 for a stream or when it is not known.
    uint64_t KnownSize() const { return SizeAtOpen; }

    // Checked before every block read: once it is set, the bytes end with Stopped.
    void SetStopFlag(const std::atomic<bool>* stop) { StopFlag.store(stop); }
    // Receives the number of bytes read so far after every block read; none: nothing is told.
    // Both may be set while another thread reads the bytes.
    void SetBytesReadCounter(std::atomic<uint64_t>* counter) { BytesReadCounter.store(counter); }

    // The buffered bytes from the read position on; Padding more bytes on either side may be
    // loaded.
    const char* Data() const { return Block + Pos; }
    size_t Buffered() const { return Fill - Pos; }
    void Consume(size_t count) { Pos += count; }
    // Makes at least `wanted` bytes (at most BlockSize) buffered unless the data end first;
    // returns Buffered().
    size_t Available(size_t wanted);

    // Called once the first pass has read what it needs: from then on only the bytes the file
    // holds now are read (later growth is ignored), and a file that is replaced or shrinks is
    // reported as Changed. A stream gives no byte beyond those already read; a kept stream's
    // copy takes its place. False with a problem set.
    bool FixContent();
    // Back to the start of the bytes. False with a problem set when the file cannot be rewound
    // or has changed; a stream that was not kept cannot be rewound.
    bool Rewind();
    // From now on the source reads `file`, an unnamed temporary file that holds `size` bytes of
    // raw data, and owns it; the file read so far is closed, and what it ended with is over.
    void ReadTemporaryFile(std::FILE* file, uint64_t size);
    // From now on the source holds `size` bytes (at most BlockSize) of raw data in its buffer
    // and reads them; the file read so far is closed.
    void ReadBytes(const char* bytes, size_t size);

    // True when every byte has been consumed.
    bool AtEnd() const { return Exhausted && Pos == Fill; }
    // None when the last end of the bytes was their true end.
    RawFileProblem Problem() const { return CurrentProblem; }
    // Ends the bytes with a problem; it is final.
    void EndWith(RawFileProblem problem);

private:
    // Reads the next block into the buffer; false at the end of the data or on a problem.
    bool ReadBlock();
    // True when the path still names the file that was opened and it has lost no byte.
    bool StillTheSameFile() const;
    void CloseFiles();

    std::string FileName;
    std::FILE* File = nullptr;
    std::FILE* Copy = nullptr;      // the copy of a kept stream, written as the stream is read
    bool Stream = false;            // the file cannot be read twice in place
    bool Resident = false;          // every byte is in the buffer, and no file is read
    std::unique_ptr<char[]> Buffer; // Padding, the block, Padding
    char* Block = nullptr;
    size_t Pos = 0;
    size_t Fill = 0;
    bool Exhausted = false;        // the file had no more bytes to give
    uint64_t Offset = 0;           // bytes read from the file since the last rewind
    uint64_t Limit = ~uint64_t{0}; // bytes of the file to read; fixed after the first pass
    uint64_t SizeAtOpen = 0;
    bool Fixed = false;
    uint64_t Device = 0; // identity of the regular file that was opened; 0 for a file of ours
    uint64_t Inode = 0;
    RawFileProblem CurrentProblem = RawFileProblem::None;
    std::atomic<const std::atomic<bool>*> StopFlag{nullptr};
    std::atomic<std::atomic<uint64_t>*> BytesReadCounter{nullptr};
    bool StopRequested() const;
};

} // namespace hookmeter
