// What the program makes of the cause of an archive object's status: whether a member that
// failed counts as unsupported, skipped or failed, and the message the user sees for it.
#pragma once

#include "archive/StatusCause.h"

#include <string>
#include <string_view>

enum class MemberOutcome
{
    Done,        // nothing failed
    Unsupported, // counted apart, not reported one by one
    Skipped,     // kept by rule or by the user's answer: silent
    Failed,      // reported with its message and counted
    Cancelled,   // stopped by the user: the run ends
    Stopped,     // the destination cannot be used: reported once, and the run ends
};

MemberOutcome OutcomeOf(StatusCause cause);
// How messages name a member: its name, or for a folder entry (no name of its own) its
// folders, with '/' between them as the host writes them.
std::wstring MemberLabel(std::wstring_view name, std::wstring_view folder);
// The message for a member whose extraction or test failed for `cause`; `other` names the
// member whose output it collided with, `destination` the folder of the run (host forms).
std::wstring ExtractFailureText(StatusCause cause, const std::wstring& name,
                                const std::wstring& other = {},
                                const std::wstring& destination = {});
// The message for a change (add, delete) that was refused or failed for `cause`; name is the
// file or member concerned, `other` the file an add collided with (host forms).
std::wstring ChangeFailureText(StatusCause cause, const std::wstring& name,
                               const std::wstring& other = {});
// Whether an add that failed for `cause` goes on with its next file (the file was only
// passed over, and said so).
bool AddGoesOn(StatusCause cause);
