// The 0x9901 extra field and the key derivation of WinZip's AES encryption.
//
// Extra field 0x9901, in the local and central headers alike (little-endian):
//   offset  size  field
//   0       2     header id 0x9901
//   2       2     data size: 7
//   4       2     vendor version: 1 (AE-1) or 2 (AE-2)
//   6       2     vendor id: the characters "AE"
//   8       1     strength: 1, 2 or 3 for 128, 192 or 256-bit keys
//   9       2     compression method of the data before encryption
#include "zip/ZipAes.h"

#include "archive/LittleEndian.h"

#include <nettle/pbkdf2.h>

#include <cstring>
#include <string.h> // explicit_bzero

namespace
{

constexpr size_t kExtraDataSize = 7;
constexpr size_t kRecordHeader = 4; // id and data size

} // namespace

ZipAesExtraStatus FindZipAesExtra(const uint8_t* extra, size_t length, ZipAesExtra* aes)
{
    for (size_t at = 0; length - at >= kRecordHeader;) { // at never passes length
        uint16_t id = Le16(extra + at);
        size_t size = Le16(extra + at + 2);
        const uint8_t* data = extra + at + kRecordHeader;
        if (size > length - at - kRecordHeader) {
            return ZipAesExtraStatus::Absent;
        }
        at += kRecordHeader + size;
        if (id != kZipAesExtraId) {
            continue;
        }
        if (size != kExtraDataSize || data[2] != 'A' || data[3] != 'E') {
            return ZipAesExtraStatus::Invalid;
        }
        aes->vendorVersion = Le16(data);
        aes->strength = data[4];
        aes->method = Le16(data + 5);
        bool known = (aes->vendorVersion == 1 || aes->vendorVersion == 2) && aes->strength >= 1 &&
                     aes->strength <= 3;
        return known ? ZipAesExtraStatus::Found : ZipAesExtraStatus::Unsupported;
    }
    return ZipAesExtraStatus::Absent;
}

bool DeriveZipAesKeys(const uint8_t* password, size_t length, const uint8_t* salt, uint8_t strength,
                      ZipAesKeys* keys)
{
    if (strength < 1 || strength > 3) {
        return false;
    }
    static const uint8_t kNoPassword = 0;
    if (length == 0) {
        password = &kNoPassword; // an empty password is still a password: never a null key
    }
    size_t keySize = ZipAesKeySize(strength);
    uint8_t derived[2 * kZipAesMaxKeySize + kZipAesVerifierSize];
    size_t derivedSize = 2 * keySize + kZipAesVerifierSize;
    pbkdf2_hmac_sha1(length, password, kZipAesIterations, ZipAesSaltSize(strength), salt,
                     derivedSize, derived);
    std::memcpy(keys->encryption, derived, keySize);
    std::memcpy(keys->authentication, derived + keySize, keySize);
    std::memcpy(keys->verifier, derived + 2 * keySize, kZipAesVerifierSize);
    explicit_bzero(derived, sizeof derived);
    return true;
}
