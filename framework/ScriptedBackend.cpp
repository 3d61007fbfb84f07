#include "framework/ScriptedBackend.h"

#include "res/Resource.h"

#include <algorithm>

int CScriptedBackend::MessageBox(const std::wstring& text, unsigned type)
{
    messages.push_back({text, type});
    if ((type & 0xF) != MB_YESNO) {
        return IDOK;
    }
    if (yesNoAnswers.empty()) {
        return IDNO;
    }
    int answer = yesNoAnswers.front();
    yesNoAnswers.pop_front();
    return answer;
}

int CScriptedBackend::RunModal(CDialog& dialog)
{
    dialogsShown.push_back(dialog.m_nIDTemplate);
    auto& queue = dialogAnswers[dialog.m_nIDTemplate];
    if (queue.empty()) {
        return IDCANCEL;
    }
    DialogAnswer answer = queue.front();
    queue.pop_front();
    return answer(dialog);
}

void CScriptedBackend::ModelessCreated(CDialog& dialog)
{
    ++modelessOpen;
    dialogsShown.push_back(dialog.m_nIDTemplate);
}

void CScriptedBackend::ModelessChanged(CDialog& dialog, bool transfer)
{
    progressUpper = dialog.GetControlInt(ProgressUpperKey(IDC_PROGRESS));
    std::wstring text = dialog.GetControlText(IDC_TEXT);
    if (transfer && !text.empty()) {
        progressTexts.push_back(text);
        if (cancelAtText > 0 && static_cast<int>(progressTexts.size()) == cancelAtText) {
            dialog.OnCancel();
        }
    }
}

void CScriptedBackend::ModelessDestroyed(CDialog& /*dialog*/)
{
    --modelessOpen;
}

int CScriptedBackend::RunPropertySheet(CPropertySheet& sheet)
{
    if (!sheet.m_pages.empty()) {
        dialogsShown.push_back(sheet.m_pages.front()->m_nIDTemplate);
    }
    if (sheetAnswers.empty()) {
        return IDCANCEL;
    }
    auto answer = sheetAnswers.front();
    sheetAnswers.pop_front();
    return answer(sheet);
}

int CScriptedBackend::RunFileDialog(CFileDialog& dialog)
{
    fileDialogs.push_back({dialog.m_bOpenFileDialog, dialog.m_title, dialog.m_initialFolder,
                           dialog.m_filter, dialog.m_defaultExt, dialog.m_flags});
    if (fileAnswers.empty() || fileAnswers.front().empty()) {
        if (!fileAnswers.empty()) {
            fileAnswers.pop_front();
        }
        return IDCANCEL;
    }
    // Several paths chosen at once come in one answer, a line each.
    std::wstring answer = fileAnswers.front();
    fileAnswers.pop_front();
    for (size_t start = 0; start <= answer.size();) {
        size_t end = std::min(answer.find(L'\n', start), answer.size());
        dialog.m_paths.push_back(answer.substr(start, end - start));
        start = end + 1;
    }
    dialog.m_path = dialog.m_paths.front();
    return IDOK;
}

void CScriptedBackend::ShellOpen(const std::wstring& path)
{
    shellOpened.push_back(path);
}

std::vector<std::wstring> CScriptedBackend::MessageTexts() const
{
    std::vector<std::wstring> texts;
    for (const Message& m : messages) {
        texts.push_back(m.text);
    }
    return texts;
}
