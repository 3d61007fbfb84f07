// Method 12 through libbz2: one decompressor per stream, a new one for each stream that
// follows in the member.
#include "zip/ZipBzip2Decoder.h"

#include "zip/ZipCodecPump.h"

#include <bzlib.h>

#include <new>

struct CZipBzip2Decoder::State
{
    bz_stream stream{}; // the library's state while a stream is open
    bool open = false;  // BZ2_bzDecompressInit succeeded and End is still due
    CZipCodecPump pump; // the member's input and the output chunk

    // Opens a decompressor for the next stream; false with the status when it cannot.
    DecodeStatus Open()
    {
        Close();
        stream = bz_stream{};
        // Not the small mode: it halves the memory (2.5 bytes per block byte instead of 4)
        // at twice the time, and 3.6 MB is not worth the saving.
        int result = BZ2_bzDecompressInit(&stream, 0, 0);
        if (result != BZ_OK) {
            return result == BZ_MEM_ERROR ? DecodeStatus::NoMemory : DecodeStatus::Invalid;
        }
        open = true;
        return DecodeStatus::Ok;
    }
    void Close()
    {
        if (open) {
            BZ2_bzDecompressEnd(&stream);
            open = false;
        }
    }
};

namespace
{

DecodeStatus FromBzip2(int result)
{
    // BZ_DATA_ERROR: a block or stream CRC, or a table, breaks the format; BZ_DATA_ERROR_MAGIC:
    // no "BZh" signature. Sequence and parameter errors cannot come from data.
    return result == BZ_MEM_ERROR ? DecodeStatus::NoMemory : DecodeStatus::Invalid;
}

} // namespace

CZipBzip2Decoder::CZipBzip2Decoder() = default;

CZipBzip2Decoder::~CZipBzip2Decoder()
{
    if (m_state) {
        m_state->Close();
    }
}

DecodeStatus CZipBzip2Decoder::Decode(const ZipDecodeJob& job)
{
    if (!m_state) {
        m_state.reset(new (std::nothrow) State);
    }
    if (!m_state || !m_state->pump.Allocate()) {
        return DecodeStatus::NoMemory;
    }
    State& s = *m_state;
    s.pump.Reset(*job.source);
    bz_stream& z = s.stream;
    auto step = [&z](const uint8_t* input, size_t inputSize, uint8_t* output, size_t outputSize,
                     bool) {
        // Both sizes fit the library's unsigned int: they are the pump's chunks.
        z.next_in = const_cast<char*>(reinterpret_cast<const char*>(input));
        z.avail_in = static_cast<unsigned>(inputSize);
        z.next_out = reinterpret_cast<char*>(output);
        z.avail_out = static_cast<unsigned>(outputSize);
        int result = BZ2_bzDecompress(&z);
        ZipCodecStep r;
        r.consumed = inputSize - z.avail_in;
        r.produced = outputSize - z.avail_out;
        r.ended = result == BZ_STREAM_END;
        if (result != BZ_OK && result != BZ_STREAM_END) {
            r.status = FromBzip2(result);
        }
        return r;
    };
    DecodeStatus status = DecodeStatus::Ok;
    do {
        status = s.Open();
        if (status == DecodeStatus::Ok) {
            status = s.pump.Run(*job.sink, step);
        }
        s.Close();
    } while (status == DecodeStatus::Ok && s.pump.HasMoreInput());
    return status;
}
