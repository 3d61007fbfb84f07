// The typed command line: LHA-style commands on the open LZH archive ("e -x1 *.txt",
// "a -o4 file", "d name"). Tokenizing with quotes, switches and command letters, the file
// search for adding, extract, delete and add with their go-on-or-end rules, and the wildcard
// match of member names. Some state (folders, recursion, full-path matching) lasts from one
// command to the next.
#pragma once

#include "lzh/LzhArchive.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// The limits of one command; beyond them the whole command is refused. The list of files and
// patterns grows as needed.
constexpr size_t kMaxTokens = 100;
constexpr size_t kMaxStorePatterns = 64;

enum CommandLineCommand
{
    kCommandNone = 0,
    kCommandExtract = 1,
    kCommandAdd = 2,
    kCommandDelete = 3,
    kCommandInvalid = -1, // an invalid switch or a limit exceeded
};

// What typed switches, command letters and folder words set: it lasts from one typed command
// to the next and is applied to the archive object only while a typed command runs, so that
// the menu's commands keep what the settings say. Unset values are the archive object's own.
struct TypedSettings
{
    std::optional<std::wstring> destFolder;
    std::optional<bool> keepFolders, lowercase, resetReadOnly, skipHidden, skipSystem, ignoreErrors,
        addMode, overwriteSilently, storeOnly;
    std::optional<int> headerLevel, methodIndex;

    void ApplyTo(CLzhArchive& archive) const;
};

// The archive object's fields that typed commands may set, as they were before one ran.
struct ArchiveFields
{
    std::wstring destFolder;
    bool keepFolders, lowercase, resetReadOnly, skipHidden, skipSystem, ignoreErrors, addMode,
        overwriteSilently, storeOnly;
    int headerLevel, methodIndex;
};
ArchiveFields CaptureFields(const CLzhArchive& archive);
void RestoreFields(const ArchiveFields& fields, CLzhArchive& archive);

// Splits text into tokens; false when it holds more than kMaxTokens.
bool TokenizeCommand(std::wstring_view text, std::vector<std::wstring>& tokens);

class CCommandLineProcessor
{
public:
    // Lists the files (and folders) a name or pattern of the add command finds: calls found
    // for each entry (name within its folder, folder flag); false when nothing matches.
    using Search = std::function<bool(const std::wstring& pattern,
                                      const std::function<void(const std::wstring&, bool)>& found)>;

    CCommandLineProcessor();

    // Interprets the tokens (switches and letters set `typed`) and returns the command; names
    // for adding are searched, others kept as patterns.
    int Interpret(const std::vector<std::wstring>& tokens);
    // Tokenizes, interprets and runs text on archive. Messages go through report (the
    // program's texts); false when the command was invalid.
    bool Run(const std::wstring& text, CLzhArchive& archive);
    // Run on tokens given one by one (a shell's words: spaces and quotes are part of them).
    bool RunTokens(const std::vector<std::wstring>& tokens, CLzhArchive& archive);

    // Whether a member path is one the command's patterns name (all when there are none).
    // With `named`, every pattern that names it is marked there (one flag per pattern).
    bool MatchesMember(const std::wstring& memberPath, std::vector<bool>* named = nullptr) const;

    // Runs the interpreted command (Interpret's result) with `typed` in force on archive,
    // whose fields are as they were afterwards, and empties the lists.
    void Execute(int command, CLzhArchive& archive);

    // Host paths: only '-' starts a switch, and a path's '/' separates folders (an absolute
    // one is mapped to the device). Off: '/' starts a switch too, as on the device.
    bool hostPaths = true;
    Search search;
    std::function<void(const std::wstring&)> report;

    // Members and files that failed or were refused by the commands run (the caller resets it).
    int failures = 0;

    // Kept between commands.
    TypedSettings typed;
    bool includeFolders = false;
    bool recurse = false;
    bool fullPathMatch = false;

    // One command's lists.
    std::vector<std::wstring> fileList;
    std::vector<std::wstring> storePatterns;

private:
    bool Switch(const std::wstring& token);
    void SearchFiles(const std::wstring& pattern);
    void Fail(const std::wstring& message);
    // Tells of every pattern that named no member (nothing of what was asked was done).
    void ReportUnnamed(const std::vector<bool>& named);
    void Extract(CLzhArchive& archive);
    void Delete(CLzhArchive& archive);
    void Add(CLzhArchive& archive);
    // Whether a source file is stored rather than compressed by a store pattern.
    bool StoredByPattern(const std::wstring& source) const;

    int m_namesTyped = 0; // the names and patterns of the command being interpreted
    std::set<std::pair<uint64_t, uint64_t>> m_seenFolders; // walked by its search (device, inode)
};

// The member's stored folder and name, without a trailing '\'.
std::wstring MemberPath(const CArchiveEntry& entry);

// The history after running text: put in front unless it equals one of the three.
void UpdateCommandHistory(std::wstring (&history)[3], const std::wstring& text);

// The file search on the device's folders.
bool SearchDeviceFiles(const std::wstring& pattern,
                       const std::function<void(const std::wstring&, bool)>& found);
