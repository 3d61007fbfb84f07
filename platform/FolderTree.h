// CFolderTree: an extraction's destination, opened once and held for the whole run, with
// files, folders and links made below it without ever following a symbolic link there.
// Every component of a relative path is opened from the one before it with no-follow flags.
// A file is written unnamed (or under a temporary name) in its folder and takes its name only
// when CTreeFile::Commit puts it there whole, by one rename over what stood in its place; a
// failed member leaves the place as it was. The destination is the user's choice and may be
// (or lie behind) a link; a folder of the program's own below it (the one named after the
// archive) is not followed when it is a link.
#pragma once

#include "platform/File.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace platform
{

enum class TreeResult
{
    Ok,
    LinkInTheWay,      // a symbolic link stands where a folder of the path is needed
    NotAFolder,        // a file stands where a folder of the path is needed
    Failed,            // the file system refused (LastFileError tells why)
    Protected,         // the place holds the file the tree must never replace (the archive)
    DestinationLink,   // the program's own folder below the destination is a link
    DestinationFailed, // the destination (or that folder) cannot be made or opened
};

// What stands at a path below the destination, looked at without following a link.
struct TreeEntry
{
    enum Kind
    {
        None,
        File,
        Folder,
        Link,
        Other
    } kind = None;
    uint32_t attributes = 0; // as GetFileAttributes for a file
    FileTime lastWritten = 0;
    uint64_t size = 0;
    bool isProtected = false;    // the file the tree must never replace
    bool writtenThisRun = false; // a commit of this run wrote it
    int writtenBy = -1;          // that commit's tag
};

class CFolderTree;

// A file being written for one place below the destination. It has no name there until
// Commit; dropped (destroyed or Discard) it leaves nothing behind.
class CTreeFile
{
public:
    CTreeFile() = default;
    ~CTreeFile() { Discard(); }
    CTreeFile(CTreeFile&& other) noexcept;
    CTreeFile& operator=(CTreeFile&& other) noexcept;
    CTreeFile(const CTreeFile&) = delete;
    CTreeFile& operator=(const CTreeFile&) = delete;

    bool IsOpen() const { return m_file != kInvalidFile; }
    FileHandle Handle() const { return m_file; }
    // Closes the file and puts it in its place: over the file or link standing there (when
    // the file was created to replace one), else where nothing stands (Failed when something
    // appeared meanwhile). Protected when the place now holds the protected file. The tree
    // remembers it under `tag` for the rest of the run. On failure nothing of it stays.
    TreeResult Commit(int tag);
    void Discard();

private:
    friend class CFolderTree;

    CFolderTree* m_tree = nullptr;
    FileHandle m_file = kInvalidFile;
    int m_parent = -1;      // descriptor of the folder that gets the file (owned)
    std::string m_name;     // its name there
    std::string m_tempName; // the temporary name it was written under, or "" when unnamed
    bool m_replace = false; // may replace a file or link standing at m_name
};

class CFolderTree
{
public:
    CFolderTree() = default;
    ~CFolderTree();
    CFolderTree(const CFolderTree&) = delete;
    CFolderTree& operator=(const CFolderTree&) = delete;

    // Names the destination (a device path; empty: the current folder) and, when ownFolder
    // is not empty, a folder of the program's own below it, made without following a link in
    // its place. Nothing is opened or made yet: the first look opens what exists, the first
    // creation makes what is missing, and from then on the folders are held until Close.
    void Open(std::wstring_view destination, std::wstring_view ownFolder = {});
    void Close();
    // Adds a file (device and inode) that nothing made here may replace.
    void Protect(const FileIdentity& identity);

    // Makes the folders of `relative` ('\' or '/' between components) that are missing:
    // all of them when lastToo, else all but the last component.
    TreeResult MakeFolders(std::wstring_view relative, bool lastToo);
    // What stands at `relative`; its folders are walked without following links (a link on
    // the way gives Link).
    TreeEntry Look(std::wstring_view relative);
    // A new file for `relative`, written where it cannot be seen until its Commit. With
    // mayReplace, the commit replaces a file or link standing there; without, it leaves it.
    // The folders must exist.
    CTreeFile CreateFile(std::wstring_view relative, bool mayReplace, TreeResult* why);
    // Puts a symbolic link at `relative` pointing to `target` (written as given), replacing a
    // file or link standing there by one rename.
    TreeResult CreateLink(std::wstring_view relative, std::wstring_view target);

private:
    friend class CTreeFile;

    // Opens (with make: makes first) the destination and the program's folder, once.
    TreeResult Reach(bool make);
    // Opens the folder holding the last component of `relative`, walking from the root
    // without following links; `*last` gets that component. The caller closes it.
    int OpenParent(std::wstring_view relative, std::string* last, TreeResult* why, bool make);
    bool IsProtected(uint64_t device, uint64_t inode) const;
    void Remember(uint64_t device, uint64_t inode, int tag);

    std::string m_destination; // host path of the destination
    std::string m_ownFolder;   // the program's folder below it (UTF-8), or ""
    int m_root = -1;           // descriptor of the folder members go below, once reached
    TreeResult m_reached = TreeResult::DestinationFailed; // why the root was not reached
    bool m_tried = false; // Reach ran with make (a failure then stays)
    std::vector<std::pair<uint64_t, uint64_t>> m_protected; // (device, inode)
    // The files this run committed: (device, inode) to the tag they were committed under.
    std::unordered_map<uint64_t, std::pair<uint64_t, int>> m_written;
};

} // namespace platform
