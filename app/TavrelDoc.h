// CTavrelDoc: the document. It owns the LZH and ZIP archive objects and the prompt they
// share, knows which of them holds the open archive, and carries out New, Open, Close
// archive, Add, Test and the extraction commands with their messages.
#pragma once

#include "app/CommandLine.h"
#include "app/Dialogs.h"
#include "framework/DocView.h"
#include "lzh/LzhArchive.h"
#include "zip/ZipArchive.h"

#include <string>
#include <vector>

enum ArchiveType
{
    kArchiveNone = 0,
    kArchiveLzh = 1,
    kArchiveZip = 2,
};

class CTavrelDoc : public CDocument
{
public:
    CTavrelDoc();
    ~CTavrelDoc() override;

    bool OnNewDocument() override;
    // An open LZH archive with changes that its Close will write.
    bool IsModified() const override;
    void OnCloseDocument() override;
    bool OnCmdMsg(int id) override;

    void OnFileOpenArchive();
    // The File menu's n-th recent archive, opened as Open does (after the close question).
    void OnOpenRecentFile(int n);
    void OnArchiveClose();
    // Add: the files chosen, each stored as the settings say.
    void OnArchiveAdd();
    // Add folder: the folder chosen with everything below it.
    void OnArchiveAddFolder();
    void OnArchiveTest();
    void OnExtractAll();
    // The settings sheet; on OK the settings, the overwrite policy and the views change and
    // every "Option" value is written.
    void OnOptionSettings();
    // The command-line dialog, then its command on the open LZH archive.
    void OnArchiveCommandLine();
    // Runs a typed command on the open LZH archive, records it in the history and updates
    // the views; false when it was invalid (after its message).
    bool RunCommandLine(const std::wstring& text);
    // The same with its tokens given (tavrel-cli's words); text is what the history keeps.
    bool RunCommandTokens(const std::vector<std::wstring>& tokens, const std::wstring& text);
    // The extraction flow of both commands: selected holds the entry indices of the selected
    // rows in list order (null: every member).
    void ExtractMembers(const std::vector<int>* selected);

    // Opens path as LZH or ZIP by its extension (or the type last tried when it has none).
    bool OpenArchiveByType(const std::wstring& path);
    // True when an archive was open and has been closed (LZH changes are committed). When the
    // changes cannot be written the user is told, and the archive stays open with them.
    bool CloseArchive();
    // Sets both archive objects' overwrite flags from the setting OverwriteInquire.
    void ApplyOverwriteInquire();
    // The add settings (method, add or update) on the LZH object, for the menu's adds.
    void ApplyAddSettings();
    // Sets what the menu's commands go by from the settings, each time one runs.
    void ApplyMenuPolicy();

    // The folder an archive extracts into when asked: its name without the extension (with
    // '_' for the last '.' when that would leave "", "." or "..").
    static std::wstring ArchiveFolderName(const std::wstring& archivePath);
    // destination + "\" (unless it ends with one) + ArchiveFolderName(archivePath).
    static std::wstring MakeArchiveFolderPath(const std::wstring& destination,
                                              const std::wstring& archivePath);
    // Up to and including the last "\" (either separator); empty when there is none.

    // The archive object that holds the open archive (or the last one tried): the LZH
    // object for type 1, the ZIP object otherwise.
    CArchiveObject& Archive() const;

    // The open archive's member count and a member's name (empty for a folder entry).
    int MemberCount() const;
    std::wstring MemberName(int index) const;
    // The name, or a folder entry's folders: how messages and progress name a member.
    std::wstring MemberLabel(int index) const;
    // ExtractEntry on the open archive's member index; the cause of its status in *cause.
    bool ExtractMember(int index, StatusCause* cause);

    CZipArchive* m_pZip;
    bool m_bFirstNewPending = true;
    CLzhArchive* m_pLzh;
    int m_nArchiveType = kArchiveNone;
    bool m_bArchiveOpen = false;

    // The typed command line's processor (its folder and matching switches last between
    // commands).
    CCommandLineProcessor m_commandLine;

    // What the last Test or extraction met, for the console's exit status.
    int m_nLastBroken = 0;
    int m_nLastUnsupported = 0;
    int m_nLastSkipped = 0; // kept: an existing file won, by the rules or the user's answer
    // Changes refused or failed, and other failures, since the program started.
    int m_nLastFailed = 0;

    // Adds files and folders (device paths) to the open LZH archive as Add does, with the
    // method and action settings; a folder comes with everything below it, stored by its
    // path from the folder that holds it. False when one failed (after its message).
    bool AddFiles(const std::vector<std::wstring>& paths);

    // When the open archive is an LZH archive that cannot be changed, says why and returns
    // true.
    bool RefuseUnchangeable();
    // When the open archive could not be read to its end, says where reading stopped and
    // counts it as a failure; false when it was read whole.
    bool ReportUnreadableRest();
    // When the file just opened holds no member and could not be read whole (a text file
    // named .lzh), says so with its name. The list stays empty and changes stay refused.
    void ReportNotAnArchive();

private:
    // Tests or extracts count members (the indices in selected, or the first count) under the
    // progress dialog, counting them by outcome; true when the user cancelled.
    bool RunMembers(CProgressDlg& progress, int count, const std::vector<int>* selected);
    void ShowArchiveName(const std::wstring& path);
    std::wstring StartFolder() const;
    std::wstring InitialDestination() const;
    bool AskToClose();
    // Where the next Add starts: the folder of path.
    void RememberAddFolder(const std::wstring& path);

    CUserPrompt m_prompt;
};
