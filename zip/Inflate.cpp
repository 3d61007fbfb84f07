// Inflate. Blocks: a final flag and a 2-bit type (stored, fixed or dynamic Huffman).
// Huffman codes are canonical and read least significant bit first; decoding goes
// through direct tables of `bits` entries indexed by the next bits, with sub-tables for
// longer codes. Codes that a set leaves unused (an incomplete code) decode as invalid.
//
// Window: 64 KiB of history (zeros at the start of a member, as far back as the member's
// distance codes reach) followed by the output being produced; a full chunk is flushed
// (CRC, sink) and the last 64 KiB move to the front.
//
// The symbols of a block go through rounds (Rounds below) that keep the bit buffer, the
// input and the output pointer in registers and check neither buffer's end: the rounds are
// counted beforehand from the room both have. On x86-64 processors with BMI2 the same
// rounds are compiled a second time for it (shifts by a register and bit extraction in one
// instruction each).
#include "zip/Inflate.h"

#include "archive/MatchCopy.h"
#include "platform/HugePages.h"
#include "zip/Crc32.h"

#include <array>
#include <cstring>
#include <new>
#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace
{

constexpr uint32_t kHistory = 65536;
constexpr uint32_t kChunk = 1024 * 1024;
constexpr uint32_t kMaxLength = 65538; // enhanced: 3 + 16 bits
// A round starts at or below the chunk's end and writes up to two literals and a match
// (or three literals), whose copy may run kCopyOverrun - 1 bytes further.
constexpr uint32_t kRoundOutput = 2 + 258;
constexpr uint32_t kEnhancedRoundOutput = 2 + kMaxLength;
constexpr uint32_t kWindowSize = kHistory + kChunk + kEnhancedRoundOutput + kCopyOverrun;
// Twice the file layer's read-ahead of 64 KiB, so that reads of the member go straight into
// the buffer instead of through a copy.
constexpr uint32_t kInputSize = 128 * 1024;
// Fewer unread bytes than this and the buffer is topped up before the next rounds.
constexpr uint32_t kTopUp = 256;
constexpr int kMaxBits = 15;
// Past the end of the input the stream reads as one bits, which in a fixed block decode as
// literals forever: a stream whose symbols have taken more than this many bits beyond its
// end is invalid.
constexpr uint64_t kMaxOverrunBits = 64;

// Table entries, 32 bits: bits 0-7 the bits to take (code length plus extra bits, at most
// 15 + 16, so bits 6 and 7 are zero), bits 8-11 the code length, bits 16-31 the value (the
// literal, the base length or distance, or a sub-table's index) and a kind in bits 12-15.
// Lengths and distances have no kind bits: bits 8-13 of theirs are the code length alone.
// A length whose extra bits follow has kLengthBias added to its base, which sets bit 31;
// one without them, or whose extra bits the direct table's index covers too (each such
// index then has the whole length), has its value as it is.
constexpr uint32_t kLengthBias = 0x8000;
constexpr uint32_t kLiteral = 1u << 12;
constexpr uint32_t kEndOfBlock = 1u << 13;
constexpr uint32_t kSubTable = 1u << 14;
constexpr uint32_t kInvalid = 1u << 15;

constexpr int kLiteralBits = 11;
constexpr int kDistanceBits = 8;
constexpr int kCodeLengthBits = 7;
constexpr size_t TableSize(int n, int bits)
{
    return (size_t{1} << bits) + static_cast<size_t>(n) * (size_t{1} << (kMaxBits - bits));
}

// Length and distance bases and extra bits; 286 and 287 are invalid, 30 and 31 valid.
// Enhanced Deflate gives symbol 285 the base 3 and 16 extra bits.
constexpr uint16_t kLengthBase[29] = {3,  4,  5,  6,   7,   8,   9,   10,  11, 13,
                                      15, 17, 19, 23,  27,  31,  35,  43,  51, 59,
                                      67, 83, 99, 115, 131, 163, 195, 227, 258};
constexpr uint8_t kLengthExtra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                      2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
constexpr uint16_t kDistanceBase[32] = {1,    2,    3,    4,     5,     7,     9,     13,
                                        17,   25,   33,   49,    65,    97,    129,   193,
                                        257,  385,  513,  769,   1025,  1537,  2049,  3073,
                                        4097, 6145, 8193, 12289, 16385, 24577, 32769, 49153};
constexpr uint8_t kDistanceExtra[32] = {0, 0, 0, 0, 1, 1, 2,  2,  3,  3,  4,  4,  5,  5,  6,  6,
                                        7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13, 14, 14};
constexpr uint8_t kCodeLengthOrder[19] = {16, 17, 18, 0, 8,  7, 9,  6, 10, 5,
                                          11, 4,  12, 3, 13, 2, 14, 1, 15};

enum BuildResult
{
    kComplete = 0,
    kIncomplete = 1,
    kOverSubscribed = 2,
    kEmpty = 4, // every length 0
};

// The alphabets: how a symbol becomes an entry.
enum Alphabet
{
    kCodeLengths,      // 19 symbols, values as they are
    kLiterals,         // 288: literals, end of block, lengths (285 as in Deflate)
    kEnhancedLiterals, // 288: as above, 285 with 16 extra bits
    kDistances,        // 32
};

uint32_t MakeEntry(Alphabet alphabet, unsigned symbol, unsigned length)
{
    uint32_t base = symbol;
    unsigned extra = 0;
    uint32_t kind = 0;
    if (alphabet == kLiterals || alphabet == kEnhancedLiterals) {
        if (symbol < 256) {
            kind = kLiteral;
        } else if (symbol == 256) {
            kind = kEndOfBlock;
        } else if (symbol >= 286) {
            kind = kInvalid;
        } else if (symbol == 285 && alphabet == kEnhancedLiterals) {
            base = 3;
            extra = 16;
        } else {
            base = kLengthBase[symbol - 257];
            extra = kLengthExtra[symbol - 257];
        }
        if (extra != 0) {
            base += kLengthBias; // a length with extra bits
        }
    } else if (alphabet == kDistances) {
        base = kDistanceBase[symbol];
        extra = kDistanceExtra[symbol];
    }
    return (length + extra) | (length << 8) | kind | (base << 16);
}

// Each byte with its bits in reverse order.
constexpr std::array<uint8_t, 256> kReversedBytes = [] {
    std::array<uint8_t, 256> t{};
    for (unsigned i = 0; i < 256; ++i) {
        unsigned r = 0;
        for (unsigned k = 0; k < 8; ++k) {
            r |= ((i >> k) & 1) << (7 - k);
        }
        t[i] = static_cast<uint8_t>(r);
    }
    return t;
}();

// The low `length` (1-15) bits of code in reverse order.
uint32_t Reverse(uint32_t code, int length)
{
    const uint32_t r =
        (uint32_t{kReversedBytes[code & 0xFF]} << 8) | kReversedBytes[(code >> 8) & 0xFF];
    return r >> (16 - length);
}

// Builds a decoding table over lengths[0..n-1]. An incomplete code is kIncomplete unless it
// is a single code of length 1, which decodes (its unused half as invalid). Sub-tables of
// 2^(15 - bits) entries take the codes longer than `bits`, one per prefix.
int BuildTable(const uint8_t* lengths, int n, int bits, Alphabet alphabet, uint32_t* table)
{
    int count[kMaxBits + 1] = {};
    int maxLength = 0;
    for (int i = 0; i < n; ++i) {
        ++count[lengths[i]];
        maxLength = lengths[i] > maxLength ? lengths[i] : maxLength;
    }
    if (maxLength == 0) {
        return kEmpty;
    }
    int left = 1;
    for (int l = 1; l <= kMaxBits; ++l) {
        left = (left << 1) - count[l];
        if (left < 0) {
            return kOverSubscribed;
        }
    }
    int result = left > 0 && maxLength != 1 ? kIncomplete : kComplete;
    // The symbols ordered by length, then by value (a counting sort); next[l] is the first
    // canonical code of length l.
    uint16_t sorted[288];
    int start[kMaxBits + 2];
    start[1] = 0;
    for (int l = 1; l <= kMaxBits; ++l) {
        start[l + 1] = start[l] + count[l];
    }
    for (int k = 0; k < n; ++k) {
        if (lengths[k] != 0) {
            sorted[start[lengths[k]]++] = static_cast<uint16_t>(k);
        }
    }
    uint32_t next[kMaxBits + 1] = {};
    uint32_t code = 0;
    count[0] = 0;
    for (int l = 1; l <= kMaxBits; ++l) {
        code = (code + static_cast<uint32_t>(count[l - 1])) << 1;
        next[l] = code;
    }

    const size_t size = size_t{1} << bits;
    for (size_t i = 0; i < size; ++i) {
        table[i] = kInvalid;
    }
    const int subBits = kMaxBits - bits;
    size_t nextSub = size;
    const uint16_t* symbol = sorted;
    for (int l = 1; l <= maxLength; ++l) {
        for (int c = 0; c < count[l]; ++c) {
            const uint32_t entry = MakeEntry(alphabet, *symbol++, static_cast<unsigned>(l));
            const uint32_t reversed = Reverse(next[l]++, l);
            const unsigned extra = (entry & 0x3F) - static_cast<unsigned>(l);
            if (l <= bits && alphabet != kDistances && (entry >> 16) >= kLengthBias &&
                l + static_cast<int>(extra) <= bits) {
                // A length whose extra bits fit in the index after the code: each index
                // whose low l bits are the code gets the whole length.
                const uint32_t base = (entry >> 16) - kLengthBias;
                for (uint32_t i = reversed; i < size; i += 1u << l) {
                    const uint32_t value = base + ((i >> l) & ((1u << extra) - 1));
                    table[i] = (entry & 0xFFFF) | (value << 16);
                }
                continue;
            }
            if (l <= bits) {
                // Every index whose low l bits are the code.
                for (uint32_t i = reversed; i < size; i += 1u << l) {
                    table[i] = entry;
                }
                continue;
            }
            const uint32_t prefix = reversed & static_cast<uint32_t>(size - 1);
            if (!(table[prefix] & kSubTable)) {
                table[prefix] = kSubTable | (static_cast<uint32_t>(nextSub) << 16);
                for (size_t i = 0; i < (size_t{1} << subBits); ++i) {
                    table[nextSub + i] = kInvalid;
                }
                nextSub += size_t{1} << subBits;
            }
            const uint32_t base = table[prefix] >> 16;
            for (uint32_t i = reversed >> bits; i < (1u << subBits); i += 1u << (l - bits)) {
                table[base + i] = entry;
            }
        }
    }
    return result;
}

uint64_t LoadLittleEndian64(const uint8_t* p)
{
    uint64_t v;
    std::memcpy(&v, p, 8);
    return v;
}

// The entry for the next code: the direct entry, or the one in its sub-table.
inline uint32_t Lookup(const uint32_t* table, int tableBits, uint64_t bits)
{
    uint32_t e = table[bits & ((1u << tableBits) - 1)];
    if (e & kSubTable) {
        e = table[(e >> 16) + ((bits >> tableBits) & ((1u << (kMaxBits - tableBits)) - 1))];
    }
    return e;
}

// The low (n & 0xFF) bits of `bits`, n < 64: a shift and a mask, or one BMI2 instruction
// (whose count is the low byte of n). The rounds get one or the other as their `Low`.
struct PlainLow
{
    static uint64_t Low(uint64_t bits, uint32_t n)
    {
        return bits & ((uint64_t{1} << (n & 0xFF)) - 1);
    }
};

#if defined(__x86_64__)
struct Bmi2Low
{
    [[gnu::target("bmi2")]] static uint64_t Low(uint64_t bits, uint32_t n)
    {
        return _bzhi_u64(bits, n);
    }
};
#endif

// The value of an entry of a length or distance: its base plus the extra bits that follow
// the code in `bits` (read before the entry's bits are taken). Bits 6-7 and 12-13 of these
// entries are zero: the mask of the code length is the one the processor applies to a
// 64-bit shift's count anyway, and the compiler leaves it out.
template <class Bits> inline uint32_t EntryValue(uint32_t e, uint64_t bits)
{
    return (e >> 16) + static_cast<uint32_t>(Bits::Low(bits, e) >> ((e >> 8) & 63));
}

// The value of a length's entry: whole, or the base and the extra bits (kLengthBias set).
template <class Bits> inline uint32_t LengthValue(uint32_t e, uint64_t bits)
{
    if (e < (kLengthBias << 16)) {
        return e >> 16;
    }
    return EntryValue<Bits>(e, bits) - kLengthBias;
}

// The bit buffer, input and output as the rounds keep them.
struct Cursor
{
    uint64_t bits;
    // The low 8 bits count the valid bits of `bits`; the rounds subtract whole entries from
    // it (only their low 8 bits, the bits taken, reach the count) and leave the rest as it
    // falls.
    uint32_t count;
    const uint8_t* in;
    uint8_t* out;
};

enum RoundsEnd
{
    kRoundsDone,
    kRoundsBlockEnd,
    kRoundsInvalid,
};

// Tops the bit buffer up to 56-63 bits with one 8-byte load at `in`, which then advances
// by the whole bytes taken in (at most 7). The bits above the count then hold the low bits
// of the byte at `in`, which the next load puts in again at the same place.
#define TAVREL_INFLATE_REFILL(b, n, in)                                                            \
    do {                                                                                           \
        (b) |= LoadLittleEndian64(in) << ((n)&63);                                                 \
        (in) += 7 - (((n) >> 3) & 7);                                                              \
        (n) |= 56;                                                                                 \
    } while (false)

// A refill advances the input by at most 7 bytes; a round refills twice, or three times in
// enhanced Deflate (31 + 29 bits for a length and distance leave too few of 56).
constexpr ptrdiff_t RoundRefills(bool enhanced)
{
    return enhanced ? 3 : 2;
}

// `rounds` rounds of symbols, each a refill and then up to three literals (a literal code
// takes at most 15 of the 56 bits), or up to two literals, a second refill, and a length
// with its distance (at most 15 + 5 + 15 + 14 bits of 56 in Deflate). The caller has
// counted the rounds so that every load stays within the input (8 bytes at each refill)
// and every round starts at or below the chunk's end (past which the window has room for
// one round's output and the copy's overrun).
template <bool kEnhanced, class Bits>
[[gnu::always_inline]] inline RoundsEnd Rounds(Cursor& c, uint32_t rounds, const uint32_t* literals,
                                               const uint32_t* distances)
{
    constexpr uint32_t kLiteralMask = (1u << kLiteralBits) - 1;
    constexpr uint32_t kDistanceMask = (1u << kDistanceBits) - 1;
    constexpr uint32_t kLiteralSubMask = (1u << (kMaxBits - kLiteralBits)) - 1;
    constexpr uint32_t kDistanceSubMask = (1u << (kMaxBits - kDistanceBits)) - 1;
    uint64_t b = c.bits;
    uint32_t n = c.count;
    const uint8_t* in = c.in;
    uint8_t* o = c.out;
    RoundsEnd end = kRoundsDone;
    for (; rounds != 0; --rounds) {
        TAVREL_INFLATE_REFILL(b, n, in);
        uint32_t e = literals[b & kLiteralMask];
        if (e & kLiteral) {
            b >>= e & 63;
            n -= e;
            *o++ = static_cast<uint8_t>(e >> 16);
            e = literals[b & kLiteralMask];
            if (e & kLiteral) {
                b >>= e & 63;
                n -= e;
                *o++ = static_cast<uint8_t>(e >> 16);
                e = literals[b & kLiteralMask];
                if (e & kLiteral) {
                    b >>= e & 63;
                    n -= e;
                    *o++ = static_cast<uint8_t>(e >> 16);
                    continue;
                }
            }
            // The entry was read from the low bits, which a refill leaves as they are.
            TAVREL_INFLATE_REFILL(b, n, in);
        }
        if (e & (kSubTable | kEndOfBlock | kInvalid)) {
            if (e & kSubTable) {
                e = literals[(e >> 16) + ((b >> kLiteralBits) & kLiteralSubMask)];
                if (e & kLiteral) {
                    b >>= e & 63;
                    n -= e;
                    *o++ = static_cast<uint8_t>(e >> 16);
                    continue;
                }
            }
            if (e & (kEndOfBlock | kInvalid)) {
                b >>= e & 63;
                n -= e;
                end = (e & kEndOfBlock) ? kRoundsBlockEnd : kRoundsInvalid;
                break;
            }
        }
        const uint32_t length = LengthValue<Bits>(e, b);
        b >>= e & 63;
        n -= e;
        if constexpr (kEnhanced) {
            if ((n & 0xFF) < 29) {
                TAVREL_INFLATE_REFILL(b, n, in);
            }
        }
        uint32_t d = distances[b & kDistanceMask];
        if (d & (kSubTable | kInvalid)) {
            if (d & kSubTable) {
                d = distances[(d >> 16) + ((b >> kDistanceBits) & kDistanceSubMask)];
            }
            if (d & kInvalid) {
                end = kRoundsInvalid;
                break;
            }
        }
        const uint32_t distance = EntryValue<Bits>(d, b);
        b >>= d & 63;
        n -= d;
        CopyMatch(o, distance, length); // distance <= 65536: within the history
        o += length;
    }
    c.bits = b;
    c.count = n & 0xFF;
    c.in = in;
    c.out = o;
    return end;
}

#undef TAVREL_INFLATE_REFILL

using RoundsFunction = RoundsEnd (*)(Cursor&, uint32_t, const uint32_t*, const uint32_t*);

template <bool kEnhanced>
RoundsEnd PlainRounds(Cursor& c, uint32_t rounds, const uint32_t* literals,
                      const uint32_t* distances)
{
    return Rounds<kEnhanced, PlainLow>(c, rounds, literals, distances);
}

#if defined(__x86_64__)
template <bool kEnhanced>
[[gnu::target("bmi2"), gnu::flatten]] RoundsEnd
Bmi2Rounds(Cursor& c, uint32_t rounds, const uint32_t* literals, const uint32_t* distances)
{
    return Rounds<kEnhanced, Bmi2Low>(c, rounds, literals, distances);
}
#endif

RoundsFunction ChooseRounds(bool enhanced)
{
#if defined(__x86_64__)
    if (__builtin_cpu_supports("bmi2")) {
        return enhanced ? Bmi2Rounds<true> : Bmi2Rounds<false>;
    }
#endif
    return enhanced ? PlainRounds<true> : PlainRounds<false>;
}

} // namespace

