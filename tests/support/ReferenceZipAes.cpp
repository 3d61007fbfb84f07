// Whole-buffer WinZip AES: PBKDF2-HMAC-SHA1 (1000 rounds) for the keys, one AES block per
// 16 bytes of data under a 16-byte little-endian counter that starts at 1, HMAC-SHA1 over
// all encrypted bytes at once.
#include "tests/support/ReferenceZipAes.h"

#include <nettle/aes.h>
#include <nettle/hmac.h>
#include <nettle/pbkdf2.h>

#include <cstring>

namespace testsupport
{

namespace
{

struct Keys
{
    std::vector<uint8_t> aes, hmac, verifier;
};

Keys Derive(const std::vector<uint8_t>& password, const uint8_t* salt, int strength)
{
    size_t keySize = 8 + 8 * static_cast<size_t>(strength);
    std::vector<uint8_t> bytes(2 * keySize + 2);
    uint8_t none = 0;
    pbkdf2_hmac_sha1(password.size(), password.empty() ? &none : password.data(), 1000,
                     4 + 4 * static_cast<size_t>(strength), salt, bytes.size(), bytes.data());
    return {{bytes.begin(), bytes.begin() + keySize},
            {bytes.begin() + keySize, bytes.begin() + 2 * keySize},
            {bytes.end() - 2, bytes.end()}};
}

// XORs data with the key stream: block i (from 0) is AES(key, i + 1 as 16 little-endian bytes).
void Ctr(const std::vector<uint8_t>& key, std::vector<uint8_t>& data)
{
    aes128_ctx a128;
    aes192_ctx a192;
    aes256_ctx a256;
    if (key.size() == 16) {
        aes128_set_encrypt_key(&a128, key.data());
    } else if (key.size() == 24) {
        aes192_set_encrypt_key(&a192, key.data());
    } else {
        aes256_set_encrypt_key(&a256, key.data());
    }
    uint8_t counter[16] = {};
    for (size_t at = 0; at < data.size(); at += 16) {
        for (size_t i = 0; i < 16 && ++counter[i] == 0; ++i) {
        }
        uint8_t block[16];
        if (key.size() == 16) {
            aes128_encrypt(&a128, 16, block, counter);
        } else if (key.size() == 24) {
            aes192_encrypt(&a192, 16, block, counter);
        } else {
            aes256_encrypt(&a256, 16, block, counter);
        }
        for (size_t i = 0; i < 16 && at + i < data.size(); ++i) {
            data[at + i] ^= block[i];
        }
    }
}

std::vector<uint8_t> Code(const std::vector<uint8_t>& key, const uint8_t* data, size_t size)
{
    hmac_sha1_ctx hmac;
    hmac_sha1_set_key(&hmac, key.size(), key.data());
    hmac_sha1_update(&hmac, size, data);
    std::vector<uint8_t> code(10);
    hmac_sha1_digest(&hmac, code.size(), code.data());
    return code;
}

} // namespace

ReferenceAesResult ReferenceZipAesDecrypt(const std::vector<uint8_t>& stored, int strength,
                                          const std::vector<uint8_t>& password)
{
    ReferenceAesResult result;
    size_t saltSize = 4 + 4 * static_cast<size_t>(strength);
    if (stored.size() < saltSize + 2 + 10) {
        return result;
    }
    result.complete = true;
    Keys keys = Derive(password, stored.data(), strength);
    result.passwordMatches = std::memcmp(keys.verifier.data(), stored.data() + saltSize, 2) == 0;
    if (!result.passwordMatches) {
        return result;
    }
    const uint8_t* data = stored.data() + saltSize + 2;
    size_t dataSize = stored.size() - saltSize - 2 - 10;
    result.authentic =
        Code(keys.hmac, data, dataSize) == std::vector<uint8_t>(stored.end() - 10, stored.end());
    result.plain.assign(data, data + dataSize);
    Ctr(keys.aes, result.plain);
    return result;
}

std::vector<uint8_t> ReferenceZipAesEncrypt(const std::vector<uint8_t>& plain, int strength,
                                            const std::vector<uint8_t>& password,
                                            const std::vector<uint8_t>& salt)
{
    Keys keys = Derive(password, salt.data(), strength);
    std::vector<uint8_t> data = plain;
    Ctr(keys.aes, data);
    std::vector<uint8_t> stored = salt;
    stored.insert(stored.end(), keys.verifier.begin(), keys.verifier.end());
    stored.insert(stored.end(), data.begin(), data.end());
    std::vector<uint8_t> code = Code(keys.hmac, data.data(), data.size());
    stored.insert(stored.end(), code.begin(), code.end());
    return stored;
}

} // namespace testsupport
