// Where an extracted member goes below the destination, and whether a file already there may
// be replaced: the rules LZH and ZIP extraction share. Files and folders are made through a
// platform::CFolderTree, so nothing is written through a symbolic link.
#pragma once

#include "archive/ArchivePrompt.h"
#include "platform/FileTime.h"
#include "platform/FolderTree.h"

#include <string>
#include <string_view>

// The policy for a file that stands where a member is to be written.
struct ReplaceRules
{
    bool skipIfNotOlder;    // keep a file whose time is the member's or later
    bool overwriteSilently; // replace without asking
    bool askOnlyIfNewer;    // ask only when the file is newer than the member
    CArchivePrompt* prompt; // asked (by the member's name), or null: the file is kept
};

// True when a path holds a ".." component (either separator), which could leave the folder
// it is placed under.
bool HasParentComponent(std::wstring_view path);

// A stored path as the path below the destination: leading separators dropped (a stored
// absolute path lands below the destination like a relative one), lower-cased when asked
// (only the member's part: host folders are case-sensitive).
std::wstring BelowDestination(std::wstring_view stored, bool lowercase);

// The text after the last separator of either kind (all of it when there is none).
std::wstring_view LastComponent(std::wstring_view path);

// Whether the member (of local time memberLocal, shown as `name`) may replace what stands at
// `relative`: nothing or a folder (the creation fails later) without asking; a file, a link
// (by its own time, never its target's) or anything else by the rules.
bool MayReplace(const platform::CFolderTree& tree, std::wstring_view relative,
                platform::FileTime memberLocal, const wchar_t* name, const ReplaceRules& rules);
