#include "core/TextDecodeThread.h"

#include <system_error>

namespace hookmeter {

TTextDecodeThread::TTextDecodeThread() = default;

TTextDecodeThread::~TTextDecodeThread() {
    Stop();
}

void TTextDecodeThread::Start(TTextRecordDecoder& decoder, bool ahead) {
    Stop();
    Decoder = &decoder;
    if (!Storage)
        Storage.reset(new char[Blocks * BlockBytes]);
    Decoded = Taken = 0;
    Holding = Ended = Stopping = false;
    if (ahead) {
        try {
            Thread = std::thread(&TTextDecodeThread::DecodeLoop, this);
        } catch (const std::system_error&) {
            // Decoded block by block as they are taken.
        }
    }
}

std::span<const char> TTextDecodeThread::Next() {
    if (!Thread.joinable()) {
        if (Ended || Decoder == nullptr)
            return {};
        size_t count = Decoder->Decode(Block(0), BlockAttempts);
        Ended = count < BlockAttempts;
        return {Block(0), count * 16};
    }
    std::unique_lock lock(Lock);
    Holding = false;
    Changed.notify_all();
    Changed.wait(lock, [&] { return Decoded > Taken || Ended; });
    if (Decoded == Taken)
        return {};
    Holding = true;
    uint64_t number = Taken++;
    return {Block(number), Sizes[number % Blocks]};
}

void TTextDecodeThread::DecodeLoop() {
    std::unique_lock lock(Lock);
    for (;;) {
        Changed.wait(lock, [&] { return Stopping || Decoded - Taken + Holding < Blocks; });
        if (Stopping)
            return;
        uint64_t number = Decoded;
        lock.unlock();
        size_t count = Decoder->Decode(Block(number), BlockAttempts);
        lock.lock();
        Sizes[number % Blocks] = count * 16;
        if (count > 0)
            ++Decoded;
        Ended = count < BlockAttempts;
        Changed.notify_all();
        if (Ended)
            return;
    }
}

void TTextDecodeThread::Stop() {
    if (Thread.joinable()) {
        {
            std::lock_guard guard(Lock);
            Stopping = true;
        }
        Changed.notify_all();
        Thread.join();
    }
    Decoder = nullptr;
}

} // namespace hookmeter
