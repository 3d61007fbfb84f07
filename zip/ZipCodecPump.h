// CZipCodecPump: the loop that the library decoders (bzip2, LZMA, xz, Zstandard) share. It
// reads the member's compressed bytes a chunk at a time, lets the library write straight into
// one output chunk, hands that chunk to the sink whole, and tells truncated input from data
// that no longer moves the library on.
#pragma once

#include "archive/ByteStreams.h"
#include "archive/DecodeStatus.h"

#include <cstddef>
#include <cstdint>
#include <memory>

// What one call into a library did with the chunks it was given.
struct ZipCodecStep
{
    size_t consumed = 0;                    // input bytes the library took
    size_t produced = 0;                    // output bytes it wrote from the chunk's start
    bool ended = false;                     // the stream is complete (its output included)
    DecodeStatus status = DecodeStatus::Ok; // anything else: the library's verdict
};

class CZipCodecPump
{
public:
    // 64 KiB of input per read keeps the calls into the source and the library few; 256 KiB of
    // output per sink write matches the stored copy's block.
    static constexpr uint32_t kInputChunk = 64 * 1024;
    static constexpr size_t kOutputChunk = 256 * 1024;

    // Takes the chunks (once per pump); false when they cannot be had.
    bool Allocate();
    // Forgets the input of the previous member.
    void Reset(ByteSource& source);

    // Copies exactly count bytes of the member's start into destination (a method's own header
    // ahead of the library's stream); false when the member ends first.
    bool ReadExact(uint8_t* destination, size_t count);

    // Calls step(input, inputSize, output, outputSize, sourceEnded) until it reports the end of
    // its stream or a verdict. sourceEnded is true once the source has nothing more and only
    // then may inputSize be 0. Every byte produced goes to sink before the next call, except
    // those of a call that reports a verdict, which ends the run. A call that neither takes
    // input nor produces output ends it too: Truncated when no input was left to give, else
    // Invalid (the library is stuck on the bytes it has). Which comes first, a verdict on the
    // data or a write the sink refuses, can depend on how the source splits its reads: a
    // library may decode further ahead with more input at hand.
    template <class Step> DecodeStatus Run(ByteSink& sink, Step&& step);

    // After a stream's end: whether the member holds more bytes (read ahead when none are at
    // hand), for methods whose streams may follow one another.
    bool HasMoreInput();

private:
    // Reads the next chunk when all input at hand has been taken; false at the source's end.
    bool Refill();

    std::unique_ptr<uint8_t[]> m_input;  // kInputChunk bytes read from the source
    std::unique_ptr<uint8_t[]> m_output; // kOutputChunk bytes the library writes into
    ByteSource* m_source = nullptr;      // the member being decoded
    uint32_t m_position = 0;             // first byte of m_input not yet taken
    uint32_t m_end = 0;                  // bytes of m_input that hold input
    bool m_sourceEnded = false;          // the source returned 0: no more input comes
};

template <class Step> DecodeStatus CZipCodecPump::Run(ByteSink& sink, Step&& step)
{
    for (;;) {
        Refill();
        size_t available = m_end - m_position;
        ZipCodecStep r = step(m_input.get() + m_position, available, m_output.get(), kOutputChunk,
                              m_sourceEnded);
        m_position += static_cast<uint32_t>(r.consumed);
        if (r.status != DecodeStatus::Ok) {
            return r.status; // what the failing call produced belongs to a broken stream
        }
        if (r.produced != 0 && !sink.Write(m_output.get(), r.produced)) {
            return DecodeStatus::OutputRefused;
        }
        if (r.ended) {
            return DecodeStatus::Ok;
        }
        if (r.consumed == 0 && r.produced == 0) {
            // The output chunk was empty, so only input could have moved the library on.
            return available == 0 ? DecodeStatus::Truncated : DecodeStatus::Invalid;
        }
    }
}
