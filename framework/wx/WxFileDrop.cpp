// Dropped host paths to device paths, handed on once the drop has ended.
#include "framework/wx/WxFileDrop.h"

#include "platform/DevicePath.h"

#include <wx/app.h>

bool CWxFileDrop::OnDropFiles(wxCoord /*x*/, wxCoord /*y*/, const wxArrayString& files)
{
    if (refuse) {
        return false;
    }
    std::vector<std::wstring> paths;
    for (const wxString& file : files) {
        std::wstring device = platform::HostToDevice(file.utf8_string());
        if (!device.empty()) {
            paths.push_back(device);
        }
    }
    if (paths.empty()) {
        return false;
    }
    // The drop ends before the handler's questions and progress windows come up.
    wxTheApp->CallAfter([handler = m_handler, paths] { handler(paths); });
    return true;
}
