// The LZH block decoder.
//
// Stream: blocks, each a 16-bit symbol count, three code-length sections (pre-tree, then
// literal/length lengths coded with the pre-tree, then position lengths) and the symbols.
// Literal/length symbols 0-255 are bytes, 256-509 match lengths 3-256; a match is followed
// by a position code j giving the distance 1 (j = 0) or 2^(j-1) + (j-1 extra bits) + 1.
// Bits are read most significant first; past the member's compressed bytes they read as 0,
// but a member that consumes more than kMaxOverrunBits of them is broken. A block count of
// 0 stands for 65536 symbols (the 16-bit count of a full block wraps to 0), so every block
// costs at least the 52 bits of its header: with the bound, the output is limited by the
// input even where single-symbol codes decode from zero bits.
//
// Window: D bytes of history (D = 2^dictBits) followed by the output being produced. The
// history starts as spaces, as other LZH readers assume, so a match reaching before the
// member's first byte reads spaces. When the output part reaches kChunk bytes it is
// flushed (CRC, sink) and the last D bytes move to the front.
//
// Dictionaries: 4 KB ("-lh4-", 12 bits), 8 KB ("-lh5-", 13), 32 KB ("-lh6-", 15), 64 KB
// ("-lh7-", 16) and 512 KB ("-lhx-", 19). The position alphabet has dictBits + 1 symbols
// (at least 14, which "-lh4-" shares with "-lh5-"); its count field is 4 bits up to 13
// dictionary bits and 5 above.
#include "lzh/LzhDecoder.h"

#include "lzh/Crc16.h"
#include "lzh/MatchCopy.h"

#include <bit>
#include <cstring>
#include <new>

using namespace lzhhuff;

namespace
{

constexpr int kLiteralAlphabet = 510;
constexpr int kPreTreeAlphabet = 19;
constexpr int kMinDictBits = 12;
constexpr int kMaxDictBits = 19;
constexpr int kMaxPositionAlphabet = kMaxDictBits + 1;
constexpr int kLiteralTableBits = 12;
constexpr int kAuxTableBits = 8;
// The window of every call up to "-lh7-" is allocated once; a larger dictionary enlarges it
// on first use, so that the common methods keep their small footprint.
constexpr uint32_t kCommonDict = 1u << 16;
constexpr uint32_t kChunk = 512 * 1024;
// A match writes at most 256 bytes past the chunk limit; the 8-byte copy may run 7 further.
constexpr uint32_t kWindowMargin = 256 + 8;
constexpr uint32_t kInputSize = 64 * 1024;

constexpr size_t WindowSize(uint32_t dict)
{
    return size_t{dict} + kChunk + kWindowMargin;
}

uint64_t LoadBigEndian64(const uint8_t* p)
{
    uint64_t v;
    std::memcpy(&v, p, 8);
    return __builtin_bswap64(v);
}

} // namespace

struct CLzhDecoder::State
{
    std::unique_ptr<uint8_t[]> window; // history, then the output of the current chunk
    uint32_t windowDict = 0;           // the largest dictionary the window has room for
    uint8_t input[kInputSize];
    uint32_t literalTable[TableSize(kLiteralAlphabet, kLiteralTableBits)];
    uint32_t preTreeTable[TableSize(kPreTreeAlphabet, kAuxTableBits)];
    uint32_t positionTable[TableSize(kMaxPositionAlphabet, kAuxTableBits)];
    uint8_t literalLengths[kLiteralAlphabet];
    uint8_t auxLengths[64]; // a count field of up to 31 plus a zero run of up to 3
};

namespace
{

// Bit reader state; the decode loop keeps a copy in locals.
struct BitReader
{
    const uint8_t* next; // next unread byte of the input buffer
    const uint8_t* end;  // end of valid bytes in the input buffer
    uint64_t bits;       // the next `count` bits of the stream, most significant first
    unsigned count;      // valid bits in `bits` (the bits below them are zero or stream bits)
    uint32_t packedLeft; // compressed bytes not yet read from the source
    LzhByteSource* source;
    uint8_t* buffer;
    uint64_t padBytes; // zero bytes supplied past the end of the compressed data

    // Bits consumed past the end of the compressed data. The buffer holds the unread real
    // bits first and then the unread padding.
    uint64_t Overrun() const { return padBytes * 8 > count ? padBytes * 8 - count : 0; }

    // Tops `bits` up to at least 56 valid bits.
    void Refill()
    {
        if (end - next >= 8) {
            bits |= LoadBigEndian64(next) >> count;
            next += (63 - count) >> 3;
            count |= 56;
            return;
        }
        RefillSlow();
    }

