// Statuses of both archive objects turned into outcomes and messages, in one place.
#include "app/Outcome.h"

#include "framework/Framework.h"
#include "lzh/LzhStatus.h"
#include "platform/Text.h"
#include "res/Strings.h"
#include "zip/ZipStatus.h"

#include <algorithm>

std::wstring MemberLabel(std::wstring_view name, std::wstring_view folder)
{
    if (!name.empty()) {
        return std::wstring(name);
    }
    std::wstring label(folder);
    std::replace(label.begin(), label.end(), L'\\', L'/');
    return label;
}

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
        case kLzhDestinationFailed:
        case kLzhDestinationLink:
            return MemberOutcome::Stopped;
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
    case kZipDestinationFailed:
    case kZipDestinationLink:
        return MemberOutcome::Stopped;
    default:
        return MemberOutcome::Failed;
    }
}

std::wstring ExtractFailureText(bool lzh, int status, const std::wstring& name,
                                const std::wstring& other, const std::wstring& destination)
{
    if ((lzh && status == kLzhDestinationLink) || (!lzh && status == kZipDestinationLink)) {
        return FormatNamed(res::kLinkInTheWay, destination);
    }
    if ((lzh && status == kLzhDestinationFailed) || (!lzh && status == kZipDestinationFailed)) {
        return FormatNamed(res::kCannotCreateFolder, destination);
    }
    if ((lzh && status == kLzhNotAsked) || (!lzh && status == kZipNotAsked)) {
        return FormatNamed(res::kNotAsked, name);
    }
    if ((lzh && status == kLzhOutputCollision) || (!lzh && status == kZipOutputCollision)) {
        return FormatText(res::kOutputCollision, platform::EscapeControls(name).c_str(),
                          platform::EscapeControls(other).c_str());
    }
    if ((lzh && status == kLzhOutputIsArchive) || (!lzh && status == kZipOutputIsArchive)) {
        return FormatNamed(res::kOutputIsArchive, name);
    }
    if (!lzh && status == kZipOverlapping) {
        return FormatNamed(res::kOverlapping, name);
    }
    if (!lzh && status == kZipPasswordFailed) {
        return FormatNamed(res::kWrongPassword, name);
    }
    if (!lzh && status == kZipNoPassword) {
        return FormatNamed(res::kNoPassword, name);
    }
    if (lzh && status == kLzhPathTooLong) {
        return FormatNamed(res::kPathTooLongToExtract, name);
    }
    if ((lzh && status == kLzhLinkInTheWay) || (!lzh && status == kZipLinkInTheWay)) {
        return FormatNamed(res::kLinkInTheWay, name);
    }
    if ((lzh && status == kLzhUnsafePath) || (!lzh && status == kZipUnsafePath)) {
        return FormatNamed(res::kUnsafePath, name);
    }
    if ((lzh && status == kLzhCannotCreateOutput) || (!lzh && status == kZipCannotCreateOutput)) {
        return FormatNamed(res::kCannotCreateFile, name);
    }
    if ((lzh && status == kLzhWriteFailed) || (!lzh && status == kZipWriteFailed)) {
        return FormatNamed(res::kCannotWriteFile, name);
    }
    if (lzh && status == kLzhLinkRefused) {
        return FormatNamed(res::kLinkRefused, name);
    }
    return FormatNamed(res::kBrokenFile, name);
}

bool AddGoesOn(int status)
{
    return status == kLzhNotAFile || status == kLzhAddCollision;
}

std::wstring ChangeFailureText(int status, const std::wstring& name, const std::wstring& other)
{
    if (status == kLzhAddCollision) {
        return FormatText(res::kAddCollision, platform::EscapeControls(name).c_str(),
                          platform::EscapeControls(other).c_str());
    }
    switch (status) {
    case kLzhArchiveIncomplete:
        return res::kArchiveIncomplete;
    case kLzhArchiveReadOnly:
        return res::kArchiveReadOnly;
    case kLzhPathTooLong:
        return FormatNamed(res::kPathTooLongToAdd, name);
    case kLzhNameNotStorable:
        return FormatNamed(res::kNameNotStorable, name);
    case kLzhNotAFile:
        return FormatNamed(res::kNotAFile, name);
    default:
        return name.empty() ? std::wstring(res::kAddFailed)
                            : FormatNamed(res::kAddFailedNamed, name);
    }
}
