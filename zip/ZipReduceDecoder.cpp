// Reduce (methods 2-5, compression factor f = method - 1): two stages, bits read least
// significant first.
//
// Stage 1, follower sets. The stream opens with a set S(j) for every byte value j from 255
// down to 0: a 6-bit size N(j) (0-32), then N(j) bytes. Then come the bytes of stage 2's
// input, each coded by the set of the byte before it (`last`, 0 at the start):
//   S(last) empty     8 bits: the byte
//   otherwise         1, then 8 bits: the byte
//                     0, then B(N(last)) bits: an index into S(last)
// B(N) is the width of N - 1, at least one bit: 1, 1, 2, 2, 3 (5-8), 4 (9-16), 5 (17-32).
//
// Stage 2, DLE (144) escapes, with L = 8 - f length bits:
//   C (not 144)           the byte C
//   144 0                 the byte 144
//   144 V (V != 0) [X] D  a match: Len = V's low L bits, plus a byte X when they are all
//                         ones; Len + 3 bytes copied from ((V >> L) * 256 + D + 1) bytes back
//                         (at most 4096, for f = 4), where the output before its first byte
//                         reads as zeros
// Nothing ends the stream: decoding stops at the member's size, cutting a last match there.
#include "zip/ZipReduceDecoder.h"

#include "archive/MatchCopy.h"
#include "zip/ZipBitInput.h"
#include "zip/ZipOutputWindow.h"

#include <new>

namespace
{

constexpr unsigned kDle = 144;
constexpr unsigned kMaxFollowers = 32;
// One stage-1 byte takes at most 1 + 8 bits.
constexpr unsigned kByteBits = 9;

// The index width for a set of n followers (1-32).
constexpr uint8_t IndexBits(unsigned n)
{
    unsigned bits = 1;
    while ((1u << bits) < n) {
        ++bits;
    }
    return static_cast<uint8_t>(bits);
}

// Where stage 2 stands between its input bytes.
enum Stage2
{
    kPlain,      // the next byte is a literal or DLE
    kAfterDle,   // the next byte is 0 (a literal 144) or V
    kLengthByte, // the next byte extends the length
    kDistance,   // the next byte is the distance's low byte
};

} // namespace

struct CZipReduceDecoder::State
{
    struct FollowerSet
    {
        uint8_t count;                // N(j), 0-32
        uint8_t indexBits;            // B(N(j)) when count != 0
        uint8_t bytes[kMaxFollowers]; // S(j)[0..count-1]
    };
    FollowerSet sets[256];  // by the byte before
    ZipBitInput input;      // the member's compressed bytes
    ZipOutputWindow window; // history (4096 bytes reached) and output

    DecodeStatus ReadFollowerSets();
};

DecodeStatus CZipReduceDecoder::State::ReadFollowerSets()
{
    for (unsigned j = 256; j-- > 0;) {
        FollowerSet& set = sets[j];
        const unsigned n = input.Take(6);
        if (input.Overran()) {
            return DecodeStatus::Truncated;
        }
        if (n > kMaxFollowers) {
            return DecodeStatus::Invalid;
        }
        set.count = static_cast<uint8_t>(n);
        set.indexBits = IndexBits(n);
        for (unsigned i = 0; i < n; ++i) {
            set.bytes[i] = static_cast<uint8_t>(input.Take(8));
        }
    }
    return input.Overran() ? DecodeStatus::Truncated : DecodeStatus::Ok;
}

CZipReduceDecoder::CZipReduceDecoder() = default;
CZipReduceDecoder::~CZipReduceDecoder() = default;

// The loop keeps the bit buffer and the output pointer in locals (byte stores to the output
// could otherwise alias them) and takes one stage-1 byte per round, refilling when fewer than
// the 9 bits a byte may take are left. A match's copy writes at most 385 bytes (factor 1:
// 127 + 255 + 3) and CopyMatch up to kCopyOverrun - 1 beyond, within the window's slack past
// the chunk's end, where the output stands at most when the round starts.
DecodeStatus CZipReduceDecoder::Decode(const ZipDecodeJob& job)
{
    if (job.method < 2 || job.method > 5) {
        return DecodeStatus::Unsupported;
    }
    if (!m_state) {
        m_state.reset(new (std::nothrow) State);
        if (!m_state) {
            return DecodeStatus::NoMemory;
        }
    }
    State& s = *m_state;
    ZipBitInput& in = s.input;
    in.Start(*job.source);
    s.window.Start(job.sink);
    if (job.unpackedSize == 0) {
        return DecodeStatus::Ok;
    }
    DecodeStatus status = s.ReadFollowerSets();
    if (status != DecodeStatus::Ok) {
        return status;
    }

    const unsigned lengthBits = 8u - (job.method - 1u);
    const unsigned lengthMask = (1u << lengthBits) - 1;
    uint64_t bits = in.bits;
    unsigned count = in.count;
    uint64_t left = job.unpackedSize;
    uint8_t* out = s.window.Output();
    unsigned last = 0;
    Stage2 stage = kPlain;
    unsigned v = 0;
    unsigned length = 0;
    while (left != 0) {
        if (count < kByteBits) {
            in.bits = bits;
            in.count = count;
            in.Refill();
            bits = in.bits;
            count = in.count;
        }
        const State::FollowerSet& set = s.sets[last];
        unsigned c;
        if (set.count == 0) {
            c = static_cast<unsigned>(bits) & 0xFF;
            bits >>= 8;
            count -= 8;
        } else if (bits & 1) {
            c = static_cast<unsigned>(bits >> 1) & 0xFF;
            bits >>= 9;
            count -= 9;
        } else {
            const unsigned index = static_cast<unsigned>(bits >> 1) & ((1u << set.indexBits) - 1);
            bits >>= 1 + set.indexBits;
            count -= 1 + set.indexBits;
            if (index >= set.count) {
                status = in.padBits > count ? DecodeStatus::Truncated : DecodeStatus::Invalid;
                break;
            }
            c = set.bytes[index];
        }
        if (in.padBits > count) {
            status = DecodeStatus::Truncated;
            break;
        }
        last = c;
        switch (stage) {
        case kPlain:
            if (c != kDle) {
                *out++ = static_cast<uint8_t>(c);
                --left;
            } else {
                stage = kAfterDle;
            }
            break;
        case kAfterDle:
            if (c == 0) {
                *out++ = kDle;
                --left;
                stage = kPlain;
            } else {
                v = c;
                length = c & lengthMask;
                stage = length == lengthMask ? kLengthByte : kDistance;
            }
            break;
        case kLengthByte:
            length += c;
            stage = kDistance;
            break;
        case kDistance: {
            const uint32_t distance = ((v >> lengthBits) << 8) + c + 1;
            uint32_t n = length + 3;
            n = n < left ? n : static_cast<uint32_t>(left);
            CopyMatch(out, distance, n); // distance <= 4096: within the history
            out += n;
            left -= n;
            stage = kPlain;
            break;
        }
        }
        if (out >= s.window.chunkEnd) {
            out = s.window.Flush(out);
            if (s.window.refused) {
                return DecodeStatus::OutputRefused;
            }
        }
    }
    if (status != DecodeStatus::Ok) {
        return status;
    }
    s.window.Flush(out);
    return s.window.refused ? DecodeStatus::OutputRefused : DecodeStatus::Ok;
}
