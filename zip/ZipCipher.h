// CZipCipher: the traditional PKWARE stream cipher of ZIP members: three 32-bit keys seeded
// by the password and updated by every plain byte, and the 12-byte encryption header that
// checks a password.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr size_t kZipEncryptionHeader = 12;

class CZipCipher
{
public:
    // Resets the keys and updates them with the password's bytes.
    void Init(const uint8_t* password, size_t length);
    // Decrypts count bytes in place.
    void Decrypt(uint8_t* data, size_t count);
    // Encrypts count bytes in place (tests and tools make encrypted members with it).
    void Encrypt(uint8_t* data, size_t count);
    // Decrypts a copy of the encryption header and compares its last byte with check; the
    // keys are then ready for the member's data.
    bool CheckHeader(const uint8_t (&header)[kZipEncryptionHeader], uint8_t check);

    uint32_t key0 = 0;
    uint32_t key1 = 0;
    uint32_t key2 = 0;
};
