// Fuzz target: decrypt-then-inflate. The input holds a password, an encryption header and an
// encrypted Deflate stream; the member stream decrypts it from a file as extraction does,
// and the result must agree with a byte-by-byte decryption followed by the reference
// inflater.
#include "fuzz/FuzzFile.h"
#include "fuzz/FuzzTarget.h"
#include "tests/support/ReferenceInflate.h"
#include "zip/Crc32.h"
#include "zip/Inflate.h"
#include "zip/ZipMemberStream.h"

#include <cstdlib>
#include <vector>

namespace
{

// The cipher written out from its definition, one byte at a time.
class PlainCipher
{
public:
    explicit PlainCipher(const std::vector<uint8_t>& password)
    {
        for (uint8_t b : password) {
            Update(b);
        }
    }
    uint8_t Decrypt(uint8_t c)
    {
        uint32_t t = (m_k2 | 2) & 0xFFFF;
        uint8_t plain = static_cast<uint8_t>(c ^ ((t * (t ^ 1)) >> 8));
        Update(plain);
        return plain;
    }

private:
    static uint32_t CrcStep(uint32_t crc, uint8_t b)
    {
        crc ^= b;
        for (int i = 0; i < 8; ++i) {
            crc = (crc & 1) ? (crc >> 1) ^ 0xEDB88320u : crc >> 1;
        }
        return crc;
    }
    void Update(uint8_t b)
    {
        m_k0 = CrcStep(m_k0, b);
        m_k1 = (m_k1 + (m_k0 & 0xFF)) * 134775813u + 1;
        m_k2 = CrcStep(m_k2, static_cast<uint8_t>(m_k1 >> 24));
    }
    uint32_t m_k0 = 0x12345678u, m_k1 = 0x23456789u, m_k2 = 0x34567890u;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2 + kZipEncryptionHeader) {
        return 0;
    }
    bool enhanced = data[0] & 1;
    size_t passwordLength = data[1] % 16;
    if (size < 2 + passwordLength + kZipEncryptionHeader) {
        return 0;
    }
    std::vector<uint8_t> password(data + 2, data + 2 + passwordLength);
    const uint8_t* member = data + 2 + passwordLength;
    size_t memberSize = size - 2 - passwordLength;

    std::wstring path = WriteFuzzFile("member.bin", member, memberSize);
    platform::FileHandle file =
        platform::OpenFile(path, platform::kAccessRead, platform::FileShare::Read,
                           platform::FileDisposition::OpenExisting);
    if (file == platform::kInvalidFile) {
        std::abort();
    }
    CZipMemberStream stream;
    stream.Prime(file, memberSize);
    uint8_t header[kZipEncryptionHeader];
    if (stream.Read(header, kZipEncryptionHeader) != kZipEncryptionHeader) {
        std::abort();
    }
    CZipCipher cipher;
    cipher.Init(password.data(), password.size());
    bool accepted = cipher.CheckHeader(header, 0);
    stream.AttachCipher(&cipher);
    static CInflater inflater;
    InflateStatus status = inflater.Inflate(stream, nullptr, enhanced);
    platform::CloseFile(file);

    PlainCipher plain(password);
    std::vector<uint8_t> decrypted(memberSize);
    for (size_t i = 0; i < memberSize; ++i) {
        decrypted[i] = plain.Decrypt(member[i]);
    }
    if (accepted != (decrypted[kZipEncryptionHeader - 1] == 0)) {
        std::abort();
    }
    decrypted.erase(decrypted.begin(), decrypted.begin() + kZipEncryptionHeader);
    auto reference = testsupport::ReferenceInflate(decrypted, enhanced);
    if (static_cast<int>(status) != reference.status ||
        (status == kInflateOk &&
         inflater.crc != Crc32(0, reference.output.data(), reference.output.size()))) {
        std::abort();
    }
    return 0;
}
