// LzhDecode and LzhEncode over files.
#include "lzh/LzhCodec.h"

#include "lzh/ArchiveEntry.h"
#include "lzh/LzhDecoder.h"
#include "lzh/LzhEncoder.h"
#include "lzh/LzhLarcDecoder.h"
#include "lzh/LzhLh1Decoder.h"

#include <cstdint>

namespace
{

class FileSource final : public ByteSource
{
public:
    // Reads at most size bytes; a file that ends before them fails (it shrank while read),
    // and so does reading once *stop is set.
    explicit FileSource(platform::FileHandle file, uint32_t size = UINT32_MAX,
                        const std::atomic<bool>* stop = nullptr)
        : m_file(file), m_left(size), m_stop(stop)
    {}
    uint32_t Read(uint8_t* buffer, uint32_t capacity) override
    {
        uint32_t got = 0;
        uint32_t asked = capacity < m_left ? capacity : m_left;
        if (asked == 0) {
            return 0;
        }
        if (m_stop != nullptr && m_stop->load(std::memory_order_relaxed)) {
            failed = true;
            return 0;
        }
        if (!platform::ReadFile(m_file, buffer, asked, &got)) {
            failed = true;
            return 0;
        }
        failed = failed || got == 0;
        m_left -= got;
        return got;
    }
    bool failed = false;

private:
    platform::FileHandle m_file;
    uint32_t m_left;
    const std::atomic<bool>* m_stop;
};

// The output file (none: bytes only counted), telling the prompt how far the member is.
class FileSink final : public ByteSink
{
public:
    FileSink(platform::FileHandle file, CArchivePrompt* prompt, uint64_t total)
        : m_file(file), m_prompt(prompt), m_total(total)
    {}
    bool Write(const uint8_t* data, size_t count) override
    {
        m_done += count;
        if (m_prompt != nullptr && !m_prompt->ReportProgress(m_done, m_total)) {
            cancelled = true;
            return false;
        }
        uint32_t written = 0;
        return m_file == platform::kInvalidFile ||
               (platform::WriteFile(m_file, data, static_cast<uint32_t>(count), &written) &&
                written == count);
    }

    bool cancelled = false;

private:
    platform::FileHandle m_file;
    CArchivePrompt* m_prompt;
    uint64_t m_total;
    uint64_t m_done = 0;
};

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

int DictBitsForMethod(int method)
{
    switch (method) {
    case kMethodLh4:
        return 12;
    case kMethodLh6:
        return 15;
    case kMethodLh7:
        return 16;
    case kMethodLhx:
        return 19;
    default:
        return 13;
    }
}

uint16_t LzhDecodeChecked(const LzhCodecParams& params, bool& ok, bool* writeFailed,
                          bool* cancelled)
{
    // One decoder of each family per thread, made on first use: windows and tables are reused.
    FileSource source(params.input);
    FileSink sink(params.output, params.prompt, params.unpackedSize);
    bool sinking = params.output != platform::kInvalidFile || params.prompt != nullptr;
    ByteSink* to = sinking ? &sink : nullptr;
    struct Cancelled
    {
        const FileSink& sink;
        bool* out;
        ~Cancelled()
        {
            if (out != nullptr) {
                *out = sink.cancelled;
            }
        }
    } tell{sink, cancelled};
    switch (params.method) {
    case kMethodLh1: {
        thread_local CLzhLh1Decoder lh1;
        return lh1.Decode(source, to, params.packedSize, params.unpackedSize, ok, writeFailed);
    }
    case kMethodLzs:
    case kMethodLz5: {
        thread_local CLzhLarcDecoder larc;
        return larc.Decode(source, to, params.packedSize, params.unpackedSize, params.method, ok,
                           writeFailed);
    }
    case kMethodPm1:
    case kMethodPm2:
        // PMarc's compressed methods have no decoder here: such members fail.
        ok = false;
        if (writeFailed != nullptr) {
            *writeFailed = false;
        }
        return 0;
    default: {
        thread_local CLzhDecoder decoder;
        return decoder.Decode(source, to, params.packedSize, params.unpackedSize, params.dictBits,
                              ok, writeFailed);
    }
    }
}

uint16_t LzhDecode(const LzhCodecParams& params, bool& ok)
{
    return LzhDecodeChecked(params, ok, nullptr);
}

uint16_t LzhEncodeChecked(LzhCodecParams& params, bool* readFailed, bool* writeFailed)
{
    thread_local CLzhEncoder encoder;
    FileSource source(params.input, params.unpackedSize);
    FileSink sink(params.output, nullptr, 0);
    LzhEncodeResult result = encoder.Encode(source, sink, params.unpackedSize, params.method);
    params.packedSize = result.packedSize;
    if (readFailed != nullptr) {
        *readFailed = source.failed;
    }
    if (writeFailed != nullptr) {
        *writeFailed = result.writeFailed;
    }
    return result.crc;
}

uint16_t LzhEncodeToMemory(LzhCodecParams& params, std::vector<uint8_t>& packed, bool* readFailed,
                           const std::atomic<bool>* stop)
{
    thread_local CLzhEncoder encoder;
    FileSource source(params.input, params.unpackedSize, stop);
    MemorySink sink(packed);
    LzhEncodeResult result = encoder.Encode(source, sink, params.unpackedSize, params.method);
    params.packedSize = result.packedSize;
    *readFailed = source.failed;
    return result.crc;
}

uint16_t LzhEncode(LzhCodecParams& params)
{
    return LzhEncodeChecked(params, nullptr, nullptr);
}