struct CInflater::State
{
    // The state lies in whole 2 MB pages where the system has them (transparent huge pages):
    // a large member touches the whole window, and where a page fault costs more than
    // decoding 4 KB (virtual machines), one fault instead of hundreds saves more than the
    // decode of the first member takes.
    static void* operator new(size_t size)
    {
        void* p = platform::AllocateHuge(size);
        if (p == nullptr) {
            throw std::bad_alloc();
        }
        return p;
    }
    static void operator delete(void* p) { platform::FreeHuge(p); }

    uint8_t window[kWindowSize];
    // Its own allocation, so that a read past it is a fault the sanitizers see.
    std::unique_ptr<uint8_t[]> input{new uint8_t[kInputSize]};
    uint32_t literalTable[TableSize(288, kLiteralBits)];
    uint32_t distanceTable[TableSize(32, kDistanceBits)];
    uint32_t codeLengthTable[TableSize(19, kCodeLengthBits)];
    uint32_t fixedLiteral[2][TableSize(288, kLiteralBits)]; // Deflate, enhanced
    uint32_t fixedDistance[TableSize(32, kDistanceBits)];
    uint32_t noDistance[1u << kDistanceBits]; // a block without distance codes: all invalid
    uint8_t lengths[288 + 32];

    // Bit input, least significant bit first.
    ByteSource* source;
    const uint8_t* next; // next unread byte of the input buffer
    const uint8_t* end;  // end of valid bytes in the input buffer
    bool sourceEnded;
    uint64_t padBytes; // one-bit bytes supplied past the end
    uint64_t bits;     // the next `count` bits of the stream, the first in bit 0
    unsigned count;

