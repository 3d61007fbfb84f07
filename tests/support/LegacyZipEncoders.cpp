// The test-side Shrink, Reduce and Implode encoders. Reduce and Implode share a greedy match
// finder (hash chains over 3-byte prefixes) that sees the window's size of zeros before the
// data, as the decoders do.
#include "tests/support/LegacyZipEncoders.h"

#include "tests/support/LsbBits.h"
#include "tests/support/ReferenceImplode.h"

#include <algorithm>
#include <memory>
#include <queue>
#include <unordered_map>
#include <utility>

namespace testsupport
{
namespace
{

// ---- Match finding ----

class MatchFinder
{
public:
    MatchFinder(const std::vector<uint8_t>& data, unsigned window, unsigned maxChain)
        : m_window(window), m_maxChain(maxChain), m_head(kHashSize, kNone)
    {
        m_buffer.assign(window, 0);
        m_buffer.insert(m_buffer.end(), data.begin(), data.end());
        m_previous.assign(m_buffer.size(), kNone);
        for (size_t p = 0; p < window; ++p) {
            Insert(p);
        }
    }

    // The longest match for data position i: {length, distance}, length 0 when there is none
    // of minLength bytes. Lengths stop at maxLength and at the data's end.
    std::pair<unsigned, unsigned> Find(size_t i, unsigned minLength, unsigned maxLength) const
    {
        const size_t p = m_window + i;
        const size_t most = std::min<size_t>(maxLength, m_buffer.size() - p);
        unsigned bestLength = 0;
        unsigned bestDistance = 0;
        auto consider = [&](size_t candidate) {
            size_t n = 0;
            while (n < most && m_buffer[candidate + n] == m_buffer[p + n]) {
                ++n;
            }
            if (n > bestLength) {
                bestLength = static_cast<unsigned>(n);
                bestDistance = static_cast<unsigned>(p - candidate);
            }
        };
        if (most >= 3) {
            size_t candidate = m_head[Hash(p)];
            for (unsigned tries = 0; candidate != kNone && tries < m_maxChain; ++tries) {
                if (p - candidate > m_window) {
                    break;
                }
                consider(candidate);
                candidate = m_previous[candidate];
            }
        }
        // Two-byte matches, which the hash does not see, close by.
        for (unsigned d = 1; minLength == 2 && bestLength < 2 && d <= 8; ++d) {
            consider(p - d);
        }
        if (bestLength < minLength) {
            return {0, 0};
        }
        return {bestLength, bestDistance};
    }

    void InsertData(size_t i) { Insert(m_window + i); }

private:
    static constexpr size_t kHashSize = size_t{1} << 15;
    static constexpr size_t kNone = SIZE_MAX;

    size_t Hash(size_t p) const
    {
        return ((m_buffer[p] << 10) ^ (m_buffer[p + 1] << 5) ^ m_buffer[p + 2]) & (kHashSize - 1);
    }
    void Insert(size_t p)
    {
        if (p + 3 > m_buffer.size()) {
            return;
        }
        const size_t h = Hash(p);
        m_previous[p] = m_head[h];
        m_head[h] = p;
    }

    unsigned m_window;
    unsigned m_maxChain;
    std::vector<uint8_t> m_buffer; // window zeros, then the data
    std::vector<size_t> m_head;
    std::vector<size_t> m_previous;
};

// ---- Shrink ----

class Shrinker
{
public:
    explicit Shrinker(const ShrinkOptions& options) : m_options(options)
    {
        for (unsigned c = kFirstString; c < kCodes; ++c) {
            m_prefix[c] = 0;
            m_inUse[c] = false;
        }
    }

    std::vector<uint8_t> Run(const std::vector<uint8_t>& data)
    {
        if (data.empty()) {
            return {};
        }
        unsigned current = data[0];
        for (size_t i = 1; i < data.size(); ++i) {
            const uint8_t c = data[i];
            auto child = m_children.find(Key(current, c));
            if (child != m_children.end()) {
                current = child->second;
                continue;
            }
            Emit(current);
            ++m_sinceClear;
            if (m_lowestFree == kCodes ||
                (m_options.clearEvery != 0 && m_sinceClear >= m_options.clearEvery)) {
                Emit(kControl);
                Emit(2);
                PartialClear();
                m_sinceClear = 0;
            }
            if (m_lowestFree < kCodes) {
                const unsigned code = m_lowestFree;
                m_inUse[code] = true;
                m_prefix[code] = current;
                m_suffix[code] = c;
                m_children[Key(current, c)] = code;
                while (m_lowestFree < kCodes && m_inUse[m_lowestFree]) {
                    ++m_lowestFree;
                }
                // The decoder defines this code on reading the next one, which may be it.
                if (code >= (1u << m_width)) {
                    Emit(kControl);
                    Emit(1);
                    ++m_width;
                }
            }
            current = c;
        }
        Emit(current);
        return m_out.Bytes();
    }

private:
    static constexpr unsigned kControl = 256;
    static constexpr unsigned kFirstString = 257;
    static constexpr unsigned kCodes = 8192;

