// The silent prompt.
#include "lzh/ArchivePrompt.h"

void CArchivePrompt::AskPassword(const wchar_t* /*context*/, wchar_t* /*text*/) {}

void CArchivePrompt::AskOverwrite(const wchar_t* /*fileName*/, bool* /*answer*/) {}

CArchivePrompt::~CArchivePrompt() = default;
