// WinZip's AES encryption of ZIP members (AE-1 and AE-2): the 0x9901 extra field, the sizes
// that follow from the key strength, and the keys a password derives.
//
// A member so encrypted has method 99 in its headers and bit 0 of its flags set; the method
// its data was compressed with is in the extra field. Its stored bytes, all counted by its
// compressed size:
//   salt (8, 12 or 16 bytes) | password verifier (2) | encrypted data | authentication code (10)
#pragma once

#include <cstddef>
#include <cstdint>

constexpr uint16_t kZipAesMethod = 99;
constexpr uint16_t kZipAesExtraId = 0x9901;
constexpr size_t kZipAesVerifierSize = 2;
constexpr size_t kZipAesCodeSize = 10; // the first 10 bytes of an HMAC-SHA1
constexpr unsigned kZipAesIterations = 1000;
constexpr size_t kZipAesMaxKeySize = 32;  // AES-256
constexpr size_t kZipAesMaxSaltSize = 16; // half of it

// The 0x9901 extra field's content.
struct ZipAesExtra
{
    uint16_t vendorVersion; // 1: AE-1, 2: AE-2
    uint8_t strength;       // 1, 2, 3: 128, 192, 256-bit keys
    uint16_t method;        // the compression method under the encryption

    // AE-1 keeps the CRC-32 of the data in the headers, to be checked as for any member. AE-2
    // writes 0 there and has none: the authentication code (CZipAesSource::Finish) is then
    // the only check the data gets.
    bool HasCrc() const { return vendorVersion == 1; }
};

enum class ZipAesExtraStatus : uint8_t
{
    Found = 0,   // *aes holds a field this reader takes
    Absent,      // no 0x9901 field
    Invalid,     // a 0x9901 field not 7 bytes long, or of another vendor than "AE"
    Unsupported, // a vendor version other than 1 and 2, or a strength other than 1 to 3
};

// Looks for the 0x9901 field among an extra field's records (a record running past the end
// ends the search).
ZipAesExtraStatus FindZipAesExtra(const uint8_t* extra, size_t length, ZipAesExtra* aes);

// Bytes of the AES key (and of the HMAC key): 16, 24 or 32 for strength 1, 2 or 3.
constexpr size_t ZipAesKeySize(uint8_t strength)
{
    return 8 + 8 * size_t{strength};
}

// Bytes of the salt: half the key.
constexpr size_t ZipAesSaltSize(uint8_t strength)
{
    return 4 + 4 * size_t{strength};
}

// Stored bytes that are not encrypted data: salt, verifier and authentication code.
constexpr size_t ZipAesOverhead(uint8_t strength)
{
    return ZipAesSaltSize(strength) + kZipAesVerifierSize + kZipAesCodeSize;
}

struct ZipAesKeys
{
    uint8_t encryption[kZipAesMaxKeySize];     // the AES key (ZipAesKeySize bytes of it)
    uint8_t authentication[kZipAesMaxKeySize]; // the HMAC-SHA1 key, as long
    uint8_t verifier[kZipAesVerifierSize];     // what the member stores after its salt
};

// PBKDF2 with HMAC-SHA1 and 1000 iterations over the password and the salt
// (ZipAesSaltSize(strength) bytes) gives 2 * ZipAesKeySize + 2 bytes: the AES key, the HMAC
// key and the verifier, in that order. False (and nothing derived) for a strength other than
// 1 to 3.
bool DeriveZipAesKeys(const uint8_t* password, size_t length, const uint8_t* salt, uint8_t strength,
                      ZipAesKeys* keys);
