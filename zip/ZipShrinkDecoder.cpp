// Shrink (method 1): LZW over codes read least significant bit first, 9 bits wide at the start.
//   0-255      a literal byte
//   256        a control code; the next code, of the same width, says what to do:
//                1  later codes are one bit wider (13 at most)
//                2  partial clear: every code 257-8191 in use that no other code in use
//                   extends (a leaf of the string tree) becomes free
//   257-8191   a string: the string of its prefix code followed by one byte
// The first code is a literal. Every later code defines the lowest free code (while there is
// one) as the previous code followed by the first byte of this code's string. The compressor
// makes that definition before it matches the code, so the code may stand on it: it may be
// the new code itself (the KwKwK case: the previous string plus its own first byte), or its
// chain may pass through the new code where a freed code is reused. Strings are spelled
// through the prefix codes as the table stands when they are read, so a freed code reused
// changes the strings that name it. Nothing ends the stream: decoding stops at the member's
// size.
//
// Where the format leaves it open this reader takes these rules: a free code, a string whose
// chain passes a free code, a control code other than 1 and 2, growth past 13 bits and a
// chain that loops (a code redefined into its own chain) are invalid; with no code free, a
// code defines nothing. 7-Zip reads Shrink streams the same way; UnZip 6.00 frees codes
// otherwise in some tables after several partial clears, and fails on such streams.
#include "zip/ZipShrinkDecoder.h"

#include "zip/ZipBitInput.h"
#include "zip/ZipOutputWindow.h"

#include <cstring>
#include <new>

namespace
{

constexpr unsigned kControlCode = 256;
constexpr unsigned kFirstString = 257;
constexpr unsigned kCodes = 8192; // 13-bit codes
constexpr unsigned kFirstWidth = 9;
constexpr unsigned kLastWidth = 13;
constexpr unsigned kGrow = 1;
constexpr unsigned kPartialClear = 2;
// prefix[] of a free code. Entry kFree itself names kFree as its prefix, so that a chain
// reaching a free code runs on until the chain's bound stops it as invalid.
constexpr uint16_t kFree = kCodes;
// The longest string: every code 257-8191 on one chain above a literal, 7935 + 1 bytes.
constexpr unsigned kLongestString = kCodes - kFirstString + 1;
static_assert(kLongestString <= ZipOutputWindow::kSlack, "a string must fit past the chunk");
// A code and its control argument take at most 2 * 13 bits of one refill's 56.
constexpr unsigned kStepBits = 2 * kLastWidth;

} // namespace

// The table keeps, besides each code's definition, how many codes in use name each code as
// their prefix, and two bit sets over the codes: the free ones, and the leaves (codes in use
// that no code in use names). A partial clear then frees the leaves it finds in the set, and
// the lowest free code is a search over 128 words: a stream of control codes costs little
// work per bit of it, however full the table.
//
// A string is settled when its prefix was a literal or a settled code in use at its
// definition: a code in use that another one names is never freed, so a settled string
// stays as it was, and its length is known. Only strings defined on a freed code (which a
// later definition may reuse) are not; they are spelled the careful way.
struct CZipShrinkDecoder::State
{
    static constexpr unsigned kWords = kCodes / 64;

    uint16_t prefix[kCodes + 1];   // 257-8191: the code a string extends; kFree when free
    uint8_t suffix[kCodes + 1];    // 257-8191: a string's last byte
    uint16_t children[kCodes + 1]; // 257-8191: codes in use naming it as their prefix
    uint16_t length[kCodes + 1];   // a settled string's length (literals: 1); 0: not settled
    uint64_t leaves[kWords];       // bit c: code c is in use and no code in use names it
    uint64_t free[kWords];         // bit c: code c (257-8191) is free
    uint8_t chain[kLongestString]; // a string spelled backwards from its last byte
    ZipBitInput input;             // the member's compressed bytes
    ZipOutputWindow window;        // output on its way to the sink
    unsigned lowestFree;           // the code the next definition takes; kCodes: none

