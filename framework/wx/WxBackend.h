// CWxBackend: the framework on wxWidgets. Dialogs are built from the templates in res/ (dialog
// units converted by the toolkit), message boxes show the program's own button texts, file
// dialogs work on host paths and answer with device paths, the progress dialog repaints and
// honours its Cancel between items, and "open" goes to the desktop through xdg-open.
#pragma once

#include "framework/Framework.h"

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

    wxWindow* parent = nullptr; // the main window

private:
    wxDialog* m_modeless = nullptr;
    CDialog* m_modelessOwner = nullptr;
};
