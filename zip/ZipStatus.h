// Reasons a ZIP archive operation failed, left in CZipArchive::status.
#pragma once

enum ZipStatus
{
    kZipOk = 0,                  // open: also "the directory was unreadable or rejected"
    kZipCannotOpen = 2,          // open: no such file, a folder, or it cannot be opened
    kZipDamaged = 4,             // extract, test: bad local header or name, or broken data
    kZipUnsupported = 7,         // extract, test: method other than 0, 8, 9, or strong encryption
    kZipCrcMismatch = 9,         // extract, test
    kZipCannotCreateOutput = 10, // extract: the output file cannot be created
    kZipSkipped = 11,            // extract: existing file not older, or the user kept it
    kZipPasswordFailed = 12,     // extract, test: the password given is wrong
    kZipNoEndRecord = 13,        // open: no end-of-central-directory record
    kZipMultiVolume = 14,        // open: the end record's disk number is not 0
    kZipUnsafePath = 16,         // extract: a ".." component would leave the destination
    kZipWriteFailed = 17,        // extract: the output file could not be written in full
    kZipLinkInTheWay = 18,       // extract: a symbolic link stands where a folder is needed
    kZipCancelled = 19,          // extract, test: stopped inside the member at the user's word
    kZipOutputIsArchive = 20,    // extract: the member's output is the archive being read
    kZipNotAsked = 21,           // extract: a file stands there and no one can be asked
    kZipOutputCollision = 22,    // extract: another member of the run wrote that file, and no
                                 // one can be asked
    kZipDestinationFailed = 23,  // extract: the destination cannot be made or opened
    kZipDestinationLink = 24,    // extract: a link stands where the folder named after the
                                 // archive is to be
    kZipOverlapping = 25,        // extract, test: the member's data overlap another member's or
                                 // a header (one stream serving many members)
    kZipNoPassword = 26,         // extract, test: no password given (cancelled, or no one asked)
    kZipReadOnlyFormat = 27,     // add, delete: ZIP archives are only read
    kZipTruncated = 28,          // extract, test: the member's data end before it does
    kZipNoMemory = 29,           // extract, test: a buffer the member needs could not be had
};
