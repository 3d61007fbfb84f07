// PMarc2's "-pm2-" method: LZ77 over 8 KB, read most significant bit first.
//
// Stream: 1 bit (ignored), a main code description, a class code description of 5
// classes, then commands until the member's size is produced. A command is a symbol s of
// the main code (29 symbols):
//   0-7    a literal: extra bits give a rank in the recency list (table below); every
//          byte produced moves to the list's front
//   8-28   a copy of count bytes (s - 6 for 8-22, then a base plus extra bits, 256 for 28)
//          from d + 1 bytes back: d is 6 bits for s = 8, 0 for s = 28, else a distance
//          class t of the class code and its field (t = 0: 6 bits; t >= 1: 2^(t+5) plus
//          t + 5 bits). The history starts as spaces.
// Main code description: N (5 bits), M (3 bits). M = 0: the one symbol N - 1, read from
// zero bits. Else W (3 bits) and N fields of W bits: v > 0 gives symbol k the length
// M + v - 1. A class code follows only when F = N >= 10 and not (N = 29 and M = 0).
// Class code description (K classes): K lengths of 3 bits; a single non-zero one gives a
// code of that class read from zero bits.
// Refresh points, read after the command during which P (the bytes produced) reaches
// them, unless the member is complete: 1024 and 2048 a class code of 6 and 7 classes (if
// F); 4096 a bit (1: a new main code), then a class code of 8 classes (if F); 8192 and
// every 4096 on a bit (1: a new main code and, if F, a class code of 8 classes).
// Codes are canonical; an incomplete one is taken (bits that start no codeword are
// invalid), an over-full one, or a length past 16, is not.
#include "lzh/LzhPm2Decoder.h"

#include "archive/MatchCopy.h"
#include "lzh/LzhBitCursor.h"
#include "lzh/LzhBitInput.h"
#include "lzh/LzhDecodeStart.h"
#include "lzh/LzhHistoryWindow.h"
#include "lzh/LzhPrefixCode.h"
#include "lzh/LzhRecencyList.h"

#include <cstring>

namespace
{

constexpr uint32_t kDict = 8192; // d <= 2^12 + 2^12 - 1 = 8191
constexpr unsigned kMaxCount = 256;
// The chunk is checked after each command; a copy writes at most 256 bytes.
using Window = LzhHistoryWindowOf<kDict, kMaxCount>;

constexpr unsigned kMainSymbols = 31;   // N <= 31: symbols 0-30 (29 and 30 mean nothing)
constexpr unsigned kLastSymbol = 28;    // the last symbol with a meaning
constexpr unsigned kMainTableBits = 10; // most main codes are shorter
constexpr unsigned kClassTableBits = 7; // 3-bit lengths: every class code resolves at once
// Bits a command needs at most: a main code of 16, a count field of 7, a class code of 7
// and a distance field of 12.
constexpr unsigned kCommandBits = 16 + 7 + 7 + 12;

// Literal symbols 0-7: the rank is kRankBase[s] plus kRankBits[s] extra bits.
constexpr uint8_t kRankBase[8] = {0, 8, 16, 32, 64, 96, 128, 192};
constexpr uint8_t kRankBits[8] = {3, 3, 4, 5, 5, 5, 6, 6};
// Copy symbols 23-27: the count is kCountBase[s - 23] plus kCountBits[s - 23] extra bits.
constexpr uint8_t kCountBase[5] = {17, 25, 33, 65, 129};
constexpr uint8_t kCountBits[5] = {3, 3, 5, 6, 7};

// A main code description; false when it is invalid. Sets hasClasses (F).
bool ReadMainCode(LzhBitInput& in, LzhPrefixCode& main, bool& hasClasses)
{
    unsigned n = in.TakeBits(5);
    unsigned m = in.TakeBits(3);
    hasClasses = n >= 10 && !(n == 29 && m == 0);
    if (m == 0) {
        // N = 0 names no symbol: a code that decodes to nothing valid.
        main.BuildSingle(n > 0 ? n - 1 : LzhPrefixCode::kNoSymbol, kMainTableBits);
        return true;
    }
    unsigned w = in.TakeBits(3);
    uint8_t lengths[kMainSymbols] = {};
    for (unsigned k = 0; k < n; ++k) {
        unsigned v = w == 0 ? 0 : in.TakeBits(w);
        if (v != 0) {
            unsigned length = m + v - 1;
            if (length > LzhPrefixCode::kMaxLength) {
                return false;
            }
            lengths[k] = static_cast<uint8_t>(length);
        }
    }
    return main.Build(lengths, kMainSymbols, kMainTableBits);
}

// A class code description of `classes` (5-8) lengths; false when it is over-full.
bool ReadClassCode(LzhBitInput& in, unsigned classes, LzhPrefixCode& code)
{
    uint8_t lengths[8];
    unsigned nonZero = 0;
    unsigned last = 0;
    for (unsigned k = 0; k < classes; ++k) {
        lengths[k] = static_cast<uint8_t>(in.TakeBits(3));
        if (lengths[k] != 0) {
            ++nonZero;
            last = k;
        }
    }
    if (nonZero == 1) {
        code.BuildSingle(last, kClassTableBits);
        return true;
    }
    return code.Build(lengths, classes, kClassTableBits);
}

// The refresh point after `point`: 1024, 2048, 4096, then every 4096.
uint64_t NextRefresh(uint64_t point)
{
    return point < 4096 ? 2 * point : point + 4096;
}

// The descriptions at refresh point `point`; false when one is invalid.
bool ReadRefresh(LzhBitInput& in, uint64_t point, LzhPrefixCode& main, LzhPrefixCode& classes,
                 bool& hasClasses)
{
    if (point < 4096) {
        return !hasClasses || ReadClassCode(in, point == 1024 ? 6 : 7, classes);
    }
    bool newMain = in.TakeBits(1) != 0;
    if (newMain && !ReadMainCode(in, main, hasClasses)) {
        return false;
    }
    if (point > 4096 && !newMain) {
        return true;
    }
    return !hasClasses || ReadClassCode(in, 8, classes);
}

} // namespace

