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

#include "archive/MatchCopy.h"
#include "lzh/Crc16.h"
#include "lzh/LzhDecodeStart.h"
#include "platform/HugePages.h"

#include <algorithm>
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
// The window (at most 512 KB + kChunk + the margin) fills the 2 MB page it lies in: the
// fewer flushes, the fewer bytes of history moved.
constexpr uint32_t kChunk = 1024 * 1024;
// The last symbol before the chunk's end starts below it and writes a match of at most
// 256 bytes, whose copy may run kCopyOverrun - 1 bytes further.
constexpr uint32_t kMaxSymbolBytes = 256;
constexpr uint32_t kWindowMargin = kMaxSymbolBytes + kCopyOverrun;
// Twice the file layer's read-ahead, so that every refill asks for more than it and is read
// straight into this buffer rather than copied through the file's.
constexpr uint32_t kInputSize = 128 * 1024;
// The fast loop's refill loads 8 bytes at the next unread one.
constexpr ptrdiff_t kRefillBytes = 8;

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
    // History, then the output of the current chunk: touched whole by a large member, so in
    // whole 2 MB pages where the system has them.
    platform::HugeArray<uint8_t> window;
    // Compressed bytes read ahead from the source; its own allocation, so that a read past
    // it is a fault the sanitizers see.
    std::unique_ptr<uint8_t[]> input;
    uint16_t literalTable[TableSize(kLiteralAlphabet, kLiteralTableBits)];
    uint16_t preTreeTable[TableSize(kPreTreeAlphabet, kAuxTableBits)];
    uint64_t positionTable[TableSize(kMaxPositionAlphabet, kAuxTableBits)];
    uint8_t literalLengths[kLiteralAlphabet];
    uint8_t auxLengths[64]; // a count field of up to 31 plus a zero run of up to 3
};

namespace
{

// Bit reader state; the symbol loop keeps a copy in locals.
struct BitReader
{
    const uint8_t* next; // next unread byte of the input buffer
    const uint8_t* end;  // end of valid bytes in the input buffer
    uint64_t bits;       // the next `count` bits of the stream, most significant first
    unsigned count;      // valid bits in `bits` (the bits below them are zero or stream bits)
    uint32_t packedLeft; // compressed bytes not yet read from the source
    ByteSource* source;
    uint8_t* buffer;
    uint64_t padBytes; // zero bytes supplied past the end of the compressed data

    // Bits consumed past the end of the compressed data. The buffer holds the unread real
    // bits first and then the unread padding.
    uint64_t Overrun() const { return padBytes * 8 > count ? padBytes * 8 - count : 0; }

    // Tops `bits` up to at least 56 valid bits: 8 bytes are loaded and the whole bytes that
    // fit below the valid bits are taken.
    void Refill()
    {
        if (end - next >= kRefillBytes) {
            bits |= LoadBigEndian64(next) >> count;
            next += (63 - count) >> 3;
            count |= 56;
            return;
        }
        RefillSlow();
    }

