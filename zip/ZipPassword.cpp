// The password check of an encrypted member, traditional or WinZip AES: the stored password
// first (unless the archive was just opened), else questions through the prompt until one
// fits. A password is tried in each encoding archivers write it in: code page 932 (Windows
// archivers in Japan) and UTF-8 (Info-ZIP on Linux, and WinZip AES as its makers write it,
// which is therefore tried first there); where the traditional cipher's one-byte check lets two
// forms pass, the member's data decide.
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
    int64_t dataStart = 0;
    if (aes) {
        ZipAesStatus begun = s.aesSource.Begin(s.input, s.packedInForce, s.aesField.strength);
        if (begun != ZipAesStatus::Ok) {
            status = begun == ZipAesStatus::Unsupported ? kZipUnsupported
                     : begun == ZipAesStatus::NoMemory  ? kZipNoMemory
                                                        : kZipDamaged;
            return false;
        }
    } else {
        if (!platform::SeekFile(s.archive, 0, platform::SeekOrigin::Current, &dataStart) ||
            s.input.Read(header, kZipEncryptionHeader) != kZipEncryptionHeader) {
            status = kZipDamaged;
            return false;
        }
        // The header's last byte decrypts to a byte the writer knew in advance: the high byte
        // of the CRC, or of the DOS time when the CRC was not known before the data.
        check = s.member.dataDescriptor ? static_cast<uint8_t>(s.local.time >> 8)
                                        : static_cast<uint8_t>(s.local.crc32 >> 24);
    }
    auto keyWith = [&](const std::string& form) {
        s.cipher.Init(reinterpret_cast<const uint8_t*>(form.data()), form.size());
        return s.cipher.CheckHeader(header, check);
    };
    // Puts the input back at the member's first data byte, the cipher keyed with `form`.
    auto rewindWith = [&](const std::string& form) {
        uint8_t again[kZipEncryptionHeader];
        if (!platform::SeekFile(s.archive, dataStart, platform::SeekOrigin::Begin)) {
            return false;
        }
        s.input.Prime(s.archive, s.packedInForce);
        keyWith(form);
        return s.input.Read(again, kZipEncryptionHeader) == kZipEncryptionHeader;
    };
    // One byte checks a traditional password, so two forms of it may both pass, one by
    // chance (1 in 256): the data decide, decoded once without output for each, with progress
    // and Cancel as for the member itself.
    int trialEnd = kZipOk; // what ends the member before its data: Cancel, or no rewind
    auto formWithWholeData = [&](const std::vector<std::string>& passing) {
        std::string found = passing.front();
        for (const std::string& form : passing) {
            if (!rewindWith(form)) {
                trialEnd = kZipDamaged;
                break;
            }
            s.input.AttachCipher(&s.cipher);
            if (ExtractData(platform::kInvalidFile)) {
                found = form;
                break;
            }
            if (status == kZipCancelled) {
                trialEnd = kZipCancelled;
                break;
            }
        }
        status = kZipOk;
        return found;
    };
    std::string chosen;
    auto fits = [&](const std::wstring& text) {
        std::vector<std::string> passing;
        for (const std::string& form : PasswordForms(text, aes)) {
            if (aes) {
                if (s.aesSource.TryPassword(reinterpret_cast<const uint8_t*>(form.data()),
                                            form.size())) {
                    return true;
                }
            } else if (keyWith(form)) {
                passing.push_back(form);
            }
        }
        if (passing.empty()) {
            return false;
        }
        if (passing.size() > 1) {
            chosen = formWithWholeData(passing);
            if (trialEnd == kZipOk && !rewindWith(chosen)) {
                trialEnd = kZipDamaged;
            }
        } else {
            chosen = passing.front();
        }
        return true; // the questions end; trialEnd tells whether the member goes on
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
    if (trialEnd != kZipOk) {
        status = trialEnd;
        return false;
    }
    if (!aes) {
        keyWith(chosen);
        s.input.AttachCipher(&s.cipher);
    }
    return true;
}