    void Start();
    // Puts a free code in use as prefixCode (a literal or a code, itself even) followed by a
    // byte set later.
    void Define(unsigned code, unsigned prefixCode)
    {
        // Settled on a literal or a settled code in use; a free one (this code itself
        // included) may be defined anew, so the new string is not settled.
        const bool settled =
            prefixCode < kFirstString || (prefix[prefixCode] != kFree && length[prefixCode] != 0);
        length[code] = settled ? static_cast<uint16_t>(length[prefixCode] + 1) : 0;
        prefix[code] = static_cast<uint16_t>(prefixCode);
        Reset(free, code);
        if (prefixCode >= kFirstString && children[prefixCode]++ == 0) {
            Reset(leaves, prefixCode); // its first child (a free code is no leaf anyway)
        }
        if (children[code] == 0) {
            Set(leaves, code);
        }
    }
    void PartialClear();
    // The lowest free code at or above from; kCodes when there is none. While the table
    // fills, that is from itself.
    unsigned FreeFrom(unsigned from) const
    {
        if (from < kCodes && prefix[from] == kFree) {
            return from;
        }
        return FreeAbove(from);
    }
    unsigned FreeAbove(unsigned from) const;

    static void Set(uint64_t* bits, unsigned c) { bits[c / 64] |= uint64_t{1} << (c % 64); }
    static void Reset(uint64_t* bits, unsigned c) { bits[c / 64] &= ~(uint64_t{1} << (c % 64)); }
};

void CZipShrinkDecoder::State::Start()
{
    for (unsigned c = kFirstString; c <= kCodes; ++c) {
        prefix[c] = kFree;
        suffix[c] = 0;
    }
    std::memset(children, 0, sizeof children);
    for (unsigned c = 0; c <= kCodes; ++c) {
        length[c] = c < kControlCode ? 1 : 0;
    }
    std::memset(leaves, 0, sizeof leaves);
    // Codes 0-256 are never free.
    for (unsigned w = 0; w < kWords; ++w) {
        free[w] = w < kFirstString / 64 ? 0 : ~uint64_t{0};
    }
    free[kFirstString / 64] <<= kFirstString % 64;
    lowestFree = kFirstString;
}

// Frees every code in use that no code in use names as its prefix: the leaves as they stand
// before any is freed (a parent left childless becomes a leaf for the next clear).
void CZipShrinkDecoder::State::PartialClear()
{
    uint64_t freeing[kWords];
    std::memcpy(freeing, leaves, sizeof freeing);
    for (unsigned w = 0; w < kWords; ++w) {
        for (uint64_t bits = freeing[w]; bits != 0; bits &= bits - 1) {
            const unsigned c = w * 64 + static_cast<unsigned>(__builtin_ctzll(bits));
            const unsigned parent = prefix[c];
            prefix[c] = kFree;
            Set(free, c);
            Reset(leaves, c);
            if (parent >= kFirstString && --children[parent] == 0 && prefix[parent] != kFree) {
                Set(leaves, parent);
            }
        }
    }
    lowestFree = FreeFrom(kFirstString);
}

unsigned CZipShrinkDecoder::State::FreeAbove(unsigned from) const
{
    if (from >= kCodes) {
        return kCodes;
    }
    unsigned w = from / 64;
    uint64_t bits = free[w] & (~uint64_t{0} << (from % 64));
    while (bits == 0) {
        if (++w == kWords) {
            return kCodes;
        }
        bits = free[w];
    }
    return w * 64 + static_cast<unsigned>(__builtin_ctzll(bits));
}

CZipShrinkDecoder::CZipShrinkDecoder() = default;
CZipShrinkDecoder::~CZipShrinkDecoder() = default;

