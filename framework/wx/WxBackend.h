// CWxBackend: the framework on wxWidgets. Dialogs are built from the templates in res/ (dialog
// units converted by the toolkit, controls grown to their best sizes), message boxes show the
// program's own button texts, file dialogs work on host paths and answer with device paths,
// the progress dialog repaints and honours its Cancel while it is driven, and "open" goes to
// the desktop through xdg-open, with a message when no application takes the file.
#pragma once

#include "framework/Framework.h"

#include <chrono>
#include <string>

class wxWindow;
class wxDialog;

class CWxBackend : public CUiBackend
{
public:
    int MessageBox(const std::wstring& text, unsigned type) override;
    int RunModal(CDialog& dialog) override;
    void ModelessCreated(CDialog& dialog) override;
    void ModelessChanged(CDialog& dialog, bool transfer) override;
    void ModelessDestroyed(CDialog& dialog) override;
    int RunPropertySheet(CPropertySheet& sheet) override;
    int RunFileDialog(CFileDialog& dialog) override;
    void ShellOpen(const std::wstring& path) override;

    // For tests: builds every dialog and settings page at the default font and at 1.5 times
    // its size, prints each control that is clipped, sticks out or overlaps another, and
    // saves a picture of each window into folder (when not empty). Returns the faults found.
    int CheckLayout(const std::string& folder);

    wxWindow* parent = nullptr; // the main window

private:
    // Shows the progress dialog's present texts, which its repaints at most 50 times a second
    // may not have shown yet: before a message or a question stops the work.
    void ShowProgressAsItIs();

    wxDialog* m_modeless = nullptr;
    CDialog* m_modelessOwner = nullptr;
    std::chrono::steady_clock::time_point m_lastRepaint; // of the progress dialog
};
