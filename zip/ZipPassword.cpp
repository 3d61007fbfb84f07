// The password check of an encrypted member, traditional or WinZip AES: the stored password
// first (unless the archive was just opened), else questions through the prompt until one
// fits. A password is tried in each encoding archivers write it in: code page 932 (Windows
// archivers in Japan) and UTF-8 (Info-ZIP on Linux, and WinZip AES as its makers write it,
// which is therefore tried first there).
#include "platform/CodePage932.h"
#include "platform/Text.h"
#include "zip/ZipArchive.h"
#include "zip/ZipReaderState.h"

#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

namespace
{

// How many times one member asks for its password before it fails as wrong.
constexpr int kPasswordTries = 3;

// The byte forms of a password, in the order they are tried; one form where they agree.
std::vector<std::string> PasswordForms(const std::wstring& text, bool utf8First)
{
    bool cp932 = true;
    for (wchar_t c : text) {
        cp932 = cp932 && platform::EncodeCp932Char(c) >= 0;
    }
    std::vector<std::string> forms;
    if (utf8First) {
        forms.push_back(platform::WideToUtf8(text));
    }
    if (cp932) {
        forms.push_back(platform::WideToCp932(text));
    }
    if (!utf8First) {
        forms.push_back(platform::WideToUtf8(text));
    }
    if (forms.size() == 2 && forms[0] == forms[1]) {
        forms.pop_back();
    }
    return forms;
}

} // namespace

bool CZipArchive::CheckPassword()
{
    ZipReaderState& s = *m_state;
    const bool aes = s.member.aes;
    uint8_t header[kZipEncryptionHeader];
    uint8_t check = 0;
    if (aes) {
        ZipAesStatus begun = s.aesSource.Begin(s.input, s.packedInForce, s.aesField.strength);
        if (begun != ZipAesStatus::Ok) {
            status = begun == ZipAesStatus::Unsupported ? kZipUnsupported
                     : begun == ZipAesStatus::NoMemory  ? kZipNoMemory
                                                        : kZipDamaged;
            return false;
        }
    } else {
        if (s.input.Read(header, kZipEncryptionHeader) != kZipEncryptionHeader) {
            status = kZipDamaged;
            return false;
        }
        // The header's last byte decrypts to a byte the writer knew in advance: the high byte
        // of the CRC, or of the DOS time when the CRC was not known before the data.
        check = s.member.dataDescriptor ? static_cast<uint8_t>(s.local.time >> 8)
                                        : static_cast<uint8_t>(s.local.crc32 >> 24);
    }
    auto fits = [&](const std::wstring& text) {
        for (const std::string& form : PasswordForms(text, aes)) {
            const auto* bytes = reinterpret_cast<const uint8_t*>(form.data());
            if (aes) {
                if (s.aesSource.TryPassword(bytes, form.size())) {
                    return true;
                }
                continue;
            }
            s.cipher.Init(bytes, form.size());
            if (s.cipher.CheckHeader(header, check)) {
                return true;
            }
        }
        return false;
    };
    bool accepted = false;
    if (s.askAnew) {
        s.askAnew = false; // each opened archive asks once, even when the password would fit
        s.hasPassword = false;
    } else if (s.hasPassword) {
        accepted = fits(s.password);
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
        s.password = reply;
        std::wmemset(reply, 0, kPasswordCapacity);
        s.hasPassword = true;
        accepted = fits(s.password);
        wrong = !accepted;
    }
    if (!accepted) {
        status = wrong ? kZipPasswordFailed : kZipNoPassword;
        return false;
    }
    if (!aes) {
        s.input.AttachCipher(&s.cipher);
    }
    return true;
}
