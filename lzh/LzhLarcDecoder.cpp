// LArc's LZSS methods.
//
// "-lzs-": a bit stream, most significant bit first. Each item starts with a flag bit:
//   1  a literal: the next 8 bits are the byte
//   0  a match: an 11-bit window position p, then a 4-bit length field n; n + 2 bytes (2-17)
// The 2048-byte window starts as spaces, and the first byte produced goes to position
// 2048 - 17 = 2031 (the window less the longest match).
//
// "-lz5-": bytes. A flag byte gives the kinds of the next eight items, least significant bit
// first:
//   1  a literal: one byte
//   0  a match: two bytes b0 b1; position p = b0 | (b1 & 0xF0) << 4 (12 bits), length
//      (b1 & 0x0F) + 3 (3-18)
// The 4096-byte window starts with a fixed pattern (below), and the first byte produced goes
// to position 4096 - 18 = 4078.
//
// Positions are absolute window offsets: a match at p copied to the window position r comes
// from ((r - p - 1) mod D) + 1 bytes back (p = r copies the byte D back). Nothing ends the
// stream: decoding stops when the member's size has been produced.
#include "lzh/LzhLarcDecoder.h"

#include "archive/MatchCopy.h"
#include "lzh/ArchiveEntry.h"
#include "lzh/LzhBitInput.h"
#include "lzh/LzhDecodeStart.h"
#include "lzh/LzhHistoryWindow.h"

#include <cstring>

namespace
{

constexpr uint32_t kLzsDict = 2048;
constexpr uint32_t kLzsStart = kLzsDict - 17;
constexpr uint32_t kLz5Dict = 4096;
constexpr uint32_t kLz5Start = kLz5Dict - 18;
// Input one item takes at most: -lzs- 16 bits (a match: flag, position, length), -lz5- a
// flag byte and a match's two bytes.
constexpr unsigned kLzsItemBits = 1 + 11 + 4;
constexpr long kLz5ItemBytes = 3;

// The -lz5- window at start: each byte value 13 times (0x000-0xCFF), the values 0-255
// (0xD00-0xDFF) and 255-0 (0xE00-0xEFF), 128 zeros, 110 spaces and 18 zeros (0xF00-0xFFF).
void FillLz5Pattern(uint8_t* window)
{
    uint32_t k = 0;
    for (uint32_t v = 0; v < 256; ++v) {
        std::memset(window + k, static_cast<int>(v), 13);
        k += 13;
    }
    for (uint32_t v = 0; v < 256; ++v) {
        window[k++] = static_cast<uint8_t>(v);
    }
    for (uint32_t v = 0; v < 256; ++v) {
        window[k++] = static_cast<uint8_t>(255 - v);
    }
    std::memset(window + k, 0, 128);
    k += 128;
    std::memset(window + k, ' ', 110);
    k += 110;
    std::memset(window + k, 0, 18);
}

} // namespace

struct CLzhLarcDecoder::State
{
    LzhBitInput input;         // the member's compressed bytes
    LzhHistoryWindow window;   // history and output
    uint8_t pattern[kLz5Dict]; // the -lz5- window at start, by absolute position

    State();
};

