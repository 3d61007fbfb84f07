// WinZip AES written out plainly over whole buffers, straight from nettle's primitives: the
// oracle for the streaming CZipAesSource, and the writer of AES members for the tests.
#pragma once

#include <cstdint>
#include <vector>

namespace testsupport
{

struct ReferenceAesResult
{
    bool complete = false;        // the bytes hold a salt, a verifier and a code
    bool passwordMatches = false; // the derived verifier is the stored one
    bool authentic = false;       // the code matches the encrypted bytes
    std::vector<uint8_t> plain;   // the decrypted data (when the password matches)
};

// Decrypts a member's stored bytes (salt, verifier, data, code) with strength 1 to 3.
ReferenceAesResult ReferenceZipAesDecrypt(const std::vector<uint8_t>& stored, int strength,
                                          const std::vector<uint8_t>& password);

// The stored bytes of plain encrypted with password and salt (ZipAesSaltSize(strength)
// bytes): salt, verifier, encrypted data, code.
std::vector<uint8_t> ReferenceZipAesEncrypt(const std::vector<uint8_t>& plain, int strength,
                                            const std::vector<uint8_t>& password,
                                            const std::vector<uint8_t>& salt);

} // namespace testsupport