// The loop keeps the bit buffer and the output pointer in locals (byte stores to the output
// and the chain could otherwise alias them). Each round refills to at least 56 bits when
// fewer than a code and its control argument (26 bits) are left, so a round takes its bits
// without further checks; the padding past the member's end is checked after every code.
DecodeStatus CZipShrinkDecoder::Decode(const ZipDecodeJob& job)
{
    if (job.method != 1) {
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
    s.Start();

    uint64_t bits = 0;
    unsigned count = 0;
    unsigned width = kFirstWidth;
    unsigned previous = kCodes; // none yet
    uint64_t left = job.unpackedSize;
    uint8_t* out = s.window.Output();
    uint8_t* const top = s.chain + kLongestString; // a string's last byte goes before it
    DecodeStatus status = DecodeStatus::Ok;
    while (left != 0) {
        if (count < kStepBits) {
            in.bits = bits;
            in.count = count;
            in.Refill();
            bits = in.bits;
            count = in.count;
        }
        const unsigned mask = (1u << width) - 1;
        unsigned code = static_cast<unsigned>(bits) & mask;
        bits >>= width;
        count -= width;
        if (code == kControlCode) {
            const unsigned action = static_cast<unsigned>(bits) & mask;
            bits >>= width;
            count -= width;
            if (in.padBits > count) {
                status = DecodeStatus::Truncated;
                break;
            }
            if (action == kGrow && width < kLastWidth) {
                ++width;
            } else if (action == kPartialClear) {
                s.PartialClear();
            } else {
                status = DecodeStatus::Invalid;
                break;
            }
            continue;
        }
        if (in.padBits > count) {
            status = DecodeStatus::Truncated;
            break;
        }
        // The definition this code brings comes first: the compressor made it before it
        // matched this code, whose chain may pass through it (a reused code, or the KwKwK
        // case, where the code is the new one). Its last byte, the first of this code's
        // string, is known once the chain reaches its literal.
        unsigned defined = kCodes;
        if (previous != kCodes && s.lowestFree < kCodes) {
            defined = s.lowestFree;
            s.Define(defined, previous);
        }
        if (code >= kFirstString && s.prefix[code] == kFree) {
            status = DecodeStatus::Invalid; // not defined (the first code must be a literal)
            break;
        }
        size_t n = s.length[code];
        unsigned c = code;
        if (n != 0) {
            // A settled string goes straight to the output, spelled backwards from its end,
            // its length bounding the walk. Read as the code just defined, its last byte is
            // the first one, written once known.
            uint8_t* p = out + n;
            size_t links = n - 1;
            if (code == defined) {
                --p;
                --links;
                c = previous;
            }
            for (; links != 0; --links) {
                *--p = s.suffix[c];
                c = s.prefix[c];
            }
            *--p = static_cast<uint8_t>(c);
            out[n - 1] = code == defined ? out[0] : out[n - 1];
        } else {
            // Otherwise spelled into chain, backwards from top, and checked: hole is where
            // the new code's byte goes.
            uint8_t* p = top;
            uint8_t* hole = nullptr;
            while (c >= kFirstString && p != s.chain) {
                *--p = s.suffix[c];
                hole = c == defined ? p : hole;
                c = s.prefix[c];
            }
            if (p == s.chain) {
                status = DecodeStatus::Invalid; // more links than codes: a loop or a free code
                break;
            }
            *--p = static_cast<uint8_t>(c);
            if (hole != nullptr) {
                *hole = static_cast<uint8_t>(c);
            }
            n = static_cast<size_t>(top - p);
            std::memcpy(out, p, n);
        }
        if (defined != kCodes) {
            s.suffix[defined] = static_cast<uint8_t>(c);
            s.lowestFree = s.FreeFrom(defined + 1);
        }
        previous = code;
        if (n > left) {
            n = static_cast<size_t>(left);
        }
        out += n;
        left -= n;
        if (out >= s.window.chunkEnd) {
            out = s.window.Flush(out);
            if (s.window.refused) {
                return DecodeStatus::OutputRefused;
            }
        }
    }
    if (status != DecodeStatus::Ok) {
        return status;
    }
    s.window.Flush(out);
    return s.window.refused ? DecodeStatus::OutputRefused : DecodeStatus::Ok;
}
