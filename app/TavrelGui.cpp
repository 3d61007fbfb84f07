// tavrel: the desktop program. It starts as the application's start-up does (settings, document,
// frame and view, the overwrite policy, the archive given as argument) and runs the window
// until it closes, which closes the archive and saves the command history.
#include "app/TavrelApp.h"
#include "app/TavrelDoc.h"
#include "framework/wx/WxBackend.h"
#include "framework/wx/WxFrame.h"
#include "platform/DevicePath.h"
#include "view/TavrelView.h"

#include <wx/app.h>
#include <wx/cmdline.h>
#include <wx/log.h>
#include <wx/uilocale.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>

namespace
{

// The exit status of a run that ends in OnInit (--check-layout); -1 for none.
int g_exitCode = -1;

constexpr const char* kUsage =
    "usage: tavrel [--config FILE] [--device-root DIR] [ARCHIVE]\n"
    "\n"
    "The desktop archive manager: opens ARCHIVE (LZH or ZIP) when one is given.\n"
    "  --config FILE      the settings file (default: $XDG_CONFIG_HOME/tavrel/Tavrel.ini)\n"
    "  --device-root DIR  map device paths under DIR\n"
    "  --version          the program's version\n"
    "  -h, --help         this text\n";

} // namespace

class CTavrelWxApp : public wxApp
{
public:
    bool OnInit() override
    {
        wxUILocale::UseDefault(); // or narrow Japanese text would come out empty
        if (const char* trace = std::getenv("TAVREL_GUI_TRACE"); trace != nullptr && trace[0]) {
            // Under tests an assertion is printed, never shown in a box that nobody closes.
            wxSetAssertHandler([](const wxString& file, int line, const wxString& function,
                                  const wxString& condition, const wxString& message) {
                std::printf("assert %s:%d %s: %s %s\n", file.utf8_str().data(), line,
                            function.utf8_str().data(), condition.utf8_str().data(),
                            message.utf8_str().data());
            });
        }
        SetAppName("tavrel");
        AfxSetBackend(&m_backend);
        for (int i = 1; i < argc; ++i) {
            if (argv[i] == "--check-layout") {
                // For tests: every dialog and page checked for clipped controls.
                std::string folder = i + 1 < argc ? argv[i + 1].utf8_string() : std::string();
                g_exitCode = m_backend.CheckLayout(folder) == 0 ? 0 : 1;
                return false;
            }
        }
        m_app = std::make_unique<CTavrelApp>();
        std::wstring archive;
        std::wstring refused;
        for (int i = 1; i < argc; ++i) {
            wxString a = argv[i];
            if (a == "--config" && i + 1 < argc) {
                m_app->Profile().SetFile(argv[++i].utf8_string());
            } else if (a == "--device-root" && i + 1 < argc) {
                platform::SetDeviceRoot(
                    std::filesystem::absolute(argv[++i].utf8_string()).string());
            } else if (archive.empty() && refused.empty()) {
                std::string host = platform::AbsoluteHostPath(a.utf8_string());
                archive = platform::ExactDevicePath(host);
                if (archive.empty()) {
                    refused = UnusablePathText(host); // another file would be opened
                }
            }
        }
        if (!m_app->InitInstance(archive)) {
            wxLogError(L"%s", L"書庫を開けませんでした。");
            return false;
        }
        auto* frame = new CWxMainFrame(*m_app, *m_app->GetView());
        m_backend.parent = frame;
        SetTopWindow(frame);
        frame->Show();
        if (!refused.empty()) {
            CallAfter([refused] { AfxMessageBox(refused); });
        }
        return true;
    }

    int OnExit() override
    {
        m_app.reset();
        AfxSetBackend(nullptr);
        return 0;
    }

private:
    CWxBackend m_backend;
    std::unique_ptr<CTavrelApp> m_app;
};

wxDECLARE_APP(CTavrelWxApp);
wxIMPLEMENT_APP_NO_MAIN(CTavrelWxApp);

int main(int argc, char** argv)
{
    // These need no display.
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("tavrel %s\n", TAVREL_VERSION);
            return 0;
        }
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(kUsage, stdout);
            return 0;
        }
    }
    // Without the desktop's message bus the toolkit can neither keep its settings (the file
    // chooser's) nor reach the accessibility bus, and says so on stderr at every turn: it is
    // told to keep them in memory and to leave accessibility alone.
    if (std::getenv("DBUS_SESSION_BUS_ADDRESS") == nullptr) {
        setenv("GSETTINGS_BACKEND", "memory", 0);
        setenv("NO_AT_BRIDGE", "1", 0);
    }
    int result = wxEntry(argc, argv);
    return g_exitCode >= 0 ? g_exitCode : result;
}