    // Output.
    ByteSink* sink;
    uint8_t* out; // where the next byte goes in the window
    uint32_t crc;
    uint64_t produced;
    bool enhanced;
    RoundsFunction rounds; // for this CPU and `enhanced`
    bool refused;          // the sink would not take a chunk: decoding stops
    // Bytes of zeros right before the member's first byte; the rest of the history holds
    // whatever the window held. A block's distances reach only so far back, and a flush
    // leaves real output there.
    uint32_t zeros;

    // Makes the history read as zeros as far as `reach` bytes back.
    void Reach(uint32_t reach)
    {
        if (produced == 0 && reach > zeros) {
            std::memset(window + kHistory - reach, 0, reach - zeros);
            zeros = reach;
        }
    }

    // Moves the unread bytes to the buffer's start and reads more after them.
    void TopUp()
    {
        if (sourceEnded) {
            return;
        }
        const size_t kept = static_cast<size_t>(end - next);
        std::memmove(input.get(), next, kept);
        next = input.get();
        end = next + kept;
        uint32_t got = source->Read(input.get() + kept, static_cast<uint32_t>(kInputSize - kept));
        if (got == 0) {
            sourceEnded = true;
        }
        end += got;
    }

    bool ReadInput()
    {
        if (sourceEnded) {
            return false;
        }
        uint32_t got = source->Read(input.get(), kInputSize);
        if (got == 0) {
            sourceEnded = true;
            return false;
        }
        next = input.get();
        end = input.get() + got;
        return true;
    }

