// The checks of the fuzz targets of the older methods' decoders, on arbitrary compressed
// bytes: bytes 1-3 of the input give the size to produce (up to 1 MB), the rest is the
// member's data. Output never exceeds the size, a whole decode produces exactly it with the
// CRC of its bytes, a failed one returns 0, and with a read size (step, not 0) the result
// does not depend on how the source splits its reads.
#pragma once

#include "lzh/Crc16.h"
#include "tests/support/MemoryStreams.h"

#include <cstdlib>

// decode(ByteSource&, ByteSink* or nullptr, uint32_t packedSize, uint32_t unpacked,
// bool& ok) returns the CRC-16 of what it produced.
template <typename Decode>
void CheckOlderDecoder(const uint8_t* data, size_t size, uint32_t step, Decode decode)
{
    if (size < 4) {
        return;
    }
    uint32_t unpacked = (data[1] | (data[2] << 8) | (data[3] << 16)) & 0xFFFFF;
    const uint8_t* packed = data + 4;
    auto packedSize = static_cast<uint32_t>(size - 4);
    testsupport::MemorySource whole(packed, packedSize);
    testsupport::VectorSink sink;
    bool ok = false;
    uint16_t crc = decode(whole, &sink, packedSize, unpacked, ok);
    if (sink.bytes.size() > unpacked) {
        std::abort();
    }
    if (unpacked == 0) {
        return;
    }
    if (ok ? (sink.bytes.size() != unpacked ||
              crc != Crc16Update(0, sink.bytes.data(), static_cast<long>(unpacked)))
           : crc != 0) {
        std::abort();
    }
    if (step != 0) {
        testsupport::MemorySource stepped(packed, packedSize, step);
        bool okStepped = false;
        uint16_t crcStepped = decode(stepped, nullptr, packedSize, unpacked, okStepped);
        if (okStepped != ok || crcStepped != crc) {
            std::abort();
        }
    }
}
