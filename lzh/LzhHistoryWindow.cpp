// Delivery of LzhHistoryWindowOf's output.
#include "lzh/LzhHistoryWindow.h"

#include "lzh/Crc16.h"

#include <cstring>

void LzhWindowOutput::Begin(uint8_t* bytes, uint32_t dictSize, uint32_t chunk, ByteSink* to)
{
    dict = dictSize;
    chunkEnd = bytes + dict + chunk;
    crc = 0;
    sinkOk = true;
    sink = to;
}

void LzhWindowOutput::DeliverLast(uint8_t* bytes, uint8_t* upTo)
{
    uint8_t* out0 = bytes + dict;
    auto n = static_cast<size_t>(upTo - out0);
    crc = Crc16Update(crc, out0, static_cast<long>(n));
    if (sink != nullptr && n > 0 && !sink->Write(out0, n)) {
        sinkOk = false;
    }
}

uint8_t* LzhWindowOutput::Deliver(uint8_t* bytes, uint8_t* upTo)
{
    DeliverLast(bytes, upTo);
    std::memmove(bytes, upTo - dict, dict);
    return bytes + dict;
}
