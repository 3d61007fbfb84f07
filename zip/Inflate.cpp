// Inflate. Blocks: a final flag and a 2-bit type (stored, fixed or dynamic Huffman).
// Huffman codes are canonical and read least significant bit first; decoding goes
// through direct tables of `bits` entries indexed by the next bits, with sub-tables for
// longer codes. Codes that a set leaves unused (an incomplete code) decode as invalid.
//
// Window: 64 KiB of history (zeros at the start of a member) followed by the output being
// produced; a full chunk is flushed (CRC, sink) and the last 64 KiB move to the front.
#include "zip/Inflate.h"

#include "lzh/MatchCopy.h"
#include "zip/Crc32.h"

#include <cstring>

namespace
{

constexpr uint32_t kHistory = 65536;
constexpr uint32_t kChunk = 512 * 1024;
constexpr uint32_t kMaxLength = 65538; // enhanced: 3 + 16 bits
constexpr uint32_t kWindowSize = kHistory + kChunk + kMaxLength + 8;
constexpr uint32_t kInputSize = 64 * 1024;
constexpr int kMaxBits = 15;
// Past the end of the input the stream reads as one bits, which in a fixed block decode as
// literals forever: a stream whose symbols have taken more than this many bits beyond its
// end is invalid.
constexpr uint64_t kMaxOverrunBits = 64;

constexpr uint32_t kSubTable = 0x80000000u;
constexpr uint32_t kInvalid = 0x40000000u;

constexpr int kLiteralBits = 10;
constexpr int kDistanceBits = 8;
constexpr int kCodeLengthBits = 7;
constexpr size_t TableSize(int n, int bits)
{
    return (size_t{1} << bits) + static_cast<size_t>(n) * (size_t{1} << (kMaxBits - bits));
}

// Length and distance bases and extra bits; 286 and 287 are invalid, 30 and 31 valid.
constexpr uint16_t kLengthBase[31] = {3,  4,   5,   6,   7,   8,   9,   10, 11, 13, 15,
                                      17, 19,  23,  27,  31,  35,  43,  51, 59, 67, 83,
                                      99, 115, 131, 163, 195, 227, 258, 0,  0};
constexpr uint8_t kLengthExtra[31] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2,  2, 2,
                                      3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0, 99, 99};
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

uint32_t Reverse(uint32_t code, int length)
{
    uint32_t r = 0;
    for (int i = 0; i < length; ++i) {
        r = (r << 1) | ((code >> i) & 1);
    }
    return r;
}

