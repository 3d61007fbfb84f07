// The causes of both archive objects' statuses turned into outcomes and messages, in one
// place.
#include "app/Outcome.h"

#include "framework/Framework.h"
#include "platform/Text.h"
#include "res/Strings.h"

#include <algorithm>

namespace
{

// The messages of one name: extraction's, by cause.
struct NamedText
{
    StatusCause cause;
    const wchar_t* text;
};

const NamedText kExtractTexts[] = {
    {StatusCause::PathTooLong, res::kPathTooLongToExtract},
    {StatusCause::LinkInTheWay, res::kLinkInTheWay},
    {StatusCause::UnsafePath, res::kUnsafePath},
    {StatusCause::CannotCreate, res::kCannotCreateFile},
    {StatusCause::WriteFailed, res::kCannotWriteFile},
    {StatusCause::LinkRefused, res::kLinkRefused},
    {StatusCause::NotAsked, res::kNotAsked},
    {StatusCause::OutputIsArchive, res::kOutputIsArchive},
    {StatusCause::Overlapping, res::kOverlapping},
    {StatusCause::WrongPassword, res::kWrongPassword},
    {StatusCause::NoPassword, res::kNoPassword},
    {StatusCause::Truncated, res::kTruncatedMember},
    {StatusCause::NoMemory, res::kNoMemoryForMember},
    {StatusCause::Unsupported, res::kUnsupportedMember},
};

std::wstring TwoNames(const wchar_t* format, const std::wstring& name, const std::wstring& other)
{
    return FormatText(format, platform::EscapeControls(name).c_str(),
                      platform::EscapeControls(other).c_str());
}

} // namespace

std::wstring MemberLabel(std::wstring_view name, std::wstring_view folder)
{
    if (!name.empty()) {
        return std::wstring(name);
    }
    std::wstring label(folder);
    std::replace(label.begin(), label.end(), L'\\', L'/');
    return label;
}

MemberOutcome OutcomeOf(StatusCause cause)
{
    switch (cause) {
    case StatusCause::None:
        return MemberOutcome::Done;
    case StatusCause::Unsupported:
        return MemberOutcome::Unsupported;
    case StatusCause::Skipped:
        return MemberOutcome::Skipped;
    case StatusCause::Cancelled:
        return MemberOutcome::Cancelled;
    case StatusCause::DestinationFailed:
    case StatusCause::DestinationLink:
        return MemberOutcome::Stopped;
    default:
        return MemberOutcome::Failed;
    }
}

std::wstring ExtractFailureText(StatusCause cause, const std::wstring& name,
                                const std::wstring& other, const std::wstring& destination)
{
    switch (cause) {
    case StatusCause::DestinationLink:
        return FormatNamed(res::kLinkInTheWay, destination);
    case StatusCause::DestinationFailed:
        return FormatNamed(res::kCannotCreateFolder, destination);
    case StatusCause::Collision:
        return TwoNames(res::kOutputCollision, name, other);
    default:
        break;
    }
    for (const NamedText& t : kExtractTexts) {
        if (t.cause == cause) {
            return FormatNamed(t.text, name);
        }
    }
    return FormatNamed(res::kBrokenFile, name);
}

bool AddGoesOn(StatusCause cause)
{
    return cause == StatusCause::NotAFile || cause == StatusCause::AddCollision;
}

std::wstring ChangeFailureText(StatusCause cause, const std::wstring& name,
                               const std::wstring& other)
{
    switch (cause) {
    case StatusCause::AddCollision:
        return TwoNames(res::kAddCollision, name, other);
    case StatusCause::ArchiveIncomplete:
        return res::kArchiveIncomplete;
    case StatusCause::ArchiveReadOnly:
        return res::kArchiveReadOnly;
    case StatusCause::ReadOnlyFormat:
        return res::kOnlyLzhCanBeCreated;
    case StatusCause::PathTooLong:
        return FormatNamed(res::kPathTooLongToAdd, name);
    case StatusCause::NameNotStorable:
        return FormatNamed(res::kNameNotStorable, name);
    case StatusCause::TooLargeForLevel:
        return FormatNamed(res::kTooLargeForLevel, name);
    case StatusCause::NotAFile:
        return FormatNamed(res::kNotAFile, name);
    default:
        return name.empty() ? std::wstring(res::kAddFailed)
                            : FormatNamed(res::kAddFailedNamed, name);
    }
}
