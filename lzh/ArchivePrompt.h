// CArchivePrompt: how the archive objects ask the user. The base asks nothing, so every
// answer keeps the value the caller preset.
#pragma once

#include <cstddef>

// Reply buffer of AskPassword: 63 characters and the terminator.
constexpr size_t kPasswordCapacity = 64;

class CArchivePrompt
{
public:
    // Writes the password, terminated, into text (kPasswordCapacity units) when the user
    // gives one; leaves it unchanged on cancel. context names the member and may be ignored.
    virtual void AskPassword(const wchar_t* context, wchar_t* text);
    // Sets *answer to true when the user agrees to overwrite fileName.
    virtual void AskOverwrite(const wchar_t* fileName, bool* answer);
    virtual ~CArchivePrompt();
};
