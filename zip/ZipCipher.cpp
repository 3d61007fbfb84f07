// The cipher. Per byte: key 0 is a CRC-32 step over the plain byte, key 1 a linear
// congruential step over key 0's low byte, key 2 a CRC-32 step over key 1's high byte, and
// the key stream byte is bits 8-15 of t * (t ^ 1) with t = key 2 | 2.
#include "zip/ZipCipher.h"

#include "zip/Crc32.h"

namespace
{

constexpr uint32_t kMultiplier = 134775813u;
const auto& kTable = kCrc32Slices[0];

inline uint8_t KeyStream(uint32_t key2)
{
    uint32_t t = (key2 | 2) & 0xFFFF;
    return static_cast<uint8_t>((t * (t ^ 1)) >> 8);
}

inline void Update(uint32_t& key0, uint32_t& key1, uint32_t& key2, uint8_t plain)
{
    key0 = kTable[(key0 ^ plain) & 0xFF] ^ (key0 >> 8);
    key1 = (key1 + (key0 & 0xFF)) * kMultiplier + 1;
    key2 = kTable[(key2 ^ (key1 >> 24)) & 0xFF] ^ (key2 >> 8);
}

} // namespace

void CZipCipher::Init(const uint8_t* password, size_t length)
{
    key0 = 0x12345678u;
    key1 = 0x23456789u;
    key2 = 0x34567890u;
    for (size_t i = 0; i < length; ++i) {
        Update(key0, key1, key2, password[i]);
    }
}

void CZipCipher::Decrypt(uint8_t* data, size_t count)
{
    uint32_t k0 = key0, k1 = key1, k2 = key2;
    for (size_t i = 0; i < count; ++i) {
        uint8_t plain = static_cast<uint8_t>(data[i] ^ KeyStream(k2));
        data[i] = plain;
        Update(k0, k1, k2, plain);
    }
    key0 = k0;
    key1 = k1;
    key2 = k2;
}

void CZipCipher::Encrypt(uint8_t* data, size_t count)
{
    uint32_t k0 = key0, k1 = key1, k2 = key2;
    for (size_t i = 0; i < count; ++i) {
        uint8_t plain = data[i];
        data[i] = static_cast<uint8_t>(plain ^ KeyStream(k2));
        Update(k0, k1, k2, plain);
    }
    key0 = k0;
    key1 = k1;
    key2 = k2;
}

bool CZipCipher::CheckHeader(const uint8_t (&header)[kZipEncryptionHeader], uint8_t check)
{
    uint8_t copy[kZipEncryptionHeader];
    for (size_t i = 0; i < kZipEncryptionHeader; ++i) {
        copy[i] = header[i];
    }
    Decrypt(copy, kZipEncryptionHeader);
    return copy[kZipEncryptionHeader - 1] == check;
}
