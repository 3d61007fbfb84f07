// MatchWildcard: a name against a pattern as people type them for files and members.
#pragma once

#include <string_view>

namespace platform
{

// '*' any run (a "*" followed by more pattern matches only names ending in what the rest
// matches), '?' one character (never past the end of the name), letters ignoring case; a
// pattern ending in "." also matches the name without an extension, and "*.*" every name.
// Time is bounded by the product of the lengths, whatever the stars.
bool MatchWildcard(std::wstring_view pattern, std::wstring_view name);

} // namespace platform
