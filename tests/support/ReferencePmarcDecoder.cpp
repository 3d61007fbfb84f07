// Reference decoding of PMarc's methods. Bits are taken one by one; -pm1-'s fixed codes are
// matched as codeword strings, -pm2-'s canonical codes by listing each symbol's codeword;
// the recency list is a vector in which a byte is erased and inserted at the front; the
// history is the output itself (-pm1-) or a ring of spaces (-pm2-). The stream is checked
// for its overrun after each command and each set of code descriptions, and decoding stops
// as soon as the member's size is produced.
#include "tests/support/ReferencePmarcDecoder.h"

#include "lzh/Crc16.h"
#include "tests/support/ReferenceBits.h"
#include "tests/support/ReferenceCanonicalCode.h"

#include <algorithm>
#include <sstream>
#include <stdexcept>
#include <string>
#include <utility>

namespace testsupport
{

const char* PmarcErrorName(PmarcError error)
{
    switch (error) {
    case PmarcError::None:
        return "none";
    case PmarcError::InputOverrun:
        return "input overrun";
    case PmarcError::CopyBeforeStart:
        return "copy before start";
    case PmarcError::LengthTooLong:
        return "length too long";
    case PmarcError::MainCodeOverfull:
        return "main code over-full";
    case PmarcError::ClassCodeOverfull:
        return "class code over-full";
    case PmarcError::NoMainCodeword:
        return "no main codeword";
    case PmarcError::NoClassCodeword:
        return "no class codeword";
    case PmarcError::MeaninglessSymbol:
        return "meaningless symbol";
    }
    return "?";
}

DecodeStatus StatusOf(PmarcError error)
{
    switch (error) {
    case PmarcError::None:
        return DecodeStatus::Ok;
    case PmarcError::InputOverrun:
        return DecodeStatus::Truncated;
    default:
        return DecodeStatus::Invalid;
    }
}

namespace
{

struct Failure
{
    PmarcError error;
};

// The 256 byte values, most recently produced first.
class RecencyList
{
public:
    RecencyList()
    {
        const std::pair<int, int> groups[] = {
            {0x20, 0x7F}, {0x00, 0x1F}, {0xA0, 0xDF}, {0x80, 0x9F}, {0xE0, 0xFF}};
        for (auto [from, to] : groups) {
            for (int v = from; v <= to; ++v) {
                m_list.push_back(static_cast<uint8_t>(v));
            }
        }
    }
    uint8_t At(unsigned rank) const { return m_list.at(rank); }
    void MoveToFront(uint8_t byte)
    {
        m_list.erase(std::find(m_list.begin(), m_list.end(), byte));
        m_list.insert(m_list.begin(), byte);
    }

private:
    std::vector<uint8_t> m_list;
};

void CheckOverrun(const ReferenceBits& bits)
{
    if (bits.Overrun()) {
        throw Failure{PmarcError::InputOverrun};
    }
}

// ---- -pm1- ----

// The literal range index codes by selector: for each index its codewords, separated by
// spaces, or "-" where the index has none.
const char* const kPm1RangeCodes[32][6] = {
    /*  0 */ {"0000", "0001", "001", "01", "10", "11"},
    /*  1 */ {"000", "001", "010", "10", "11", "011"},
    /*  2 */ {"000", "001", "01", "10", "110", "111"},
    /*  3 */ {"00", "010", "011", "10", "110", "111"},
    /*  4 */ {"00", "010", "10", "011", "110", "111"},
    /*  5 */ {"00", "010", "10", "11", "0110", "0111"},
    /*  6 */ {"00", "01", "100", "101", "110", "111"},
    /*  7 */ {"00", "01", "100", "11", "1010", "1011"},
    /*  8 */ {"00", "01", "10", "110", "1110", "1111"},
    /*  9 */ {"0", "1000", "101", "110", "111", "1001"},
    /* 10 */ {"0", "1000", "101", "11", "10010", "10011"},
    /* 11 */ {"0", "1000", "1001", "101", "110", "111"},
    /* 12 */ {"0", "100", "1010", "110", "111", "1011"},
    /* 13 */ {"0", "100", "101", "110", "1110", "1111"},
    /* 14 */ {"0", "100", "11", "1010", "10110", "10111"},
    /* 15 */ {"0", "10", "1100", "1101", "1110", "1111"},
    /* 16 */ {"0", "10", "110", "1110", "11110", "11111"},
    /* 17 */ {"-", "-", "01", "000 10", "001 11", "-"},
    /* 18 */ {"00", "010", "10", "11", "011", "-"},
    /* 19 */ {"00", "01", "10", "110", "111", "-"},
    /* 20 */ {"0", "1000", "101", "11", "1001", "-"},
    /* 21 */ {"0", "100", "101", "110", "111", "-"},
    /* 22 */ {"0", "100", "11", "1010", "1011", "-"},
    /* 23 */ {"0", "10", "110", "1110", "1111", "-"},
    /* 24 */ {"000", "001", "01", "1", "-", "-"},
    /* 25 */ {"00", "010", "1", "011", "-", "-"},
    /* 26 */ {"00", "01", "10", "11", "-", "-"},
    /* 27 */ {"0", "100", "11", "101", "-", "-"},
    /* 28 */ {"0", "10", "110", "111", "-", "-"},
    /* 29 */ {"0", "10", "11", "-", "-", "-"},
    /* 30 */ {"0", "1", "-", "-", "-", "-"},
    /* 31 */ {"-", "-", "-", "-", "-", "-"}, // no bits: index 0
};

// The codewords of kPm1RangeCodes, split: [selector][index] lists them.
std::vector<std::vector<std::vector<std::string>>> SplitRangeCodes()
{
    std::vector<std::vector<std::vector<std::string>>> split(32);
    for (unsigned selector = 0; selector < 32; ++selector) {
        for (const char* text : kPm1RangeCodes[selector]) {
            std::istringstream words(text);
            std::vector<std::string> codes;
            for (std::string code; words >> code;) {
                if (code != "-") {
                    codes.push_back(code);
                }
            }
            split[selector].push_back(codes);
        }
    }
    return split;
}

unsigned ReadRangeIndex(ReferenceBits& bits, unsigned selector)
{
    static const auto kCodes = SplitRangeCodes();
    if (selector == 31) {
        return 0;
    }
    std::string read;
    while (read.size() < 5) {
        read += bits.Bit() != 0 ? '1' : '0';
        for (unsigned index = 0; index < 6; ++index) {
            const std::vector<std::string>& codes = kCodes[selector][index];
            if (std::find(codes.begin(), codes.end(), read) != codes.end()) {
                return index;
            }
        }
    }
    throw std::logic_error("the range index codes are complete");
}

uint8_t ReadPm1Literal(ReferenceBits& bits, unsigned selector, const RecencyList& list)
{
    const unsigned base[6] = {0, 16, 32, 64, 128, 192};
    const unsigned extra[6] = {4, 4, 5, 6, 6, 6};
    unsigned index = ReadRangeIndex(bits, selector);
    return list.At(base[index] + bits.Take(extra[index]));
}

unsigned ReadRunLength(ReferenceBits& bits)
{
    unsigned v = bits.Take(2);
    if (v <= 2) {
        return 1 + v;
    }
    unsigned w = bits.Take(3);
    if (w <= 6) {
        return 4 + w;
    }
    unsigned x = bits.Take(4);
    if (x <= 13) {
        return 11 + x;
    }
    return x == 14 ? 25 + bits.Take(6) : 89 + bits.Take(7);
}

// A copy type by the bits that exist at P: after a first 0 a "type 4?" bit (P >= 576), then
// a "1 rather than 0" bit (P >= 64); after a first 1 a "not type 3" bit (P >= 64), then a
// "2 rather than 5" bit (P >= 2624).
unsigned ReadCopyType(ReferenceBits& bits, uint64_t p)
{
    if (bits.Bit() == 0) {
        if (p >= 576 && bits.Bit() == 1) {
            return 4;
        }
        return p >= 64 ? bits.Bit() : 0;
    }
    if (p >= 64 && bits.Bit() == 0) {
        return 3;
    }
    if (p >= 2624) {
        return bits.Bit() == 1 ? 2 : 5;
    }
    return 2;
}

unsigned ReadCopyCount(ReferenceBits& bits)
{
    unsigned v = bits.Take(2);
    if (v <= 2) {
        return 3 + v;
    }
    unsigned w = bits.Take(3);
    switch (w) {
    case 5:
        return 11 + bits.Take(2);
    case 6:
        return 15 + bits.Take(3);
    case 7: {
        unsigned x = bits.Take(6);
        if (x <= 61) {
            return 23 + x;
        }
        return x == 62 ? 85 + bits.Take(5) : 117 + bits.Take(7);
    }
    default:
        return 6 + w;
    }
}

// The distance: types 0 and 2 take 6 bits, type 1 8 bits over 64; types 3-5 the smallest
// width from 8 bits on whose range base + 2^k passes P, at most their widest.
uint32_t ReadDistance(ReferenceBits& bits, unsigned type, uint64_t p)
{
    if (type == 0 || type == 2) {
        return bits.Take(6);
    }
    if (type == 1) {
        return 64 + bits.Take(8);
    }
    const uint32_t base[6] = {0, 64, 0, 64, 576, 2624};
    const unsigned widest[6] = {6, 8, 6, 9, 11, 13};
    unsigned k = 8;
    while (k < widest[type] && base[type] + (uint64_t{1} << k) <= p) {
        ++k;
    }
    return base[type] + bits.Take(k);
}

// ---- -pm2- ----

struct Pm2Codes
{
    CanonicalCode main;
    CanonicalCode classes;
    bool hasClasses = false; // F
};

void ReadPm2Main(ReferenceBits& bits, Pm2Codes& codes)
{
    unsigned n = bits.Take(5);
    unsigned m = bits.Take(3);
    codes.hasClasses = n >= 10 && !(n == 29 && m == 0);
    if (m == 0) {
        codes.main = SingleSymbolCode(static_cast<int>(n) - 1);
        return;
    }
    unsigned w = bits.Take(3);
    std::vector<unsigned> lengths(31, 0);
    for (unsigned k = 0; k < n; ++k) {
        unsigned v = bits.Take(w);
        lengths[k] = v == 0 ? 0 : m + v - 1;
    }
    if (std::any_of(lengths.begin(), lengths.end(), [](unsigned l) { return l > 16; })) {
        throw Failure{PmarcError::LengthTooLong};
    }
    if (!MakeCanonical(lengths, codes.main)) {
        throw Failure{PmarcError::MainCodeOverfull};
    }
}

void ReadPm2Classes(ReferenceBits& bits, unsigned classes, Pm2Codes& codes)
{
    if (!codes.hasClasses) {
        return;
    }
    std::vector<unsigned> lengths;
    for (unsigned k = 0; k < classes; ++k) {
        lengths.push_back(bits.Take(3));
    }
    if (std::count_if(lengths.begin(), lengths.end(), [](unsigned l) { return l != 0; }) == 1) {
        auto lone = std::find_if(lengths.begin(), lengths.end(), [](unsigned l) { return l != 0; });
        codes.classes = SingleSymbolCode(static_cast<int>(lone - lengths.begin()));
        return;
    }
    if (!MakeCanonical(lengths, codes.classes)) {
        throw Failure{PmarcError::ClassCodeOverfull};
    }
}

void ReadPm2Refresh(ReferenceBits& bits, uint64_t point, Pm2Codes& codes)
{
    if (point == 1024) {
        ReadPm2Classes(bits, 6, codes);
    } else if (point == 2048) {
        ReadPm2Classes(bits, 7, codes);
    } else if (point == 4096) {
        if (bits.Bit() == 1) {
            ReadPm2Main(bits, codes);
        }
        ReadPm2Classes(bits, 8, codes);
    } else if (bits.Bit() == 1) {
        ReadPm2Main(bits, codes);
        ReadPm2Classes(bits, 8, codes);
    }
}

} // namespace

ReferencePmarcResult ReferencePm1Decode(const std::vector<uint8_t>& packed, uint64_t unpackedSize)
{
    ReferencePmarcResult result;
    std::vector<uint8_t>& out = result.output;
    RecencyList list;
    ReferenceBits bits(packed);
    auto put = [&](uint8_t byte) {
        out.push_back(byte);
        list.MoveToFront(byte);
    };
    try {
        unsigned selector = unpackedSize > 0 ? bits.Take(5) : 0;
        while (out.size() < unpackedSize) {
            bool copyFollows = true;
            if (bits.Bit() == 1) {
                unsigned run = ReadRunLength(bits);
                for (unsigned i = 0; i < run && out.size() < unpackedSize; ++i) {
                    put(ReadPm1Literal(bits, selector, list));
                }
                CheckOverrun(bits);
                copyFollows = run < 216 && out.size() < unpackedSize;
            }
            if (!copyFollows) {
                continue;
            }
            const uint64_t p = out.size();
            unsigned type = ReadCopyType(bits, p);
            unsigned count = type <= 1 ? 2 : ReadCopyCount(bits);
            uint32_t d = ReadDistance(bits, type, p);
            if (d >= p) {
                throw Failure{PmarcError::CopyBeforeStart};
            }
            for (unsigned i = 0; i < count && out.size() < unpackedSize; ++i) {
                put(out[out.size() - d - 1]);
            }
            CheckOverrun(bits);
        }
    } catch (const Failure& f) {
        result.error = f.error;
    }
    result.crc = Crc16Update(0, out.data(), static_cast<long>(out.size()));
    return result;
}

ReferencePmarcResult ReferencePm2Decode(const std::vector<uint8_t>& packed, uint64_t unpackedSize)
{
    ReferencePmarcResult result;
    std::vector<uint8_t>& out = result.output;
    RecencyList list;
    std::vector<uint8_t> ring(8192, ' ');
    ReferenceBits bits(packed);
    auto put = [&](uint8_t byte) {
        ring[out.size() % ring.size()] = byte;
        out.push_back(byte);
        list.MoveToFront(byte);
    };
    Pm2Codes codes;
    try {
        if (unpackedSize > 0) {
            bits.Bit(); // ignored
            ReadPm2Main(bits, codes);
            ReadPm2Classes(bits, 5, codes);
            CheckOverrun(bits);
        }
        uint64_t refresh = 1024;
        while (out.size() < unpackedSize) {
            int s = ReadSymbol(bits, codes.main);
            if (s < 0 && !codes.main.single) {
                throw Failure{PmarcError::NoMainCodeword};
            }
            if (s < 0 || s > 28) {
                throw Failure{PmarcError::MeaninglessSymbol}; // 29, 30, or N - 1 for N = 0
            }
            if (s <= 7) {
                const unsigned base[8] = {0, 8, 16, 32, 64, 96, 128, 192};
                const unsigned extra[8] = {3, 3, 4, 5, 5, 5, 6, 6};
                put(list.At(base[s] + bits.Take(extra[s])));
            } else {
                unsigned count = s <= 22 ? static_cast<unsigned>(s) - 6 : 256;
                switch (s) {
                case 23:
                    count = 17 + bits.Take(3);
                    break;
                case 24:
                    count = 25 + bits.Take(3);
                    break;
                case 25:
                    count = 33 + bits.Take(5);
                    break;
                case 26:
                    count = 65 + bits.Take(6);
                    break;
                case 27:
                    count = 129 + bits.Take(7);
                    break;
                default:
                    break;
                }
                uint32_t d = 0;
                if (s == 8) {
                    d = bits.Take(6);
                } else if (s != 28) {
                    int t = ReadSymbol(bits, codes.classes);
                    if (t < 0) {
                        throw Failure{PmarcError::NoClassCodeword};
                    }
                    d = t == 0 ? bits.Take(6) : (1u << (t + 5)) + bits.Take(t + 5);
                }
                for (unsigned i = 0; i < count && out.size() < unpackedSize; ++i) {
                    put(ring[(out.size() + ring.size() - d - 1) % ring.size()]);
                }
            }
            CheckOverrun(bits);
            if (out.size() >= refresh && out.size() < unpackedSize) {
                ReadPm2Refresh(bits, refresh, codes);
                CheckOverrun(bits);
                refresh = refresh < 4096 ? 2 * refresh : refresh + 4096;
            }
        }
    } catch (const Failure& f) {
        result.error = f.error;
    }
    result.crc = Crc16Update(0, out.data(), static_cast<long>(out.size()));
    return result;
}

} // namespace testsupport
