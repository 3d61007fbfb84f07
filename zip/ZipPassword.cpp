// The password check of an encrypted member: the stored password first (unless the archive
// was just opened), else questions through the prompt until one fits.
#include "platform/CodePage932.h"
#include "zip/ZipArchive.h"
#include "zip/ZipReaderState.h"

#include <cstring>
#include <cwchar>

namespace
{

// How many times one member asks for its password before it fails as wrong.
constexpr int kPasswordTries = 3;

} // namespace

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
    // A wrong password is asked for again, a few times; a question cancelled (or one no one
    // can answer) ends the member.
    bool wrong = false;
    for (int tries = 0; !accepted && tries < kPasswordTries; ++tries) {
        wchar_t reply[kPasswordCapacity] = {};
        if (prompt == nullptr || !prompt->AskPassword(s.memberName, wrong, reply)) {
            break;
        }
        reply[kPasswordCapacity - 1] = 0;
        std::memset(s.password, 0, sizeof s.password);
        platform::WideToCp932(reply, std::wcslen(reply), s.password, sizeof s.password);
        s.hasPassword = true;
        accepted = TestPassword(header, check);
        wrong = !accepted;
    }
    if (!accepted) {
        status = wrong ? kZipPasswordFailed : kZipNoPassword;
        return false;
    }
    s.input.AttachCipher(&s.cipher);
    return true;
}
