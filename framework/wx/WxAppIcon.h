// The program's icon (the package's tavrel.svg, built into the program) at the sizes the
// desktop asks for.
#pragma once

#include <wx/bmpbndl.h>
#include <wx/iconbndl.h>

// The icon as a bitmap bundle (for dialogs) and as the window icons.
wxBitmapBundle AppIconBitmap(const wxSize& size);
wxIconBundle AppIconBundle();
