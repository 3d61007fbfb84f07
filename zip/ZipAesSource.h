// CZipAesSource: the stored bytes of a WinZip AES member (AE-1 or AE-2) decrypted on the way
// to the member's decoder, as CZipMemberStream decrypts traditional encryption. It checks a
// password by the verifier after the salt, decrypts AES in WinZip's counter mode and
// authenticates every encrypted byte by the HMAC-SHA1 code that ends the member.
//
// A member goes: FindZipAesExtra on its extra field; Begin over the member stream with the
// compressed size; TryPassword until one is taken (none: a wrong password); the decoder of
// ZipAesExtra::method reads this source, with DataSize() as its packed size; Finish. The
// member is good only when the decoder and Finish say so, and for AE-1 the CRC-32 agrees.
#pragma once

#include "archive/ByteStreams.h"

#include <cstdint>
#include <memory>

enum class ZipAesStatus : uint8_t
{
    Ok = 0,
    Truncated,     // the stored bytes end before salt, verifier, data and code are all there
    WrongPassword, // the password's verifier is not the stored one (or none was taken yet)
    AuthFailed,    // the code does not match the encrypted data: they were damaged or altered
    Unsupported,   // a strength other than 1 to 3
    NoMemory,      // the decryption state could not be had
};

// A short English name of the status, for test failures and fuzz reports.
const char* ZipAesStatusName(ZipAesStatus status);

class CZipAesSource final : public ByteSource
{
public:
    CZipAesSource();
    ~CZipAesSource();
    CZipAesSource(const CZipAesSource&) = delete;
    CZipAesSource& operator=(const CZipAesSource&) = delete;

    // Starts a member whose stored bytes come from stored, storedSize of them (the compressed
    // size in force), encrypted with strength (the 0x9901 field's). Reads the salt and the
    // verifier. Truncated when storedSize is too small to hold them and the code as well, or
    // when stored ends within them.
    ZipAesStatus Begin(ByteSource& stored, uint64_t storedSize, uint8_t strength);

    // Derives the keys from the password's bytes (1000 rounds of PBKDF2) and compares the
    // verifier: true when it matches, and Read then decrypts with these keys; false for a
    // wrong password, and another may be tried (UTF-8 first, then code page 932). A match
    // leaves a 1 in 65,536 chance that the password is wrong after all, which Finish finds.
    bool TryPassword(const uint8_t* password, size_t length);

    // The encrypted data's size: the packed size the method decoder is given.
    uint64_t DataSize() const;

    // Up to capacity decrypted bytes; 0 at the end of the encrypted data, before a password
    // was taken, or when the stored bytes end early (Finish then says Truncated).
    uint32_t Read(uint8_t* buffer, uint32_t capacity) override;

    // Call once the decoder is done, before the member counts good: reads whatever encrypted
    // data the decoder left (the code covers all of it), then the code, and compares. Ok: the
    // data are as written. AuthFailed: damaged or altered, or a wrong password that matched
    // the verifier. For AE-2 (ZipAesExtra::HasCrc false) this is the member's only check;
    // for AE-1 the caller checks the CRC-32 as well.
    ZipAesStatus Finish();

private:
    struct State;
    std::unique_ptr<State> m_state;
};
