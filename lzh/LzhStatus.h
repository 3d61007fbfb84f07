// Reasons an LZH archive operation failed, left in CLzhReader::status.
#pragma once

enum LzhStatus
{
    kLzhOk = 0,
    kLzhExeCannotBeCreated = 1,  // open: missing archive with ".exe" name and creation allowed
    kLzhCannotOpen = 2,          // open: the archive cannot be opened, creation not allowed
    kLzhNoSfxHeader = 3,         // open: no LZH header in the first 256 KB of an ".exe"
    kLzhHeaderScanFailed = 4,    // open: header checksum or CRC error, or a seek failed
    kLzhBrokenData = 6,          // extract, test: the decoder reported broken data
    kLzhUnsupportedMethod = 7,   // extract, test
    kLzhFolderHasData = 8,       // extract: a folder entry with nonzero sizes
    kLzhCrcMismatch = 9,         // extract, test
    kLzhCannotCreateOutput = 10, // extract
    kLzhSkippedAttributes = 11,  // extract: hidden or system member skipped
    kLzhSkippedNotOlder = 12,    // extract, add: not older, or the user kept the existing file
    kLzhWorkFileFailed = 13,     // add, delete
    kLzhEntryNotFound = 14,      // delete: the record is not in the entry array
    kLzhRewriteFailed = 15,      // close
    kLzhUnsafePath = 16,         // extract: a ".." component would leave the destination
    kLzhWriteFailed = 17,        // extract: the output file could not be written in full
    kLzhPathTooLong = 18,        // extract: the stored path does not fit the record (it was cut);
                                 // add: the path would not be read back whole
    kLzhArchiveIncomplete = 19,  // add, delete: the archive holds bytes that are not members
    kLzhArchiveReadOnly = 20,    // add, delete: the archive file is not writable by its owner
    kLzhLinkInTheWay = 21,       // extract: a symbolic link stands where a folder is needed
    kLzhLinkRefused = 22,        // extract: a link member pointing outside the destination
    kLzhCancelled = 23,          // extract, test: stopped inside the member at the user's word
    kLzhNameNotStorable = 24,    // add: a name that a header cannot hold as it is
    kLzhOutputIsArchive = 25,    // extract: the member's output is the archive being read
    kLzhNotAsked = 26,           // extract: a file stands there and no one can be asked
    kLzhOutputCollision = 27,    // extract: another member of the run wrote that file, and no
                                 // one can be asked
    kLzhDestinationFailed = 28,  // extract: the destination cannot be made or opened
    kLzhDestinationLink = 29,    // extract: a link stands where the folder named after the
                                 // archive is to be
    kLzhNotAFile = 30,           // add: a pipe, a socket or a device, which holds no file
    kLzhArchiveChanged = 31,     // close: another program replaced or rewrote the archive
    kLzhAddCollision = 32,       // add: the same add stored another file under this path
    kLzhSkippedOwnFile = 33,     // add: the file is the open archive (or its work file)
    kLzhTruncatedData = 34,      // extract, test: the member's data end before it does
    kLzhNoMemory = 35,           // extract, test: a buffer the member needs could not be had
    kLzhReadFailed = 36,         // extract, test: the archive could not be read (a failed seek)
    kLzhTooLargeForLevel = 37,   // add: a file of 4 GiB or more for a level 0 or 1 header
    kLzhSourceUnreadable = 101,  // add: the file to add cannot be opened or measured
};