    // Near the end of the input buffer: moves the unread bytes to its front and reads more
    // (a source may hand out less than asked, so as often as it takes); past the compressed
    // data, adds zero bytes and counts them.
    void RefillSlow()
    {
        while (end - next < kRefillBytes && packedLeft > 0) {
            size_t kept = static_cast<size_t>(end - next);
            std::memmove(buffer, next, kept);
            uint32_t want = kInputSize - static_cast<uint32_t>(kept);
            want = want < packedLeft ? want : packedLeft;
            uint32_t got = source->Read(buffer + kept, want);
            packedLeft = got == 0 ? 0 : packedLeft - got; // a source that ends early ends
            next = buffer;
            end = buffer + kept + got;
        }
        if (end - next >= kRefillBytes) {
            Refill();
            return;
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

unsigned DecodeWith(BitReader& br, const uint16_t* table, int tableBits)
{
    br.Refill();
    uint32_t e = table[br.bits >> (64 - tableBits)];
    if (e & kSubTable) {
        e = table[SubTableIndex(e) + ((br.bits >> 48) & ((1u << (16 - tableBits)) - 1))];
    }
    unsigned length = EntryLength(e);
    br.bits <<= length;
    br.count -= length;
    return EntrySymbol(e);
}

// Pre-tree or position lengths: count field of `width` bits, 3-bit lengths with a unary
// extension past 6, and after index special-1 a 2-bit run of zero lengths. A count of 0
// gives a single symbol instead (single >= 0), decoded from zero bits.
bool ReadAuxLengths(BitReader& br, int alphabet, unsigned width, int special, uint8_t* lengths,
                    int& single)
{
    single = -1;
    unsigned n = br.Take(width);
    if (n == 0) {
        unsigned symbol = br.Take(width);
        if (symbol >= static_cast<unsigned>(alphabet)) {
            return false;
        }
        std::memset(lengths, 0, static_cast<size_t>(alphabet));
        single = static_cast<int>(symbol);
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
    return true;
}

bool ReadPreTree(BitReader& br, uint8_t* lengths, uint16_t* table)
{
    int single;
    if (!ReadAuxLengths(br, kPreTreeAlphabet, 5, 3, lengths, single)) {
        return false;
    }
    if (single >= 0) {
        FillSingleSymbol(static_cast<unsigned>(single), kAuxTableBits, table);
        return true;
    }
    return BuildDecodeTable(lengths, kPreTreeAlphabet, kAuxTableBits, table);
}

// A position table entry (64 bits) holds all the symbol loop needs to turn the code and its
// extra bits into a distance: bits 0-5 the bits to take (code length + extra bits, at most
// 16 + 18), bits 8-31 the mask of the extra bits, bits 32-51 the distance of extra bits 0.
// Position symbol j stands for the value 0 (j = 0) or 2^(j-1) plus j-1 extra bits, and the
// distance is the value (modulo the dictionary size) plus 1; the mask and the base are
// reduced modulo the dictionary here, which leaves their sum the distance since the extra
// bits lie below the base's bit. Bit 63 marks an entry that points at a sub-table.
constexpr uint64_t kPositionSubTable = uint64_t{1} << 63;

uint64_t PositionEntry(unsigned j, unsigned codeLength, uint32_t dictMask)
{
    unsigned extra = j > 0 ? j - 1 : 0;
    uint32_t base = ((1u << j) >> 1) & dictMask;
    uint32_t mask = ((1u << extra) - 1) & dictMask;
    return (codeLength + extra) | (uint64_t{mask} << 8) | (uint64_t{base + 1} << 32);
}

// Also gives the farthest distance a match of the block can reach: 2^j for the highest
// position symbol j with a code (1 for j = 0), at most the dictionary size.
bool ReadPositions(BitReader& br, int alphabet, unsigned width, uint32_t dictMask, uint8_t* lengths,
                   uint64_t* table, uint32_t& reach)
{
    int single;
    if (!ReadAuxLengths(br, alphabet, width, -1, lengths, single)) {
        return false;
    }
    if (single >= 0) {
        FillRun(table, 1u << kAuxTableBits,
                PositionEntry(static_cast<unsigned>(single), 0, dictMask));
        reach = std::min(1u << single, dictMask + 1);
        return true;
    }
    SortedCode code;
    if (!SortCode(lengths, alphabet, code)) {
        return false;
    }
    int highest = alphabet - 1;
    while (lengths[highest] == 0) {
        --highest; // a complete code has a symbol with a length
    }
    reach = std::min(1u << highest, dictMask + 1);
    FillTable(
        code, kAuxTableBits, table,
        [dictMask](unsigned j, unsigned length) { return PositionEntry(j, length, dictMask); },
        [](uint32_t sub) { return kPositionSubTable | sub; });
    return true;
}

bool ReadLiteralLengths(BitReader& br, uint8_t* lengths, const uint16_t* preTree, uint16_t* table)
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

// The decoding tables of the current block.
struct SymbolCodes
{
    const uint16_t* literals;
    const uint64_t* positions;
};

// Decodes one literal or match into out and returns the bytes produced. Needs at least 50
// valid bits: a literal/length code of up to 16 bits, a position code of up to 16 and its
// up to 18 extra bits (position symbol 19 of the 512 KB dictionary).
__attribute__((always_inline)) inline uint32_t DecodeSymbol(uint64_t& bits, unsigned& count,
                                                            uint8_t* out, const SymbolCodes& c)
{
    // Literals' entries are below kLiteralEntries, sub-table links above every symbol's.
    constexpr uint32_t kLiteralEntries = 256u << lzhhuff::kSymbolShift;
    uint32_t e = c.literals[bits >> (64 - kLiteralTableBits)];
    if (e >= kLiteralEntries && (e & kSubTable)) {
        e = c.literals[SubTableIndex(e) + ((bits >> 48) & 0xF)];
    }
    unsigned length = EntryLength(e);
    bits <<= length;
    count -= length;
    if (e < kLiteralEntries) {
        *out = static_cast<uint8_t>(EntrySymbol(e));
        return 1;
    }
    unsigned symbol = EntrySymbol(e);
    uint64_t p = c.positions[bits >> (64 - kAuxTableBits)];
    if (p & kPositionSubTable) {
        p = c.positions[(p & 0xFFFF) + ((bits >> 48) & 0xFF)];
    }
    // The code and its extra bits are taken at once; the double shift takes no bits for a
    // single-symbol code of value 0 without shifting by 64.
    auto taken = static_cast<unsigned>(p & 63);
    auto value = static_cast<uint32_t>((bits >> 1) >> (63 - taken));
    bits <<= taken;
    count -= taken;
    uint32_t distance =
        static_cast<uint32_t>(p >> 32) + (value & static_cast<uint32_t>(p >> 8) & 0xFFFFFF);
    uint32_t matchLength = symbol - 253;
    CopyMatch(out, distance, matchLength);
    return matchLength;
}

// The bit buffer, input and output as the rounds keep them.
struct Cursor
{
    uint64_t bits;
    unsigned count;
    const uint8_t* next;
    uint8_t* out;
};

// `runs` symbols, each after one refill: the caller has counted that the input and the output
// have room for them.
__attribute__((always_inline)) inline void Rounds(Cursor& c, uint32_t runs,
                                                  const SymbolCodes& codes)
{
    uint64_t bits = c.bits;
    unsigned count = c.count;
    const uint8_t* next = c.next;
    uint8_t* out = c.out;
    // A copy of the tables' addresses, which the window's stores cannot change: the compiler
    // keeps them in registers instead of loading them again after every store.
    const SymbolCodes tables = codes;
    for (uint32_t k = runs; k != 0; --k) {
        bits |= LoadBigEndian64(next) >> count;
        next += (63 - count) >> 3;
        count |= 56;
        out += DecodeSymbol(bits, count, out, tables);
    }
    c = Cursor{bits, count, next, out};
}

[[gnu::flatten]] void PlainRounds(Cursor& c, uint32_t runs, const SymbolCodes& codes)
{
    Rounds(c, runs, codes);
}

using RoundsFunction = void (*)(Cursor&, uint32_t, const SymbolCodes&);

#if defined(__x86_64__)
// The same where the processor has BMI2, whose shifts by a register take fewer instructions.
[[gnu::target("bmi2"), gnu::flatten]] void Bmi2Rounds(Cursor& c, uint32_t runs,
                                                      const SymbolCodes& codes)
{
    Rounds(c, runs, codes);
}
#endif

RoundsFunction ChooseRounds()
{
#if defined(__x86_64__)
    if (__builtin_cpu_supports("bmi2")) {
        return Bmi2Rounds;
    }
#endif
    return PlainRounds;
}

} // namespace

CLzhDecoder::CLzhDecoder(int dictBits)
    : m_dictBits(dictBits >= kMinDictBits && dictBits <= kMaxDictBits ? dictBits : 13)
{}

CLzhDecoder::~CLzhDecoder() = default;

LzhDecodeResult CLzhDecoder::Decode(const LzhDecodeJob& job)
{
    LzhDecodeResult result;
    if (!StartDecode(job, m_state, result)) {
        return result;
    }
    State& s = *m_state;
    const int positionAlphabet = m_dictBits < 13 ? 14 : m_dictBits + 1;
    const unsigned positionWidth = m_dictBits <= 13 ? 4 : 5;
    const uint32_t dict = 1u << m_dictBits;
    if (s.window == nullptr) {
        s.window.reset(static_cast<uint8_t*>(platform::AllocateHuge(WindowSize(dict))));
        s.input.reset(new (std::nothrow) uint8_t[kInputSize]);
        if (s.window == nullptr || s.input == nullptr) {
            s.window.reset();
            result.status = DecodeStatus::NoMemory;
            return result;
        }
    }
    ByteSink* const sink = job.sink;
    const uint64_t unpackedSize = job.unpackedSize;
    // Position values reach 2^(alphabet - 1) - 1: D - 1, except for the 4 KB dictionary,
    // whose positions are taken modulo D as in a ring of D bytes.
    const uint32_t dictMask = dict - 1;
    const SymbolCodes codes{s.literalTable, s.positionTable};
    // Chosen at the first decode, once the processor's features are known for certain.
    static const RoundsFunction rounds = ChooseRounds();

    uint8_t* const input = s.input.get();
    BitReader br{input, input, 0, 0, static_cast<uint32_t>(job.packedSize), job.source, input, 0};
    uint8_t* const out0 = s.window.get() + dict; // first byte of the unflushed output
    // The history before the member's first byte reads as spaces: as far back as each
    // block's matches can reach, filled before its symbols while nothing has been flushed.
    // A flush leaves the last D bytes of output there (a chunk is at least D).
    uint32_t spaces = 0;
    uint8_t* const chunkEnd = out0 + kChunk;
    uint8_t* out = out0;
    uint64_t flushed = 0; // bytes produced before out0
    uint16_t crc = 0;
    bool sinkOk = true;
    // A last match running past the member's size is cut there.
    auto flush = [&](uint8_t* upTo) {
        size_t n = static_cast<size_t>(
            std::min<uint64_t>(static_cast<uint64_t>(upTo - out0), unpackedSize - flushed));
        crc = Crc16Update(crc, out0, static_cast<long>(n));
        if (sink != nullptr && !sink->Write(out0, n)) {
            sinkOk = false;
        }
        flushed += n;
    };
    auto fail = [&](DecodeStatus status) {
        result.status = status;
        result.crc = crc;
        result.produced = flushed;
        return result;
    };

    uint32_t blockLeft = 0;
    for (;;) {
        const uint64_t produced = flushed + static_cast<uint64_t>(out - out0);
        if (produced >= unpackedSize) {
            break;
        }
        if (blockLeft == 0) {
            blockLeft = br.Take(16);
            if (blockLeft == 0) {
                blockLeft = 65536;
            }
            uint32_t reach = 0;
            if (!ReadPreTree(br, s.auxLengths, s.preTreeTable) ||
                !ReadLiteralLengths(br, s.literalLengths, s.preTreeTable, s.literalTable) ||
                !ReadPositions(br, positionAlphabet, positionWidth, dictMask, s.auxLengths,
                               s.positionTable, reach) ||
                br.Overrun() > kMaxOverrunBits) {
                return fail(br.Overrun() > kMaxOverrunBits ? DecodeStatus::Truncated
                                                           : DecodeStatus::Invalid);
            }
            if (flushed == 0 && reach > spaces) {
                std::memset(out0 - reach, ' ', reach - spaces);
                spaces = reach;
            }
        }
        // Symbols until the block ends, the member is complete or the chunk is full. The
        // loop keeps the bit reader in locals (stores to the window could otherwise alias
        // it); the window's margin takes the last match's overshoot.
        const uint64_t left = unpackedSize - produced;
        uint8_t* const stop = left < static_cast<uint64_t>(chunkEnd - out) ? out + left : chunkEnd;
        uint64_t bits = br.bits;
        unsigned count = br.count;
        const uint8_t* next = br.next;
        while (out < stop && blockLeft > 0) {
            // Fast rounds, counted beforehand so that no symbol checks a bound. Input: at
            // least kRefillBytes unread bytes in the buffer at every refill, so that it is one
            // load that tops the bits up to 56 or more (a symbol needs 50), and no padding can
            // have been supplied yet; a refill advances at most 7 bytes, so (room / 7) + 1
            // rounds. Output: a symbol writes at most kMaxSymbolBytes, and every round starts
            // below stop. And no more than the block's symbols.
            const ptrdiff_t room = br.end - kRefillBytes - next;
            uint32_t runs = room < 0 ? 0 : static_cast<uint32_t>(room / 7) + 1;
            runs = std::min(
                {runs, blockLeft, static_cast<uint32_t>((stop - out - 1) / kMaxSymbolBytes) + 1});
            if (runs > 1) {
                blockLeft -= runs;
                Cursor c{bits, count, next, out};
                rounds(c, runs, codes);
                bits = c.bits, count = c.count, next = c.next, out = c.out;
                continue;
            }
            // One symbol through the careful refill, which reads the next input block or
            // supplies counted zero bytes when the buffer holds fewer than kRefillBytes.
            br.bits = bits, br.count = count, br.next = next;
            br.Refill();
            bits = br.bits, count = br.count, next = br.next;
            out += DecodeSymbol(bits, count, out, codes);
            --blockLeft;
            if (br.padBytes != 0) {
                br.count = count;
                if (br.Overrun() > kMaxOverrunBits) {
                    return fail(DecodeStatus::Truncated);
                }
            }
        }
        br.bits = bits;
        br.count = count;
        br.next = next;
        if (out >= chunkEnd) {
            flush(out);
            std::memmove(s.window.get(), out - dict, dict);
            out = out0;
            if (!sinkOk) {
                break; // the sink refused (a full disk, or a stop asked for)
            }
        }
    }
    flush(out);
    result.status = sinkOk ? DecodeStatus::Ok : DecodeStatus::OutputRefused;
    result.crc = crc;
    result.produced = flushed;
    return result;
}
