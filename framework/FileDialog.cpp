#include "framework/FileDialog.h"

#include "framework/Framework.h"

CFileDialog::CFileDialog(bool openFileDialog, const wchar_t* defaultExt, const wchar_t* fileName,
                         unsigned flags, const wchar_t* filter)
    : m_bOpenFileDialog(openFileDialog), m_defaultExt(defaultExt ? defaultExt : L""),
      m_fileName(fileName ? fileName : L""), m_flags(flags), m_filter(filter ? filter : L"")
{}

int CFileDialog::DoModal()
{
    m_paths.clear();
    int result = AfxBackend().RunFileDialog(*this);
    if (result == IDOK && m_paths.empty()) {
        m_paths.push_back(m_path);
    }
    return result;
}

std::wstring CFileDialog::GetFileExt() const
{
    size_t slash = m_path.find_last_of(L"\\/");
    size_t dot = m_path.rfind(L'.');
    if (dot == std::wstring::npos || (slash != std::wstring::npos && dot < slash)) {
        return L"";
    }
    return m_path.substr(dot + 1);
}
