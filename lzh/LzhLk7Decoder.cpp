// LHARK's "-lh7-" method: blocks of the LZH static Huffman family, read most significant
// bit first.
//
// Block: a 16-bit command count R (0: another block header follows at once), then three
// canonical codes:
//   pre-code   n (5 bits); n = 0: 5 bits give the one symbol, read from zero bits; else
//              n lengths as length values, with a 2-bit count z of zero lengths straight
//              after the third (symbols 3 .. 2 + z, counted in n)
//   main code  n (9 bits, at most 289 taken); n = 0: 9 bits give the one symbol; else
//              lengths by pre-code symbols c: 0 one zero, 1 3 + (4 bits) zeros,
//              2 20 + (9 bits) zeros, c >= 3 the length c - 2
//   distances  n (6 bits); n = 0: 6 bits give the one symbol; else n length values
// A length value is 3 bits x; x = 7 grows by one for each 1 bit up to the first 0. Then R
// commands: main symbols 0-255 are bytes, 256-288 copies whose count comes from the symbol
// and extra bits (3-514), followed by a distance symbol t and its extra bits giving d; the
// copy starts d + 1 bytes back, and the history starts as spaces. Nothing ends the
// stream: decoding stops when the member's size is produced.
//
// Distance symbols 0-31 reach 65,536 bytes back; 32 and 33, which the 6-bit count allows
// and the same rule extends, reach 131,072, and the history is that large so that they
// read what they name. Symbols from 34 on name nothing. Codes may be incomplete (bits that
// start no codeword are invalid), not over-full, and no length may pass 16.
#include "lzh/LzhLk7Decoder.h"

#include "archive/MatchCopy.h"
#include "lzh/LzhBitCursor.h"
#include "lzh/LzhBitInput.h"
#include "lzh/LzhDecodeStart.h"
#include "lzh/LzhHistoryWindow.h"
#include "lzh/LzhPrefixCode.h"

#include <array>
#include <cstring>

bool IsLharkMethod(std::wstring_view method, int headerLevel, int osId)
{
    return method == L"-lh7-" && headerLevel == 1 && osId == 0x20;
}

