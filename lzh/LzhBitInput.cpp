// Buffer refills of LzhBitInput.
#include "lzh/LzhBitInput.h"

#include <cstring>

void LzhBitInput::Start(ByteSource& from, uint32_t packedSize)
{
    source = &from;
    packedLeft = packedSize;
    next = buffer;
    end = buffer;
    bits = 0;
    count = 0;
    overread = 0;
}

void LzhBitInput::Fill(uint32_t want)
{
    auto kept = static_cast<uint32_t>(end - next);
    if (kept >= want || packedLeft == 0) {
        return;
    }
    std::memmove(buffer, next, kept);
    next = buffer;
    end = buffer + kept;
    // Short reads are retried until the buffer holds want bytes; a source that returns
    // nothing has ended, and the rest of the member reads as missing.
    while (kept < want && packedLeft > 0) {
        uint32_t room = kBufferSize - kept;
        uint32_t got = source->Read(buffer + kept, room < packedLeft ? room : packedLeft);
        if (got == 0) {
            packedLeft = 0;
            break;
        }
        got = got < packedLeft ? got : packedLeft;
        packedLeft -= got;
        kept += got;
        end = buffer + kept;
    }
}

void LzhBitInput::NeedSlow(unsigned need)
{
    Fill(8);
    if (end - next >= 8) {
        Load8();
        return;
    }
    // The member's last bytes: one at a time, then zeros, each zero byte counted.
    while (count < need) {
        uint64_t byte = 0;
        if (next < end) {
            byte = *next++;
        } else {
            ++overread;
        }
        bits |= byte << (56 - count);
        count += 8;
    }
}
