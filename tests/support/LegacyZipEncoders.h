// Test-side encoders of the PKZIP 1.x methods, Shrink, Reduce and Implode: plain and
// deterministic, for round trips, fuzz seeds and benchmark archives. They do not aim at good
// compression; they aim at streams that take every path of the decoders.
#pragma once

#include <cstdint>
#include <vector>

namespace testsupport
{

struct ShrinkOptions
{
    // A partial clear after every this many codes besides the ones a full table needs (0:
    // only those).
    unsigned clearEvery = 0;
};

// LZW as Shrink codes it: codes grow (256, 1) before one would not fit, and a full table is
// partially cleared (256, 2) before its next definition.
std::vector<uint8_t> ShrinkEncode(const std::vector<uint8_t>& data,
                                  const ShrinkOptions& options = {});

struct ReduceOptions
{
    unsigned factor = 4;        // compression factor 1-4 (method - 1)
    unsigned maxFollowers = 32; // at most this many bytes per follower set (0-32)
};

// Greedy matches (reaching before the start, where zeros stand) through DLE escapes, then the
// follower sets of the most frequent successors.
std::vector<uint8_t> ReduceEncode(const std::vector<uint8_t>& data, const ReduceOptions& options);

struct ImplodeOptions
{
    bool bigWindow = false;   // general-purpose bit 1: 8 KiB window
    bool literalCode = false; // bit 2: three codes, matches of 3 and more
    unsigned maxChain = 32;   // match candidates tried per position
};

// Greedy matches (reaching before the start, where zeros stand) with Huffman code lengths of
// at most 16 bits for every symbol, sent as the format's Shannon-Fano codes.
std::vector<uint8_t> ImplodeEncode(const std::vector<uint8_t>& data, const ImplodeOptions& options);
uint16_t ImplodeFlags(const ImplodeOptions& options);

} // namespace testsupport
