// CLzhLarcDecoder: the decoder of LArc's LZSS methods "-lzs-" (2 KB window) and "-lz5-"
// (4 KB window, also written by LHarc 1.x), over the byte source and sink of CLzhDecoder.
#pragma once

#include "lzh/LzhDecoder.h"

#include <cstdint>
#include <memory>

class CLzhLarcDecoder
{
public:
    CLzhLarcDecoder();
    ~CLzhLarcDecoder();
    CLzhLarcDecoder(const CLzhLarcDecoder&) = delete;
    CLzhLarcDecoder& operator=(const CLzhLarcDecoder&) = delete;

    // Decodes packedSize bytes of source, stored with method (kMethodLzs or kMethodLz5),
    // into unpackedSize bytes and returns their CRC-16, or 0 when ok ends false. A null sink
    // only checks; a last match running past unpackedSize is cut there. ok is set true when
    // decoding starts and false when the data runs out (more than a few bytes of it
    // missing) or method is neither; size 0 decodes nothing and leaves ok as it was.
    // *writeFailed (when given) tells whether the sink refused any bytes.
    uint16_t Decode(ByteSource& source, ByteSink* sink, uint32_t packedSize, uint32_t unpackedSize,
                    int method, bool& ok, bool* writeFailed = nullptr);

private:
    struct State;
    std::unique_ptr<State> m_state;
};
