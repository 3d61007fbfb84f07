// The cipher. Per byte: key 0 is a CRC-32 step over the plain byte, key 1 a linear
// congruential step over key 0's low byte, key 2 a CRC-32 step over key 1's high byte, and
// the key stream byte is bits 8-15 of t * (t ^ 1) with t = key 2 | 2.
#include "zip/ZipCipher.h"

#include "zip/Crc32.h"

namespace
{

constexpr uint32_t kMultiplier = 134775813u;
constexpr const auto& kTable = kCrc32Slices[0];

// The CRC table rearranged for decryption: its low bytes, and its entries with bit 1 set
// (key 2's key-stream operand t) and with bit 0 flipped as well (t ^ 1).
struct DecryptTables
{
    uint32_t low[256];
    uint32_t withBit1[256];
    uint32_t withBit1Odd[256];
};

constexpr DecryptTables MakeDecryptTables()
{
    DecryptTables d{};
    for (int i = 0; i < 256; ++i) {
        d.low[i] = kTable[i] & 0xFF;
        d.withBit1[i] = kTable[i] | 2;
        d.withBit1Odd[i] = (kTable[i] | 2) ^ 1;
    }
    return d;
}

constexpr DecryptTables kTables = MakeDecryptTables();

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

// Keeps a value in a register as computed: the compiler would otherwise fold it back into
// the chain below (an empty statement, no instruction).
#define TAVREL_KEEP(value) asm("" : "+r"(value))

// The same steps as Update, arranged for the dependency chain that runs through every byte:
// key 2 -> key stream -> plain byte -> key 0 -> key 1 -> key 2. Everything that does not wait
// for the previous byte is computed beside the chain: key 0's bytes combined with the
// encrypted byte, key 1's product with the multiplier, key 2 shifted and moved to the top,
// and the key stream's operands t and t ^ 1, which come from tables with bit 1 already set so
// that both are ready together. About 24 cycles per byte instead of 29.
void CZipCipher::Decrypt(uint8_t* data, size_t count)
{
    uint32_t k0 = key0, k1 = key1, k2 = key2;
    uint32_t t = k2 | 2, u = t ^ 1;
    uint32_t k1Next = k1 * kMultiplier + 1; // key 1's next value before key 0's byte is added
    for (size_t i = 0; i < count; ++i) {
        uint32_t encrypted = data[i];
        uint32_t index0 = (k0 ^ encrypted) & 0xFF; // completed by the key stream below
        uint32_t k0Byte1 = (k0 >> 8) & 0xFF;
        TAVREL_KEEP(index0);
        TAVREL_KEEP(k0Byte1);
        uint32_t keyStream = ((t * u) >> 8) & 0xFF;
        data[i] = static_cast<uint8_t>(encrypted ^ keyStream);
        index0 ^= keyStream;                           // (key 0 ^ plain) & 0xFF
        uint32_t low0 = kTables.low[index0] ^ k0Byte1; // key 0's new low byte
        k0 = kTable[index0] ^ (k0 >> 8);
        k1 = k1Next + low0 * kMultiplier;
        k1Next = k1 * kMultiplier + 1;
        uint32_t k2Top = k2 << 24;
        uint32_t shifted = k2 >> 8;
        uint32_t operand = shifted & ~2u;
        TAVREL_KEEP(k2Top);
        TAVREL_KEEP(operand);
        uint32_t index2 = (k1 ^ k2Top) >> 24;
        k2 = kTable[index2] ^ shifted;
        t = kTables.withBit1[index2] ^ operand;
        u = kTables.withBit1Odd[index2] ^ operand;
    }
    key0 = k0;
    key1 = k1;
    key2 = k2;
}

#undef TAVREL_KEEP

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
