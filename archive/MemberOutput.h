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

// What becomes of a member's place.
enum class PlaceVerdict
{
    Write,      // write it (replacing what stands there when *replace says so)
    Skip,       // keep what stands there, by rule or by the user's answer
    Protected,  // the place holds the open archive, which is never an output
    Unanswered, // the question could not be asked
    Cancel,     // the user stopped the run at the question
    Collision,  // this run wrote that place already and the question could not be asked
};

// True when a path holds a ".." component (either separator), which could leave the folder
// it is placed under.
bool HasParentComponent(std::wstring_view path);

// A stored path as the path below the destination: leading separators dropped (a stored
// absolute path lands below the destination like a relative one), lower-cased when asked
// (only the member's part: host folders are case-sensitive).
std::wstring BelowDestination(std::wstring_view stored, bool lowercase);

// Whether the member (of local time memberLocal, asked about as `member`) may be written at
// `relative`: where nothing stands or a folder does (the creation fails later) without
// asking; over a file, a link (by its own time, never its target's) or anything else by the
// rules; over a file this run wrote (*writtenBy gets its tag) only when the user says so,
// whatever the rules; never over the open archive. *replace tells whether something is to be
// replaced.
PlaceVerdict DecideReplace(platform::CFolderTree& tree, std::wstring_view relative,
                           const OverwriteQuestion& member, platform::FileTime memberLocal,
                           const ReplaceRules& rules, bool* replace, int* writtenBy);
