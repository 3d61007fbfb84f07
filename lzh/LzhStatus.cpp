// The causes of the LZH archive object's statuses.
#include "lzh/LzhStatus.h"
#include "lzh/LzhReader.h"

StatusCause CLzhReader::Cause(int statusValue) const
{
    switch (statusValue) {
    case kLzhOk:
        return StatusCause::None;
    case kLzhExeCannotBeCreated:
    case kLzhCannotOpen:
    case kLzhNoSfxHeader:
    case kLzhHeaderScanFailed:
        return StatusCause::CannotOpen;
    case kLzhBrokenData:
        return StatusCause::Damaged;
    case kLzhUnsupportedMethod:
        return StatusCause::Unsupported;
    case kLzhFolderHasData:
        return StatusCause::FolderHasData;
    case kLzhCrcMismatch:
        return StatusCause::CrcMismatch;
    case kLzhCannotCreateOutput:
        return StatusCause::CannotCreate;
    case kLzhSkippedAttributes:
    case kLzhSkippedNotOlder:
    case kLzhSkippedOwnFile:
        return StatusCause::Skipped;
    case kLzhWorkFileFailed:
    case kLzhRewriteFailed:
        return StatusCause::WorkFailed;
    case kLzhEntryNotFound:
        return StatusCause::EntryNotFound;
    case kLzhUnsafePath:
        return StatusCause::UnsafePath;
    case kLzhWriteFailed:
        return StatusCause::WriteFailed;
    case kLzhPathTooLong:
        return StatusCause::PathTooLong;
    case kLzhArchiveIncomplete:
        return StatusCause::ArchiveIncomplete;
    case kLzhArchiveReadOnly:
        return StatusCause::ArchiveReadOnly;
    case kLzhLinkInTheWay:
        return StatusCause::LinkInTheWay;
    case kLzhLinkRefused:
        return StatusCause::LinkRefused;
    case kLzhCancelled:
        return StatusCause::Cancelled;
    case kLzhNameNotStorable:
        return StatusCause::NameNotStorable;
    case kLzhTooLargeForLevel:
        return StatusCause::TooLargeForLevel;
    case kLzhOutputIsArchive:
        return StatusCause::OutputIsArchive;
    case kLzhNotAsked:
        return StatusCause::NotAsked;
    case kLzhOutputCollision:
        return StatusCause::Collision;
    case kLzhDestinationFailed:
        return StatusCause::DestinationFailed;
    case kLzhDestinationLink:
        return StatusCause::DestinationLink;
    case kLzhNotAFile:
        return StatusCause::NotAFile;
    case kLzhArchiveChanged:
        return StatusCause::ArchiveChanged;
    case kLzhAddCollision:
        return StatusCause::AddCollision;
    case kLzhSourceUnreadable:
        return StatusCause::SourceUnreadable;
    case kLzhTruncatedData:
        return StatusCause::Truncated;
    case kLzhNoMemory:
        return StatusCause::NoMemory;
    case kLzhReadFailed:
        return StatusCause::Failed;
    default:
        return StatusCause::Failed;
    }
}
