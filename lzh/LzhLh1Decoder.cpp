// LHarc 1.x's "-lh1-" method: LZSS over a 4096-byte window of spaces, coded as a bit stream
// read most significant bit first.
//
// Symbols 0-255 are literal bytes and 256-313 match lengths 3-60 (length = symbol - 253).
// They are coded with an adaptive Huffman tree over the 314 symbols: every leaf starts with
// weight 1, and after each symbol its leaf and every node above it gain 1, with nodes kept
// in order of weight (a node whose weight passes its neighbours' swaps with the last node of
// the lighter weight). When the root's weight reaches 0x8000, before a symbol is counted,
// every leaf weight is halved (rounding up) and the tree is rebuilt from the leaves.
//
// A match is followed by its position p (distance p + 1, 1-4096): the upper 6 bits of p in
// a fixed prefix code of 3-8 bits (1 code of 3 bits, 3 of 4, 8 of 5, 12 of 6, 24 of 7 and
// 16 of 8, assigned in increasing order), then the lower 6 bits as they are. Nothing ends
// the stream: decoding stops when the member's size has been produced.
#include "lzh/LzhLh1Decoder.h"

#include "lzh/LzhDecodeStart.h"

#include "archive/MatchCopy.h"
#include "lzh/LzhBitInput.h"
#include "lzh/LzhHistoryWindow.h"

#include <array>
#include <cstring>

namespace
{

constexpr unsigned kChars = 256 + 58;       // literals and match lengths 3-60
constexpr unsigned kNodes = 2 * kChars - 1; // leaves and internal nodes of the tree
constexpr unsigned kRoot = kNodes - 1;
constexpr unsigned kMaxWeight = 0x8000; // root weight that halves every weight
constexpr uint32_t kDict = 4096;

// The position's upper 6 bits by the next 8 stream bits, with the length of their code.
struct PositionCode
{
    std::array<uint8_t, 256> upper;
    std::array<uint8_t, 256> length;
};

constexpr PositionCode MakePositionCode()
{
    // Codes per length 3..8; they fill the 8-bit space exactly (1/8 + 3/16 + ... = 1).
    constexpr unsigned kCount[] = {1, 3, 8, 12, 24, 16};
    PositionCode t{};
    unsigned entry = 0;
    unsigned symbol = 0;
    for (unsigned len = 3; len <= 8; ++len) {
        for (unsigned i = 0; i < kCount[len - 3]; ++i, ++symbol) {
            for (unsigned n = 0; n < (1u << (8 - len)); ++n, ++entry) {
                t.upper[entry] = static_cast<uint8_t>(symbol);
                t.length[entry] = static_cast<uint8_t>(len);
            }
        }
    }
    return t;
}

constexpr PositionCode kPositionCode = MakePositionCode();

} // namespace

// The tree: nodes 0..kRoot in order of non-decreasing weight, kRoot the root. A node's
// child field holds kNodes + symbol for a leaf, else the index of its first child (the
// second is the next node; bit 0 picks the first).
struct CLzhLh1Decoder::State
{
    LzhBitInput input;                // the member's compressed bytes
    LzhHistoryWindow window;          // history and output
    uint16_t weight[kNodes + 1];      // node weights; weight[kNodes] = 0xFFFF ends searches
    uint16_t child[kNodes];           // leaf symbol + kNodes, or first child
    uint16_t parent[kNodes + kChars]; // parent of node i, and of symbol s at kNodes + s
    uint16_t startWeight[kNodes + 1]; // the tree every member starts with
    uint16_t startChild[kNodes];
    uint16_t startParent[kNodes + kChars];

    State();
};

namespace
{

// Builds the starting tree: leaves 0..313 of weight 1, then each internal node over the
// next two unpaired nodes.
void BuildStartTree(uint16_t* weight, uint16_t* child, uint16_t* parent)
{
    for (unsigned i = 0; i < kChars; ++i) {
        weight[i] = 1;
        child[i] = static_cast<uint16_t>(i + kNodes);
        parent[i + kNodes] = static_cast<uint16_t>(i);
    }
    for (unsigned i = 0, j = kChars; j <= kRoot; i += 2, ++j) {
        weight[j] = static_cast<uint16_t>(weight[i] + weight[i + 1]);
        child[j] = static_cast<uint16_t>(i);
        parent[i] = parent[i + 1] = static_cast<uint16_t>(j);
    }
    weight[kNodes] = 0xFFFF;
    parent[kRoot] = 0;
}

// Halves every leaf weight (rounding up) and rebuilds the tree from the leaves in weight
// order: each new node joins the two lightest unpaired nodes and is inserted after the
// nodes no heavier than it.
void Rebuild(uint16_t* weight, uint16_t* child, uint16_t* parent)
{
    unsigned j = 0;
    for (unsigned i = 0; i < kNodes; ++i) {
        if (child[i] >= kNodes) {
            weight[j] = static_cast<uint16_t>((weight[i] + 1) / 2);
            child[j] = child[i];
            ++j;
        }
    }
    for (unsigned i = 0, n = kChars; n < kNodes; i += 2, ++n) {
        auto w = static_cast<uint16_t>(weight[i] + weight[i + 1]);
        unsigned k = n;
        while (k > 0 && w < weight[k - 1]) {
            --k;
        }
        std::memmove(weight + k + 1, weight + k, (n - k) * sizeof(uint16_t));
        std::memmove(child + k + 1, child + k, (n - k) * sizeof(uint16_t));
        weight[k] = w;
        child[k] = static_cast<uint16_t>(i);
    }
    for (unsigned i = 0; i < kNodes; ++i) {
        unsigned c = child[i];
        parent[c] = static_cast<uint16_t>(i);
        if (c < kNodes) {
            parent[c + 1] = static_cast<uint16_t>(i);
        }
    }
}

// Counts one occurrence of symbol: its leaf and every node above gain 1. A node that gets
// heavier than its right neighbour swaps places (with its subtree) with the last node of
// its old weight, which keeps the nodes in weight order.
void Count(unsigned symbol, uint16_t* weight, uint16_t* child, uint16_t* parent)
{
    if (weight[kRoot] == kMaxWeight) {
        Rebuild(weight, child, parent);
    }
    unsigned c = parent[symbol + kNodes];
    do {
        unsigned w = ++weight[c];
        if (w > weight[c + 1]) {
            // weight[kNodes] is 0xFFFF and every weight is at most kMaxWeight: the search
            // stops inside the tree.
            unsigned l = c + 1;
            while (w > weight[l + 1]) {
                ++l;
            }
            weight[c] = weight[l];
            weight[l] = static_cast<uint16_t>(w);
            unsigned i = child[c];
            parent[i] = static_cast<uint16_t>(l);
            if (i < kNodes) {
                parent[i + 1] = static_cast<uint16_t>(l);
            }
            unsigned k = child[l];
            child[l] = static_cast<uint16_t>(i);
            parent[k] = static_cast<uint16_t>(c);
            if (k < kNodes) {
                parent[k + 1] = static_cast<uint16_t>(c);
            }
            child[c] = static_cast<uint16_t>(k);
            c = l;
        }
        c = parent[c];
    } while (c != 0);
}

} // namespace

