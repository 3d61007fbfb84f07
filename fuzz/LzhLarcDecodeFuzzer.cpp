// Fuzz target: the -lzs-/-lz5- decoder on arbitrary compressed bytes. Byte 0 picks the
// method (bit 0) and the source's read size (bits 1-7: 0 reads whole, else at most that
// many bytes per read); bytes 1-3 the size to produce (up to 1 MB). Output never exceeds
// the size, a whole decode produces exactly it with the CRC of its bytes, a failed one
// returns 0, and the result does not depend on how the source splits its reads.
#include "fuzz/FuzzTarget.h"
#include "lzh/ArchiveEntry.h"
#include "lzh/Crc16.h"
#include "lzh/LzhLarcDecoder.h"
#include "tests/support/MemoryStreams.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

namespace
{

// Gives at most `step` bytes per read, as a pipe or a short file read might.
class SteppedSource final : public LzhByteSource
{
public:
    SteppedSource(const uint8_t* data, size_t size, uint32_t step)
        : m_data(data), m_size(size), m_step(step)
    {}
    uint32_t Read(uint8_t* buffer, uint32_t capacity) override
    {
        size_t n = std::min<size_t>({capacity, m_step, m_size - m_pos});
        std::copy_n(m_data + m_pos, n, buffer);
        m_pos += n;
        return static_cast<uint32_t>(n);
    }

private:
    const uint8_t* m_data;
    size_t m_size;
    uint32_t m_step;
    size_t m_pos = 0;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 4) {
        return 0;
    }
    int method = (data[0] & 1) != 0 ? kMethodLz5 : kMethodLzs;
    uint32_t step = data[0] >> 1;
    uint32_t unpacked = (data[1] | (data[2] << 8) | (data[3] << 16)) & 0xFFFFF;
    const uint8_t* packed = data + 4;
    auto packedSize = static_cast<uint32_t>(size - 4);

    static CLzhLarcDecoder decoder;
    testsupport::MemorySource whole(packed, packedSize);
    testsupport::VectorSink sink;
    bool ok = false;
    uint16_t crc = decoder.Decode(whole, &sink, packedSize, unpacked, method, ok);
    if (sink.bytes.size() > unpacked) {
        std::abort();
    }
    if (unpacked == 0) {
        return 0;
    }
    if (ok ? (sink.bytes.size() != unpacked ||
              crc != Crc16Update(0, sink.bytes.data(), static_cast<long>(unpacked)))
           : crc != 0) {
        std::abort();
    }
    if (step != 0) {
        SteppedSource stepped(packed, packedSize, step);
        bool okStepped = false;
        uint16_t crcStepped =
            decoder.Decode(stepped, nullptr, packedSize, unpacked, method, okStepped);
        if (okStepped != ok || crcStepped != crc) {
            std::abort();
        }
    }
    return 0;
}
