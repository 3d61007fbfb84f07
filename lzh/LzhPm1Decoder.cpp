// PMarc 1.x's "-pm1-" method: LZ77 over 10,816 bytes, all codes fixed, read most
// significant bit first.
//
// The stream opens with a 5-bit selector S, which picks the code of literal range indices
// (Table A). Then, until the member's size is produced:
//   1  a literal run: its length R (1-216, Table B), then R literals; a run shorter than
//      216 is followed by a copy at once, with no flag bit
//   0  a copy: its type (0-5, Table D), count (2 for types 0 and 1, else 3-244, Table E)
//      and distance d (Table F); the copy starts d + 1 bytes back and must not reach
//      before the member's first byte
// A literal is a range index i (Table A), then extra bits giving a rank in the recency
// list (Table C); every byte produced moves to the list's front. Which copy types exist,
// and how wide the distances of types 3-5 are, grow with P, the bytes produced before the
// command. Nothing ends the stream: decoding stops when the member's size is produced,
// even inside a run or a copy. Past the packed bytes the stream reads as zeros.
#include "lzh/LzhPm1Decoder.h"

#include "archive/MatchCopy.h"
#include "lzh/LzhBitCursor.h"
#include "lzh/LzhBitInput.h"
#include "lzh/LzhDecodeStart.h"
#include "lzh/LzhHistoryWindow.h"
#include "lzh/LzhRecencyList.h"

#include <array>
#include <cstring>

