// LzhCodecParams and LzhEncode: the LZH encoder over files, "-lh5-", "-lh6-" and "-lh7-" data
// (static Huffman blocks over an 8, 32 or 64 KB sliding dictionary). Decoding goes through
// the method table (LzhMethods.h).
#pragma once

#include "platform/File.h"

#include <atomic>
#include <cstdint>
#include <vector>

struct LzhCodecParams
{
    platform::FileHandle input;  // positioned at the file's first byte
    platform::FileHandle output; // the file to write (unused by LzhEncodeToMemory)
    uint32_t unpackedSize;       // bytes to read and compress
    uint32_t packedSize;         // set to the compressed bytes made
    int method;                  // kMethodLh5, Lh6 or Lh7
};

// Compresses unpackedSize bytes of input (not 0) with params.method (5, 6 or 7; others read
// as 5) into output, and sets params.packedSize. When the data would not shrink, encoding
// stops early with packedSize equal to unpackedSize, and the caller stores the file
// instead. Returns the CRC-16 of every byte read (the whole file only when encoding ran to
// its end).
uint16_t LzhEncode(LzhCodecParams& params);

// LzhEncode that also reports a failed read of the input or a failed write of the output.
// A long file is parsed on `threads` threads, with the same bytes; 0: on
// platform::WorkerCount() threads when it is larger than the precompressor takes
// (CLzhPrecompressor::kMaxBytes), else on one.
uint16_t LzhEncodeChecked(LzhCodecParams& params, bool* readFailed, bool* writeFailed,
                          unsigned threads = 0);

// LzhEncode into memory (params.output unused): the bytes are appended to packed; when the
// data would not shrink, what was made of it is left there and packedSize equals
// unpackedSize. When *stop becomes true the reading ends, as a failed read does. A long file
// is parsed on up to `threads` threads, with the same bytes.
uint16_t LzhEncodeToMemory(LzhCodecParams& params, std::vector<uint8_t>& packed, bool* readFailed,
                           const std::atomic<bool>* stop = nullptr, unsigned threads = 1);
