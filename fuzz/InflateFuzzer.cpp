// Fuzz target: Inflate on arbitrary bytes (the first byte picks plain or enhanced Deflate),
// which must agree with the reference inflater: the same status and, on success, the same
// bytes and CRC.
#include "fuzz/FuzzTarget.h"
#include "tests/support/MemoryStreams.h"
#include "tests/support/ReferenceInflate.h"
#include "zip/Crc32.h"
#include "zip/Inflate.h"

#include <cstdio>
#include <cstdlib>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1) {
        return 0;
    }
    bool enhanced = data[0] & 1;
    std::vector<uint8_t> input(data + 1, data + size);
    static CInflater inflater;
    testsupport::MemorySource source(input);
    testsupport::VectorSink sink;
    InflateStatus status = inflater.Inflate(source, &sink, enhanced);
    auto reference = testsupport::ReferenceInflate(input, enhanced);
    if (static_cast<int>(status) != reference.status) {
        std::fprintf(stderr, "inflater: %d, reference: %s\n", static_cast<int>(status),
                     testsupport::ReferenceInflateRuleName(reference.rule));
        std::abort();
    }
    if (status == kInflateOk &&
        (sink.bytes != reference.output ||
         inflater.crc != Crc32(0, reference.output.data(), reference.output.size()))) {
        std::abort();
    }
    return 0;
}
