// Method 93 through libzstd: one decompression context, kept between members and reset for
// each, fed through the shared pump.
#include "zip/ZipZstdDecoder.h"

#include "archive/LittleEndian.h"
#include "zip/ZipCodecPump.h"

#include <zstd.h>
#include <zstd_errors.h>

#include <algorithm>
#include <new>

namespace
{

DecodeStatus FromZstd(size_t result)
{
    switch (ZSTD_getErrorCode(result)) {
    case ZSTD_error_memory_allocation:
        return DecodeStatus::NoMemory;
    case ZSTD_error_frameParameter_windowTooLarge: // beyond ZSTD_d_windowLogMax
    case ZSTD_error_frameParameter_unsupported:    // a reserved bit of the frame header is set
        return DecodeStatus::Unsupported;
    default: // corruption_detected, checksum_wrong, prefix_unknown, ...
        return DecodeStatus::Invalid;
    }
}

} // namespace

struct CZipZstdDecoder::State
{
    ZSTD_DCtx* context = nullptr; // made at the first member, reset for each
    CZipCodecPump pump;           // the member's input and the output chunk
    // The last call returned 0: a frame is complete and all its output delivered, so the
    // member may end here. False inside a frame and before the first.
    bool atFrameEnd = false;
    bool atFrameStart = true; // the next byte starts a frame: its magic is checked first
    uint8_t magic[4] = {};    // the frame's first bytes, gathered across reads
    size_t magicHave = 0;     // how many of them

    ~State() { ZSTD_freeDCtx(context); }

    void Restart()
    {
        ZSTD_DCtx_reset(context, ZSTD_reset_session_only);
        atFrameEnd = false;
        atFrameStart = true;
        magicHave = 0;
    }

    ZipCodecStep Step(const uint8_t* input, size_t inputSize, uint8_t* output, size_t outputSize,
                      bool sourceEnded)
    {
        ZipCodecStep r;
        if (sourceEnded && inputSize == 0 && atFrameEnd) {
            // Nothing more comes, and the last frame is complete. Elsewhere (an empty member
            // included) the call below flushes what the frame still holds, or makes no
            // progress, which the pump reports as truncated.
            r.ended = true;
            return r;
        }
        if (atFrameStart) {
            return StartFrame(input, inputSize, output, outputSize);
        }
        ZSTD_inBuffer in{input, inputSize, 0};
        ZSTD_outBuffer out{output, outputSize, 0};
        size_t result = ZSTD_decompressStream(context, &out, &in);
        r.consumed = in.pos;
        r.produced = out.pos;
        if (ZSTD_isError(result)) {
            r.status = FromZstd(result);
        } else if (result == 0) {
            // The frame is decoded and flushed; the next bytes, if any, start another.
            atFrameEnd = true;
            atFrameStart = true;
        }
        return r;
    }

    // A frame begins with the magic 0xFD2FB528 (little-endian), or 0x184D2A50 to 0x184D2A5F
    // for a skippable frame. The library would also take the magics of its formats before 1.0
    // (0xFD2FB522 to 0xFD2FB527), which no ZIP writer uses and which this reader refuses.
    ZipCodecStep StartFrame(const uint8_t* input, size_t inputSize, uint8_t* output,
                            size_t outputSize)
    {
        ZipCodecStep r;
        r.consumed = std::min(sizeof magic - magicHave, inputSize);
        std::copy_n(input, r.consumed, magic + magicHave);
        magicHave += r.consumed;
        atFrameEnd = false; // a frame has begun, or its magic is cut short
        if (magicHave < sizeof magic) {
            return r;
        }
        uint32_t number = Le32(magic);
        if (number != ZSTD_MAGICNUMBER &&
            (number & ZSTD_MAGIC_SKIPPABLE_MASK) != ZSTD_MAGIC_SKIPPABLE_START) {
            r.status = DecodeStatus::Invalid;
            return r;
        }
        // The library keeps a frame header's bytes until the header is whole: it takes all four.
        ZSTD_inBuffer in{magic, sizeof magic, 0};
        ZSTD_outBuffer out{output, outputSize, 0};
        size_t result = ZSTD_decompressStream(context, &out, &in);
        if (ZSTD_isError(result)) {
            r.status = FromZstd(result);
        } else if (in.pos != sizeof magic || out.pos != 0) {
            r.status = DecodeStatus::Invalid;
        }
        atFrameStart = false;
        magicHave = 0;
        return r;
    }
};

CZipZstdDecoder::CZipZstdDecoder() = default;
CZipZstdDecoder::~CZipZstdDecoder() = default;

DecodeStatus CZipZstdDecoder::Decode(const ZipDecodeJob& job)
{
    if (!m_state) {
        m_state.reset(new (std::nothrow) State);
    }
    if (!m_state || !m_state->pump.Allocate()) {
        return DecodeStatus::NoMemory;
    }
    State& s = *m_state;
    if (s.context == nullptr) {
        s.context = ZSTD_createDCtx();
        if (s.context == nullptr) {
            return DecodeStatus::NoMemory;
        }
        // Parameters outlive the per-member reset of the stream (Restart): set once.
        size_t set = ZSTD_DCtx_setParameter(s.context, ZSTD_d_windowLogMax, kMaxWindowLog);
        if (ZSTD_isError(set)) {
            return FromZstd(set);
        }
    }
    s.Restart();
    s.pump.Reset(*job.source);
    return s.pump.Run(*job.sink, [&s](const uint8_t* input, size_t inputSize, uint8_t* output,
                                      size_t outputSize, bool sourceEnded) {
        return s.Step(input, inputSize, output, outputSize, sourceEnded);
    });
}
