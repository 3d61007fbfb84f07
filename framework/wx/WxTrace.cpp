#include "framework/wx/WxTrace.h"

#include "platform/Text.h"

#include <cstdio>
#include <cstdlib>

bool WxTracing()
{
    static const char* path = std::getenv("TAVREL_GUI_TRACE");
    return path != nullptr && path[0] != 0;
}

void WxTrace(const std::wstring& kind, const std::wstring& text)
{
    static const char* path = std::getenv("TAVREL_GUI_TRACE");
    if (path == nullptr || path[0] == 0) {
        return;
    }
    if (FILE* f = std::fopen(path, "a")) {
        std::string line = platform::WideToUtf8(kind + L"\t" + text + L"\n");
        std::fwrite(line.data(), 1, line.size(), f);
        std::fclose(f);
    }
}