namespace
{

constexpr unsigned kMaxRun = 216;
constexpr unsigned kMaxCount = 244;
constexpr uint32_t kMaxDistance = 10815; // type 5: 2624 + 2^13 - 1
// A copy reaches d + 1 <= 10,816 bytes back; the history is the next power of two. The
// chunk is checked after each run and each copy, the longer of which writes 244 bytes.
constexpr uint32_t kDict = 16384;
static_assert(kMaxDistance < kDict);
using Window = LzhHistoryWindowOf<kDict, kMaxCount>;

// Bits one item needs at most: a flag and a run length (1 + 2 + 3 + 4 + 7); a literal
// (range code of 5, rank of 6); a copy's type (3), count (2 + 3 + 6 + 7) and distance
// (13).
constexpr unsigned kFlagAndRunBits = 17;
constexpr unsigned kLiteralBits = 11;
constexpr unsigned kCopyBits = 34;

// Table A: the codewords of range indices 0-5 under each selector, first bit leftmost; ""
// where the index has none, and two codewords for indices 3 and 4 under selector 17,
// whose code tree is (((3 4) 2) (3 4)). Selector 31 reads no bits: the index is 0.
constexpr const char* kRangeCodes[32][6] = {
    {"0000", "0001", "001", "01", "10", "11"},
    {"000", "001", "010", "10", "11", "011"},
    {"000", "001", "01", "10", "110", "111"},
    {"00", "010", "011", "10", "110", "111"},
    {"00", "010", "10", "011", "110", "111"},
    {"00", "010", "10", "11", "0110", "0111"},
    {"00", "01", "100", "101", "110", "111"},
    {"00", "01", "100", "11", "1010", "1011"},
    {"00", "01", "10", "110", "1110", "1111"},
    {"0", "1000", "101", "110", "111", "1001"},
    {"0", "1000", "101", "11", "10010", "10011"},
    {"0", "1000", "1001", "101", "110", "111"},
    {"0", "100", "1010", "110", "111", "1011"},
    {"0", "100", "101", "110", "1110", "1111"},
    {"0", "100", "11", "1010", "10110", "10111"},
    {"0", "10", "1100", "1101", "1110", "1111"},
    {"0", "10", "110", "1110", "11110", "11111"},
    {"", "", "01", "000|10", "001|11", ""},
    {"00", "010", "10", "11", "011", ""},
    {"00", "01", "10", "110", "111", ""},
    {"0", "1000", "101", "11", "1001", ""},
    {"0", "100", "101", "110", "111", ""},
    {"0", "100", "11", "1010", "1011", ""},
    {"0", "10", "110", "1110", "1111", ""},
    {"000", "001", "01", "1", "", ""},
    {"00", "010", "1", "011", "", ""},
    {"00", "01", "10", "11", "", ""},
    {"0", "100", "11", "101", "", ""},
    {"0", "10", "110", "111", "", ""},
    {"0", "10", "11", "", "", ""},
    {"0", "1", "", "", "", ""},
    {"", "", "", "", "", ""},
};

// Table C: the rank of index i is kRankBase[i] plus kRankBits[i] extra bits.
constexpr uint8_t kRankBase[6] = {0, 16, 32, 64, 128, 192};
constexpr uint8_t kRankBits[6] = {4, 4, 5, 6, 6, 6};

// Table D: the copy type codes in force for P < 64, < 576, < 2624 and from 2624 on, as
// codeword strings by type 0-5.
constexpr uint32_t kTypeSteps[3] = {64, 576, 2624};
constexpr const char* kTypeCodes[4][6] = {
    {"0", "", "1", "", "", ""},
    {"00", "01", "11", "10", "", ""},
    {"000", "001", "11", "10", "01", ""},
    {"000", "001", "111", "10", "01", "110"},
};

// Table F: the distance of type t is kDistanceBase[t] plus a field of kDistanceBits[t]
// bits, narrower for types 3-5 while P is below their steps: 8 bits, one more from each
// step reached on.
constexpr uint32_t kDistanceBase[6] = {0, 64, 0, 64, 576, 2624};
constexpr uint8_t kDistanceBits[6] = {6, 8, 6, 9, 11, 13};
constexpr uint32_t kWidthSteps[6][5] = {
    {}, {}, {}, {320}, {832, 1088, 1600}, {2880, 3136, 3648, 4672, 6720}};
constexpr uint32_t kLastWidthStep = 6720;

// A prefix code by its next `Width` bits: entry = value | length << 3 (value < 8).
template <unsigned Width> using PeekTable = std::array<uint8_t, 1u << Width>;

// Fills the entries of value's codewords ("a|b" for two), counting the entries filled.
template <unsigned Width>
constexpr void AddCodes(PeekTable<Width>& t, unsigned& filled, const char* codes, unsigned value)
{
    for (const char* c = codes; *c != '\0';) {
        unsigned length = 0;
        unsigned bits = 0;
        for (; *c == '0' || *c == '1'; ++c, ++length) {
            bits = bits << 1 | static_cast<unsigned>(*c - '0');
        }
        const unsigned span = 1u << (Width - length);
        for (unsigned k = bits * span; k < (bits + 1) * span; ++k) {
            t[k] = static_cast<uint8_t>(value | length << 3);
            ++filled;
        }
        c += *c == '|' ? 1 : 0;
    }
}

// The peek tables of a list of codes; a list without any codeword reads no bits and
// gives value 0. Every entry is filled exactly once (checked below), so each code is a
// complete prefix code.
template <unsigned Width, size_t Rows, size_t Values> struct PeekTables
{
    std::array<PeekTable<Width>, Rows> rows{};
    bool complete = true;
};

template <unsigned Width, size_t Rows, size_t Values>
constexpr PeekTables<Width, Rows, Values> MakePeekTables(const char* const (&codes)[Rows][Values])
{
    PeekTables<Width, Rows, Values> t;
    for (size_t r = 0; r < Rows; ++r) {
        unsigned filled = 0;
        for (size_t v = 0; v < Values; ++v) {
            AddCodes<Width>(t.rows[r], filled, codes[r][v], static_cast<unsigned>(v));
        }
        t.complete = t.complete && (filled == 0 || filled == (1u << Width));
    }
    return t;
}

constexpr auto kRange = MakePeekTables<5>(kRangeCodes);
constexpr auto kType = MakePeekTables<3>(kTypeCodes);
static_assert(kRange.complete && kType.complete, "each code fills its peek table once");

// The type code row in force at P.
unsigned TypeRow(uint64_t pos)
{
    unsigned row = 0;
    while (row < 3 && pos >= kTypeSteps[row]) {
        ++row;
    }
    return row;
}

unsigned DistanceBits(unsigned type, uint64_t pos)
{
    if (pos >= kLastWidthStep || type < 3) {
        return kDistanceBits[type];
    }
    unsigned bits = 8;
    for (uint32_t step : kWidthSteps[type]) {
        bits += step != 0 && pos >= step ? 1 : 0;
    }
    return bits;
}

// Table B: the run length, 1-216. Needs 16 bits.
unsigned ReadRunLength(LzhBitCursor& cur)
{
    unsigned v = cur.Take(2);
    if (v < 3) {
        return 1 + v;
    }
    unsigned w = cur.Take(3);
    if (w < 7) {
        return 4 + w;
    }
    unsigned x = cur.Take(4);
    if (x < 14) {
        return 11 + x;
    }
    return x == 14 ? 25 + cur.Take(6) : 89 + cur.Take(7);
}

// Table E: the count of copy types 2-5, 3-244. Needs 18 bits.
unsigned ReadCount(LzhBitCursor& cur)
{
    unsigned v = cur.Take(2);
    if (v < 3) {
        return 3 + v;
    }
    unsigned w = cur.Take(3);
    if (w <= 4) {
        return 6 + w;
    }
    if (w == 5) {
        return 11 + cur.Take(2);
    }
    if (w == 6) {
        return 15 + cur.Take(3);
    }
    unsigned x = cur.Take(6);
    if (x <= 61) {
        return 23 + x;
    }
    return x == 62 ? 85 + cur.Take(5) : 117 + cur.Take(7);
}

} // namespace

