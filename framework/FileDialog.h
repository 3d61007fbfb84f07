// CFileDialog: the file-selection dialog's request and answer.
#pragma once

#include <string>
#include <vector>

constexpr unsigned OFN_HIDEREADONLY = 0x4;
constexpr unsigned OFN_OVERWRITEPROMPT = 0x2;
constexpr unsigned OFN_ALLOWMULTISELECT = 0x200;

class CFileDialog
{
public:
    CFileDialog(bool openFileDialog, const wchar_t* defaultExt = nullptr,
                const wchar_t* fileName = nullptr, unsigned flags = 0,
                const wchar_t* filter = nullptr);
    int DoModal();

    std::wstring GetPathName() const { return m_path; }
    // The text after the last '.' of the chosen file's name.
    std::wstring GetFileExt() const;

    bool m_bOpenFileDialog;
    std::wstring m_defaultExt;
    std::wstring m_fileName;
    unsigned m_flags;
    std::wstring m_filter;
    std::wstring m_title;              // empty: the standard title
    std::wstring m_initialFolder;      // lpstrInitialDir
    bool m_bPickFolder = false;        // a folder is chosen, not a file
    std::wstring m_path;               // the answer (the first when several)
    std::vector<std::wstring> m_paths; // every path chosen
};
