// CConsoleBackend: the framework in a terminal. Message boxes print their text (UTF-8);
// questions take a preset answer or ask the terminal (No without one); the password and
// destination dialogs take preset answers or ask; the progress dialog is a bar on a
// terminal, and Ctrl+C cancels it between items.
#pragma once

#include "framework/Framework.h"

#include <cstdio>
#include <optional>
#include <string>

class CConsoleBackend : public CUiBackend
{
public:
    CConsoleBackend();
    ~CConsoleBackend() override;

    int MessageBox(const std::wstring& text, unsigned type) override;
    int RunModal(CDialog& dialog) override;
    void ModelessCreated(CDialog& dialog) override;
    void ModelessChanged(CDialog& dialog, bool transfer) override;
    void ModelessDestroyed(CDialog& dialog) override;
    int RunPropertySheet(CPropertySheet& sheet) override;
    int RunFileDialog(CFileDialog& dialog) override;
    void ShellOpen(const std::wstring& path) override;
    bool AnswersEveryQuestionNo() const override { return answer && *answer == IDNO; }

    std::optional<int> answer;               // IDYES or IDNO for every question
    std::optional<std::wstring> password;    // for every password question
    std::optional<std::wstring> destination; // the extraction destination's answer
    std::optional<std::wstring> fileAnswer;  // the next file dialog's answer
    FILE* out = stdout;                      // messages
    FILE* progressOut = stderr;              // the progress bar, when it is a terminal

private:
    bool AskTerminal(const std::wstring& prompt, std::wstring& reply, bool hidden);
    bool m_progressShown = false;
    bool m_progressToTerminal = false; // the progress output of the open dialog is a terminal
};