    // Tops the bit buffer up to at least 56 bits; past the input's end with one bits.
    void Refill()
    {
        if (end - next >= 8) {
            bits |= LoadLittleEndian64(next) << count;
            next += (63 - count) >> 3;
            count |= 56;
            return;
        }
        while (count < 56) {
            if (next == end && !ReadInput()) {
                bits |= uint64_t{0xFF} << count;
                ++padBytes;
            } else {
                bits |= uint64_t{*next++} << count;
            }
            count += 8;
        }
    }

    unsigned Take(unsigned n) // n <= 32
    {
        if (count < n) {
            Refill();
        }
        unsigned v = static_cast<unsigned>(bits & ((uint64_t{1} << n) - 1));
        bits >>= n;
        count -= n;
        return v;
    }

    // Bits taken past the end of the input: the buffer holds the unread real bits first,
    // then the unread padding.
    bool Overran() const
    {
        return padBytes != 0 &&
               static_cast<int64_t>(padBytes * 8) - count > static_cast<int64_t>(kMaxOverrunBits);
    }

    void Flush()
    {
        size_t n = static_cast<size_t>(out - (window + kHistory));
        crc = Crc32(crc, window + kHistory, n);
        produced += n;
        if (sink != nullptr && !sink->Write(window + kHistory, n)) {
            refused = true;
        }
        std::memmove(window, out - kHistory, kHistory);
        out = window + kHistory;
    }

