// Implode (method 6). General-purpose bit 1 selects an 8 KiB window (else 4 KiB), bit 2 three
// Shannon-Fano codes (literal, length, distance; else length and distance only).
//
// The codes open the stream, each described in whole bytes: a byte giving the count of the
// bytes that follow, minus 1, then bytes (k - 1) << 4 | (l - 1): the next k symbols (1-16)
// have codes of l bits (1-16). The literal code has 256 symbols, the others 64, and a
// description gives exactly that many lengths. Codes follow from the lengths alone: with the
// symbols sorted by length (a stable sort) and taken from the last (longest) back to the
// first, each gets the 16-bit value of the one before plus 2^(16 - that one's length),
// starting from 0; a symbol's code is the top l bits of its value, sent most significant bit
// first. The last value plus its step must come to 2^16 (a complete code); lengths that fall
// short or overflow give no prefix code and are invalid.
//
// Then items, their fields least significant bit first:
//   1 L               a literal: the literal code's symbol, or 8 bits without that code
//   0 X D S [E]       a match: X the distance's low 6 bits (7 with the 8 KiB window), D the
//                     distance code's symbol (its high 6 bits); S the length code's symbol,
//                     length S + m (m = 3 with the literal code, else 2), plus an 8-bit E
//                     when S = 63; length bytes copied from ((D << 6 or 7) | X) + 1 bytes
//                     back, where the output before its first byte reads as zeros
// Nothing ends the stream: decoding stops at the member's size, cutting a last match there.
#include "zip/ZipImplodeDecoder.h"

#include "archive/MatchCopy.h"
#include "zip/ZipBitInput.h"
#include "zip/ZipOutputWindow.h"

#include <cstring>
#include <new>