struct CLzhPm1Decoder::State
{
    LzhBitInput input;   // the member's compressed bytes
    Window window;       // history and output
    LzhRecencyList list; // literal ranks
};

CLzhPm1Decoder::CLzhPm1Decoder() = default;
CLzhPm1Decoder::~CLzhPm1Decoder() = default;

LzhDecodeResult CLzhPm1Decoder::Decode(const LzhDecodeJob& job)
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
    // No copy reaches before the first byte, so the history is never read before it is
    // written.
    win.Start(kDict, job.sink);
    list.Reset();

    const uint64_t size = job.unpackedSize;
    uint64_t pos = 0; // P: bytes produced
    uint8_t* out = win.Output();
    DecodeStatus status = DecodeStatus::Ok;
    LzhBitCursor cur(in);
    cur.Need(5);
    const PeekTable<5>& range = kRange.rows[cur.Take(5)];
    // Each pass is one literal run and the copy after it, or one copy. The stream is
    // checked for its overrun after each run and each copy, the window for its chunk's end.
    while (pos < size) {
        cur.Need(kFlagAndRunBits);
        if (cur.Take(1) != 0) {
            unsigned run = ReadRunLength(cur);
            uint64_t n = run < size - pos ? run : size - pos;
            for (uint64_t k = 0; k < n; ++k) {
                cur.Need(kLiteralBits);
                unsigned e = range[cur.Peek(5)];
                cur.Skip(e >> 3);
                unsigned i = e & 7;
                *out++ = list.TakeRank(kRankBase[i] + cur.Take(kRankBits[i]));
            }
            pos += n;
            if (cur.Overrun()) {
                status = DecodeStatus::Truncated;
                break;
            }
            if (!win.FlushIfFull(out)) {
                break;
            }
            if (pos == size || run == kMaxRun) {
                continue;
            }
        }
        cur.Need(kCopyBits);
        unsigned e = kType.rows[TypeRow(pos)][cur.Peek(3)];
        cur.Skip(e >> 3);
        unsigned type = e & 7;
        unsigned count = type < 2 ? 2 : ReadCount(cur);
        uint32_t d = kDistanceBase[type] + cur.Take(DistanceBits(type, pos));
        if (d >= pos) {
            status = DecodeStatus::Invalid;
            break;
        }
        // d <= kMaxDistance < kDict, the history.
        uint32_t n = count < size - pos ? count : static_cast<uint32_t>(size - pos);
        CopyMatch(out, d + 1, n);
        for (uint32_t k = 0; k < n; ++k) {
            list.Touch(out[k]);
        }
        out += n;
        pos += n;
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
