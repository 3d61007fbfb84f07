// Wildcard patterns, as typed for members and for files on disk.
#include "platform/Wildcard.h"
#include "platform/Text.h"

#include <gtest/gtest.h>

#include <string>

using namespace platform;

TEST(Wildcard, Patterns)
{
    struct Case
    {
        const wchar_t* text;
        const wchar_t* pattern;
        bool matches;
    } cases[] = {
        {L"anything.at.all", L"*", true},
        {L"note.TXT", L"*.txt", true},
        {L"note.doc", L"*.txt", false},
        {L"readme", L"readme.", true}, // a pattern ending in "." names no extension too
        {L"readme.", L"readme.", true},
        {L"readme.txt", L"readme.", false},
        {L"readme", L"*.", true},
        {L"a.txt", L"*.", false},
        // A "*" followed by more pattern matches only what ends in it.
        {L"notes.txt~", L"*~", true},
        {L"notes.txt", L"*~", false},
        {L"report~", L"rep*~", true},
        {L"report.txt", L"rep*~", false},
        {L"x1", L"*1", true},
        {L"x2", L"*1", false},
        {L"whatever", L"*q", false},
        {L"", L"*q", false},
        {L"abc", L"a?c", true},
        {L"ab", L"ab?", false}, // "?" never takes a character past the end
        {L"ab", L"a?c", false},
        {L"ABC", L"abc", true},
        {L"abcd", L"abc", false},
        {L"a.b.c", L"*.c", true},
        {L"noext", L"*.*", true}, // every name, as people expect of "*.*"
        {L"file2-1.txt", L"file?-*.txt", true},
        {L"file10.txt", L"file?.txt", false},
        {L"xxaxxbxxbxc", L"*a*b*c", true},
        {L"xxaxxbxxbx", L"*a*b*c", false},
        {L"", L"*", true},
        {L"", L"?", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(MatchWildcard(c.pattern, c.text), c.matches)
            << WideToUtf8(c.text) << " " << WideToUtf8(c.pattern);
    }
    // Many stars against a long name that almost matches: at once, not exponentially.
    std::wstring name(250, L'a');
    EXPECT_FALSE(MatchWildcard(L"*a*a*a*a*a*a*a*a*a*a*a*a*a*a*a*a*a*a*a*a*a*a*a*bc", name));
    EXPECT_TRUE(MatchWildcard(L"*a*a*a*a*a*a*a*a*a*a*a*a*a*a*a*a*a*a*a*a*a*a*a*bc", name + L"bc"));
}