    InflateStatus Stored();
    InflateStatus Codes(const uint32_t* literals, const uint32_t* distances);
    InflateStatus CodesNearTheEnd(const uint32_t* literals, const uint32_t* distances,
                                  bool& blockEnded);
    InflateStatus Dynamic();
};

InflateStatus CInflater::State::Stored()
{
    Take(count % 8);
    unsigned length = Take(16);
    unsigned complement = Take(16);
    if (length + complement != 0xFFFF) {
        return kInflateInvalid;
    }
    uint8_t* const chunkEnd = window + kHistory + kChunk;
    while (length > 0) {
        if (count >= 8) {
            *out++ = static_cast<uint8_t>(Take(8));
            --length;
        } else if (next < end) {
            // The buffer is empty here (stored data starts on a byte boundary); bits read
            // ahead past its count are dropped, since the copy takes their bytes directly.
            bits = 0;
            size_t n = static_cast<size_t>(end - next);
            n = n < length ? n : length;
            size_t room = static_cast<size_t>(chunkEnd - out);
            n = n < room ? n : room;
            std::memcpy(out, next, n);
            out += n;
            next += n;
            length -= static_cast<unsigned>(n);
        } else if (!ReadInput()) {
            bits = 0;
            *out++ = 0xFF; // past the end the input reads as one bits
            --length;
        }
        if (out >= chunkEnd) {
            Flush();
            if (refused) {
                return kInflateSinkRefused;
            }
        }
    }
    return kInflateOk;
}

