// Start and flush of ZipOutputWindow.
#include "zip/ZipOutputWindow.h"

#include <cstring>

static_assert(ZipOutputWindow::kSlack >= 7936 && ZipOutputWindow::kSlack >= 385 + kCopyOverrun,
              "a decoding step must fit past the chunk's end");

void ZipOutputWindow::Start(ByteSink* to)
{
    std::memset(bytes, 0, kHistory);
    chunkEnd = Output() + kChunk;
    sink = to;
    refused = false;
}

uint8_t* ZipOutputWindow::Flush(uint8_t* upTo)
{
    const auto n = static_cast<size_t>(upTo - Output());
    if (n != 0 && !sink->Write(Output(), n)) {
        refused = true;
    }
    std::memmove(bytes, upTo - kHistory, kHistory);
    return Output();
}
