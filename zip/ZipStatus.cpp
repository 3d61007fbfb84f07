// The causes of the ZIP archive object's statuses, and the changes it refuses.
#include "zip/ZipStatus.h"
#include "zip/ZipArchive.h"

StatusCause CZipArchive::Cause(int statusValue) const
{
    switch (statusValue) {
    case kZipOk:
        return StatusCause::None;
    case kZipCannotOpen:
    case kZipNoEndRecord:
    case kZipMultiVolume:
        return StatusCause::CannotOpen;
    case kZipDamaged:
        return StatusCause::Damaged;
    case kZipUnsupported:
        return StatusCause::Unsupported;
    case kZipCrcMismatch:
        return StatusCause::CrcMismatch;
    case kZipCannotCreateOutput:
        return StatusCause::CannotCreate;
    case kZipSkipped:
        return StatusCause::Skipped;
    case kZipPasswordFailed:
        return StatusCause::WrongPassword;
    case kZipUnsafePath:
        return StatusCause::UnsafePath;
    case kZipWriteFailed:
        return StatusCause::WriteFailed;
    case kZipLinkInTheWay:
        return StatusCause::LinkInTheWay;
    case kZipCancelled:
        return StatusCause::Cancelled;
    case kZipOutputIsArchive:
        return StatusCause::OutputIsArchive;
    case kZipNotAsked:
        return StatusCause::NotAsked;
    case kZipOutputCollision:
        return StatusCause::Collision;
    case kZipDestinationFailed:
        return StatusCause::DestinationFailed;
    case kZipDestinationLink:
        return StatusCause::DestinationLink;
    case kZipOverlapping:
        return StatusCause::Overlapping;
    case kZipNoPassword:
        return StatusCause::NoPassword;
    case kZipReadOnlyFormat:
        return StatusCause::ReadOnlyFormat;
    case kZipTruncated:
        return StatusCause::Truncated;
    case kZipNoMemory:
        return StatusCause::NoMemory;
    default:
        return StatusCause::Failed;
    }
}

bool CZipArchive::CanChange()
{
    status = kZipReadOnlyFormat;
    return false;
}

bool CZipArchive::DeleteEntries(std::vector<int> /*indices*/)
{
    status = kZipReadOnlyFormat;
    return false;
}
