// For tests of the desktop program: when TAVREL_GUI_TRACE names a file, the window appends
// what it shows there (the list's rows after each change, each message box's text).
#pragma once

#include <string>

void WxTrace(const std::wstring& kind, const std::wstring& text);
// Whether a trace file is named (the program runs under a test).
bool WxTracing();
