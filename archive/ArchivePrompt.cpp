// The silent prompt.
#include "archive/ArchivePrompt.h"

bool CArchivePrompt::AskPassword(const wchar_t* /*context*/, bool /*again*/, wchar_t* /*text*/)
{
    return false;
}

OverwriteAnswer CArchivePrompt::AskOverwrite(const OverwriteQuestion& /*question*/)
{
    return OverwriteAnswer::No;
}

bool CArchivePrompt::MayReplaceUnasked()
{
    return true;
}

bool CArchivePrompt::ReportProgress(uint64_t /*done*/, uint64_t /*total*/)
{
    return true;
}

CArchivePrompt::~CArchivePrompt() = default;
