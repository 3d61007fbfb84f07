// CLzhLh1Decoder: the decoder of LHarc 1.x's "-lh1-" (LZSS over a 4 KB window; literals and
// match lengths in an adaptive Huffman code), over the byte source and sink of CLzhDecoder.
#pragma once

#include "lzh/LzhDecoder.h"

#include <cstdint>
#include <memory>

class CLzhLh1Decoder
{
public:
    CLzhLh1Decoder();
    ~CLzhLh1Decoder();
    CLzhLh1Decoder(const CLzhLh1Decoder&) = delete;
    CLzhLh1Decoder& operator=(const CLzhLh1Decoder&) = delete;

    // Decodes packedSize bytes of source into unpackedSize bytes and returns their CRC-16,
    // or 0 when ok ends false. A null sink only checks; a last match running past
    // unpackedSize is cut there. ok is set true when decoding starts and false when the
    // data runs out (more than a few bytes of it missing); size 0 decodes nothing and
    // leaves ok as it was. *writeFailed (when given) tells whether the sink refused any
    // bytes.
    uint16_t Decode(ByteSource& source, ByteSink* sink, uint32_t packedSize, uint32_t unpackedSize,
                    bool& ok, bool* writeFailed = nullptr);

private:
    struct State;
    std::unique_ptr<State> m_state;
};
