// WinZip AES decryption through nettle. The counter mode is WinZip's own: the counter block
// holds a little-endian number that starts at 1 for the first 16 bytes of data (not the
// big-endian counter of common CTR); the key stream is the AES encryption of those blocks.
// The authentication code is HMAC-SHA1, keyed with the derived HMAC key, over the encrypted
// bytes only (not the salt or verifier), cut to its first 10 bytes.
#include "zip/ZipAesSource.h"

#include "zip/ZipAes.h"

#include <nettle/aes.h>
#include <nettle/hmac.h>
#include <nettle/memops.h>

#include <algorithm>
#include <cstring>
#include <new>
#include <string.h> // explicit_bzero

namespace
{

// Key stream made 256 blocks at a time: one call into nettle per 4 KiB of data.
constexpr size_t kKeyStreamBlocks = 256;
constexpr size_t kKeyStreamSize = kKeyStreamBlocks * AES_BLOCK_SIZE;

} // namespace

struct CZipAesSource::State
{
    ByteSource* stored = nullptr; // the member's stored bytes after salt and verifier
    uint64_t dataSize = 0;        // encrypted bytes in all
    uint64_t remaining = 0;       // encrypted bytes not yet read from stored
    uint8_t strength = 0;         // 1 to 3 once Begin succeeded
    bool begun = false;           // salt and verifier were read
    bool keyed = false;           // a password matched: the keys below are in force
    bool truncated = false;       // stored ended before its size
    uint8_t salt[kZipAesMaxSaltSize];
    uint8_t verifier[kZipAesVerifierSize];
    union
    {
        aes128_ctx aes128;
        aes192_ctx aes192;
        aes256_ctx aes256;
    } aes;                    // the encryption key schedule, by strength
    hmac_sha1_ctx hmac;       // the code over the encrypted bytes read so far
    uint64_t counter = 0;     // the number of the next counter block
    size_t keyStreamUsed = 0; // bytes of keyStream already used
    uint8_t keyStream[kKeyStreamSize];

    // The next kKeyStreamBlocks blocks of key stream. The counter takes the block's first 8
    // bytes: 2^64 blocks are more than any member holds, so the 8 above stay 0.
    void MakeKeyStream()
    {
        std::memset(keyStream, 0, sizeof keyStream);
        for (size_t b = 0; b < kKeyStreamBlocks; ++b) {
            uint64_t n = counter++;
            for (size_t i = 0; i < 8; ++i) {
                keyStream[b * AES_BLOCK_SIZE + i] = static_cast<uint8_t>(n >> (8 * i));
            }
        }
        // nettle encrypts in place.
        switch (strength) {
        case 1:
            aes128_encrypt(&aes.aes128, kKeyStreamSize, keyStream, keyStream);
            break;
        case 2:
            aes192_encrypt(&aes.aes192, kKeyStreamSize, keyStream, keyStream);
            break;
        default:
            aes256_encrypt(&aes.aes256, kKeyStreamSize, keyStream, keyStream);
            break;
        }
        keyStreamUsed = 0;
    }

    void Decrypt(uint8_t* data, size_t count)
    {
        while (count != 0) {
            if (keyStreamUsed == kKeyStreamSize) {
                MakeKeyStream();
            }
            size_t n = std::min(count, kKeyStreamSize - keyStreamUsed);
            const uint8_t* k = keyStream + keyStreamUsed;
            for (size_t i = 0; i < n; ++i) {
                data[i] ^= k[i];
            }
            keyStreamUsed += n;
            data += n;
            count -= n;
        }
    }

    // Reads exactly count stored bytes; false when stored ends first.
    bool ReadStored(uint8_t* destination, size_t count)
    {
        while (count != 0) {
            uint32_t want = static_cast<uint32_t>(std::min<size_t>(count, UINT32_MAX));
            uint32_t got = std::min(stored->Read(destination, want), want);
            if (got == 0) {
                return false;
            }
            destination += got;
            count -= got;
        }
        return true;
    }
};

const char* ZipAesStatusName(ZipAesStatus status)
{
    switch (status) {
    case ZipAesStatus::Ok:
        return "ok";
    case ZipAesStatus::Truncated:
        return "truncated";
    case ZipAesStatus::WrongPassword:
        return "wrong password";
    case ZipAesStatus::AuthFailed:
        return "authentication failed";
    case ZipAesStatus::Unsupported:
        return "unsupported";
    case ZipAesStatus::NoMemory:
        return "out of memory";
    }
    return "?";
}

