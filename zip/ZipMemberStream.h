// CZipMemberStream: a member's compressed bytes from the archive file, at most the size in
// force, decrypted on the way when a cipher is attached. Inflate and the stored copy read
// through it.
#pragma once

#include "archive/ByteStreams.h"
#include "platform/File.h"
#include "zip/ZipCipher.h"

#include <cstdint>

class CZipMemberStream final : public ByteSource
{
public:
    // Starts a member at the file's current position with `size` bytes to hand out.
    void Prime(platform::FileHandle file, uint64_t size);
    // From now on every byte is decrypted with cipher (null: none).
    void AttachCipher(CZipCipher* cipher) { m_cipher = cipher; }

    // Up to capacity bytes; 0 at the end of the member or when the file ends or fails.
    uint32_t Read(uint8_t* buffer, uint32_t capacity) override;

    // The bytes still to come.
    uint64_t Remaining() const { return m_remaining; }

private:
    platform::FileHandle m_file = platform::kInvalidFile;
    uint64_t m_remaining = 0;
    CZipCipher* m_cipher = nullptr;
};
