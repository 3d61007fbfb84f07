// Methods 14 (LZMA) and 95 (xz) through liblzma. Both run one lzma_stream through the shared
// pump; they differ only in how the stream is opened.
//
// Method 14's data:
//   offset  size  field
//   0       1     major version of the LZMA library that wrote it (not checked)
//   1       1     minor version
//   2       2     size of the properties that follow, little-endian: 5
//   4       1     lc, lp, pb as (pb * 5 + lp) * 9 + lc, so below 9 * 5 * 5 = 225
//   5       4     dictionary size, little-endian
//   9       ...   the raw LZMA stream (with an end marker when general-purpose bit 1 is set)
#include "zip/ZipLzmaDecoder.h"

#include "archive/LittleEndian.h"
#include "zip/ZipCodecPump.h"

#include <lzma.h>

#include <algorithm>
#include <new>

namespace
{

constexpr uint16_t kMethodLzma = 14;
constexpr uint16_t kMethodXz = 95;
constexpr uint16_t kFlagEndMarker = 0x0002;
constexpr size_t kLzmaHeaderSize = 4;
constexpr size_t kLzmaPropertiesSize = 5;
constexpr uint8_t kLzmaPropertiesLimit = 9 * 5 * 5;
// What an .xz decoder needs besides its dictionaries: liblzma's own structures (some tens of
// KiB per filter chain) and the small filters' state, far less than 1 MiB.
constexpr uint64_t kXzMemoryLimit = CZipLzmaDecoder::kMaxDictionary + (uint64_t{1} << 20);

DecodeStatus FromLzma(lzma_ret result)
{
    switch (result) {
    case LZMA_MEM_ERROR:
        return DecodeStatus::NoMemory;
    case LZMA_MEMLIMIT_ERROR: // a dictionary beyond kXzMemoryLimit
    case LZMA_OPTIONS_ERROR:  // a filter, check or flag (sound by its CRC) liblzma does not know
        return DecodeStatus::Unsupported;
    case LZMA_BUF_ERROR: // no progress at all: the input ended inside the stream
        return DecodeStatus::Truncated;
    default: // LZMA_FORMAT_ERROR, LZMA_DATA_ERROR: the data break the format
        return DecodeStatus::Invalid;
    }
}

} // namespace

struct CZipLzmaDecoder::State
{
    lzma_stream stream = LZMA_STREAM_INIT; // kept between members: liblzma reuses its memory
    CZipCodecPump pump;                    // the member's input and the output chunk

    ~State() { lzma_end(&stream); }

    // Reads method 14's header and opens a raw LZMA decoder for what follows.
    DecodeStatus OpenLzma(const ZipDecodeJob& job)
    {
        uint8_t header[kLzmaHeaderSize + kLzmaPropertiesSize];
        if (!pump.ReadExact(header, kLzmaHeaderSize)) {
            return DecodeStatus::Truncated;
        }
        if (Le16(header + 2) != kLzmaPropertiesSize) {
            return DecodeStatus::Invalid;
        }
        if (!pump.ReadExact(header + kLzmaHeaderSize, kLzmaPropertiesSize)) {
            return DecodeStatus::Truncated;
        }
        const uint8_t* properties = header + kLzmaHeaderSize;
        if (properties[0] >= kLzmaPropertiesLimit) {
            return DecodeStatus::Invalid;
        }
        uint32_t lc = properties[0] % 9, lp = properties[0] / 9 % 5, pb = properties[0] / 45;
        if (lc + lp > LZMA_LCLP_MAX) {
            return DecodeStatus::Unsupported; // valid LZMA, but liblzma takes lc + lp <= 4 only
        }
        // No distance reaches further back than the bytes produced, and the sink takes no
        // more than the declared size: a dictionary larger than that is never read.
        uint64_t dictionary = std::min<uint64_t>(Le32(properties + 1), job.unpackedSize);
        if (dictionary > kMaxDictionary) {
            return DecodeStatus::Unsupported;
        }
        lzma_options_lzma options{};
        options.dict_size =
            std::max<uint32_t>(static_cast<uint32_t>(dictionary), LZMA_DICT_SIZE_MIN);
        options.lc = lc;
        options.lp = lp;
        options.pb = pb;
        if (job.flags & kFlagEndMarker) {
            // The size is not given: the end marker must come.
            lzma_set_ext_size(options, UINT64_MAX);
        } else {
            // The stream ends at the declared size, where its range coder must be finished;
            // an end marker may stand there (some writers add one without setting bit 1), but
            // not before.
            lzma_set_ext_size(options, job.unpackedSize);
            options.ext_flags = LZMA_LZMA1EXT_ALLOW_EOPM;
        }
        lzma_filter filters[] = {{LZMA_FILTER_LZMA1EXT, &options}, {LZMA_VLI_UNKNOWN, nullptr}};
        lzma_ret result = lzma_raw_decoder(&stream, filters);
        return result == LZMA_OK ? DecodeStatus::Ok : FromLzma(result);
    }

    DecodeStatus OpenXz()
    {
        lzma_ret result = lzma_stream_decoder(&stream, kXzMemoryLimit, LZMA_CONCATENATED);
        return result == LZMA_OK ? DecodeStatus::Ok : FromLzma(result);
    }
};

CZipLzmaDecoder::CZipLzmaDecoder() = default;
CZipLzmaDecoder::~CZipLzmaDecoder() = default;

DecodeStatus CZipLzmaDecoder::Decode(const ZipDecodeJob& job)
{
    if (job.method != kMethodLzma && job.method != kMethodXz) {
        return DecodeStatus::Unsupported;
    }
    if (!m_state) {
        m_state.reset(new (std::nothrow) State);
    }
    if (!m_state || !m_state->pump.Allocate()) {
        return DecodeStatus::NoMemory;
    }
    State& s = *m_state;
    s.pump.Reset(*job.source);
    DecodeStatus opened = job.method == kMethodLzma ? s.OpenLzma(job) : s.OpenXz();
    if (opened != DecodeStatus::Ok) {
        return opened;
    }
    lzma_stream& z = s.stream;
    return s.pump.Run(*job.sink, [&z](const uint8_t* input, size_t inputSize, uint8_t* output,
                                      size_t outputSize, bool sourceEnded) {
        z.next_in = input;
        z.avail_in = inputSize;
        z.next_out = output;
        z.avail_out = outputSize;
        // LZMA_FINISH lets the .xz decoder end after its last stream; once given, no input
        // follows, as liblzma requires.
        lzma_ret result = lzma_code(&z, sourceEnded ? LZMA_FINISH : LZMA_RUN);
        ZipCodecStep r;
        r.consumed = inputSize - z.avail_in;
        r.produced = outputSize - z.avail_out;
        r.ended = result == LZMA_STREAM_END;
        if (result != LZMA_OK && result != LZMA_STREAM_END) {
            r.status = FromLzma(result);
        }
        return r;
    });
}
