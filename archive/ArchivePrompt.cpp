// The silent prompt.
#include "archive/ArchivePrompt.h"

void CArchivePrompt::AskPassword(const wchar_t* /*context*/, wchar_t* /*text*/) {}

void CArchivePrompt::AskOverwrite(const wchar_t* /*fileName*/, bool* /*answer*/) {}

bool CArchivePrompt::ReportProgress(uint64_t /*done*/, uint64_t /*total*/)
{
    return true;
}

CArchivePrompt::~CArchivePrompt() = default;