    static uint32_t Key(unsigned code, uint8_t c) { return (code << 8) | c; }
    void Emit(unsigned code) { m_out.Put(code, m_width); }

    void PartialClear()
    {
        std::vector<bool> extended(kCodes);
        for (unsigned c = kFirstString; c < kCodes; ++c) {
            if (m_inUse[c]) {
                extended[m_prefix[c]] = true;
            }
        }
        for (unsigned c = kFirstString; c < kCodes; ++c) {
            if (m_inUse[c] && !extended[c]) {
                m_inUse[c] = false;
                auto child = m_children.find(Key(m_prefix[c], m_suffix[c]));
                if (child != m_children.end() && child->second == c) {
                    m_children.erase(child);
                }
            }
        }
        m_lowestFree = kFirstString;
        while (m_lowestFree < kCodes && m_inUse[m_lowestFree]) {
            ++m_lowestFree;
        }
    }

    ShrinkOptions m_options;
    LsbBitWriter m_out;
    unsigned m_width = 9;
    unsigned m_lowestFree = kFirstString;
    unsigned m_sinceClear = 0;
    unsigned m_prefix[kCodes];
    uint8_t m_suffix[kCodes] = {};
    bool m_inUse[kCodes];
    std::unordered_map<uint32_t, unsigned> m_children; // (prefix, byte) -> code
};

// ---- Reduce ----

constexpr unsigned kDle = 144;

unsigned IndexBits(size_t n)
{
    unsigned bits = 1;
    while ((size_t{1} << bits) < n) {
        ++bits;
    }
    return bits;
}

// Stage 2: literals and matches as DLE escapes.
std::vector<uint8_t> DleStream(const std::vector<uint8_t>& data, unsigned factor)
{
    const unsigned lengthBits = 8 - factor;
    const unsigned allOnes = (1u << lengthBits) - 1;
    const unsigned window = 256u << factor;
    MatchFinder finder(data, window, 16);
    std::vector<uint8_t> stream;
    for (size_t i = 0; i < data.size();) {
        auto [length, distance] = finder.Find(i, 3, allOnes + 255 + 3);
        // 144 followed by 0 is a literal 144, so V = 0 (length 3 from at most 256 back)
        // cannot stand for a match.
        if (length == 3 && distance <= 256) {
            length = 0;
        }
        if (length == 0) {
            if (data[i] == kDle) {
                stream.push_back(kDle);
                stream.push_back(0);
            } else {
                stream.push_back(data[i]);
            }
            finder.InsertData(i++);
            continue;
        }
        const unsigned d = distance - 1;
        const unsigned field = std::min(length - 3, allOnes);
        stream.push_back(kDle);
        stream.push_back(static_cast<uint8_t>(((d >> 8) << lengthBits) | field));
        if (field == allOnes) {
            stream.push_back(static_cast<uint8_t>(length - 3 - allOnes));
        }
        stream.push_back(static_cast<uint8_t>(d & 0xFF));
        for (unsigned k = 0; k < length; ++k) {
            finder.InsertData(i++);
        }
    }
    return stream;
}

// ---- Implode ----

// Huffman code lengths for weights (all at least 1); the weights are halved until no code
// is longer than 16 bits. Ties go to the lower node number, so the result is deterministic.
std::vector<unsigned> LimitedLengths(std::vector<uint64_t> weights)
{
    const size_t n = weights.size();
    for (;;) {
        using Item = std::pair<uint64_t, size_t>;
        std::priority_queue<Item, std::vector<Item>, std::greater<Item>> queue;
        std::vector<size_t> parent(2 * n, 0);
        for (size_t i = 0; i < n; ++i) {
            queue.push({weights[i], i});
        }
        size_t next = n;
        while (queue.size() > 1) {
            Item a = queue.top();
            queue.pop();
            Item b = queue.top();
            queue.pop();
            parent[a.second] = next;
            parent[b.second] = next;
            queue.push({a.first + b.first, next++});
        }
        const size_t root = next - 1;
        std::vector<unsigned> lengths(n);
        unsigned longest = 0;
        for (size_t i = 0; i < n; ++i) {
            unsigned depth = 0;
            for (size_t node = i; node != root; node = parent[node]) {
                ++depth;
            }
            lengths[i] = depth;
            longest = std::max(longest, depth);
        }
        if (longest <= 16) {
            return lengths;
        }
        for (uint64_t& w : weights) {
            w = (w + 1) / 2;
        }
    }
}

struct SentCode
{
    std::vector<unsigned> lengths;
    std::vector<uint32_t> codes; // the top `length` bits of each value
};

// Builds a code from symbol counts and sends its description.
SentCode SendCode(const std::vector<uint64_t>& counts, LsbBitWriter& out)
{
    std::vector<uint64_t> weights(counts);
    for (uint64_t& w : weights) {
        ++w;
    }
    SentCode code;
    code.lengths = LimitedLengths(weights);
    std::vector<uint32_t> values;
    ShannonFanoValues(code.lengths, values);
    for (size_t s = 0; s < values.size(); ++s) {
        code.codes.push_back(values[s] >> (16 - code.lengths[s]));
    }
    std::vector<uint8_t> description;
    for (size_t s = 0; s < code.lengths.size();) {
        size_t run = 1;
        while (run < 16 && s + run < code.lengths.size() &&
               code.lengths[s + run] == code.lengths[s]) {
            ++run;
        }
        description.push_back(static_cast<uint8_t>(((run - 1) << 4) | (code.lengths[s] - 1)));
        s += run;
    }
    out.Put(static_cast<uint32_t>(description.size() - 1), 8);
    for (uint8_t b : description) {
        out.Put(b, 8);
    }
    return code;
}

struct Item
{
    unsigned length; // 0: a literal
    unsigned value;  // the literal, or the distance
};

} // namespace

std::vector<uint8_t> ShrinkEncode(const std::vector<uint8_t>& data, const ShrinkOptions& options)
{
    auto shrinker = std::make_unique<Shrinker>(options);
    return shrinker->Run(data);
}

std::vector<uint8_t> ReduceEncode(const std::vector<uint8_t>& data, const ReduceOptions& options)
{
    const std::vector<uint8_t> stream = DleStream(data, options.factor);
    // Follower sets: the most frequent successors of each byte in the stream.
    std::vector<std::vector<uint64_t>> counts(256, std::vector<uint64_t>(256, 0));
    unsigned last = 0;
    for (uint8_t c : stream) {
        ++counts[last][c];
        last = c;
    }
    std::vector<std::vector<uint8_t>> sets(256);
    for (unsigned j = 0; j < 256; ++j) {
        std::vector<unsigned> order(256);
        for (unsigned c = 0; c < 256; ++c) {
            order[c] = c;
        }
        std::stable_sort(order.begin(), order.end(),
                         [&](unsigned a, unsigned b) { return counts[j][a] > counts[j][b]; });
        for (unsigned k = 0; k < options.maxFollowers && counts[j][order[k]] != 0; ++k) {
            sets[j].push_back(static_cast<uint8_t>(order[k]));
        }
    }
    LsbBitWriter out;
    for (unsigned j = 256; j-- > 0;) {
        out.Put(static_cast<uint32_t>(sets[j].size()), 6);
        for (uint8_t c : sets[j]) {
            out.Put(c, 8);
        }
    }
    last = 0;
    for (uint8_t c : stream) {
        const std::vector<uint8_t>& set = sets[last];
        auto found = std::find(set.begin(), set.end(), c);
        if (set.empty()) {
            out.Put(c, 8);
        } else if (found == set.end()) {
            out.Put(1, 1);
            out.Put(c, 8);
        } else {
            out.Put(0, 1);
            out.Put(static_cast<uint32_t>(found - set.begin()), IndexBits(set.size()));
        }
        last = c;
    }
    return out.Bytes();
}

uint16_t ImplodeFlags(const ImplodeOptions& options)
{
    return static_cast<uint16_t>((options.bigWindow ? 2 : 0) | (options.literalCode ? 4 : 0));
}

std::vector<uint8_t> ImplodeEncode(const std::vector<uint8_t>& data, const ImplodeOptions& options)
{
    const unsigned window = options.bigWindow ? 8192 : 4096;
    const unsigned lowBits = options.bigWindow ? 7 : 6;
    const unsigned minimum = options.literalCode ? 3 : 2;
    MatchFinder finder(data, window, options.maxChain);
    std::vector<Item> items;
    std::vector<uint64_t> literalCounts(256), lengthCounts(64), distanceCounts(64);
    for (size_t i = 0; i < data.size();) {
        auto [length, distance] = finder.Find(i, minimum, minimum + 63 + 255);
        if (length == 0) {
            items.push_back({0, data[i]});
            ++literalCounts[data[i]];
            finder.InsertData(i++);
            continue;
        }
        items.push_back({length, distance});
        ++lengthCounts[std::min(length - minimum, 63u)];
        ++distanceCounts[(distance - 1) >> lowBits];
        for (unsigned k = 0; k < length; ++k) {
            finder.InsertData(i++);
        }
    }
    LsbBitWriter out;
    SentCode literals;
    if (options.literalCode) {
        literals = SendCode(literalCounts, out);
    }
    const SentCode lengths = SendCode(lengthCounts, out);
    const SentCode distances = SendCode(distanceCounts, out);
    for (const Item& item : items) {
        if (item.length == 0) {
            out.Put(1, 1);
            if (options.literalCode) {
                out.PutCode(literals.codes[item.value], literals.lengths[item.value]);
            } else {
                out.Put(item.value, 8);
            }
            continue;
        }
        const unsigned d = item.value - 1;
        const unsigned high = d >> lowBits;
        const unsigned s = std::min(item.length - minimum, 63u);
        out.Put(0, 1);
        out.Put(d & ((1u << lowBits) - 1), lowBits);
        out.PutCode(distances.codes[high], distances.lengths[high]);
        out.PutCode(lengths.codes[s], lengths.lengths[s]);
        if (s == 63) {
            out.Put(item.length - minimum - 63, 8);
        }
    }
    return out.Bytes();
}

} // namespace testsupport
