// LzhEncode over files and into memory.
#include "lzh/LzhCodec.h"

#include "archive/MemberStreams.h"
#include "lzh/LzhEncoder.h"
#include "lzh/LzhPrecompressor.h"
#include "platform/Workers.h"

#include <cstdint>

namespace
{

class MemorySink final : public ByteSink
{
public:
    explicit MemorySink(std::vector<uint8_t>& bytes) : m_bytes(bytes) {}
    bool Write(const uint8_t* data, size_t count) override
    {
        m_bytes.insert(m_bytes.end(), data, data + count);
        return true;
    }

private:
    std::vector<uint8_t>& m_bytes;
};

} // namespace

uint16_t LzhEncodeChecked(LzhCodecParams& params, bool* readFailed, bool* writeFailed,
                          unsigned threadCount)
{
    thread_local CLzhEncoder encoder;
    CFileSource source(params.input, params.unpackedSize);
    CMemberSink sink(params.output, UINT64_MAX, nullptr);
    LzhEncodeThreads threads;
    if (threadCount != 0) {
        threads.threads = threadCount;
    } else if (params.unpackedSize > CLzhPrecompressor::kMaxBytes) {
        threads.threads = platform::WorkerCount();
    }
    LzhEncodeResult result =
        encoder.Encode(source, sink, params.unpackedSize, params.method, threads);
    params.packedSize = result.packedSize;
    if (readFailed != nullptr) {
        *readFailed = source.readFailed || source.endedEarly; // it shrank while read
    }
    if (writeFailed != nullptr) {
        *writeFailed = result.writeFailed;
    }
    return result.crc;
}

uint16_t LzhEncodeToMemory(LzhCodecParams& params, std::vector<uint8_t>& packed, bool* readFailed,
                           const std::atomic<bool>* stop, unsigned threads)
{
    thread_local CLzhEncoder encoder;
    CFileSource source(params.input, params.unpackedSize, stop);
    MemorySink sink(packed);
    LzhEncodeThreads options;
    options.threads = threads;
    LzhEncodeResult result =
        encoder.Encode(source, sink, params.unpackedSize, params.method, options);
    params.packedSize = result.packedSize;
    *readFailed = source.readFailed || source.endedEarly;
    return result.crc;
}

uint16_t LzhEncode(LzhCodecParams& params)
{
    return LzhEncodeChecked(params, nullptr, nullptr);
}
