// Inflate. Blocks: a final flag and a 2-bit type (stored, fixed or dynamic Huffman).
// Huffman codes are canonical and read least significant bit first; decoding goes
// through direct tables of `bits` entries indexed by the next bits, with sub-tables for
// longer codes. Codes that a set leaves unused (an incomplete code) decode as invalid.
//
// Window: 64 KiB of history (zeros at the start of a member, as far back as the member's
// distance codes reach) followed by the output being produced; a full chunk is flushed
// (CRC, sink) and the last 64 KiB move to the front.
#include "zip/Inflate.h"

#include "archive/MatchCopy.h"
#include "zip/Crc32.h"

#include <cstring>

namespace
{

constexpr uint32_t kHistory = 65536;
constexpr uint32_t kChunk = 512 * 1024;
constexpr uint32_t kMaxLength = 65538; // enhanced: 3 + 16 bits
// The symbol loop runs while the output is below the chunk's end; one round writes up to
// three literals and a match, whose copy may run kCopyOverrun - 1 bytes further.
constexpr uint32_t kWindowSize = kHistory + kChunk + 3 + kMaxLength + kCopyOverrun;
constexpr uint32_t kInputSize = 64 * 1024;
constexpr int kMaxBits = 15;
// Past the end of the input the stream reads as one bits, which in a fixed block decode as
// literals forever: a stream whose symbols have taken more than this many bits beyond its
// end is invalid.
constexpr uint64_t kMaxOverrunBits = 64;

// Table entries, 32 bits: bits 0-5 the bits to take (code length plus extra bits, at most
// 15 + 16), bits 8-11 the code length, bits 16-31 the value (the literal, the base length
// or distance, or a sub-table's index) and a kind in bits 12-15.
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
    } else if (alphabet == kDistances) {
        base = kDistanceBase[symbol];
        extra = kDistanceExtra[symbol];
    }
    return (length + extra) | (length << 8) | kind | (base << 16);
}

uint32_t Reverse(uint32_t code, int length)
{
    uint32_t r = 0;
    for (int i = 0; i < length; ++i) {
        r = (r << 1) | ((code >> i) & 1);
    }
    return r;
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

// The value of an entry of a length or distance: its base plus the extra bits that follow
// the code in `bits` (read before the entry's bits are taken).
inline uint32_t EntryValue(uint32_t e, uint64_t bits)
{
    const unsigned taken = e & 0x3F;
    const unsigned codeLength = (e >> 8) & 0xF;
    return (e >> 16) + static_cast<uint32_t>((bits & ((uint64_t{1} << taken) - 1)) >> codeLength);
}

} // namespace

struct CInflater::State
{
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
    bool refused; // the sink would not take a chunk: decoding stops
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

// The symbols of one block. The loop keeps the bit buffer and the output pointer in locals
// (stores to the window could otherwise alias them) and works in rounds: a refill, up to
// three literals (a literal code takes at most 15 of the 56 bits a refill leaves), a
// second refill when a length follows, and the length with its distance (at most
// 15 + 5 + 15 + 14 bits, or 31 + 29 in enhanced Deflate, whose third refill is rare).
// Entry conditions of the fast rounds: at least 8 bytes in the input buffer at every
// refill, so that every refill is one load and no padding is involved. A refill advances
// at most 7 bytes: the k-th refill of round i (from 0) comes at most 21i + 7(k - 1) bytes
// on, so with `room` bytes to spare at the first, rounds 0 .. (room - 14) / 21 keep all
// three of theirs inside. The output stays below the chunk's end, past which the window
// has room for a round's output. Near the input's end the careful loop takes over.
InflateStatus CInflater::State::Codes(const uint32_t* literals, const uint32_t* distances)
{
    uint8_t* const chunkEnd = window + kHistory + kChunk;
    constexpr ptrdiff_t kRoundAdvance = 3 * 7;
    constexpr ptrdiff_t kLastRefill = 2 * 7; // the third refill's distance from the first
    for (;;) {
        uint64_t b = bits;
        unsigned n = count;
        const uint8_t* in = next;
        uint8_t* o = out;
        const ptrdiff_t room = end - 8 - in - kLastRefill;
        uint32_t rounds = room < 0 ? 0 : static_cast<uint32_t>(room / kRoundAdvance) + 1;
        InflateStatus status = kInflateOk;
        bool blockEnded = false;
        for (; rounds != 0; --rounds) {
            if (o >= chunkEnd) {
                break;
            }
            b |= LoadLittleEndian64(in) << n;
            in += (63 - n) >> 3;
            n |= 56;
            uint32_t e = Lookup(literals, kLiteralBits, b);
            if (e & kLiteral) {
                b >>= e & 0x3F;
                n -= e & 0x3F;
                *o++ = static_cast<uint8_t>(e >> 16);
                e = Lookup(literals, kLiteralBits, b);
                if (e & kLiteral) {
                    b >>= e & 0x3F;
                    n -= e & 0x3F;
                    *o++ = static_cast<uint8_t>(e >> 16);
                    e = Lookup(literals, kLiteralBits, b);
                    if (e & kLiteral) {
                        b >>= e & 0x3F;
                        n -= e & 0x3F;
                        *o++ = static_cast<uint8_t>(e >> 16);
                        continue;
                    }
                }
                // The entry was read from the low bits, which a refill leaves as they are.
                b |= LoadLittleEndian64(in) << n;
                in += (63 - n) >> 3;
                n |= 56;
            }
            if (e & (kEndOfBlock | kInvalid)) {
                b >>= e & 0x3F;
                n -= e & 0x3F;
                blockEnded = (e & kEndOfBlock) != 0;
                status = blockEnded ? kInflateOk : kInflateInvalid;
                break;
            }
            const uint32_t length = EntryValue(e, b);
            b >>= e & 0x3F;
            n -= e & 0x3F;
            if (n < 29) {
                b |= LoadLittleEndian64(in) << n;
                in += (63 - n) >> 3;
                n |= 56;
            }
            const uint32_t d = Lookup(distances, kDistanceBits, b);
            if (d & kInvalid) {
                status = kInflateInvalid;
                break;
            }
            const uint32_t distance = EntryValue(d, b);
            b >>= d & 0x3F;
            n -= d & 0x3F;
            CopyMatch(o, distance, length); // distance <= 65536: within the history
            o += length;
        }
        bits = b;
        count = n;
        next = in;
        out = o;
        if (status != kInflateOk || blockEnded) {
            return status;
        }
        if (out >= chunkEnd) {
            Flush();
            if (refused) {
                return kInflateSinkRefused;
            }
            continue;
        }
        // Fewer than 8 bytes may be left in the buffer: one symbol the careful way.
        status = CodesNearTheEnd(literals, distances, blockEnded);
        if (status != kInflateOk || blockEnded) {
            return status;
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
    const uint32_t length = EntryValue(e, before);
    bits >>= extra;
    count -= extra;
    Refill();
    const uint32_t d = Lookup(distances, kDistanceBits, bits);
    if (d & kInvalid) {
        return kInflateInvalid;
    }
    const uint32_t distance = EntryValue(d, bits);
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
