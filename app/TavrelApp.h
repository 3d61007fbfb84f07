// CTavrelApp: the application object. It holds the settings (loaded at start-up, the command
// history saved at exit), builds the document, frame and view, and opens the archive named
// on the command line.
#pragma once

#include "archive/NameEncoding.h"
#include "framework/DocView.h"

#include <memory>
#include <optional>
#include <string>

class CTavrelDoc;
class CTavrelView;
class CMainFrame;

class CTavrelApp : public CWinApp
{
public:
    CTavrelApp();
    ~CTavrelApp() override;

    // Start-up: settings, document/frame/view, the overwrite policy, and the archive given
    // (empty: none). False when a named file cannot be read, as the framework's open fails.
    bool InitInstance(const std::wstring& archivePath);
    // The main window closes: the document's close step (which commits the archive), then
    // the exit step.
    void CloseMainWindow();
    int ExitInstance();

    void LoadSettings();
    void SaveCommandHistory();
    // A changed setting that cannot be saved: told once (the file is the user's).
    void OnSettingsNotSaved() override;
    bool m_bToldUnreadable = false; // the settings file could not be read, and the user knows

    bool OnCmdMsg(int id) override;

    CTavrelDoc* GetDocument() const { return m_doc.get(); }
    CTavrelView* GetView() const { return m_view.get(); }

    // The values of the settings that are choices, as the settings file and the dialogs'
    // radio buttons hold them.
    enum OverwriteInquire
    {
        kAskAlways = 0,  // ask before every existing file is replaced
        kAskIfNewer = 1, // ask only where the existing file is newer
        kNeverAsk = 2,   // replace without a question
    };
    enum LhaMethod
    {
        kStoreOnly = 0, // then 1, 2, 3: "-lh5-", "-lh6-", "-lh7-" (the archive's methodIndex + 1)
    };
    enum LhaAction
    {
        kAddAll = 0,      // add every file, replacing members of its name
        kUpdateNewer = 1, // add only files newer than their members
    };
    enum StartupFolder
    {
        kStartInDocuments = 0,
        kStartInLastFolder = 1,
        kStartInChosenFolder = 2,
    };
    enum ExtractFolder
    {
        kExtractToDocuments = 0,
        kExtractToLastFolder = 1,
        kExtractToDesktop = 2,
        kExtractToChosenFolder = 3,
    };

    // The settings, by their value names (section "Option" unless named otherwise).
    std::wstring m_strLastFolderAdd;
    std::wstring m_strExtractFolder;
    std::wstring m_strStartupFolder;
    int m_nOverwriteInquire = 0;
    std::wstring m_strCommandHistory[3]; // CommandLine1..3, newest first
    int m_nLhaAction = 0;
    int m_nLhaMethod = 0;
    int m_nToLowercase = 0;
    int m_nResetReadOnly = 0;
    std::wstring m_strLastFolderExtract;
    std::wstring m_strLastFolderStartup;
    int m_nExtractFolderType = 0;
    int m_nStartupFolderType = 0;
    int m_nShowFolderEntry = 0;
    int m_nUseFolder = 0;
    int m_nCreateFolder = 0;
    int m_nShowColumn[9] = {}; // by list column; index 0 (the name) is always shown
    int m_nNameEncoding = 0;   // NameEncoding: 0 自動, 1 シフトJIS, 2 UTF-8
    // A name encoding given for this run only (tavrel-cli's --name-encoding), over the
    // setting; never written to the settings file.
    std::optional<NameEncoding> m_nameEncodingForRun;

    // The name encoding archives are opened with.
    NameEncoding NameEncodingInForce() const;

private:
    std::unique_ptr<CTavrelDoc> m_doc;
    std::unique_ptr<CMainFrame> m_frame;
    std::unique_ptr<CTavrelView> m_view;
    bool m_closed = false;
};

// The running application as CTavrelApp.
CTavrelApp* TavrelApp();

// Setting names.
namespace settings
{
inline constexpr const wchar_t* kOption = L"Option";
inline constexpr const wchar_t* kLastFolder = L"LastFolder";
inline constexpr const wchar_t* kHistory = L"CommandLineHistory";
// The column settings by list column (column 0, the name, has none).
inline constexpr const wchar_t* kShowColumn[9] = {
    nullptr,           L"ShowOriginalSize", L"ShowPackedSize", L"ShowRatio", L"ShowModified",
    L"ShowAttributes", L"ShowCrc",          L"ShowMethod",     L"ShowPath"};
} // namespace settings
