// CArchivePrompt: how the archive objects ask the user and tell of progress. The base asks
// nothing: every overwrite question is answered No and no password is given.
#pragma once

#include "platform/FileTime.h"

#include <cstddef>
#include <cstdint>

// Reply buffer of AskPassword: 63 characters and the terminator.
constexpr size_t kPasswordCapacity = 64;

// What an overwrite question is about: the member, as the list names it, and the file that
// stands in its place. Times are UTC file times.
struct OverwriteQuestion
{
    const wchar_t* name;
    uint64_t memberSize;
    platform::FileTime memberTime;
    uint64_t existingSize;
    platform::FileTime existingTime;
    // The file was written by another member of this run: an answer given for every file
    // does not cover it.
    bool writtenThisRun = false;
};

enum class OverwriteAnswer
{
    Yes,          // replace this file
    No,           // keep it (the member is skipped)
    Cancel,       // stop the whole run here, as Cancel in the progress dialog does
    Unanswerable, // nobody can answer (no terminal, no preset answer): the member fails
};

class CArchivePrompt
{
public:
    // Writes the password, terminated, into text (kPasswordCapacity units) and returns true
    // when the user gives one; false when the question was cancelled or cannot be asked.
    // context names the member and may be ignored; `again` says that the password given
    // last for it was wrong.
    virtual bool AskPassword(const wchar_t* context, bool again, wchar_t* text);
    virtual OverwriteAnswer AskOverwrite(const OverwriteQuestion& question);
    // An extraction run begins: answers given for every member of the last one end.
    virtual void BeginRun() {}
    // Whether a setting may replace existing files without asking; false when the user has
    // answered every question No beforehand (that answer holds over any setting).
    virtual bool MayReplaceUnasked();
    // Called now and then while a large member is extracted or tested, with the bytes of it
    // done so far and its size. False asks to stop: the member then fails as cancelled and
    // its part-written file is removed. The base never stops.
    virtual bool ReportProgress(uint64_t done, uint64_t total);
    virtual ~CArchivePrompt();
};
