// Statuses of both archive objects turned into outcomes and messages, in one place.
#include "app/Outcome.h"

#include "framework/Framework.h"
#include "lzh/LzhStatus.h"
#include "res/Strings.h"
#include "zip/ZipStatus.h"

MemberOutcome ExtractOutcome(bool lzh, int status)
{
    if (lzh) {
        switch (status) {
        case kLzhUnsupportedMethod:
            return MemberOutcome::Unsupported;
        case kLzhSkippedAttributes:
        case kLzhSkippedNotOlder:
            return MemberOutcome::Skipped;
        case kLzhCancelled:
            return MemberOutcome::Cancelled;
        default:
            return MemberOutcome::Failed;
        }
    }
    switch (status) {
    case kZipUnsupported:
        return MemberOutcome::Unsupported;
    case kZipSkipped:
        return MemberOutcome::Skipped;
    case kZipCancelled:
        return MemberOutcome::Cancelled;
    default:
        return MemberOutcome::Failed;
    }
}

std::wstring ExtractFailureText(bool lzh, int status, const std::wstring& name)
{
    if (lzh && status == kLzhPathTooLong) {
        return FormatText(res::kPathTooLongToExtract, name.c_str());
    }
    if ((lzh && status == kLzhLinkInTheWay) || (!lzh && status == kZipLinkInTheWay)) {
        return FormatText(res::kLinkInTheWay, name.c_str());
    }
    if ((lzh && status == kLzhUnsafePath) || (!lzh && status == kZipUnsafePath)) {
        return FormatText(res::kUnsafePath, name.c_str());
    }
    if ((lzh && status == kLzhCannotCreateOutput) || (!lzh && status == kZipCannotCreateOutput)) {
        return FormatText(res::kCannotCreateFile, name.c_str());
    }
    if ((lzh && status == kLzhWriteFailed) || (!lzh && status == kZipWriteFailed)) {
        return FormatText(res::kCannotWriteFile, name.c_str());
    }
    if (lzh && status == kLzhLinkRefused) {
        return FormatText(res::kLinkRefused, name.c_str());
    }
    return FormatText(res::kBrokenFile, name.c_str());
}

std::wstring ChangeFailureText(int status, const std::wstring& name)
{
    switch (status) {
    case kLzhArchiveIncomplete:
        return res::kArchiveIncomplete;
    case kLzhArchiveReadOnly:
        return res::kArchiveReadOnly;
    case kLzhPathTooLong:
        return FormatText(res::kPathTooLongToAdd, name.c_str());
    case kLzhNameNotStorable:
        return FormatText(res::kNameNotStorable, name.c_str());
    default:
        return res::kAddFailed;
    }
}