namespace
{

// One member's progress, shared by the fast loops and the careful steps.
struct Progress
{
    uint8_t* out;  // next output byte in the window
    uint32_t left; // bytes still to produce
    uint32_t r;    // absolute window position of out
};

// Copies a match from absolute position p, cut at the member's end.
inline void PutMatch(Progress& pr, uint32_t p, uint32_t length, uint32_t mask)
{
    uint32_t distance = ((pr.r - p - 1) & mask) + 1;
    length = length < pr.left ? length : pr.left;
    CopyMatch(pr.out, distance, length);
    pr.out += length;
    pr.left -= length;
    pr.r = (pr.r + length) & mask;
}

inline void PutLiteral(Progress& pr, unsigned byte, uint32_t mask)
{
    *pr.out++ = static_cast<uint8_t>(byte);
    --pr.left;
    pr.r = (pr.r + 1) & mask;
}

// -lzs- items while at least 8 input bytes are buffered, so that one 64-bit load refills
// the bits for an item (16 bits at most), and output remains. The bit reader lives in
// locals because window stores could alias it; the window is flushed when the chunk fills.
// Returns when the buffer runs low or the member is complete.
void LzsFastLoop(LzhBitInput& in, LzhHistoryWindow& win, Progress& pr)
{
    constexpr uint32_t mask = kLzsDict - 1;
    uint64_t bits = in.bits;
    unsigned count = in.count;
    const uint8_t* next = in.next;
    const uint8_t* const end = in.end;
    while (pr.left > 0 && end - next >= 8 && win.sinkOk) {
        if (count < kLzsItemBits) {
            uint64_t v;
            std::memcpy(&v, next, 8);
            bits |= __builtin_bswap64(v) >> count;
            next += (63 - count) >> 3;
            count |= 56;
        }
        if (bits >> 63) {
            PutLiteral(pr, static_cast<unsigned>(bits >> 55) & 0xFF, mask);
            bits <<= 9;
            count -= 9;
        } else {
            auto p = static_cast<uint32_t>(bits >> 52) & 0x7FF;
            auto n = static_cast<uint32_t>(bits >> 48) & 0xF;
            bits <<= kLzsItemBits;
            count -= kLzsItemBits;
            PutMatch(pr, p, n + 2, mask);
        }
        if (pr.out >= win.chunkEnd) {
            pr.out = win.Flush(pr.out);
        }
    }
    in.bits = bits;
    in.count = count;
    in.next = next;
}

// One -lzs- item through the careful reader (buffer refills, the member's last bytes).
void LzsStep(LzhBitInput& in, Progress& pr)
{
    constexpr uint32_t mask = kLzsDict - 1;
    if (in.TakeBits(1) != 0) {
        PutLiteral(pr, in.TakeBits(8), mask);
    } else {
        uint32_t p = in.TakeBits(11);
        uint32_t n = in.TakeBits(4);
        PutMatch(pr, p, n + 2, mask);
    }
}

// -lz5- items while a whole item (flag byte, two match bytes) is buffered and output
// remains. flags holds the current flag byte's unused bits above a marker bit: 1 alone
// means a new flag byte comes first.
void Lz5FastLoop(LzhBitInput& in, LzhHistoryWindow& win, Progress& pr, unsigned& flags)
{
    constexpr uint32_t mask = kLz5Dict - 1;
    const uint8_t* next = in.next;
    const uint8_t* const end = in.end;
    while (pr.left > 0 && end - next >= kLz5ItemBytes && win.sinkOk) {
        if (flags == 1) {
            flags = *next++ | 0x100u;
        }
        if (flags & 1) {
            PutLiteral(pr, *next++, mask);
        } else {
            uint32_t b0 = next[0];
            uint32_t b1 = next[1];
            next += 2;
            PutMatch(pr, b0 | (b1 & 0xF0) << 4, (b1 & 0x0F) + 3, mask);
        }
        flags >>= 1;
        if (pr.out >= win.chunkEnd) {
            pr.out = win.Flush(pr.out);
        }
    }
    in.next = next;
}

void Lz5Step(LzhBitInput& in, Progress& pr, unsigned& flags)
{
    constexpr uint32_t mask = kLz5Dict - 1;
    if (flags == 1) {
        flags = in.ReadByte() | 0x100u;
    }
    if (flags & 1) {
        PutLiteral(pr, in.ReadByte(), mask);
    } else {
        uint32_t b0 = in.ReadByte();
        uint32_t b1 = in.ReadByte();
        PutMatch(pr, b0 | (b1 & 0xF0) << 4, (b1 & 0x0F) + 3, mask);
    }
    flags >>= 1;
}

} // namespace

CLzhLarcDecoder::State::State()
{
    FillLz5Pattern(pattern);
}

CLzhLarcDecoder::CLzhLarcDecoder(LzhMethod method) : m_lzs(method == kMethodLzs) {}

CLzhLarcDecoder::~CLzhLarcDecoder() = default;

LzhDecodeResult CLzhLarcDecoder::Decode(const LzhDecodeJob& job)
{
    LzhDecodeResult result;
    if (job.unpackedSize > UINT32_MAX) {
        result.status = DecodeStatus::Unsupported; // a level 0 or 1 header holds 32 bits
        return result;
    }
    if (!StartDecode(job, m_state, result)) {
        return result;
    }
    State& s = *m_state;
    const bool lzs = m_lzs;
    const uint32_t dict = lzs ? kLzsDict : kLz5Dict;
    const uint32_t start = lzs ? kLzsStart : kLz5Start;
    LzhBitInput& in = s.input;
    LzhHistoryWindow& win = s.window;
    in.Start(*job.source, static_cast<uint32_t>(job.packedSize));
    win.Start(dict, job.sink);
    // The history holds the D bytes before the first output byte: absolute positions
    // start, start + 1, ... (mod D).
    for (uint32_t i = 0; i < dict; ++i) {
        win.bytes[i] = lzs ? ' ' : s.pattern[(start + i) & (dict - 1)];
    }

    DecodeStatus status = DecodeStatus::Ok;
    const auto size = static_cast<uint32_t>(job.unpackedSize);
    Progress pr{win.Output(), size, start};
    unsigned flags = 1;
    while (pr.left > 0) {
        if (lzs) {
            LzsFastLoop(in, win, pr);
        } else {
            Lz5FastLoop(in, win, pr, flags);
        }
        if (pr.left == 0) {
            break;
        }
        if (lzs) {
            LzsStep(in, pr);
        } else {
            Lz5Step(in, pr, flags);
        }
        if (in.Overrun()) {
            status = DecodeStatus::Truncated;
            break;
        }
        if (!win.FlushIfFull(pr.out)) {
            break; // a sink that refuses ends decoding
        }
    }
    result.status = win.Finish(pr.out, status);
    result.crc = win.crc;
    result.produced = size - pr.left;
    return result;
}
