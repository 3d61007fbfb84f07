// Creating extracted files and the folders above them; shared by the LZH and ZIP readers.
#pragma once

#include "platform/File.h"

#include <string_view>

// Creates the folder that holds `path` (the text before its last '\' or '/') and,
// when needed, every folder above it. True when the last creation succeeded; an existing
// folder counts as a failed creation.
bool MakeParentFolders(std::wstring_view path);

// Creates (or replaces) the file for writing with no sharing, making its folders when the
// first attempt fails. Invalid on failure.
platform::FileHandle CreateOutputFile(std::wstring_view path);

// The last-write time of an existing file (not a folder), in local time and whole seconds,
// with its attributes; false when there is no such file.
bool ExistingFileLocalTime(std::wstring_view path, platform::FileTime* local, uint32_t* attributes);

// True when a path holds a ".." component (either separator), which could leave the
// folder it is placed under.
bool HasParentComponent(std::wstring_view path);

// The path with its leading separators removed: stored absolute paths are placed under the
// destination like relative ones.
std::wstring_view StripLeadingSeparators(std::wstring_view path);