// Builds a decoding table over lengths[0..n-1]. An incomplete code is kIncomplete unless it
// is a single code of length 1, which decodes (its unused half as invalid).
int BuildTable(const uint8_t* lengths, int n, int bits, uint32_t* table)
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
    size_t size = size_t{1} << bits;
    for (size_t i = 0; i < size; ++i) {
        table[i] = kInvalid;
    }
    uint32_t next[kMaxBits + 2] = {};
    uint32_t code = 0;
    count[0] = 0;
    for (int l = 1; l <= kMaxBits; ++l) {
        code = (code + static_cast<uint32_t>(count[l - 1])) << 1;
        next[l] = code;
    }
    const int subBits = kMaxBits - bits;
    size_t nextSub = size;
    for (int l = 1; l <= maxLength; ++l) {
        for (int k = 0; k < n; ++k) {
            if (lengths[k] != l) {
                continue;
            }
            uint32_t reversed = Reverse(next[l]++, l);
            uint32_t entry = static_cast<uint32_t>(k) | (static_cast<uint32_t>(l) << 16);
            if (l <= bits) {
                for (uint32_t i = reversed; i < size; i += 1u << l) {
                    table[i] = entry;
                }
                continue;
            }
            uint32_t prefix = reversed & static_cast<uint32_t>(size - 1);
            if (!(table[prefix] & kSubTable)) {
                table[prefix] = kSubTable | static_cast<uint32_t>(nextSub);
                for (size_t i = 0; i < (size_t{1} << subBits); ++i) {
                    table[nextSub + i] = kInvalid;
                }
                nextSub += size_t{1} << subBits;
            }
            uint32_t base = table[prefix] & 0xFFFF;
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

} // namespace

struct CInflater::State
{
    uint8_t window[kWindowSize];
    uint8_t input[kInputSize];
    uint32_t literalTable[TableSize(288, kLiteralBits)];
    uint32_t distanceTable[TableSize(32, kDistanceBits)];
    uint32_t codeLengthTable[TableSize(19, kCodeLengthBits)];
    uint32_t fixedLiteral[TableSize(288, kLiteralBits)];
    uint32_t fixedDistance[TableSize(32, kDistanceBits)];
    uint8_t lengths[288 + 32];

    // Bit input, least significant bit first.
    LzhByteSource* source;
    const uint8_t* next;
    const uint8_t* end;
    bool sourceEnded;
    uint64_t padBytes; // one-bit bytes supplied past the end
    uint64_t bits;
    unsigned count;

    // Output.
    LzhByteSink* sink;
    uint8_t* out;
    uint32_t crc;
    uint64_t produced;
    bool enhanced;
    bool refused; // the sink would not take a chunk: decoding stops

    bool ReadInput()
    {
        if (sourceEnded) {
            return false;
        }
        uint32_t got = source->Read(input, kInputSize);
        if (got == 0) {
            sourceEnded = true;
            return false;
        }
        next = input;
        end = input + got;
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

    // Decodes one symbol; false for an invalid code.
    bool Decode(const uint32_t* table, int tableBits, unsigned& symbol)
    {
        if (count < kMaxBits) {
            Refill();
        }
        uint32_t e = table[bits & ((1u << tableBits) - 1)];
        if (e & kSubTable) {
            e = table[(e & 0xFFFF) + ((bits >> tableBits) & ((1u << (kMaxBits - tableBits)) - 1))];
        }
        if (e & kInvalid) {
            return false;
        }
        unsigned length = (e >> 16) & 0xFF;
        bits >>= length;
        count -= length;
        symbol = e & 0xFFFF;
        return true;
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

InflateStatus CInflater::State::Codes(const uint32_t* literals, const uint32_t* distances)
{
    uint8_t* const chunkEnd = window + kHistory + kChunk;
    for (;;) {
        Refill();
        uint32_t e = literals[bits & ((1u << kLiteralBits) - 1)];
        if (e & kSubTable) {
            e = literals[(e & 0xFFFF) +
                         ((bits >> kLiteralBits) & ((1u << (kMaxBits - kLiteralBits)) - 1))];
        }
        if (e & kInvalid) {
            return kInflateInvalid;
        }
        unsigned codeLength = (e >> 16) & 0xFF;
        bits >>= codeLength;
        count -= codeLength;
        // Bits in the buffer are the unread real ones first, then the unread padding.
        if (padBytes != 0 &&
            static_cast<int64_t>(padBytes * 8) - count > static_cast<int64_t>(kMaxOverrunBits)) {
            return kInflateInvalid;
        }
        unsigned symbol = e & 0xFFFF;
        if (symbol < 256) {
            *out++ = static_cast<uint8_t>(symbol);
        } else if (symbol == 256) {
            return kInflateOk;
        } else {
            unsigned index = symbol - 257;
            if (index >= 29 || kLengthExtra[index] == 99) {
                return kInflateInvalid; // 286 and 287
            }
            // Enhanced Deflate gives symbol 285 a 16-bit length (3-65538) where Deflate has
            // 258; symbol 284 with all five extra bits set is 258 in both.
            uint32_t length = index == 28 && enhanced
                                  ? Take(16) + 3
                                  : kLengthBase[index] + Take(kLengthExtra[index]);
            unsigned d;
            if (distances == nullptr || !Decode(distances, kDistanceBits, d)) {
                return kInflateInvalid;
            }
            uint32_t distance = kDistanceBase[d] + Take(kDistanceExtra[d]);
            CopyMatch(out, distance, length); // distance <= 65536: within the history
            out += length;
        }
        if (out >= chunkEnd) {
            Flush();
            if (refused) {
                return kInflateSinkRefused;
            }
        }
    }
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
    int r = BuildTable(codeLengths, 19, kCodeLengthBits, codeLengthTable);
    if (r == kOverSubscribed) {
        return kInflateBadBlock;
    }
    if (r != kComplete) {
        return kInflateInvalid;
    }
    unsigned total = literalCount + distanceCount;
    unsigned previous = 0;
    for (unsigned i = 0; i < total;) {
        unsigned symbol;
        if (!Decode(codeLengthTable, kCodeLengthBits, symbol)) {
            return kInflateInvalid;
        }
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
    r = BuildTable(lengths, static_cast<int>(literalCount), kLiteralBits, literalTable);
    if (r == kOverSubscribed) {
        return kInflateBadBlock;
    }
    if (r != kComplete) {
        return kInflateInvalid; // incomplete, or no literal/length codes at all
    }
    r = BuildTable(lengths + literalCount, static_cast<int>(distanceCount), kDistanceBits,
                   distanceTable);
    if (r == kOverSubscribed) {
        return kInflateBadBlock;
    }
    if (r == kIncomplete || (r == kEmpty && literalCount > 257)) {
        return kInflateInvalid;
    }
    return Codes(literalTable, r == kEmpty ? nullptr : distanceTable);
}

CInflater::CInflater() : m_state(new State)
{
    uint8_t lengths[288];
    for (int i = 0; i < 288; ++i) {
        lengths[i] = i < 144 ? 8 : (i < 256 ? 9 : (i < 280 ? 7 : 8));
    }
    BuildTable(lengths, 288, kLiteralBits, m_state->fixedLiteral);
    std::memset(lengths, 5, 32);
    BuildTable(lengths, 32, kDistanceBits, m_state->fixedDistance);
}

CInflater::~CInflater() = default;

InflateStatus CInflater::Inflate(LzhByteSource& source, LzhByteSink* sink, bool enhanced)
{
    State& s = *m_state;
    s.source = &source;
    s.next = s.end = s.input;
    s.sourceEnded = false;
    s.padBytes = 0;
    s.bits = 0;
    s.count = 0;
    s.sink = sink;
    s.crc = 0;
    s.produced = 0;
    s.enhanced = enhanced;
    s.refused = false;
    std::memset(s.window, 0, kHistory);
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
            status = s.Codes(s.fixedLiteral, s.fixedDistance);
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
