// LzhParseParallel: one member's "-lh5-"/"-lh6-"/"-lh7-" parse shared among threads, giving
// the tokens of the one-thread parse.
//
// The data is cut into rounds of W segments (W threads): one for the calling thread, which
// also codes every token, of (7 - W)/7 of S bytes (at least 2D), then one of S bytes per
// helper (S a whole number of dictionaries, at least 2D). A helper parses its segment ahead from a
// start of its own: the state just after the slide at the segment's first byte (chains of the D
// bytes before it, no crowded key), as if a match ended there. The calling thread parses
// the rest and, on reaching a segment parsed ahead, compares its state with the one the
// helper recorded at the first loop top in each 256 bytes: where the position, the match
// found there and the keys crowded since the last slide agree, every step on is the
// helper's, so the helper's tokens go out and its match finder takes over at the segment's
// end. Until they agree, or where they never do (as in long runs of one byte, whose longest
// matches keep other phases), the calling thread parses the segment itself.
//
// Each helper thread has two segments to parse, so that it begins the next while the calling
// thread takes its last.
//
// Memory: the input read ahead (at most 2W + 3 segments and 2D + 512 bytes), and for each of
// a helper's two segments a match finder (about 1.1 MB), the segment's input (S + 2D + 256
// bytes), its tokens (at most S + 256 bytes and one bit each), its records (28 bytes per 256
// data bytes) and the keys flagged crowded (2 bytes each, at most 32768 per D). With the
// default 256 KB segments, about 4 MB per helper.
#pragma once

#include "lzh/LzhBlockWriter.h"
#include "lzh/LzhMatchFinder.h"

#include <cstdint>
#include <memory>

struct LzhEncodeThreads
{
    unsigned threads = 1;          // threads in all, the calling one included
    uint32_t segment = 256u << 10; // S, rounded up to whole dictionaries
    uint32_t minimum = 1u << 20;   // shorter data is parsed on the calling thread alone
};

// Whether LzhParseParallel applies to `size` bytes with dictionaries of 2^dictBits bytes.
bool LzhParallelApplies(const LzhEncodeThreads& threads, int dictBits, uint32_t size);

// Parses the source into `blocks` (started, not finished) as the one-thread parse of finder
// would, using the threads asked for (fewer when they cannot start). Returns the CRC-16 of
// every byte read, or -1, having read nothing, when no helper could start or get memory.
// `finder` ends up holding one of the match finders used; *taken counts the segments whose
// helper's tokens went out (a function of the data and the parameters alone).
int LzhParseParallel(std::unique_ptr<CLzhMatchFinder>& finder, CLzhBlockWriter& blocks,
                     ByteSource& source, int dictBits, const LzhEncodeThreads& threads,
                     uint32_t* taken);
