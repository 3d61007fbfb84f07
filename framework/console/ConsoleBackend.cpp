#include "framework/console/ConsoleBackend.h"

#include "framework/Dialog.h"
#include "framework/FileDialog.h"
#include "platform/Text.h"
#include "res/Resource.h"
#include "res/Strings.h"

#include <csignal>
#include <iostream>
#include <string>
#include <termios.h>
#include <unistd.h>

namespace
{

volatile std::sig_atomic_t g_interrupted = 0;

extern "C" void OnInterrupt(int)
{
    g_interrupted = 1;
}

// Names in the text (members' names above all) never reach the terminal as controls: an
// escape sequence in a name could retitle or rewrite it. A message's own line breaks stay.
void Print(FILE* f, const std::wstring& text)
{
    std::string bytes = platform::WideToUtf8(platform::EscapeControls(text, L"\n"));
    std::fwrite(bytes.data(), 1, bytes.size(), f);
}

} // namespace

CConsoleBackend::CConsoleBackend() = default;
CConsoleBackend::~CConsoleBackend() = default;

bool CConsoleBackend::AskTerminal(const std::wstring& prompt, std::wstring& reply, bool hidden)
{
    if (!isatty(STDIN_FILENO)) {
        return false;
    }
    Print(stderr, prompt);
    std::fflush(stderr);
    termios saved{};
    bool restore = hidden && tcgetattr(STDIN_FILENO, &saved) == 0;
    if (restore) {
        termios quiet = saved;
        quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        tcsetattr(STDIN_FILENO, TCSANOW, &quiet);
    }
    std::string line;
    bool got = static_cast<bool>(std::getline(std::cin, line));
    if (restore) {
        tcsetattr(STDIN_FILENO, TCSANOW, &saved);
        std::fputs("\n", stderr);
    }
    reply = platform::Utf8ToWide(line);
    return got;
}

int CConsoleBackend::MessageBox(const std::wstring& text, unsigned type)
{
    if ((type & 0xF) != MB_YESNO) {
        Print(out, text + L"\n");
        std::fflush(out);
        return IDOK;
    }
    int result = IDNO;
    if (answer) {
        result = *answer;
        Print(out, text + (result == IDYES ? L" → はい\n" : L" → いいえ\n"));
    } else if (!isatty(STDIN_FILENO)) {
        result = IDNOANSWER; // said by the caller, which knows what was left undone
    } else {
        // A question for every member of a run also takes a (all yes), s (skip: all no) and
        // q (quit: cancel).
        bool forAll = (type & MB_YESNOALL) != 0;
        std::wstring reply;
        if (AskTerminal(text + (forAll ? res::kConsoleAnswersForAll : L" [y/N] "), reply, false) &&
            !reply.empty()) {
            switch (reply[0]) {
            case L'y':
            case L'Y':
                result = IDYES;
                break;
            case L'a':
            case L'A':
                result = forAll ? IDYESALL : IDNO;
                break;
            case L's':
            case L'S':
                result = forAll ? IDNOALL : IDNO;
                break;
            case L'q':
            case L'Q':
                result = forAll ? IDCANCEL : IDNO;
                break;
            default:
                break;
            }
        }
    }
    std::fflush(out);
    return result;
}

int CConsoleBackend::RunModal(CDialog& dialog)
{
    switch (dialog.m_nIDTemplate) {
    case IDD_PASSWORD: {
        std::wstring reply;
        if (password) {
            reply = *password;
        } else if (!AskTerminal(L"パスワードの入力: ", reply, true)) {
            return IDCANCEL;
        }
        dialog.SetControlText(IDC_TEXT, reply);
        return IDOK;
    }
    case IDD_EXTRACT_DEST:
        if (!destination) {
            return IDCANCEL;
        }
        dialog.SetControlText(IDC_TEXT, *destination);
        return IDOK;
    default:
        return IDCANCEL;
    }
}

void CConsoleBackend::ModelessCreated(CDialog& /*dialog*/)
{
    g_interrupted = 0;
    std::signal(SIGINT, OnInterrupt);
    m_progressToTerminal = isatty(fileno(progressOut)) != 0;
}

void CConsoleBackend::ModelessChanged(CDialog& dialog, bool transfer)
{
    if (g_interrupted) {
        dialog.OnCancel(); // Ctrl+C: the loop stops before its next item
    }
    if (!transfer || !m_progressToTerminal) {
        return;
    }
    // The bar shows how many items are done, and the one in progress.
    int done = dialog.GetControlInt(IDC_PROGRESS);
    int total = dialog.GetControlInt(ProgressUpperKey(IDC_PROGRESS));
    constexpr int kWidth = 30;
    int filled = total > 0 ? done * kWidth / total : 0;
    std::wstring name = dialog.GetControlText(IDC_TEXT);
    if (name.size() > 40) {
        name = L"…" + name.substr(name.size() - 39);
    }
    std::wstring bar = std::wstring(L"[") + std::wstring(static_cast<size_t>(filled), L'#') +
                       std::wstring(static_cast<size_t>(kWidth - filled), L'.') + L"] " +
                       std::to_wstring(done) + L"/" + std::to_wstring(total) + L" " + name;
    std::fputs("\r\x1b[K", progressOut);
    Print(progressOut, bar);
    std::fflush(progressOut);
    m_progressShown = true;
}

void CConsoleBackend::ModelessDestroyed(CDialog& /*dialog*/)
{
    std::signal(SIGINT, SIG_DFL);
    if (m_progressShown) {
        std::fputs("\r\x1b[K", progressOut);
        std::fflush(progressOut);
        m_progressShown = false;
    }
}

int CConsoleBackend::RunPropertySheet(CPropertySheet& /*sheet*/)
{
    return IDCANCEL; // the settings are changed in the desktop program or the settings file
}

int CConsoleBackend::RunFileDialog(CFileDialog& dialog)
{
    if (!fileAnswer) {
        return IDCANCEL;
    }
    dialog.m_path = *fileAnswer;
    fileAnswer.reset();
    return IDOK;
}

void CConsoleBackend::ShellOpen(const std::wstring& path)
{
    Print(out, path + L"\n");
}