namespace
{

constexpr unsigned kMaxCodeLength = 16;
constexpr unsigned kLiteralSymbols = 256;
constexpr unsigned kOtherSymbols = 64; // lengths and distances
constexpr unsigned kLongLength = 63;   // the length symbol followed by 8 more bits
// The longest match: 63 + 3 + 255.
constexpr unsigned kMaxMatch = kLongLength + 3 + 255;
static_assert(kMaxMatch + kCopyOverrun <= ZipOutputWindow::kSlack, "a match must fit");
// One item takes at most 1 + 7 + 16 + 16 + 8 = 48 of the 56 bits a refill leaves.
constexpr unsigned kItemBits = 1 + 7 + 2 * kMaxCodeLength + 8;
static_assert(kItemBits <= ZipBitInput::kRefillBits, "an item must fit in one refill");

// Decoding tables: a direct table on the next kPrimaryBits bits; codes longer than that go
// through a sub-table of 2^(16 - kPrimaryBits) entries per primary prefix. Entries: bits 0-4
// the code length, bits 8-15 the symbol; or kSubTable with the sub-table's index from bit 8.
constexpr unsigned kPrimaryBits = 10;
constexpr unsigned kSubBits = kMaxCodeLength - kPrimaryBits;
constexpr uint32_t kSubTable = 0x80;
// A complete code has at least two symbols below each prefix that needs a sub-table, so
// n symbols need at most n / 2 sub-tables.
constexpr size_t TableSize(unsigned symbols)
{
    return (size_t{1} << kPrimaryBits) + symbols / 2 * (size_t{1} << kSubBits);
}

uint32_t Reverse(uint32_t code, unsigned length)
{
    uint32_t r = 0;
    for (unsigned i = 0; i < length; ++i) {
        r = (r << 1) | ((code >> i) & 1);
    }
    return r;
}

// Builds the table of the code with lengths[0..n-1] (each 1-16); false unless the lengths
// make a complete code.
bool BuildTable(const uint8_t* lengths, unsigned n, uint32_t* table)
{
    // The symbols by length, then by value (a counting sort: stable).
    unsigned count[kMaxCodeLength + 2] = {};
    for (unsigned i = 0; i < n; ++i) {
        ++count[lengths[i] + 1];
    }
    for (unsigned l = 1; l <= kMaxCodeLength + 1; ++l) {
        count[l] += count[l - 1];
    }
    uint16_t sorted[kLiteralSymbols];
    for (unsigned i = 0; i < n; ++i) {
        sorted[count[lengths[i]]++] = static_cast<uint16_t>(i);
    }
    // The values, from the last sorted symbol back.
    uint32_t values[kLiteralSymbols];
    uint32_t value = 0;
    uint32_t step = 0;
    for (unsigned k = n; k-- > 0;) {
        value += step;
        step = uint32_t{1} << (kMaxCodeLength - lengths[sorted[k]]);
        values[sorted[k]] = value;
    }
    if (value + step != uint32_t{1} << kMaxCodeLength) {
        return false;
    }
    const uint32_t primarySize = 1u << kPrimaryBits;
    for (uint32_t i = 0; i < primarySize; ++i) {
        table[i] = 0;
    }
    uint32_t nextSub = primarySize;
    for (unsigned symbol = 0; symbol < n; ++symbol) {
        const unsigned l = lengths[symbol];
        // The code as the stream holds it: its first (most significant) bit in bit 0.
        const uint32_t code = Reverse(values[symbol] >> (kMaxCodeLength - l), l);
        const uint32_t entry = (symbol << 8) | l;
        if (l <= kPrimaryBits) {
            for (uint32_t i = code; i < primarySize; i += 1u << l) {
                table[i] = entry;
            }
            continue;
        }
        uint32_t& link = table[code & (primarySize - 1)];
        if (!(link & kSubTable)) {
            link = kSubTable | (nextSub << 8);
            nextSub += 1u << kSubBits;
        }
        const uint32_t base = link >> 8;
        for (uint32_t i = code >> kPrimaryBits; i < (1u << kSubBits);
             i += 1u << (l - kPrimaryBits)) {
            table[base + i] = entry;
        }
    }
    return true;
}

// The next symbol of a code; needs at least 16 valid bits.
inline unsigned DecodeSymbol(const uint32_t* table, uint64_t& bits, unsigned& count)
{
    uint32_t e = table[bits & ((1u << kPrimaryBits) - 1)];
    if (e & kSubTable) {
        e = table[(e >> 8) + ((bits >> kPrimaryBits) & ((1u << kSubBits) - 1))];
    }
    const unsigned length = e & 0x1F;
    bits >>= length;
    count -= length;
    return e >> 8;
}

} // namespace

struct CZipImplodeDecoder::State
{
    uint32_t literals[TableSize(kLiteralSymbols)]; // the literal code's table
    uint32_t lengths[TableSize(kOtherSymbols)];    // the length code's table
    uint32_t distances[TableSize(kOtherSymbols)];  // the distance code's table
    ZipBitInput input;                             // the member's compressed bytes
    ZipOutputWindow window;                        // history (8 KiB reached) and output

    DecodeStatus ReadCode(unsigned symbols, uint32_t* table);
};

// One code's description and its table.
DecodeStatus CZipImplodeDecoder::State::ReadCode(unsigned symbols, uint32_t* table)
{
    uint8_t codeLengths[kLiteralSymbols];
    const unsigned bytes = input.Take(8) + 1;
    unsigned filled = 0;
    for (unsigned i = 0; i < bytes; ++i) {
        const unsigned b = input.Take(8);
        if (input.Overran()) {
            return DecodeStatus::Truncated;
        }
        const unsigned run = (b >> 4) + 1;
        if (run > symbols - filled) {
            return DecodeStatus::Invalid; // more lengths than symbols
        }
        for (unsigned k = 0; k < run; ++k) {
            codeLengths[filled++] = static_cast<uint8_t>((b & 0xF) + 1);
        }
    }
    if (input.Overran()) {
        return DecodeStatus::Truncated;
    }
    if (filled != symbols || !BuildTable(codeLengths, symbols, table)) {
        return DecodeStatus::Invalid;
    }
    return DecodeStatus::Ok;
}

