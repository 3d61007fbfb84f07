// Running a CLzhMethodDecoder over bytes in memory, for the tests of the decoders of
// PMarc's and LHARK's methods.
#pragma once

#include "lzh/LzhMethodDecoder.h"
#include "tests/support/MemoryStreams.h"

#include <cstdint>
#include <vector>

namespace testsupport
{

struct MethodDecoded
{
    LzhDecodeResult result;
    std::vector<uint8_t> bytes; // what the sink was given
};

// Decodes packed into size bytes, the source giving at most step bytes per read.
inline MethodDecoded RunMethodDecoder(CLzhMethodDecoder& decoder,
                                      const std::vector<uint8_t>& packed, uint64_t size,
                                      uint32_t step = UINT32_MAX)
{
    MemorySource source(packed.data(), packed.size(), step);
    VectorSink sink;
    MethodDecoded d;
    d.result = decoder.Decode({&source, &sink, packed.size(), size});
    d.bytes = std::move(sink.bytes);
    return d;
}

} // namespace testsupport
