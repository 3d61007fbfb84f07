// Extract here (tavrel --extract-here, a file manager's "Extract Here"): archives, LZH or ZIP,
// each extracted beside itself by the document's Extract all, with its progress dialog, its
// overwrite questions and its messages, and no main window.
//
// An archive goes into a folder named after it (its name without the extension, as Extract
// all's "create a folder" names it), unless everything it holds lies below one top-level name
// (one file or one folder), which then goes directly beside the archive. Folders are kept.
// The program answers the destination dialog itself, and the folder the dialog proposes next
// time stays as it was. A file in which nothing can be read is said to be no archive, and
// nothing is made for it. The exit status is tavrel-cli's: 0 when every archive opened and
// every member was extracted, 1 otherwise (no archive, a damaged archive, a member not
// extracted, a cancelled run).
#pragma once

#include <string>
#include <string_view>
#include <vector>

class CArchiveObject;
class CTavrelApp;

// The top-level name of a member: the first component of its folders and name, separators
// and "." before it passed over; empty for a member with none, or one that climbs ("..").
std::wstring_view TopLevelName(std::wstring_view folder, std::wstring_view name);

// The top-level name every member of the open archive lies below, when they share one that is
// not the archive's own file name; empty otherwise (an empty archive too).
std::wstring OneTopLevelItem(const CArchiveObject& archive);

class CExtractHere
{
public:
    explicit CExtractHere(CTavrelApp& app) : m_app(app) {}

    // Starts the application, extracts the archives (host paths as the command line gives
    // them) one after the other, closes the application; returns the exit status. With more
    // than one archive, each message names the archive it speaks of.
    int Run(const std::vector<std::string>& hostPaths);

    // Ends the run early (the program is told to end): the progress dialog's Cancel is pressed and
    // no further archive is begun. For the toolkit's main loop, never a signal handler.
    void Stop();

private:
    CTavrelApp& m_app;
    bool m_stopped = false;
};
