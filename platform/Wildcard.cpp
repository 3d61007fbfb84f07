// Wildcard patterns of names.
#include "platform/Wildcard.h"

#include "platform/Text.h"

#include <cstdint>
#include <vector>

namespace platform
{
namespace
{

bool Equal(wchar_t a, wchar_t b)
{
    return LowerChar(a) == LowerChar(b);
}

// One top-level match. The pattern's "*" retries the rest at each position up to the end of
// the text; the dot flag is shared by every nested step. A step's outcome depends only on where it
// starts in both texts and on the flag, so each is worked out once: without that, patterns such as
// "*a*a*a*a*b" take exponential time on long names.
class Matcher
{
public:
    Matcher(std::wstring_view s, std::wstring_view p)
        : m_s(s), m_p(p), m_memo((s.size() + 1) * (p.size() + 1) * 2, kUnknown)
    {}

    bool Match(size_t i, size_t j, bool& dot)
    {
        size_t key = (i * (m_p.size() + 1) + j) * 2 + (dot ? 1 : 0);
        if (m_memo[key] != kUnknown) {
            dot = (m_memo[key] & kDotOut) != 0;
            return (m_memo[key] & kMatched) != 0;
        }
        bool matched = Step(i, j, dot);
        m_memo[key] = static_cast<uint8_t>((matched ? kMatched : 0) | (dot ? kDotOut : 0));
        return matched;
    }

private:
    static constexpr uint8_t kUnknown = 0xFF, kMatched = 1, kDotOut = 2;

    bool Step(size_t i, size_t j, bool& dot)
    {
        std::wstring_view s = m_s, p = m_p;
        while (j < p.size()) {
            if (i < s.size() && s[i] == L'.') {
                dot = true;
            }
            if (p[j] == L'*') {
                if (j + 1 == p.size()) {
                    return true;
                }
                // The rest of the pattern from every position, the end of the text included:
                // "*~" matches only what ends in "~".
                ++j;
                for (; i <= s.size(); ++i) {
                    if (Match(i, j, dot)) {
                        return true;
                    }
                }
                return false;
            }
            if (i >= s.size()) {
                // The text has ended: "?" has no character to take, and only the trailing "."
                // of a name without extension can still match.
                return p[j] == L'.' && j + 1 == p.size() && !dot;
            }
            if (p[j] == L'?' || Equal(s[i], p[j])) {
                ++i;
                ++j;
                continue;
            }
            return p[j] == L'.' && j + 1 == p.size() && s.size() - i <= 1 && !dot;
        }
        return i >= s.size();
    }

    std::wstring_view m_s, m_p;
    std::vector<uint8_t> m_memo;
};

} // namespace

bool MatchWildcard(std::wstring_view pattern, std::wstring_view name)
{
    if (pattern == L"*.*") {
        return true;
    }
    bool dot = false;
    return Matcher(name, pattern).Match(0, 0, dot);
}

} // namespace platform