    void RefillSlow()
    {
        if (end - next < 8 && packedLeft > 0) {
            size_t kept = static_cast<size_t>(end - next);
            std::memmove(buffer, next, kept);
            uint32_t want = kInputSize - static_cast<uint32_t>(kept);
            want = want < packedLeft ? want : packedLeft;
            uint32_t got = source->Read(buffer + kept, want);
            packedLeft = got == 0 ? 0 : packedLeft - got; // a source that ends early ends
            next = buffer;
            end = buffer + kept + got;
            if (end - next >= 8) {
                Refill();
                return;
            }
        }
        while (count < 56) {
            uint64_t byte = 0;
            if (next < end) {
                byte = *next++;
            } else {
                ++padBytes;
            }
            bits |= byte << (56 - count);
            count += 8;
        }
    }

    unsigned Take(unsigned n) // n <= 32
    {
        if (n == 0) {
            return 0;
        }
        if (count < n) {
            Refill();
        }
        auto v = static_cast<unsigned>(bits >> (64 - n));
        bits <<= n;
        count -= n;
        return v;
    }
};

unsigned DecodeWith(BitReader& br, const uint32_t* table, int tableBits)
{
    br.Refill();
    uint32_t e = table[br.bits >> (64 - tableBits)];
    if (e & kSubTable) {
        e = table[(e & 0xFFFF) + ((br.bits >> 48) & ((1u << (16 - tableBits)) - 1))];
    }
    unsigned length = EntryLength(e);
    br.bits <<= length;
    br.count -= length;
    return EntrySymbol(e);
}

// Pre-tree or position lengths: count field of `width` bits, 3-bit lengths with a unary
// extension past 6, and after index special-1 a 2-bit run of zero lengths.
bool ReadAuxLengths(BitReader& br, int alphabet, unsigned width, int special, uint8_t* lengths,
                    uint32_t* table)
{
    unsigned n = br.Take(width);
    if (n == 0) {
        unsigned symbol = br.Take(width);
        if (symbol >= static_cast<unsigned>(alphabet)) {
            return false;
        }
        std::memset(lengths, 0, static_cast<size_t>(alphabet));
        FillSingleSymbol(symbol, kAuxTableBits, table);
        return true;
    }
    unsigned i = 0;
    while (i < n) {
        br.Refill();
        auto c = static_cast<unsigned>(br.bits >> 61);
        if (c == 7) {
            // Ones after the 3-bit field, at most 13, then a terminating bit.
            unsigned ones = static_cast<unsigned>(std::countl_one(br.bits << 3));
            ones = ones > 13 ? 13 : ones;
            c += ones;
            br.bits <<= c - 3;
            br.count -= c - 3;
        } else {
            br.bits <<= 3;
            br.count -= 3;
        }
        if (c > kMaxCodeLength) {
            return false;
        }
        lengths[i++] = static_cast<uint8_t>(c);
        if (static_cast<int>(i) == special) {
            for (unsigned z = br.Take(2); z > 0; --z) {
                lengths[i++] = 0;
            }
        }
    }
    for (; i < static_cast<unsigned>(alphabet); ++i) {
        lengths[i] = 0;
    }
    return BuildDecodeTable(lengths, alphabet, kAuxTableBits, table);
}

bool ReadLiteralLengths(BitReader& br, uint8_t* lengths, const uint32_t* preTree, uint32_t* table)
{
    unsigned n = br.Take(9);
    if (n == 0) {
        unsigned symbol = br.Take(9);
        if (symbol >= static_cast<unsigned>(kLiteralAlphabet)) {
            return false;
        }
        std::memset(lengths, 0, kLiteralAlphabet);
        FillSingleSymbol(symbol, kLiteralTableBits, table);
        return true;
    }
    if (n > static_cast<unsigned>(kLiteralAlphabet)) {
        return false;
    }
    unsigned i = 0;
    while (i < n) {
        unsigned t = DecodeWith(br, preTree, kAuxTableBits);
        if (t <= 2) {
            unsigned run = t == 0 ? 1 : (t == 1 ? br.Take(4) + 3 : br.Take(9) + 20);
            if (i + run > static_cast<unsigned>(kLiteralAlphabet)) {
                return false;
            }
            std::memset(lengths + i, 0, run);
            i += run;
        } else {
            lengths[i++] = static_cast<uint8_t>(t - 2);
        }
    }
    std::memset(lengths + i, 0, kLiteralAlphabet - i);
    return BuildDecodeTable(lengths, kLiteralAlphabet, kLiteralTableBits, table);
}

} // namespace

CLzhDecoder::CLzhDecoder() : m_state(new State)
{
    m_state->window.reset(new (std::nothrow) uint8_t[WindowSize(kCommonDict)]);
    m_state->windowDict = m_state->window != nullptr ? kCommonDict : 0;
}

CLzhDecoder::~CLzhDecoder() = default;

