// CWxFileDrop: the drop target of the member list. Files and folders dropped from a file
// manager arrive as host paths and go on to a handler as device paths.
#pragma once

#include <wx/dnd.h>

#include <functional>
#include <string>
#include <vector>

class CWxFileDrop : public wxFileDropTarget
{
public:
    using Handler = std::function<void(const std::vector<std::wstring>& devicePaths)>;
    explicit CWxFileDrop(Handler handler) : m_handler(std::move(handler)) {}

    bool OnDropFiles(wxCoord x, wxCoord y, const wxArrayString& files) override;

    // Set while the list's own rows are dragged out: they are not dropped back in.
    bool refuse = false;

private:
    Handler m_handler;
};
