// Dropped host paths to device paths, handed on once the drop has ended.
#include "framework/wx/WxFileDrop.h"

#include "framework/Framework.h"
#include "platform/DevicePath.h"

#include <wx/app.h>

bool CWxFileDrop::OnDropFiles(wxCoord /*x*/, wxCoord /*y*/, const wxArrayString& files)
{
    if (refuse) {
        return false;
    }
    // A file that no device path names is not taken (another file would be); the user is
    // told why once the drop has ended.
    std::vector<std::wstring> paths;
    std::vector<std::wstring> refusals;
    for (const wxString& file : files) {
        std::wstring device = platform::ExactDevicePath(file.utf8_string());
        if (!device.empty()) {
            paths.push_back(device);
        } else {
            refusals.push_back(UnusablePathText(file.utf8_string()));
        }
    }
    // The drop ends before the handler's questions and progress windows come up.
    wxTheApp->CallAfter([handler = m_handler, paths, refusals] {
        for (const std::wstring& text : refusals) {
            AfxMessageBox(text);
        }
        if (!paths.empty()) {
            handler(paths);
        }
    });
    return !paths.empty();
}