// The symbols of one block: rounds while the input buffer holds enough bytes for them
// (topped up from the source first when it runs low), one symbol at a time by the careful
// refill near the input's end, a flush whenever the output reaches the chunk's end.
InflateStatus CInflater::State::Codes(const uint32_t* literals, const uint32_t* distances)
{
    uint8_t* const chunkEnd = window + kHistory + kChunk;
    const uint32_t roundOutput = enhanced ? kEnhancedRoundOutput : kRoundOutput;
    const ptrdiff_t roundInput = 7 * RoundRefills(enhanced);
    for (;;) {
        if (end - next < static_cast<ptrdiff_t>(kTopUp)) {
            TopUp();
        }
        // The k-th refill of round i (from 0) loads 8 bytes at most roundInput * i + 7 (k - 1)
        // bytes on; out is below the chunk's end here.
        const ptrdiff_t room = end - next - 8 - (roundInput - 7);
        if (room >= 0) {
            const uint32_t inputRounds = static_cast<uint32_t>(room / roundInput) + 1;
            const uint32_t outputRounds = static_cast<uint32_t>(chunkEnd - out) / roundOutput + 1;
            Cursor c{bits, count, next, out};
            RoundsEnd r = rounds(c, inputRounds < outputRounds ? inputRounds : outputRounds,
                                 literals, distances);
            bits = c.bits;
            count = c.count;
            next = c.in;
            out = c.out;
            if (r != kRoundsDone) {
                return r == kRoundsBlockEnd ? kInflateOk : kInflateInvalid;
            }
        } else {
            bool blockEnded = false;
            InflateStatus status = CodesNearTheEnd(literals, distances, blockEnded);
            if (status != kInflateOk || blockEnded) {
                return status;
            }
        }
        if (out >= chunkEnd) {
            Flush();
            if (refused) {
                return kInflateSinkRefused;
            }
        }
    }
}

