#include "framework/Framework.h"

#include "platform/Text.h"
#include "res/Strings.h"

#include <cstdarg>
#include <cwchar>
#include <vector>

namespace
{

CUiBackend* g_backend = nullptr;

} // namespace

CUiBackend& AfxBackend()
{
    return *g_backend;
}

void AfxSetBackend(CUiBackend* backend)
{
    g_backend = backend;
}

int AfxMessageBox(const std::wstring& text, unsigned type)
{
    return g_backend->MessageBox(text, type);
}

std::wstring FormatNamed(const wchar_t* format, std::wstring_view name)
{
    return FormatText(format, platform::EscapeControls(name).c_str());
}

std::wstring UnusablePathText(std::string_view hostPath)
{
    bool backslash = hostPath.find('\\') != std::string_view::npos;
    return FormatNamed(backslash ? res::kBackslashInPath : res::kPathNotUsable,
                       platform::Utf8ToWide(hostPath));
}

std::wstring FormatText(const wchar_t* format, ...)
{
    // Most texts fit the stack; longer ones are made again in a larger buffer.
    wchar_t small[256];
    va_list args;
    va_start(args, format);
    int written = std::vswprintf(small, 256, format, args);
    va_end(args);
    if (written >= 0 && written < 256) {
        return std::wstring(small, static_cast<size_t>(written));
    }
    std::vector<wchar_t> buffer(1024);
    for (;;) {
        va_start(args, format);
        int n = std::vswprintf(buffer.data(), buffer.size(), format, args);
        va_end(args);
        if (n >= 0 && static_cast<size_t>(n) < buffer.size()) {
            return std::wstring(buffer.data(), static_cast<size_t>(n));
        }
        if (buffer.size() >= (1u << 20)) {
            return std::wstring(format); // not a text this program formats
        }
        buffer.resize(buffer.size() * 4);
    }
}
