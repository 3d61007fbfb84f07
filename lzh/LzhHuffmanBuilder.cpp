// Tree building, length limiting and canonical codes of the LZH encoder.
#include "lzh/LzhHuffmanBuilder.h"

#include <cstring>

namespace
{

constexpr int kMaxNodes = 2 * kMaxHuffmanSymbols - 1;

struct TreeState
{
    uint16_t freq[kMaxNodes]; // symbol counts, then internal node sums (16-bit)
    uint16_t left[kMaxNodes]; // children of internal nodes
    uint16_t right[kMaxNodes];
    int heap[kMaxHuffmanSymbols + 1]; // 1-based
    int heapSize;
    int leafOrder[kMaxHuffmanSymbols];
    int leafCount;
    int n;
    uint16_t lengthCount[17];
};

// Sift down from position p: on equal counts the entry higher in the heap stays, and the
// left child is preferred.
void SiftDown(TreeState& t, int p)
{
    int x = t.heap[p];
    while (2 * p <= t.heapSize) {
        int c = 2 * p;
        if (c < t.heapSize && t.freq[t.heap[c]] > t.freq[t.heap[c + 1]]) {
            ++c;
        }
        if (t.freq[x] <= t.freq[t.heap[c]]) {
            break;
        }
        t.heap[p] = t.heap[c];
        p = c;
    }
    t.heap[p] = x;
}

// Counts leaves per depth (left subtree first), depths above 16 counted as 16.
void CountDepths(TreeState& t, int node, int depth)
{
    if (node < t.n) {
        ++t.lengthCount[depth < 16 ? depth : 16];
        return;
    }
    CountDepths(t, t.left[node], depth + 1);
    CountDepths(t, t.right[node], depth + 1);
}

void LimitLengths(TreeState& t, int root, uint8_t* lengths)
{
    std::memset(t.lengthCount, 0, sizeof t.lengthCount);
    CountDepths(t, root, 0);
    unsigned sum = 0;
    for (int l = 1; l <= 16; ++l) {
        sum += static_cast<unsigned>(t.lengthCount[l]) << (16 - l);
    }
    sum &= 0xFFFF; // a tree within 16 levels fills the space exactly: 65536 wraps to 0
    if (sum != 0) {
        t.lengthCount[16] = static_cast<uint16_t>(t.lengthCount[16] - sum);
        for (unsigned s = sum; s > 0; --s) {
            for (int l = 15; l >= 1; --l) {
                if (t.lengthCount[l] > 0) {
                    --t.lengthCount[l];
                    t.lengthCount[l + 1] = static_cast<uint16_t>(t.lengthCount[l + 1] + 2);
                    break;
                }
            }
        }
    }
    int next = 0;
    for (int l = 16; l >= 1; --l) {
        for (unsigned k = t.lengthCount[l]; k > 0; --k) {
            lengths[t.leafOrder[next++]] = static_cast<uint8_t>(l);
        }
    }
}

void MakeCodes(const TreeState& t, HuffmanCode& code)
{
    uint16_t start[18];
    start[1] = 0;
    for (int l = 1; l <= 16; ++l) {
        start[l + 1] = static_cast<uint16_t>(start[l] + (t.lengthCount[l] << (16 - l)));
    }
    for (int i = 0; i < t.n; ++i) {
        int l = code.lengths[i];
        if (l > 0) {
            code.codes[i] = start[l];
            start[l] = static_cast<uint16_t>(start[l] + (1u << (16 - l)));
        }
    }
}

} // namespace

int BuildHuffmanCode(const uint16_t* counts, int n, HuffmanCode& code, uint16_t& rootCount)
{
    static thread_local TreeState t;
    t.n = n;
    std::memset(code.lengths, 0, static_cast<size_t>(n));
    std::memcpy(t.freq, counts, static_cast<size_t>(n) * sizeof(uint16_t));
    t.heap[1] = 0;
    t.heapSize = 0;
    for (int i = 0; i < n; ++i) {
        if (t.freq[i] != 0) {
            t.heap[++t.heapSize] = i;
        }
    }
    if (t.heapSize < 2) {
        int root = t.heap[1];
        code.codes[root] = 0;
        rootCount = t.freq[root];
        return root;
    }
    for (int p = t.heapSize / 2; p >= 1; --p) {
        SiftDown(t, p);
    }
    t.leafCount = 0;
    int next = n;
    int k = n;
    while (t.heapSize > 1) {
        int i = t.heap[1];
        if (i < n) {
            t.leafOrder[t.leafCount++] = i;
        }
        t.heap[1] = t.heap[t.heapSize--];
        SiftDown(t, 1);
        int j = t.heap[1];
        if (j < n) {
            t.leafOrder[t.leafCount++] = j;
        }
        k = next++;
        t.freq[k] = static_cast<uint16_t>(t.freq[i] + t.freq[j]);
        t.heap[1] = k;
        SiftDown(t, 1);
        t.left[k] = static_cast<uint16_t>(i);
        t.right[k] = static_cast<uint16_t>(j);
    }
    LimitLengths(t, k, code.lengths);
    MakeCodes(t, code);
    rootCount = t.freq[k];
    return k;
}