// One symbol with the careful refill (the next input block, or padding past the end and
// its bound, which is checked after the literal/length code).
InflateStatus CInflater::State::CodesNearTheEnd(const uint32_t* literals, const uint32_t* distances,
                                                bool& blockEnded)
{
    Refill();
    const uint32_t e = Lookup(literals, kLiteralBits, bits);
    const unsigned codeLength = (e >> 8) & 0xF;
    if (e & kInvalid) {
        return kInflateInvalid;
    }
    const uint64_t before = bits;
    bits >>= codeLength;
    count -= codeLength;
    if (Overran()) {
        return kInflateTruncated;
    }
    if (e & kLiteral) {
        *out++ = static_cast<uint8_t>(e >> 16);
        return kInflateOk;
    }
    if (e & kEndOfBlock) {
        blockEnded = true;
        return kInflateOk;
    }
    const unsigned extra = (e & 0x3F) - codeLength;
    const uint32_t length = LengthValue<PlainLow>(e, before);
    bits >>= extra;
    count -= extra;
    Refill();
    const uint32_t d = Lookup(distances, kDistanceBits, bits);
    if (d & kInvalid) {
        return kInflateInvalid;
    }
    const uint32_t distance = EntryValue<PlainLow>(d, bits);
    bits >>= d & 0x3F;
    count -= d & 0x3F;
    CopyMatch(out, distance, length);
    out += length;
    return kInflateOk;
}

