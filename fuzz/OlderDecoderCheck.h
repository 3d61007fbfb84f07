// The checks of the fuzz targets of the older methods' decoders, on arbitrary compressed
// bytes: bytes 1-3 of the input give the size to produce (up to 1 MB), the rest is the
// member's data. Output never exceeds the size, a whole decode produces exactly it with the
// CRC of its bytes, a failed one reports what it gave the sink, and with a read size (step,
// not 0) the result does not depend on how the source splits its reads.
#pragma once

#include "lzh/Crc16.h"
#include "lzh/LzhMethodDecoder.h"
#include "tests/support/MemoryStreams.h"

#include <cstdlib>

inline void CheckOlderDecoder(const uint8_t* data, size_t size, uint32_t step,
                              CLzhMethodDecoder& decoder)
{
    if (size < 4) {
        return;
    }
    uint32_t unpacked = (data[1] | (data[2] << 8) | (data[3] << 16)) & 0xFFFFF;
    const uint8_t* packed = data + 4;
    auto packedSize = static_cast<uint32_t>(size - 4);
    testsupport::MemorySource whole(packed, packedSize);
    testsupport::VectorSink sink;
    LzhDecodeResult r = decoder.Decode({&whole, &sink, packedSize, unpacked});
    if (sink.bytes.size() > unpacked || r.produced != sink.bytes.size() ||
        r.crc != Crc16Update(0, sink.bytes.data(), static_cast<long>(sink.bytes.size()))) {
        std::abort();
    }
    if (r.status == DecodeStatus::Ok && sink.bytes.size() != unpacked) {
        std::abort();
    }
    if (step != 0) {
        testsupport::MemorySource stepped(packed, packedSize, step);
        LzhDecodeResult again = decoder.Decode({&stepped, nullptr, packedSize, unpacked});
        if (again.status != r.status || again.crc != r.crc || again.produced != r.produced) {
            std::abort();
        }
    }
}
