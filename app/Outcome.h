// What the application makes of an archive object's status: whether a failed member counts
// as unsupported, skipped or failed, and the message the user sees for it.
#pragma once

#include <string>
#include <string_view>

enum class MemberOutcome
{
    Unsupported, // counted apart, not reported one by one
    Skipped,     // kept by rule or by the user's answer: silent
    Failed,      // reported with its message and counted
    Cancelled,   // stopped inside the member by the user: the run ends
    Stopped,     // the destination cannot be used: reported once, and the run ends
};

// The outcome of a failed ExtractEntry of an LZH (lzh true) or ZIP archive's member.
MemberOutcome ExtractOutcome(bool lzh, int status);
// How messages name a member: its name, or for a folder entry (no name of its own) its
// folders, with '/' between them as the host writes them.
std::wstring MemberLabel(std::wstring_view name, std::wstring_view folder);
// The message for a member whose extraction or test failed with status; `other` names the
// member whose output it collided with, `destination` the folder of the run (host forms).
std::wstring ExtractFailureText(bool lzh, int status, const std::wstring& name,
                                const std::wstring& other = {},
                                const std::wstring& destination = {});
// The message for an LZH change (add, delete) that was refused or failed with status; name is
// the file or member concerned, `other` the file an add collided with (host forms).
std::wstring ChangeFailureText(int status, const std::wstring& name,
                               const std::wstring& other = {});
// Whether an add that failed with status goes on with its next file (the file was only
// passed over, and said so).
bool AddGoesOn(int status);