namespace
{

constexpr uint32_t kDict = 131072; // distance symbol 33 reaches 3 * 2^15 + 2^15
constexpr unsigned kMaxCount = 514;
// The chunk is checked after each command; a copy writes at most 514 bytes.
using Window = LzhHistoryWindowOf<kDict, kMaxCount>;

constexpr unsigned kPreSymbols = 31;      // a 5-bit count
constexpr unsigned kMainSymbols = 289;    // 256 bytes and 33 copy symbols
constexpr unsigned kDistanceSymbols = 63; // a 6-bit count
constexpr unsigned kLastDistance = 33;    // the last distance symbol with a meaning
constexpr unsigned kPreTableBits = 8;
constexpr unsigned kMainTableBits = 12;
constexpr unsigned kDistanceTableBits = 10;
// Bits a command needs at most: a main code of 16, 6 count bits, a distance code of 16 and
// 15 distance bits (symbol 33).
constexpr unsigned kCommandBits = 16 + 6 + 16 + 15;

// Copy symbol s (256-288): count kCountBase[s - 256] plus kCountBits[s - 256] extra bits.
// 256-263 give 3-10; from 264 on k = (s - 260) / 4 extra bits over (4 + s mod 4) 2^k + 3;
// 288 gives 514.
struct CountTable
{
    std::array<uint16_t, 33> base;
    std::array<uint8_t, 33> bits;
};

constexpr CountTable kCount = [] {
    CountTable t{};
    for (unsigned s = 256; s <= 288; ++s) {
        unsigned k = s < 264 || s == 288 ? 0 : (s - 260) / 4;
        unsigned base = s < 264 ? s - 253 : s == 288 ? 514 : ((4 + s % 4) << k) + 3;
        t.base[s - 256] = static_cast<uint16_t>(base);
        t.bits[s - 256] = static_cast<uint8_t>(k);
    }
    return t;
}();

// Distance symbol t (0-33): d = kDistance.base[t] plus kDistance.bits[t] extra bits. 0-3
// are d itself; from 4 on k = (t - 2) / 2 extra bits over (2 + t mod 2) 2^k.
struct DistanceTable
{
    std::array<uint32_t, kLastDistance + 1> base;
    std::array<uint8_t, kLastDistance + 1> bits;
};

constexpr DistanceTable kDistance = [] {
    DistanceTable t{};
    for (unsigned s = 0; s <= kLastDistance; ++s) {
        unsigned k = s < 4 ? 0 : (s - 2) / 2;
        t.base[s] = s < 4 ? s : (2 + s % 2) << k;
        t.bits[s] = static_cast<uint8_t>(k);
    }
    return t;
}();

static_assert(kCount.base[287 - 256] + (1u << kCount.bits[287 - 256]) - 1 == kMaxCount);
static_assert(kDistance.base[kLastDistance] + (1u << kDistance.bits[kLastDistance]) == kDict);

// A length value: false past 16.
bool ReadLength(LzhBitInput& in, uint8_t& length)
{
    unsigned x = in.TakeBits(3);
    if (x == 7) {
        while (in.TakeBits(1) != 0) {
            if (++x > LzhPrefixCode::kMaxLength) {
                return false;
            }
        }
    }
    length = static_cast<uint8_t>(x);
    return true;
}

bool ReadPreCode(LzhBitInput& in, LzhPrefixCode& code)
{
    unsigned n = in.TakeBits(5);
    if (n == 0) {
        code.BuildSingle(in.TakeBits(5), kPreTableBits);
        return true;
    }
    uint8_t lengths[kPreSymbols] = {};
    for (unsigned k = 0; k < n;) {
        if (!ReadLength(in, lengths[k])) {
            return false;
        }
        if (++k == 3) {
            k += in.TakeBits(2); // these lengths stay 0
        }
    }
    return code.Build(lengths, n, kPreTableBits);
}

bool ReadMainCode(LzhBitInput& in, const LzhPrefixCode& pre, LzhPrefixCode& code)
{
    unsigned n = in.TakeBits(9);
    if (n == 0) {
        code.BuildSingle(in.TakeBits(9), kMainTableBits);
        return true;
    }
    n = n < kMainSymbols ? n : kMainSymbols;
    uint8_t lengths[kMainSymbols] = {};
    for (unsigned k = 0; k < n;) {
        // A pre-code of up to 16 bits and a 9-bit run.
        in.Need(16 + 9);
        unsigned length;
        unsigned c = pre.Decode(in.bits, length);
        if (c == LzhPrefixCode::kNoSymbol) {
            return false;
        }
        in.bits <<= length;
        in.count -= length;
        if (c == 0) {
            k += 1;
        } else if (c == 1) {
            k += 3 + in.TakeBits(4); // a run of zeros stops at n
        } else if (c == 2) {
            k += 20 + in.TakeBits(9);
        } else if (c - 2 > LzhPrefixCode::kMaxLength) {
            return false;
        } else {
            lengths[k++] = static_cast<uint8_t>(c - 2);
        }
    }
    return code.Build(lengths, kMainSymbols, kMainTableBits);
}

// Also gives how far back the code's copies can reach: d + 1 of the largest distance of
// the highest meaningful symbol with a code.
bool ReadDistanceCode(LzhBitInput& in, LzhPrefixCode& code, uint32_t& reach)
{
    auto reachOf = [](unsigned t) {
        return kDistance.base[t] + (uint32_t{1} << kDistance.bits[t]);
    };
    reach = 0;
    unsigned n = in.TakeBits(6);
    if (n == 0) {
        unsigned t = in.TakeBits(6);
        code.BuildSingle(t, kDistanceTableBits);
        reach = t <= kLastDistance ? reachOf(t) : 0;
        return true;
    }
    uint8_t lengths[kDistanceSymbols] = {};
    for (unsigned k = 0; k < n; ++k) {
        if (!ReadLength(in, lengths[k])) {
            return false;
        }
        if (lengths[k] != 0 && k <= kLastDistance) {
            reach = reachOf(k);
        }
    }
    return code.Build(lengths, n, kDistanceTableBits);
}

} // namespace

