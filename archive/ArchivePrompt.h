// CArchivePrompt: how the archive objects ask the user and tell of progress. The base asks
// nothing, so every answer keeps the value the caller preset.
#pragma once

#include <cstddef>
#include <cstdint>

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
    // Called now and then while a large member is extracted or tested, with the bytes of it
    // done so far and its size. False asks to stop: the member then fails as cancelled and
    // its part-written file is removed. The base never stops.
    virtual bool ReportProgress(uint64_t done, uint64_t total);
    virtual ~CArchivePrompt();
};