CLzhLh1Decoder::State::State()
{
    BuildStartTree(startWeight, startChild, startParent);
}

CLzhLh1Decoder::CLzhLh1Decoder() = default;
CLzhLh1Decoder::~CLzhLh1Decoder() = default;

LzhDecodeResult CLzhLh1Decoder::Decode(const LzhDecodeJob& job)
{
    LzhDecodeResult result;
    if (!StartDecode(job, m_state, result)) {
        return result;
    }
    State& s = *m_state;
    LzhBitInput& in = s.input;
    LzhHistoryWindow& win = s.window;
    in.Start(*job.source, static_cast<uint32_t>(job.packedSize));
    win.Start(kDict, job.sink);
    std::memset(win.bytes, ' ', kDict);
    std::memcpy(s.weight, s.startWeight, sizeof s.weight);
    std::memcpy(s.child, s.startChild, sizeof s.child);
    std::memcpy(s.parent, s.startParent, sizeof s.parent);
    uint16_t* const weight = s.weight;
    uint16_t* const child = s.child;
    uint16_t* const parent = s.parent;

    // The symbol loop keeps the bit reader in locals (window stores could alias it). Before
    // each symbol the bits are topped up to 56 at least, when 8 bytes are buffered: the tree
    // walk checks for an empty reservoir at each bit all the same, since nothing but the
    // weights (at most 0x8000 at the root) bounds the tree's depth, and the position needs
    // 14 bits more at most (8-bit peek, then 6).
    uint64_t bits = in.bits;
    unsigned count = in.count;
    const uint8_t* next = in.next;
    const uint8_t* end = in.end;
    auto refill = [&](unsigned need) {
        if (end - next >= 8) {
            uint64_t v;
            std::memcpy(&v, next, 8);
            bits |= __builtin_bswap64(v) >> count;
            next += (63 - count) >> 3;
            count |= 56;
            return;
        }
        in.bits = bits, in.count = count, in.next = next;
        in.NeedSlow(need);
        bits = in.bits, count = in.count, next = in.next, end = in.end;
    };

    DecodeStatus status = DecodeStatus::Ok;
    uint8_t* out = win.Output();
    uint64_t left = job.unpackedSize;
    while (left > 0) {
        if (count < 32) {
            refill(32);
        }
        unsigned c = child[kRoot];
        while (c < kNodes) {
            if (count == 0) {
                refill(1);
            }
            c = child[c + static_cast<unsigned>(bits >> 63)];
            bits <<= 1;
            --count;
        }
        unsigned symbol = c - kNodes;
        Count(symbol, weight, child, parent);
        if (symbol < 256) {
            *out++ = static_cast<uint8_t>(symbol);
            --left;
        } else {
            if (count < 14) {
                refill(14);
            }
            auto peek = static_cast<unsigned>(bits >> 56);
            unsigned codeLength = kPositionCode.length[peek];
            bits <<= codeLength;
            count -= codeLength;
            uint32_t p =
                (uint32_t{kPositionCode.upper[peek]} << 6) | static_cast<uint32_t>(bits >> 58);
            bits <<= 6;
            count -= 6;
            uint32_t length = symbol - 253;
            length = length < left ? length : static_cast<uint32_t>(left);
            // p + 1 <= 4096 = the history's size.
            CopyMatch(out, p + 1, length);
            out += length;
            left -= length;
        }
        if (in.overread != 0) {
            in.count = count;
            if (in.Overrun()) {
                status = DecodeStatus::Truncated;
                break;
            }
        }
        if (!win.FlushIfFull(out)) {
            break; // a sink that refuses ends decoding
        }
    }
    result.status = win.Finish(out, status);
    result.crc = win.crc;
    result.produced = job.unpackedSize - left;
    return result;
}
