// CScriptedBackend: the backend of tests. Answers come from queues set up by the test; every
// message box, dialog, file dialog, progress text and shell request is recorded.
#pragma once

#include "framework/Dialog.h"
#include "framework/FileDialog.h"
#include "framework/Framework.h"
#include "framework/PropertySheet.h"

#include <deque>
#include <functional>
#include <map>
#include <string>
#include <vector>

class CScriptedBackend : public CUiBackend
{
public:
    struct Message
    {
        std::wstring text;
        unsigned type;
    };
    struct FileRequest
    {
        bool open;
        std::wstring title, initialFolder, filter, defaultExt;
        unsigned flags;
    };
    using DialogAnswer = std::function<int(CDialog&)>;

    int MessageBox(const std::wstring& text, unsigned type) override;
    int RunModal(CDialog& dialog) override;
    void ModelessCreated(CDialog& dialog) override;
    void ModelessChanged(CDialog& dialog, bool transfer) override;
    void ModelessDestroyed(CDialog& dialog) override;
    int RunPropertySheet(CPropertySheet& sheet) override;
    int RunFileDialog(CFileDialog& dialog) override;
    void ShellOpen(const std::wstring& path) override;

    // Texts of the message boxes shown, in order.
    std::vector<std::wstring> MessageTexts() const;

    std::deque<int> yesNoAnswers;                          // for MB_YESNO boxes; IDNO when empty
    std::map<int, std::deque<DialogAnswer>> dialogAnswers; // by template; IDCANCEL when empty
    std::deque<std::function<int(CPropertySheet&)>> sheetAnswers; // IDCANCEL when empty
    std::deque<std::wstring> fileAnswers; // the chosen path; "" or none: cancel
    // The modeless dialog is cancelled when its controls are transferred for this time (1 =
    // the first item's name); 0: never.
    int cancelAtText = 0;

    std::vector<Message> messages;
    std::vector<int> dialogsShown;
    std::vector<FileRequest> fileDialogs;
    std::vector<std::wstring> progressTexts; // the modeless dialog's text control, per change
    int progressUpper = 0;                   // the progress bar's range, as last shown
    std::vector<std::wstring> shellOpened;
    int modelessOpen = 0;
};
