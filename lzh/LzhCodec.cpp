// LzhDecode and LzhEncode over files.
#include "lzh/LzhCodec.h"

#include "lzh/ArchiveEntry.h"
#include "lzh/LzhDecoder.h"
#include "lzh/LzhEncoder.h"

namespace
{

class FileSource final : public LzhByteSource
{
public:
    explicit FileSource(platform::FileHandle file) : m_file(file) {}
    uint32_t Read(uint8_t* buffer, uint32_t capacity) override
    {
        uint32_t got = 0;
        if (!platform::ReadFile(m_file, buffer, capacity, &got)) {
            failed = true;
            return 0;
        }
        return got;
    }
    bool failed = false;

private:
    platform::FileHandle m_file;
};

class FileSink final : public LzhByteSink
{
public:
    explicit FileSink(platform::FileHandle file) : m_file(file) {}
    bool Write(const uint8_t* data, size_t count) override
    {
        uint32_t written = 0;
        return platform::WriteFile(m_file, data, static_cast<uint32_t>(count), &written) &&
               written == count;
    }

private:
    platform::FileHandle m_file;
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

uint16_t LzhDecodeChecked(const LzhCodecParams& params, bool& ok, bool* writeFailed)
{
    // One decoder per thread, made on first use: its window and tables are reused.
    thread_local CLzhDecoder decoder;
    FileSource source(params.input);
    FileSink sink(params.output);
    return decoder.Decode(source, params.output != platform::kInvalidFile ? &sink : nullptr,
                          params.packedSize, params.unpackedSize, params.dictBits, ok, writeFailed);
}

uint16_t LzhDecode(const LzhCodecParams& params, bool& ok)
{
    return LzhDecodeChecked(params, ok, nullptr);
}

uint16_t LzhEncodeChecked(LzhCodecParams& params, bool* readFailed, bool* writeFailed)
{
    thread_local CLzhEncoder encoder;
    FileSource source(params.input);
    FileSink sink(params.output);
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

uint16_t LzhEncode(LzhCodecParams& params)
{
    return LzhEncodeChecked(params, nullptr, nullptr);
}
