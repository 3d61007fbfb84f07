// The password check of an encrypted member: the stored password first (unless the archive
// was just opened), else one question through the prompt.
#include "platform/CodePage932.h"
#include "zip/ZipArchive.h"
#include "zip/ZipReaderState.h"

#include <cstring>
#include <cwchar>

bool CZipArchive::TestPassword(const uint8_t (&header)[kZipEncryptionHeader], uint8_t check)
{
    ZipReaderState& s = *m_state;
    s.cipher.Init(s.password, std::strlen(reinterpret_cast<const char*>(s.password)));
    return s.cipher.CheckHeader(header, check);
}

bool CZipArchive::CheckPassword()
{
    ZipReaderState& s = *m_state;
    uint8_t header[kZipEncryptionHeader];
    if (s.input.Read(header, kZipEncryptionHeader) != kZipEncryptionHeader) {
        status = kZipDamaged;
        return false;
    }
    // The header's last byte decrypts to a byte the writer knew in advance: the high byte of
    // the CRC, or of the DOS time when the CRC was not known before the data.
    uint8_t check = s.member.dataDescriptor ? static_cast<uint8_t>(s.local.time >> 8)
                                            : static_cast<uint8_t>(s.local.crc32 >> 24);
    bool accepted = false;
    if (s.askAnew) {
        s.askAnew = false; // each opened archive asks once, even when the password would fit
        s.hasPassword = false;
    } else if (s.hasPassword) {
        accepted = TestPassword(header, check);
    }
    if (!accepted) {
        if (prompt == nullptr) {
            status = kZipPasswordFailed;
            return false;
        }
        wchar_t reply[kPasswordCapacity] = {};
        prompt->AskPassword(s.memberName, reply);
        reply[kPasswordCapacity - 1] = 0;
        // A cancelled question leaves the reply empty, which is tested like any password
        // and kept, so the next member tries it first.
        std::memset(s.password, 0, sizeof s.password);
        platform::WideToCp932(reply, std::wcslen(reply), s.password, sizeof s.password);
        s.hasPassword = true;
        accepted = TestPassword(header, check);
    }
    if (!accepted) {
        status = kZipPasswordFailed;
        return false;
    }
    s.input.AttachCipher(&s.cipher);
    return true;
}
