// Reference decoding of LHARK's -lh7-: bits taken one by one, canonical codes decoded by
// listing each symbol's codeword, a ring of 131,072 spaces as the history, counts and
// distances computed from their rules rather than tables. The stream is checked for its
// overrun after each block header and each command, and decoding stops as soon as the
// member's size is produced.
#include "tests/support/ReferenceLk7Decoder.h"

#include "lzh/Crc16.h"
#include "tests/support/ReferenceBits.h"
#include "tests/support/ReferenceCanonicalCode.h"

#include <algorithm>

namespace testsupport
{

const char* Lk7ErrorName(Lk7Error error)
{
    switch (error) {
    case Lk7Error::None:
        return "none";
    case Lk7Error::InputOverrun:
        return "input overrun";
    case Lk7Error::LengthTooLong:
        return "length too long";
    case Lk7Error::PreCodeOverfull:
        return "pre-code over-full";
    case Lk7Error::MainCodeOverfull:
        return "main code over-full";
    case Lk7Error::DistanceCodeOverfull:
        return "distance code over-full";
    case Lk7Error::NoPreCodeword:
        return "no pre-codeword";
    case Lk7Error::NoMainCodeword:
        return "no main codeword";
    case Lk7Error::NoDistanceCodeword:
        return "no distance codeword";
    case Lk7Error::MeaninglessMainSymbol:
        return "meaningless main symbol";
    case Lk7Error::MeaninglessDistanceSymbol:
        return "meaningless distance symbol";
    }
    return "?";
}

DecodeStatus StatusOf(Lk7Error error)
{
    switch (error) {
    case Lk7Error::None:
        return DecodeStatus::Ok;
    case Lk7Error::InputOverrun:
        return DecodeStatus::Truncated;
    default:
        return DecodeStatus::Invalid;
    }
}

namespace
{

struct Failure
{
    Lk7Error error;
};

void CheckOverrun(const ReferenceBits& bits)
{
    if (bits.Overrun()) {
        throw Failure{Lk7Error::InputOverrun};
    }
}

struct Codes
{
    CanonicalCode pre, main, distance;
};

// 3 bits; from 7 on, one more for each 1 bit up to the first 0.
unsigned ReadLengthValue(ReferenceBits& bits)
{
    unsigned x = bits.Take(3);
    if (x == 7) {
        while (bits.Bit() == 1) {
            if (++x > 16) {
                throw Failure{Lk7Error::LengthTooLong};
            }
        }
    }
    return x;
}

void MakeCode(const std::vector<unsigned>& lengths, CanonicalCode& code, Lk7Error overfull)
{
    if (std::any_of(lengths.begin(), lengths.end(), [](unsigned l) { return l > 16; })) {
        throw Failure{Lk7Error::LengthTooLong};
    }
    if (!MakeCanonical(lengths, code)) {
        throw Failure{overfull};
    }
}

void ReadPreCode(ReferenceBits& bits, Codes& codes)
{
    unsigned n = bits.Take(5);
    if (n == 0) {
        codes.pre = SingleSymbolCode(static_cast<int>(bits.Take(5)));
        return;
    }
    std::vector<unsigned> lengths;
    while (lengths.size() < n) {
        lengths.push_back(ReadLengthValue(bits));
        if (lengths.size() == 3) {
            for (unsigned z = bits.Take(2); z > 0; --z) {
                lengths.push_back(0);
            }
        }
    }
    lengths.resize(n); // zeros of the skip beyond n name no symbol
    MakeCode(lengths, codes.pre, Lk7Error::PreCodeOverfull);
}

void ReadMainCode(ReferenceBits& bits, Codes& codes)
{
    unsigned n = bits.Take(9);
    if (n == 0) {
        codes.main = SingleSymbolCode(static_cast<int>(bits.Take(9)));
        return;
    }
    n = std::min(n, 289u);
    std::vector<unsigned> lengths;
    while (lengths.size() < n) {
        int c = ReadSymbol(bits, codes.pre);
        if (c < 0) {
            throw Failure{Lk7Error::NoPreCodeword};
        }
        if (c == 0) {
            lengths.push_back(0);
        } else if (c == 1) {
            lengths.resize(lengths.size() + 3 + bits.Take(4), 0);
        } else if (c == 2) {
            lengths.resize(lengths.size() + 20 + bits.Take(9), 0);
        } else {
            lengths.push_back(static_cast<unsigned>(c) - 2);
            if (lengths.back() > 16) {
                throw Failure{Lk7Error::LengthTooLong};
            }
        }
    }
    lengths.resize(289, 0); // a zero run stops at n; symbols n..288 have no code
    MakeCode(lengths, codes.main, Lk7Error::MainCodeOverfull);
}

void ReadDistanceCode(ReferenceBits& bits, Codes& codes)
{
    unsigned n = bits.Take(6);
    if (n == 0) {
        codes.distance = SingleSymbolCode(static_cast<int>(bits.Take(6)));
        return;
    }
    std::vector<unsigned> lengths;
    for (unsigned k = 0; k < n; ++k) {
        lengths.push_back(ReadLengthValue(bits));
    }
    MakeCode(lengths, codes.distance, Lk7Error::DistanceCodeOverfull);
}

// Main symbols 256-288: 256-263 copy 3-10 bytes; from 264, k = (s - 260) / 4 extra bits
// over (4 + s mod 4) 2^k + 3; 288 copies 514.
unsigned ReadCount(ReferenceBits& bits, unsigned s)
{
    if (s < 264) {
        return s - 253;
    }
    if (s == 288) {
        return 514;
    }
    unsigned k = (s - 260) / 4;
    return (4 + s % 4) * (1u << k) + 3 + bits.Take(k);
}

// Distance symbols: 0-3 are d itself; from 4, k = (t - 2) / 2 extra bits over
// (2 + t mod 2) 2^k.
uint32_t ReadDistance(ReferenceBits& bits, unsigned t)
{
    if (t < 4) {
        return t;
    }
    unsigned k = (t - 2) / 2;
    return (2 + t % 2) * (1u << k) + bits.Take(k);
}

} // namespace

ReferenceLk7Result ReferenceLk7Decode(const std::vector<uint8_t>& packed, uint64_t unpackedSize)
{
    ReferenceLk7Result result;
    std::vector<uint8_t>& out = result.output;
    std::vector<uint8_t> ring(131072, ' ');
    ReferenceBits bits(packed);
    auto put = [&](uint8_t byte) {
        ring[out.size() % ring.size()] = byte;
        out.push_back(byte);
    };
    Codes codes;
    uint32_t commandsLeft = 0;
    try {
        while (out.size() < unpackedSize) {
            while (commandsLeft == 0) {
                commandsLeft = bits.Take(16);
                ReadPreCode(bits, codes);
                ReadMainCode(bits, codes);
                ReadDistanceCode(bits, codes);
                CheckOverrun(bits);
            }
            --commandsLeft;
            int s = ReadSymbol(bits, codes.main);
            if (s < 0 && !codes.main.single) {
                throw Failure{Lk7Error::NoMainCodeword};
            }
            if (s > 288) {
                throw Failure{Lk7Error::MeaninglessMainSymbol};
            }
            if (s < 256) {
                put(static_cast<uint8_t>(s));
            } else {
                unsigned count = ReadCount(bits, static_cast<unsigned>(s));
                int t = ReadSymbol(bits, codes.distance);
                if (t < 0 && !codes.distance.single) {
                    throw Failure{Lk7Error::NoDistanceCodeword};
                }
                if (t > 33) {
                    throw Failure{Lk7Error::MeaninglessDistanceSymbol};
                }
                uint32_t d = ReadDistance(bits, static_cast<unsigned>(t));
                for (unsigned i = 0; i < count && out.size() < unpackedSize; ++i) {
                    put(ring[(out.size() + ring.size() - d - 1) % ring.size()]);
                }
            }
            CheckOverrun(bits);
        }
    } catch (const Failure& f) {
        result.error = f.error;
    }
    result.crc = Crc16Update(0, out.data(), static_cast<long>(out.size()));
    return result;
}

} // namespace testsupport
