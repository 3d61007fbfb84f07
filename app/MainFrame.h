// CMainFrame: the main window with the command bar and the archive-name bar.
#pragma once

#include "framework/DocView.h"

class CMainFrame : public CFrameWnd
{};
