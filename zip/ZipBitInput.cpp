// Buffer refills of ZipBitInput.
#include "zip/ZipBitInput.h"

void ZipBitInput::Start(ByteSource& from)
{
    source = &from;
    next = buffer;
    end = buffer;
    bits = 0;
    count = 0;
    padBits = 0;
    sourceEnded = false;
}

void ZipBitInput::Fill(uint32_t want)
{
    auto kept = static_cast<uint32_t>(end - next);
    if (kept >= want || sourceEnded) {
        return;
    }
    std::memmove(buffer, next, kept);
    next = buffer;
    end = buffer + kept;
    // Short reads are retried until the buffer holds want bytes; a source that returns
    // nothing has ended.
    while (kept < want) {
        uint32_t got = source->Read(buffer + kept, kBufferSize - kept);
        if (got == 0) {
            sourceEnded = true;
            break;
        }
        kept += got;
        end = buffer + kept;
    }
}

void ZipBitInput::RefillSlow()
{
    Fill(8);
    if (end - next >= 8) {
        Load8();
        return;
    }
    // The member's last bytes one at a time, then zero bytes, counted. Padding goes in only
    // once the real bytes are all in, so that it always lies above them.
    while (count < kRefillBits) {
        if (next < end) {
            bits |= uint64_t{*next++} << count;
        } else {
            padBits += 8;
        }
        count += 8;
    }
}
