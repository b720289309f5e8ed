// Decodes a text trace a few blocks ahead of the job, on a thread of its own: while the first
// pass takes one block of decoded read attempts, the next ones are decoded. Without that thread
// (a small trace, or no thread could be started) each block is decoded when it is taken.
#pragma once

#include "core/TextRecordDecoder.h"

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <span>
#include <thread>

namespace hookmeter {

class TTextDecodeThread {
public:
    static constexpr size_t BlockAttempts = 4096; // 64 KiB of attempts in the binary form

    TTextDecodeThread();
    ~TTextDecodeThread();
    TTextDecodeThread(const TTextDecodeThread&) = delete;
    TTextDecodeThread& operator=(const TTextDecodeThread&) = delete;

    // Decodes the attempts of `decoder` from now on, ahead on a thread of its own if `ahead`.
    void Start(TTextRecordDecoder& decoder, bool ahead);
    // The next block of attempts, 16 bytes each, in order; empty at the end of the text. The
    // block stays as it is until the next call.
    std::span<const char> Next();
    // Ends the decoding and waits for the thread: the decoder and its byte source are the
    // caller's again.
    void Stop();

private:
    static constexpr size_t Blocks = 3; // the one taken, the one decoded, one ready

    char* Block(uint64_t number) { return Storage.get() + (number % Blocks) * BlockBytes; }
    void DecodeLoop();

    static constexpr size_t BlockBytes = BlockAttempts * 16;
    TTextRecordDecoder* Decoder = nullptr;
    std::unique_ptr<char[]> Storage;
    std::thread Thread;
    std::mutex Lock;
    std::condition_variable Changed;
    // Guarded by Lock while the thread runs.
    size_t Sizes[Blocks] = {};
    uint64_t Decoded = 0; // blocks decoded so far
    uint64_t Taken = 0;   // blocks handed out by Next
    bool Holding = false; // the caller holds the block Next handed out last
    bool Ended = false;   // the text has no more attempts
    bool Stopping = false;
};

} // namespace hookmeter