InflateStatus CInflater::State::Dynamic()
{
    unsigned literalCount = Take(5) + 257;
    unsigned distanceCount = Take(5) + 1;
    unsigned codeLengthCount = Take(4) + 4;
    if (literalCount > 286 || distanceCount > 32) {
        return kInflateInvalid;
    }
    uint8_t codeLengths[19] = {};
    for (unsigned i = 0; i < codeLengthCount; ++i) {
        codeLengths[kCodeLengthOrder[i]] = static_cast<uint8_t>(Take(3));
    }
    int r = BuildTable(codeLengths, 19, kCodeLengthBits, kCodeLengths, codeLengthTable);
    if (r == kOverSubscribed) {
        return kInflateBadBlock;
    }
    if (r != kComplete) {
        return kInflateInvalid;
    }
    unsigned total = literalCount + distanceCount;
    unsigned previous = 0;
    for (unsigned i = 0; i < total;) {
        if (count < kMaxBits) {
            Refill();
        }
        const uint32_t e = Lookup(codeLengthTable, kCodeLengthBits, bits);
        if (e & kInvalid) {
            return kInflateInvalid;
        }
        bits >>= e & 0x3F;
        count -= e & 0x3F;
        const unsigned symbol = e >> 16;
        if (symbol < 16) {
            lengths[i++] = static_cast<uint8_t>(symbol);
            previous = symbol;
            continue;
        }
        unsigned repeat = symbol == 16 ? 3 + Take(2) : (symbol == 17 ? 3 + Take(3) : 11 + Take(7));
        unsigned value = symbol == 16 ? previous : 0;
        if (i + repeat > total) {
            return kInflateInvalid;
        }
        std::memset(lengths + i, static_cast<int>(value), repeat);
        i += repeat;
        previous = value;
    }
    r = BuildTable(lengths, static_cast<int>(literalCount), kLiteralBits,
                   enhanced ? kEnhancedLiterals : kLiterals, literalTable);
    if (r == kOverSubscribed) {
        return kInflateBadBlock;
    }
    if (r != kComplete) {
        return kInflateInvalid; // incomplete, or no literal/length codes at all
    }
    r = BuildTable(lengths + literalCount, static_cast<int>(distanceCount), kDistanceBits,
                   kDistances, distanceTable);
    if (r == kOverSubscribed) {
        return kInflateBadBlock;
    }
    if (r == kIncomplete || (r == kEmpty && literalCount > 257)) {
        return kInflateInvalid;
    }
    // The farthest distance: the base plus all extra bits of the highest distance code.
    int highest = static_cast<int>(distanceCount) - 1;
    while (highest >= 0 && lengths[literalCount + static_cast<unsigned>(highest)] == 0) {
        --highest;
    }
    if (highest >= 0) {
        Reach(kDistanceBase[highest] + (1u << kDistanceExtra[highest]) - 1);
    }
    return Codes(literalTable, r == kEmpty ? noDistance : distanceTable);
}

CInflater::CInflater() : m_state(new State)
{
    uint8_t lengths[288];
    for (int i = 0; i < 288; ++i) {
        lengths[i] = i < 144 ? 8 : (i < 256 ? 9 : (i < 280 ? 7 : 8));
    }
    BuildTable(lengths, 288, kLiteralBits, kLiterals, m_state->fixedLiteral[0]);
    BuildTable(lengths, 288, kLiteralBits, kEnhancedLiterals, m_state->fixedLiteral[1]);
    std::memset(lengths, 5, 32);
    BuildTable(lengths, 32, kDistanceBits, kDistances, m_state->fixedDistance);
    for (uint32_t& e : m_state->noDistance) {
        e = kInvalid;
    }
}

CInflater::~CInflater() = default;

InflateStatus CInflater::Inflate(ByteSource& source, ByteSink* sink, bool enhanced)
{
    State& s = *m_state;
    s.source = &source;
    s.next = s.end = s.input.get();
    s.sourceEnded = false;
    s.padBytes = 0;
    s.bits = 0;
    s.count = 0;
    s.sink = sink;
    s.crc = 0;
    s.produced = 0;
    s.enhanced = enhanced;
    s.rounds = ChooseRounds(enhanced);
    s.refused = false;
    s.zeros = 0;
    s.out = s.window + kHistory;
    InflateStatus status = kInflateOk;
    bool final = false;
    while (!final && status == kInflateOk) {
        final = s.Take(1) != 0;
        switch (s.Take(2)) {
        case 0:
            status = s.Stored();
            break;
        case 1:
            s.Reach(kHistory); // fixed codes reach distance 65536 (codes 30 and 31)
            status = s.Codes(s.fixedLiteral[enhanced ? 1 : 0], s.fixedDistance);
            break;
        case 2:
            status = s.Dynamic();
            break;
        default:
            status = kInflateBadBlock;
            break;
        }
    }
    if (status == kInflateOk) {
        s.Flush();
        status = s.refused ? kInflateSinkRefused : kInflateOk;
    }
    crc = s.crc;
    produced = s.produced;
    return status;
}