CZipAesSource::CZipAesSource() = default;

CZipAesSource::~CZipAesSource()
{
    if (m_state) {
        // The key schedules and the HMAC state hold the password's keys.
        explicit_bzero(m_state.get(), sizeof(State));
    }
}

ZipAesStatus CZipAesSource::Begin(ByteSource& stored, uint64_t storedSize, uint8_t strength)
{
    if (!m_state) {
        m_state.reset(new (std::nothrow) State);
        if (!m_state) {
            return ZipAesStatus::NoMemory;
        }
    }
    State& s = *m_state;
    s.begun = false;
    s.keyed = false;
    s.truncated = false;
    s.stored = &stored;
    if (strength < 1 || strength > 3) {
        return ZipAesStatus::Unsupported;
    }
    s.strength = strength;
    size_t saltSize = ZipAesSaltSize(strength);
    if (storedSize < ZipAesOverhead(strength) || !s.ReadStored(s.salt, saltSize) ||
        !s.ReadStored(s.verifier, kZipAesVerifierSize)) {
        s.truncated = true;
        return ZipAesStatus::Truncated;
    }
    s.dataSize = storedSize - ZipAesOverhead(strength);
    s.remaining = s.dataSize;
    s.begun = true;
    return ZipAesStatus::Ok;
}

bool CZipAesSource::TryPassword(const uint8_t* password, size_t length)
{
    if (!m_state || !m_state->begun) {
        return false;
    }
    State& s = *m_state;
    ZipAesKeys keys;
    DeriveZipAesKeys(password, length, s.salt, s.strength, &keys);
    bool match = nettle_memeql_sec(keys.verifier, s.verifier, kZipAesVerifierSize) != 0;
    if (match) {
        switch (s.strength) {
        case 1:
            aes128_set_encrypt_key(&s.aes.aes128, keys.encryption);
            break;
        case 2:
            aes192_set_encrypt_key(&s.aes.aes192, keys.encryption);
            break;
        default:
            aes256_set_encrypt_key(&s.aes.aes256, keys.encryption);
            break;
        }
        hmac_sha1_set_key(&s.hmac, ZipAesKeySize(s.strength), keys.authentication);
        s.counter = 1;
        s.keyStreamUsed = kKeyStreamSize;
        s.keyed = true;
    }
    explicit_bzero(&keys, sizeof keys);
    return match;
}

uint64_t CZipAesSource::DataSize() const
{
    return m_state && m_state->begun ? m_state->dataSize : 0;
}

uint32_t CZipAesSource::Read(uint8_t* buffer, uint32_t capacity)
{
    if (!m_state || !m_state->keyed || m_state->truncated) {
        return 0;
    }
    State& s = *m_state;
    uint32_t want = static_cast<uint32_t>(std::min<uint64_t>(capacity, s.remaining));
    if (want == 0) {
        return 0;
    }
    uint32_t got = std::min(s.stored->Read(buffer, want), want);
    if (got == 0) {
        s.truncated = true;
        return 0;
    }
    s.remaining -= got;
    hmac_sha1_update(&s.hmac, got, buffer); // the code covers the encrypted bytes
    s.Decrypt(buffer, got);
    return got;
}

ZipAesStatus CZipAesSource::Finish()
{
    if (!m_state || !m_state->keyed) {
        return m_state && m_state->truncated ? ZipAesStatus::Truncated
                                             : ZipAesStatus::WrongPassword;
    }
    State& s = *m_state;
    // The key stream is not needed any more: its buffer takes what the decoder left.
    s.keyStreamUsed = kKeyStreamSize;
    while (!s.truncated && s.remaining != 0) {
        uint32_t want = static_cast<uint32_t>(std::min<uint64_t>(kKeyStreamSize, s.remaining));
        if (!s.ReadStored(s.keyStream, want)) {
            s.truncated = true;
            break;
        }
        hmac_sha1_update(&s.hmac, want, s.keyStream);
        s.remaining -= want;
    }
    uint8_t stored[kZipAesCodeSize];
    if (s.truncated || !s.ReadStored(stored, kZipAesCodeSize)) {
        s.truncated = true;
        return ZipAesStatus::Truncated;
    }
    uint8_t code[kZipAesCodeSize];
    hmac_sha1_digest(&s.hmac, kZipAesCodeSize, code);
    s.keyed = false; // the HMAC state is spent; a new member begins anew
    return nettle_memeql_sec(code, stored, kZipAesCodeSize) ? ZipAesStatus::Ok
                                                            : ZipAesStatus::AuthFailed;
}
