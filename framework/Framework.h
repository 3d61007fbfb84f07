// The framework's shared names: message box types and results, list item states, and the
// backend that shows windows (GUI, console or a test script).
#pragma once

#include <string>
#include <string_view>

// Message box types and results.
constexpr unsigned MB_OK = 0x0;
constexpr unsigned MB_YESNO = 0x4;
constexpr unsigned MB_ICONQUESTION = 0x20;
// With MB_YESNO: the answers for every question of the run and Cancel too (IDYESALL,
// IDNOALL, IDCANCEL).
constexpr unsigned MB_YESNOALL = 0x10000;
constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;
constexpr int IDYES = 6;
constexpr int IDNO = 7;
constexpr int IDYESALL = 20;
constexpr int IDNOALL = 21;
// A question no one can answer: no terminal to ask and no answer given beforehand.
constexpr int IDNOANSWER = -1;

class CDialog;
class CFileDialog;
class CPropertySheet;

// What a front end provides: message boxes, modal dialogs, modeless windows, the file
// dialog and the shell. The framework calls it; app/ and view/ never do directly.
class CUiBackend
{
public:
    virtual ~CUiBackend() = default;
    // Shows text with OK (MB_OK) or Yes and No (MB_YESNO, with MB_YESNOALL also Yes to all, No
    // to all and Cancel); returns IDOK, IDYES, IDNO (IDYESALL, IDNOALL, IDCANCEL), or
    // IDNOANSWER for a question that cannot be put to anyone.
    virtual int MessageBox(const std::wstring& text, unsigned type) = 0;
    // Runs a modal dialog whose controls hold the members' values; the user edits them.
    // Returns IDOK (the framework then reads the controls back) or IDCANCEL.
    virtual int RunModal(CDialog& dialog) = 0;
    // A modeless dialog was created, had its controls changed (transfer: by its data
    // exchange, else a progress step), or was destroyed. While it exists the backend may call
    // its OnCancel when the user cancels.
    virtual void ModelessCreated(CDialog& dialog) = 0;
    virtual void ModelessChanged(CDialog& dialog, bool transfer) = 0;
    virtual void ModelessDestroyed(CDialog& dialog) = 0;
    // Runs a property sheet whose pages' controls hold their members' values; IDOK or
    // IDCANCEL as for a dialog.
    virtual int RunPropertySheet(CPropertySheet& sheet) = 0;
    // Runs the file-selection dialog; IDOK with the chosen path set, or IDCANCEL.
    virtual int RunFileDialog(CFileDialog& dialog) = 0;
    // Executes a file with the verb "open".
    virtual void ShellOpen(const std::wstring& path) = 0;
    // Whether the user answered every question No beforehand (tavrel-cli's --no).
    virtual bool AnswersEveryQuestionNo() const { return false; }
};

// The backend of the running application.
CUiBackend& AfxBackend();
void AfxSetBackend(CUiBackend* backend);

int AfxMessageBox(const std::wstring& text, unsigned type = MB_OK);

// printf-style formatting of the program's texts ("%ls" for wide strings).
std::wstring FormatText(const wchar_t* format, ...);
// A text with one "%ls" naming a file or member: control characters in the name (a line
// break, an escape sequence) are shown escaped, never acted on by a terminal or a dialog.
std::wstring FormatNamed(const wchar_t* format, std::wstring_view name);
// Why a host path that has no exact device path (platform::ExactDevicePath) is refused.
std::wstring UnusablePathText(std::string_view hostPath);