CZipImplodeDecoder::CZipImplodeDecoder() = default;
CZipImplodeDecoder::~CZipImplodeDecoder() = default;

// The item loop keeps the bit buffer, the input and output pointers in locals (byte stores
// to the output could otherwise alias them). Every round refills to at least 56 bits, which
// cover one item (48 bits at most): with 8 bytes in the buffer by one load, else through the
// careful refill that adds the member's last bytes and then counted zeros, checked after the
// item. The output stands below the chunk's end at the start of a round, and a round writes
// one match at most (321 bytes, CopyMatch up to kCopyOverrun - 1 more), which the window's
// slack holds; a match is cut to the bytes still to produce.
DecodeStatus CZipImplodeDecoder::Decode(const ZipDecodeJob& job)
{
    if (job.method != 6) {
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
    const bool bigWindow = (job.flags & 2) != 0;
    const bool literalCode = (job.flags & 4) != 0;
    DecodeStatus status = DecodeStatus::Ok;
    if (literalCode) {
        status = s.ReadCode(kLiteralSymbols, s.literals);
    }
    if (status == DecodeStatus::Ok) {
        status = s.ReadCode(kOtherSymbols, s.lengths);
    }
    if (status == DecodeStatus::Ok) {
        status = s.ReadCode(kOtherSymbols, s.distances);
    }
    if (status != DecodeStatus::Ok) {
        return status;
    }

    const unsigned lowBits = bigWindow ? 7 : 6;
    const unsigned minLength = literalCode ? 3 : 2;
    uint64_t bits = in.bits;
    unsigned count = in.count;
    const uint8_t* next = in.next;
    const uint8_t* end = in.end;
    uint32_t padBits = in.padBits;
    uint64_t left = job.unpackedSize;
    uint8_t* out = s.window.Output();
    uint8_t* const chunkEnd = s.window.chunkEnd;
    while (left != 0) {
        if (out >= chunkEnd) {
            out = s.window.Flush(out);
            if (s.window.refused) {
                return DecodeStatus::OutputRefused;
            }
        }
        if (end - next >= 8) {
            uint64_t v;
            std::memcpy(&v, next, 8);
            bits |= v << count;
            next += (63 - count) >> 3;
            count |= 56;
        } else {
            in.next = next;
            in.bits = bits;
            in.count = count;
            in.RefillSlow();
            next = in.next;
            end = in.end;
            bits = in.bits;
            count = in.count;
            padBits = in.padBits;
        }
        const unsigned kind = static_cast<unsigned>(bits) & 1;
        bits >>= 1;
        count -= 1;
        if (kind != 0) {
            unsigned literal;
            if (literalCode) {
                literal = DecodeSymbol(s.literals, bits, count);
            } else {
                literal = static_cast<unsigned>(bits) & 0xFF;
                bits >>= 8;
                count -= 8;
            }
            if (padBits > count) {
                return DecodeStatus::Truncated;
            }
            *out++ = static_cast<uint8_t>(literal);
            --left;
            continue;
        }
        uint32_t distance = static_cast<uint32_t>(bits) & ((1u << lowBits) - 1);
        bits >>= lowBits;
        count -= lowBits;
        distance |= DecodeSymbol(s.distances, bits, count) << lowBits;
        uint32_t length = DecodeSymbol(s.lengths, bits, count);
        if (length == kLongLength) {
            length += static_cast<uint32_t>(bits) & 0xFF;
            bits >>= 8;
            count -= 8;
        }
        length += minLength;
        if (padBits > count) {
            return DecodeStatus::Truncated;
        }
        length = length < left ? length : static_cast<uint32_t>(left);
        CopyMatch(out, distance + 1, length); // distance + 1 <= 8192: within the history
        out += length;
        left -= length;
    }
    s.window.Flush(out);
    return s.window.refused ? DecodeStatus::OutputRefused : DecodeStatus::Ok;
}
