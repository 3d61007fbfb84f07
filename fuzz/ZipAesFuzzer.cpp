// Fuzz target: WinZip AES decryption. The streaming CZipAesSource (arbitrary source pieces and
// read sizes, Finish after part of the data) must agree with the whole-buffer reference built
// from the same primitives: the same verdict on the password, the same decrypted bytes and the
// same verdict on the authentication code, or Truncated when the declared size is not there.
//
// Input: mode, password length, source step, read size, share of the data read before Finish,
// the password, then the member's stored bytes. Mode bits 0-1 choose the strength (1 + b % 3);
// bit 2 seals the stored bytes first (the bytes after the salt become the data, encrypted with
// the password, so that verifier and code hold); bit 3 declares more bytes than there are.
#include "fuzz/FuzzTarget.h"
#include "tests/support/MemoryStreams.h"
#include "tests/support/ReferenceZipAes.h"
#include "zip/ZipAes.h"
#include "zip/ZipAesSource.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

namespace
{

constexpr size_t kHeader = 5;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < kHeader) {
        return 0;
    }
    uint8_t mode = data[0];
    int strength = 1 + (mode & 3) % 3;
    bool seal = mode & 4;
    bool cut = mode & 8;
    size_t passwordLength = data[1] % 32;
    uint32_t step = data[2] == 0 ? UINT32_MAX : data[2];
    uint32_t capacity = 1 + data[3] * 19u;
    uint8_t share = data[4];
    if (size < kHeader + passwordLength) {
        return 0;
    }
    std::vector<uint8_t> password(data + kHeader, data + kHeader + passwordLength);
    std::vector<uint8_t> stored(data + kHeader + passwordLength, data + size);
    size_t saltSize = ZipAesSaltSize(static_cast<uint8_t>(strength));
    if (seal) {
        if (stored.size() < saltSize) {
            return 0;
        }
        std::vector<uint8_t> salt(stored.begin(), stored.begin() + saltSize);
        std::vector<uint8_t> plain(stored.begin() + saltSize, stored.end());
        stored = testsupport::ReferenceZipAesEncrypt(plain, strength, password, salt);
    }
    // Declared: all the bytes, or more than there are (the source then ends early).
    uint64_t declared = stored.size() + (cut ? 1 + data[2] % 40 : 0);
    const size_t overhead = ZipAesOverhead(static_cast<uint8_t>(strength));

    testsupport::MemorySource source(stored.data(), stored.size(), step);
    CZipAesSource aes;
    ZipAesStatus begin = aes.Begin(source, declared, static_cast<uint8_t>(strength));
    bool beginOk = declared >= overhead && stored.size() >= saltSize + kZipAesVerifierSize;
    if ((begin == ZipAesStatus::Ok) != beginOk || (!beginOk && begin != ZipAesStatus::Truncated)) {
        std::abort();
    }
    if (!beginOk) {
        if (aes.TryPassword(password.data(), password.size()) || aes.Read(&mode, 1) != 0 ||
            aes.Finish() != ZipAesStatus::Truncated) {
            std::abort();
        }
        return 0;
    }
    // The reference sees every byte there is as salt, verifier and data when the member is
    // cut: the code it reads then is made up, its decrypted data are what counts.
    std::vector<uint8_t> view = stored;
    if (cut) {
        view.insert(view.end(), kZipAesCodeSize, 0);
    }
    testsupport::ReferenceAesResult reference =
        testsupport::ReferenceZipAesDecrypt(view, strength, password);
    bool accepted = aes.TryPassword(password.data(), password.size());
    if (!reference.complete || accepted != reference.passwordMatches || (seal && !accepted)) {
        std::abort();
    }

    // Reads part of the data (share / 255 of it), as a decoder that stops early would.
    uint64_t dataSize = declared - overhead;
    if (aes.DataSize() != dataSize) {
        std::abort();
    }
    uint64_t wanted = share == 255 ? dataSize : dataSize * share / 255;
    std::vector<uint8_t> plain;
    std::vector<uint8_t> buffer(capacity);
    while (plain.size() < wanted) {
        uint32_t ask = static_cast<uint32_t>(std::min<uint64_t>(capacity, wanted - plain.size()));
        uint32_t got = aes.Read(buffer.data(), ask);
        if (got > ask) {
            std::abort();
        }
        if (got == 0) {
            break;
        }
        plain.insert(plain.end(), buffer.begin(), buffer.begin() + got);
    }
    if (accepted) {
        // All of the data that are there, up to what was asked.
        size_t there = std::min<uint64_t>(dataSize, reference.plain.size());
        if (plain.size() != std::min<uint64_t>(wanted, there) ||
            !std::equal(plain.begin(), plain.end(), reference.plain.begin())) {
            std::abort();
        }
    } else if (!plain.empty()) {
        std::abort();
    }

    ZipAesStatus finish = aes.Finish();
    ZipAesStatus expected = !accepted             ? ZipAesStatus::WrongPassword
                            : cut                 ? ZipAesStatus::Truncated
                            : reference.authentic ? ZipAesStatus::Ok
                                                  : ZipAesStatus::AuthFailed;
    if (finish != expected || (seal && !cut && finish != ZipAesStatus::Ok)) {
        std::abort();
    }
    return 0;
}