uint16_t CLzhDecoder::Decode(LzhByteSource& source, LzhByteSink* sink, uint32_t packedSize,
                             uint32_t unpackedSize, int dictBits, bool& ok, bool* writeFailed)
{
    State& s = *m_state;
    if (writeFailed != nullptr) {
        *writeFailed = false;
    }
    if (unpackedSize == 0) {
        return 0;
    }
    if (dictBits < kMinDictBits || dictBits > kMaxDictBits) {
        dictBits = 13;
    }
    const int positionAlphabet = dictBits < 13 ? 14 : dictBits + 1;
    const unsigned positionWidth = dictBits <= 13 ? 4 : 5;
    const uint32_t dict = 1u << dictBits;
    // Position values reach 2^(alphabet - 1) - 1: D - 1, except for the 4 KB dictionary,
    // whose positions are taken modulo D as in a ring of D bytes.
    const uint32_t positionMask = dict - 1;
    if (s.windowDict < dict) {
        s.window.reset(new (std::nothrow) uint8_t[WindowSize(dict)]);
        s.windowDict = s.window != nullptr ? dict : 0;
        if (s.window == nullptr) {
            ok = false;
            return 0;
        }
    }

    BitReader br{s.input, s.input, 0, 0, packedSize, &source, s.input, 0};
    std::memset(s.window.get(), ' ', dict);
    uint8_t* const out0 = s.window.get() + dict; // first byte of the unflushed output
    uint8_t* out = out0;
    uint8_t* const chunkEnd = out0 + kChunk;
    uint16_t crc = 0;
    bool sinkOk = true;
    auto flush = [&](uint8_t* upTo) {
        size_t n = static_cast<size_t>(upTo - out0);
        crc = Crc16Update(crc, out0, static_cast<long>(n));
        if (sink != nullptr && !sink->Write(out0, n)) {
            sinkOk = false;
        }
    };

    uint64_t produced = 0;
    uint64_t blockLeft = 0;
    ok = true;
    while (produced < unpackedSize) {
        if (blockLeft == 0) {
            blockLeft = br.Take(16);
            if (blockLeft == 0) {
                blockLeft = 65536;
            }
            if (!ReadAuxLengths(br, kPreTreeAlphabet, 5, 3, s.auxLengths, s.preTreeTable) ||
                !ReadLiteralLengths(br, s.literalLengths, s.preTreeTable, s.literalTable) ||
                !ReadAuxLengths(br, positionAlphabet, positionWidth, -1, s.auxLengths,
                                s.positionTable) ||
                br.Overrun() > kMaxOverrunBits) {
                ok = false;
                return 0;
            }
        }
        // The symbol loop keeps the bit reader in locals (stores to the window could
        // otherwise alias it) and runs to the end of the block or of the member.
        uint64_t bits = br.bits;
        unsigned count = br.count;
        const uint8_t* next = br.next;
        const uint8_t* end = br.end;
        const uint32_t* const literalTable = s.literalTable;
        const uint32_t* const positionTable = s.positionTable;
        while (blockLeft > 0 && produced < unpackedSize) {
            --blockLeft;
            // One symbol needs at most 16 + 16 + 15 bits: one refill to 56 covers it.
            if (end - next >= 8) {
                bits |= LoadBigEndian64(next) >> count;
                next += (63 - count) >> 3;
                count |= 56;
            } else {
                br.bits = bits, br.count = count, br.next = next;
                br.RefillSlow();
                bits = br.bits, count = br.count, next = br.next, end = br.end;
            }
            uint32_t e = literalTable[bits >> 52];
            if (e & kSubTable) {
                e = literalTable[(e & 0xFFFF) + ((bits >> 48) & 0xF)];
            }
            unsigned length = EntryLength(e);
            bits <<= length;
            count -= length;
            unsigned symbol = EntrySymbol(e);
            if (symbol < 256) {
                *out++ = static_cast<uint8_t>(symbol);
                ++produced;
            } else {
                unsigned matchLength = symbol - 253;
                uint32_t p = positionTable[bits >> 56];
                if (p & kSubTable) {
                    p = positionTable[(p & 0xFFFF) + ((bits >> 48) & 0xFF)];
                }
                unsigned pLength = EntryLength(p);
                bits <<= pLength;
                count -= pLength;
                unsigned j = EntrySymbol(p);
                uint32_t distance = 1;
                if (j > 0) {
                    unsigned extra = j - 1;
                    uint32_t low = extra == 0 ? 0 : static_cast<uint32_t>(bits >> (64 - extra));
                    bits <<= extra;
                    count -= extra;
                    distance = (((1u << extra) | low) & positionMask) + 1;
                }
                CopyMatch(out, distance, matchLength);
                out += matchLength;
                produced += matchLength;
            }
            if (br.padBytes != 0) {
                br.count = count;
                if (br.Overrun() > kMaxOverrunBits) {
                    ok = false;
                    return 0;
                }
            }
            if (out >= chunkEnd) {
                flush(out);
                size_t n = static_cast<size_t>(out - out0);
                std::memmove(s.window.get(), s.window.get() + n, dict);
                out = out0;
            }
        }
        br.bits = bits;
        br.count = count;
        br.next = next;
    }
    flush(out);
    if (writeFailed != nullptr) {
        *writeFailed = !sinkOk;
    }
    return crc;
}
