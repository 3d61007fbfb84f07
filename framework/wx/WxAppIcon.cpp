// The window icons drawn from the built-in SVG text.
#include "framework/wx/WxAppIcon.h"

// kAppIconSvg: the text of packaging/tavrel.svg, generated at build time.
#include "WxAppIconSvg.h"

wxBitmapBundle AppIconBitmap(const wxSize& size)
{
    return wxBitmapBundle::FromSVG(kAppIconSvg, size);
}

wxIconBundle AppIconBundle()
{
    wxIconBundle icons;
    for (int side : {16, 24, 32, 48, 64, 128}) {
        icons.AddIcon(AppIconBitmap(wxSize(side, side)).GetIcon(wxSize(side, side)));
    }
    return icons;
}
