// ByteSource and ByteSink: where the codecs of both formats read their input and write their
// output, so that they run on files and on memory (tests, fuzzing) alike.
#pragma once

#include <cstddef>
#include <cstdint>

class ByteSource
{
public:
    // Fills up to capacity bytes; returns how many (0 when nothing is left).
    virtual uint32_t Read(uint8_t* buffer, uint32_t capacity) = 0;

protected:
    ~ByteSource() = default;
};

class ByteSink
{
public:
    // Takes the next count bytes of output; false when they could not all be kept.
    virtual bool Write(const uint8_t* data, size_t count) = 0;

protected:
    ~ByteSink() = default;
};
