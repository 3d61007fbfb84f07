// The copy of a stored member.
#include "lzh/LzhStoredDecoder.h"

#include "lzh/Crc16.h"

#include <new>

namespace
{
constexpr uint32_t kBlock = 256 * 1024;
}

LzhDecodeResult CLzhStoredDecoder::Decode(const LzhDecodeJob& job)
{
    LzhDecodeResult result;
    if (job.unpackedSize == 0) {
        return result;
    }
    if (m_block == nullptr) {
        m_block.reset(new (std::nothrow) uint8_t[kBlock]);
        if (m_block == nullptr) {
            result.status = DecodeStatus::NoMemory;
            return result;
        }
    }
    uint8_t* block = m_block.get();
    while (result.produced < job.unpackedSize) {
        uint64_t left = job.unpackedSize - result.produced;
        uint32_t got =
            job.source->Read(block, left < kBlock ? static_cast<uint32_t>(left) : kBlock);
        if (got == 0) {
            result.status = DecodeStatus::Truncated;
            break;
        }
        result.crc = Crc16Update(result.crc, block, static_cast<long>(got));
        if (job.sink != nullptr && !job.sink->Write(block, got)) {
            result.status = DecodeStatus::OutputRefused;
            break;
        }
        result.produced += got;
    }
    return result;
}