struct CLzhLk7Decoder::State
{
    LzhBitInput input;      // the member's compressed bytes
    Window window;          // history and output
    LzhPrefixCode pre;      // the block's code-length code
    LzhPrefixCode main;     // bytes and copy counts
    LzhPrefixCode distance; // distance symbols
};

CLzhLk7Decoder::CLzhLk7Decoder() = default;
CLzhLk7Decoder::~CLzhLk7Decoder() = default;

LzhDecodeResult CLzhLk7Decoder::Decode(const LzhDecodeJob& job)
{
    LzhDecodeResult result;
    if (!StartDecode(job, m_state, result)) {
        return result;
    }
    State& s = *m_state;
    LzhBitInput& in = s.input;
    Window& win = s.window;
    in.Start(*job.source, static_cast<uint32_t>(job.packedSize));
    win.Start(kDict, job.sink);

    const uint64_t size = job.unpackedSize;
    uint64_t pos = 0; // bytes produced
    uint8_t* out = win.Output();
    // The history before the member's first byte reads as spaces: filled as far back as
    // each block's copies reach while the first chunk is being produced (all that was
    // produced is still in it). A flush leaves real output there (a chunk is longer than
    // the history).
    uint32_t spaces = 0;
    uint32_t blockLeft = 0;
    DecodeStatus status = DecodeStatus::Ok;
    LzhBitCursor cur(in);
    // One command per pass, after the block header when the block is used up; the stream
    // is checked for its overrun after each header and each command, the window for its
    // chunk's end after each command.
    while (pos < size) {
        while (blockLeft == 0) {
            cur.Save();
            blockLeft = in.TakeBits(16);
            uint32_t reach = 0;
            bool ok = ReadPreCode(in, s.pre) && ReadMainCode(in, s.pre, s.main) &&
                      ReadDistanceCode(in, s.distance, reach);
            cur.Load();
            if (!ok) {
                status = DecodeStatus::Invalid;
                break;
            }
            if (cur.Overrun()) {
                status = DecodeStatus::Truncated;
                break;
            }
            const bool firstChunk = pos == static_cast<uint64_t>(out - win.Output());
            if (firstChunk && reach > spaces) {
                std::memset(win.Output() - reach, ' ', reach - spaces);
                spaces = reach;
            }
        }
        if (status != DecodeStatus::Ok) {
            break;
        }
        --blockLeft;
        cur.Need(kCommandBits);
        unsigned length;
        unsigned symbol = s.main.Decode(cur.bits, length);
        if (symbol >= kMainSymbols) { // kNoSymbol included
            status = DecodeStatus::Invalid;
            break;
        }
        cur.Skip(length);
        if (symbol < 256) {
            *out++ = static_cast<uint8_t>(symbol);
            ++pos;
        } else {
            unsigned count = kCount.base[symbol - 256] + cur.Take(kCount.bits[symbol - 256]);
            unsigned t = s.distance.Decode(cur.bits, length);
            if (t > kLastDistance) { // kNoSymbol included
                status = DecodeStatus::Invalid;
                break;
            }
            cur.Skip(length);
            uint32_t d = kDistance.base[t] + cur.Take(kDistance.bits[t]);
            // d + 1 <= kDict, the history; before the first byte it reads spaces.
            uint32_t n = count < size - pos ? count : static_cast<uint32_t>(size - pos);
            CopyMatch(out, d + 1, n);
            out += n;
            pos += n;
        }
        if (cur.Overrun()) {
            status = DecodeStatus::Truncated;
            break;
        }
        if (!win.FlushIfFull(out)) {
            break;
        }
    }
    result.status = win.Finish(out, status);
    result.crc = win.crc;
    result.produced = pos;
    return result;
}
