// LzhCodecParams, LzhDecode and LzhEncode: the LZH core's entry to the codecs, "-lh5-",
// "-lh6-" and "-lh7-" data (static Huffman blocks over an 8, 32 or 64 KB sliding dictionary)
// both ways, the same format with the 4 KB ("-lh4-") and 512 KB ("-lhx-") dictionaries and
// the older methods for reading.
#pragma once

#include "archive/ArchivePrompt.h"
#include "platform/File.h"

#include <atomic>
#include <cstdint>
#include <vector>

struct LzhCodecParams
{
    platform::FileHandle input;       // positioned at the member's first compressed byte
    platform::FileHandle output;      // the file to write, or invalid to decode without writing
    uint32_t unpackedSize;            // bytes to produce
    uint32_t packedSize;              // compressed bytes of the member
    int dictBits;                     // 13, 15 or 16; for decoding also 12 and 19
    int method;                       // 5, 6 or 7; decoding also takes kMethodLh4, Lhx, Lh1,
                                      // Lzs and Lz5
    CArchivePrompt* prompt = nullptr; // told of the progress of decoding (may stop it); or none
};

// Dictionary bits of a method number: 12 for kMethodLh4, 15 for 6, 16 for 7, 19 for
// kMethodLhx, else 13.
int DictBitsForMethod(int method);

// Decodes one member. Returns the CRC-16 of every byte produced (0 when ok ends false).
// ok is set true as decoding starts and false when a block's code tables are invalid;
// a member of size 0 decodes nothing and leaves ok as the caller set it. Compressed data
// that ends early reads as zero bits, which the caller's CRC check catches, as long as no
// more than CLzhDecoder::kMaxOverrunBits of them are needed; beyond that ok ends false.
uint16_t LzhDecode(const LzhCodecParams& params, bool& ok);

// LzhDecode that also tells whether the output file refused any bytes (a full disk), and
// whether the prompt asked to stop.
uint16_t LzhDecodeChecked(const LzhCodecParams& params, bool& ok, bool* writeFailed,
                          bool* cancelled = nullptr);

// Compresses unpackedSize bytes of input (not 0) with params.method (5, 6 or 7; others read
// as 5) into output, and sets params.packedSize. When the data would not shrink, encoding
// stops early with packedSize equal to unpackedSize, and the caller stores the file
// instead. Returns the CRC-16 of every byte read (the whole file only when encoding ran to
// its end).
uint16_t LzhEncode(LzhCodecParams& params);

// LzhEncode that also reports a failed read of the input or a failed write of the output.
uint16_t LzhEncodeChecked(LzhCodecParams& params, bool* readFailed, bool* writeFailed);

// LzhEncode into memory (params.output unused): the bytes are appended to packed; when the
// data would not shrink, what was made of it is left there and packedSize equals
// unpackedSize. When *stop becomes true the reading ends, as a failed read does.
uint16_t LzhEncodeToMemory(LzhCodecParams& params, std::vector<uint8_t>& packed, bool* readFailed,
                           const std::atomic<bool>* stop = nullptr);
