// tavrel: the desktop program. It starts as the Part's start-up does (settings, document,
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
#include <filesystem>
#include <memory>

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
        m_app = std::make_unique<CTavrelApp>();
        std::wstring archive;
        for (int i = 1; i < argc; ++i) {
            wxString a = argv[i];
            if (a == "--config" && i + 1 < argc) {
                m_app->Profile().SetFile(argv[++i].utf8_string());
            } else if (a == "--device-root" && i + 1 < argc) {
                platform::SetDeviceRoot(
                    std::filesystem::absolute(argv[++i].utf8_string()).string());
            } else if (archive.empty()) {
                archive = platform::HostToDevice(
                    std::filesystem::absolute(a.utf8_string()).lexically_normal().string());
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
wxIMPLEMENT_APP(CTavrelWxApp);