struct CLzhPm2Decoder::State
{
    LzhBitInput input;     // the member's compressed bytes
    Window window;         // history and output
    LzhRecencyList list;   // literal ranks
    LzhPrefixCode main;    // C: literals and copies
    LzhPrefixCode classes; // T: distance classes
    bool hasClasses;       // F: the stream carries class code descriptions
};

CLzhPm2Decoder::CLzhPm2Decoder() = default;
CLzhPm2Decoder::~CLzhPm2Decoder() = default;

LzhDecodeResult CLzhPm2Decoder::Decode(const LzhDecodeJob& job)
{
    LzhDecodeResult result;
    if (!StartDecode(job, m_state, result)) {
        return result;
    }
    State& s = *m_state;
    LzhBitInput& in = s.input;
    Window& win = s.window;
    LzhRecencyList& list = s.list;
    in.Start(*job.source, static_cast<uint32_t>(job.packedSize));
    win.Start(kDict, job.sink);
    std::memset(win.bytes, ' ', kDict);
    list.Reset();
    // A class code before any is read: nothing decodes (F false keeps symbols 9-27 out).
    s.classes.BuildSingle(LzhPrefixCode::kNoSymbol, kClassTableBits);

    const uint64_t size = job.unpackedSize;
    uint64_t pos = 0; // P: bytes produced
    uint64_t refresh = 1024;
    uint8_t* out = win.Output();
    DecodeStatus status = DecodeStatus::Ok;
    in.TakeBits(1);
    if (!ReadMainCode(in, s.main, s.hasClasses) ||
        (s.hasClasses && !ReadClassCode(in, 5, s.classes))) {
        status = DecodeStatus::Invalid;
    } else if (in.Overrun()) {
        status = DecodeStatus::Truncated;
    }
    LzhBitCursor cur(in);
    // One command per pass; after it the stream is checked for its overrun, the refresh
    // point's descriptions are read when P has reached it, and the window is checked for
    // its chunk's end.
    while (status == DecodeStatus::Ok && pos < size) {
        cur.Need(kCommandBits);
        unsigned length;
        unsigned symbol = s.main.Decode(cur.bits, length);
        if (symbol > kLastSymbol) { // kNoSymbol included
            status = DecodeStatus::Invalid;
            break;
        }
        cur.Skip(length);
        if (symbol < 8) {
            *out++ = list.TakeRank(kRankBase[symbol] + cur.Take(kRankBits[symbol]));
            ++pos;
        } else {
            unsigned count = symbol <= 22 ? symbol - 6 : kMaxCount;
            if (symbol >= 23 && symbol <= 27) {
                count = kCountBase[symbol - 23] + cur.Take(kCountBits[symbol - 23]);
            }
            uint32_t d = 0;
            if (symbol == 8) {
                d = cur.Take(6);
            } else if (symbol != kLastSymbol) {
                unsigned t = s.classes.Decode(cur.bits, length);
                if (t == LzhPrefixCode::kNoSymbol) {
                    status = DecodeStatus::Invalid;
                    break;
                }
                cur.Skip(length);
                d = t == 0 ? cur.Take(6) : (1u << (t + 5)) + cur.Take(t + 5);
            }
            // d + 1 <= 8192, the history: before the first byte it reads spaces.
            uint32_t n = count < size - pos ? count : static_cast<uint32_t>(size - pos);
            CopyMatch(out, d + 1, n);
            for (uint32_t k = 0; k < n; ++k) {
                list.Touch(out[k]);
            }
            out += n;
            pos += n;
        }
        if (cur.Overrun()) {
            status = DecodeStatus::Truncated;
            break;
        }
        if (pos >= refresh && pos < size) {
            cur.Save();
            bool ok = ReadRefresh(in, refresh, s.main, s.classes, s.hasClasses);
            cur.Load();
            refresh = NextRefresh(refresh);
            if (!ok) {
                status = DecodeStatus::Invalid;
                break;
            }
            if (cur.Overrun()) {
                status = DecodeStatus::Truncated;
                break;
            }
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
