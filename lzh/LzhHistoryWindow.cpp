// Delivery of LzhHistoryWindow's output.
#include "lzh/LzhHistoryWindow.h"

#include "lzh/Crc16.h"

#include <cstring>

void LzhHistoryWindow::Start(uint32_t dictSize, ByteSink* to)
{
    dict = dictSize;
    chunkEnd = bytes + dict + kChunk;
    crc = 0;
    sinkOk = true;
    sink = to;
}

uint8_t* LzhHistoryWindow::Flush(uint8_t* upTo)
{
    uint8_t* out0 = Output();
    auto n = static_cast<size_t>(upTo - out0);
    crc = Crc16Update(crc, out0, static_cast<long>(n));
    if (sink != nullptr && n > 0 && !sink->Write(out0, n)) {
        sinkOk = false;
    }
    std::memmove(bytes, upTo - dict, dict);
    return out0;
}
