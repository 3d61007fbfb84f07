// Tables of the reflected CRCs (CRC-16/ARC of LZH, CRC-32 of ZIP) for slicing-by-8: slice 0
// is the classic byte table, slice k advances a byte k positions further, so eight bytes
// fold in per step. Built at compile time.
#pragma once

#include <array>
#include <cstdint>

template <typename T> using CrcSlices = std::array<std::array<T, 256>, 8>;

template <typename T> constexpr CrcSlices<T> MakeCrcSlices(T reflectedPolynomial)
{
    CrcSlices<T> t{};
    for (unsigned i = 0; i < 256; ++i) {
        T c = static_cast<T>(i);
        for (int k = 0; k < 8; ++k) {
            c = static_cast<T>((c & 1) ? (c >> 1) ^ reflectedPolynomial : c >> 1);
        }
        t[0][i] = c;
    }
    for (unsigned i = 0; i < 256; ++i) {
        for (int k = 1; k < 8; ++k) {
            t[k][i] = static_cast<T>(t[0][t[k - 1][i] & 0xFF] ^ (t[k - 1][i] >> 8));
        }
    }
    return t;
}
