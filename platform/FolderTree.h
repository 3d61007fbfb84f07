// CFolderTree: a destination folder held open, with files and folders made below it without
// ever following a symbolic link there. Every component of a relative path is opened from the
// one before it with no-follow flags; a link where a file is to be written is replaced, a
// link where a folder is needed stops the path. The destination itself is the user's choice
// and may be (or lie behind) a link.
#pragma once

#include "platform/File.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace platform
{

enum class TreeResult
{
    Ok,
    LinkInTheWay, // a symbolic link stands where a folder of the path is needed
    NotAFolder,   // a file stands where a folder of the path is needed
    Failed,       // the file system refused (LastFileError tells why)
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
};

class CFolderTree
{
public:
    CFolderTree() = default;
    ~CFolderTree();
    CFolderTree(const CFolderTree&) = delete;
    CFolderTree& operator=(const CFolderTree&) = delete;

    // Makes the destination (a device path; empty: the current folder) with the folders above
    // it, and holds it open. False when it cannot be made or opened as a folder.
    bool Open(std::wstring_view destination);
    void Close();

    // Makes the folders of `relative` ('\' or '/' between components) that are missing:
    // all of them when lastToo, else all but the last component.
    TreeResult MakeFolders(std::wstring_view relative, bool lastToo);
    // What stands at `relative`; its folders are walked without following links (a link on
    // the way gives Link).
    TreeEntry Look(std::wstring_view relative) const;
    // Creates the file at `relative` for writing, no sharing. A file or a link standing there
    // is removed first, so the new file never writes through a link (its target is left
    // alone) nor into another name of a hard-linked file. The folders must exist.
    FileHandle CreateFile(std::wstring_view relative, TreeResult* why);
    // Creates a symbolic link at `relative` pointing to `target` (written as given).
    TreeResult CreateLink(std::wstring_view relative, std::wstring_view target);
    // Removes the file (not a folder) at `relative`.
    bool RemoveFile(std::wstring_view relative);

private:
    // Opens the folder holding the last component of `relative`, walking from the root
    // without following links; `*last` gets that component.
    int OpenParent(std::wstring_view relative, std::string* last, TreeResult* why) const;

    int m_root = -1; // descriptor of the destination folder
};

} // namespace platform
