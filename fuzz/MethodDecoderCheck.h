// The checks of the fuzz targets of the decoders behind CLzhMethodDecoder, on arbitrary
// compressed bytes: byte 0 gives the source's read size (0 reads whole, else at most that
// many bytes per read), bytes 1-3 the size to produce (up to 1 MB), the rest is the
// member's data. The decoder must agree with the reference decoder (status, bytes, CRC),
// never produce more than the size, report what it produced with its CRC, produce exactly
// the size when it succeeds, and give the same result however the source splits its reads.
#pragma once

#include "lzh/Crc16.h"
#include "lzh/LzhMethodDecoder.h"
#include "tests/support/MemoryStreams.h"

#include <cstdlib>
#include <vector>

// reference(packed, unpacked) returns {DecodeStatus, bytes produced, CRC-16}.
template <typename Reference>
void CheckMethodDecoder(CLzhMethodDecoder& decoder, const uint8_t* data, size_t size,
                        Reference reference)
{
    if (size < 4) {
        return;
    }
    const uint32_t step = data[0];
    const uint32_t unpacked = (data[1] | (data[2] << 8) | (data[3] << 16)) & 0xFFFFF;
    const std::vector<uint8_t> packed(data + 4, data + size);

    testsupport::MemorySource whole(packed.data(), packed.size());
    testsupport::VectorSink sink;
    LzhDecodeResult r = decoder.Decode({&whole, &sink, packed.size(), unpacked});
    const std::vector<uint8_t>& out = sink.bytes;
    if (out.size() > unpacked || r.produced != out.size() ||
        r.crc != Crc16Update(0, out.data(), static_cast<long>(out.size())) ||
        (r.status == DecodeStatus::Ok && r.produced != unpacked)) {
        std::abort();
    }
    const auto [status, bytes, crc] = reference(packed, unpacked);
    if (status != r.status || bytes != out || crc != r.crc) {
        std::abort();
    }
    if (step != 0) {
        testsupport::MemorySource stepped(packed.data(), packed.size(), step);
        LzhDecodeResult s = decoder.Decode({&stepped, nullptr, packed.size(), unpacked});
        if (s.status != r.status || s.crc != r.crc || s.produced != r.produced) {
            std::abort();
        }
    }
}
