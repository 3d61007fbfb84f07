// Method 93 through libzstd: one decompression context, kept between members and reset for
// each, fed through the shared pump.
#include "zip/ZipZstdDecoder.h"

#include "zip/ZipCodecPump.h"

#include <zstd.h>
#include <zstd_errors.h>

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

    ~State() { ZSTD_freeDCtx(context); }
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
        // Parameters outlive a session reset: set once.
        size_t set = ZSTD_DCtx_setParameter(s.context, ZSTD_d_windowLogMax, kMaxWindowLog);
        if (ZSTD_isError(set)) {
            return FromZstd(set);
        }
    }
    ZSTD_DCtx_reset(s.context, ZSTD_reset_session_only);
    s.pump.Reset(*job.source);
    s.atFrameEnd = false;
    return s.pump.Run(*job.sink, [&s](const uint8_t* input, size_t inputSize, uint8_t* output,
                                      size_t outputSize, bool sourceEnded) {
        ZipCodecStep r;
        if (sourceEnded && inputSize == 0 && s.atFrameEnd) {
            // Nothing more comes, and the last frame is complete. Elsewhere (an empty member
            // included) the call below flushes what the frame still holds, or makes no
            // progress, which the pump reports as truncated.
            r.ended = true;
            return r;
        }
        ZSTD_inBuffer in{input, inputSize, 0};
        ZSTD_outBuffer out{output, outputSize, 0};
        size_t result = ZSTD_decompressStream(s.context, &out, &in);
        r.consumed = in.pos;
        r.produced = out.pos;
        if (ZSTD_isError(result)) {
            r.status = FromZstd(result);
        } else {
            // 0: the frame is decoded and flushed; the next bytes, if any, start another.
            s.atFrameEnd = result == 0;
        }
        return r;
    });
}
