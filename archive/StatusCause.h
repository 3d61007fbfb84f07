// StatusCause: why an archive operation failed, in words both formats share. Each archive
// object names the cause of its own status numbers, so that the program has one message per
// cause whatever the format.
#pragma once

enum class StatusCause
{
    None, // nothing failed
    // Members that were not extracted or tested.
    Unsupported,   // a method, an encryption or a feature this reader does not have
    Skipped,       // kept by a rule (not older, hidden, system) or by the user's answer
    Cancelled,     // the user stopped it inside the member, or at a question
    Damaged,       // the data break their format's rules
    Truncated,     // the data end before the member does
    CrcMismatch,   // decoded whole, but not to the bytes that were stored
    NoMemory,      // a buffer the member needs could not be had
    WrongPassword, // the password given does not fit
    NoPassword,    // no password was given
    Overlapping,   // the member's data are another member's (a "zip bomb")
    FolderHasData, // a folder entry that claims data
    // Where a member was to be written.
    UnsafePath,        // a ".." component would leave the destination
    PathTooLong,       // the stored path does not fit, cut it would name another file
    LinkInTheWay,      // a symbolic link stands where a folder of the path is needed
    LinkRefused,       // a link member pointing outside the destination
    CannotCreate,      // the output could not be made
    WriteFailed,       // the output could not be written whole (a full disk)
    OutputIsArchive,   // the output would replace the archive being read
    NotAsked,          // a file stands there and no one can be asked
    Collision,         // another member of the run wrote that file, and no one can be asked
    DestinationFailed, // the destination (or the folder named after the archive) cannot be made
    DestinationLink,   // a link stands where the folder named after the archive goes
    // Changes.
    ArchiveIncomplete, // the archive holds bytes that are not members: never changed
    ArchiveReadOnly,   // the archive file may not be written
    ReadOnlyFormat,    // the format is only read (ZIP)
    ArchiveChanged,    // another program saved the archive since it was opened
    NameNotStorable,   // a name a header cannot hold as it is
    TooLargeForLevel,  // a file of 4 GiB or more, which only a level 2 header can hold
    NotAFile,          // a pipe, a socket or a device, which holds no file
    AddCollision,      // the same add stored another file under the same name
    SourceUnreadable,  // the file to add cannot be read
    WorkFailed,        // the work or spill file could not be written
    EntryNotFound,     // no such member
    // Opening.
    CannotOpen, // no such archive, or not one this program reads
    Failed,     // any other failure
};
