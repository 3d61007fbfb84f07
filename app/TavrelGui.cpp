// tavrel: the desktop program. It starts as the application's start-up does (settings,
// document, frame and view, the overwrite policy, the archive given as argument) and runs the
// window until it closes, which closes the archive and saves the command history. Each further
// archive on the command line opens in a program of its own, with the same settings file and
// device root. SIGTERM and SIGHUP close the window as File > Exit does, from the main loop.
// With --extract-here the archives are extracted beside themselves (ExtractHere.h), with no
// window but the progress, the questions and the messages.
#include "app/ExtractHere.h"
#include "app/TavrelApp.h"
#include "app/TavrelDoc.h"
#include "framework/wx/WxBackend.h"
#include "framework/wx/WxFrame.h"
#include "platform/DevicePath.h"
#include "platform/Text.h"
#include "res/Strings.h"
#include "view/TavrelView.h"

#include <glib-unix.h>
#include <glib.h>
#include <wx/app.h>
#include <wx/evtloop.h>
#include <wx/log.h>
#include <wx/modalhook.h>
#include <wx/uilocale.h>
#include <wx/weakref.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace
{

// The exit status of a run that ends in OnInit (--check-layout, --extract-here); -1 for none.
int g_exitCode = -1;

constexpr const char* kUsage =
    "usage: tavrel [--config FILE] [--device-root DIR] [ARCHIVE...]\n"
    "       tavrel [--config FILE] [--device-root DIR] --extract-here ARCHIVE...\n"
    "\n"
    "The desktop archive manager: opens ARCHIVE (LZH or ZIP) when one is given; each further\n"
    "ARCHIVE opens in a window of its own (a program of its own, with the same --config and\n"
    "--device-root).\n"
    "  --extract-here     extract each ARCHIVE beside itself, into a folder named after it\n"
    "                     (its name without the extension) unless it holds exactly one\n"
    "                     top-level file or folder; no main window opens. Exit status 0 when\n"
    "                     everything was extracted, 1 when an archive or a member failed\n"
    "  --config FILE      the settings file (default: $XDG_CONFIG_HOME/tavrel/Tavrel.ini)\n"
    "  --device-root DIR  map device paths under DIR\n"
    "  --version          the program's version\n"
    "  -h, --help         this text\n"
    "SIGTERM and SIGHUP close the window as File > Exit does (changes are written).\n";

// Counts the modal dialogs open: the program is closed only when none is, and no command
// is running.
class CModalCount : public wxModalDialogHook
{
public:
    int open = 0;

protected:
    int Enter(wxDialog* /*dialog*/) override
    {
        ++open;
        return wxID_NONE;
    }
    void Exit(wxDialog* /*dialog*/) override { --open; }
};

// What the command line asks.
struct Arguments
{
    std::string config, deviceRoot;
    bool extractHere = false;
    std::vector<std::string> archives;
};

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
        Arguments args = ParseArguments();
        m_app = std::make_unique<CTavrelApp>();
        if (!args.config.empty()) {
            m_app->Profile().SetFile(args.config);
        }
        if (!args.deviceRoot.empty()) {
            platform::SetDeviceRoot(args.deviceRoot);
        }
        if (args.extractHere) {
            return RunExtractHere(args.archives);
        }
        for (size_t i = 1; i < args.archives.size(); ++i) {
            OpenInNewProgram(args, args.archives[i]);
        }
        std::wstring archive;
        std::wstring refused;
        if (!args.archives.empty()) {
            std::string host = platform::AbsoluteHostPath(args.archives[0]);
            archive = platform::ExactDevicePath(host);
            if (archive.empty()) {
                refused = UnusablePathText(host); // another file would be opened
            }
        }
        if (!m_app->InitInstance(archive)) {
            wxLogError(L"%s", res::kCannotOpenArchive);
            return false;
        }
        auto* frame = new CWxMainFrame(*m_app, *m_app->GetView());
        m_frame = frame;
        m_backend.parent = frame;
        SetTopWindow(frame);
        frame->Show();
        if (!refused.empty()) {
            CallAfter([refused] { AfxMessageBox(refused); });
        } else if (!archive.empty()) {
            // A file that is no archive is said to be so once the window shows.
            CallAfter([this] { m_app->GetDocument()->ReportNotAnArchive(); });
        }
        m_modalCount.Register();
        Bind(wxEVT_IDLE, &CTavrelWxApp::OnIdleClose, this);
        WatchEndSignals([](CTavrelWxApp& app) {
            app.m_closeRequested = true;
            wxWakeUpIdle();
        });
        return true;
    }

    int OnExit() override
    {
        UnwatchEndSignals();
        m_modalCount.Unregister();
        m_app.reset();
        AfxSetBackend(nullptr);
        return 0;
    }

private:
    Arguments ParseArguments()
    {
        Arguments args;
        bool options = true;
        for (int i = 1; i < argc; ++i) {
            wxString a = argv[i];
            if (options && a == "--") {
                options = false;
            } else if (options && a == "--config" && i + 1 < argc) {
                args.config = argv[++i].utf8_string();
            } else if (options && a == "--device-root" && i + 1 < argc) {
                std::error_code ignored;
                args.deviceRoot =
                    std::filesystem::absolute(argv[++i].utf8_string(), ignored).string();
            } else if (options && a == "--extract-here") {
                args.extractHere = true;
            } else {
                args.archives.push_back(a.utf8_string());
            }
        }
        return args;
    }

    // Starts this program anew for one archive. It is reaped by the system, not by this
    // program, which may end first.
    void OpenInNewProgram(const Arguments& args, const std::string& archive)
    {
        std::vector<std::string> words = {"/proc/self/exe", argv[0].utf8_string()};
        if (!args.config.empty()) {
            words.insert(words.end(), {"--config", args.config});
        }
        if (!args.deviceRoot.empty()) {
            words.insert(words.end(), {"--device-root", args.deviceRoot});
        }
        // Absolute, the path reads as no option.
        std::string host = platform::AbsoluteHostPath(archive);
        words.push_back(host);
        std::vector<char*> childArgv;
        for (std::string& word : words) {
            childArgv.push_back(word.data());
        }
        childArgv.push_back(nullptr);
        GError* error = nullptr;
        if (!g_spawn_async(nullptr, childArgv.data(), nullptr, G_SPAWN_FILE_AND_ARGV_ZERO, nullptr,
                           nullptr, nullptr, &error)) {
            g_clear_error(&error);
            std::wstring text = FormatNamed(res::kCannotOpenWindow, platform::Utf8ToWide(host));
            CallAfter([text] { AfxMessageBox(text); });
        }
    }

    bool RunExtractHere(const std::vector<std::string>& archives)
    {
        if (archives.empty()) {
            std::fprintf(stderr, "tavrel: --extract-here needs an archive\n\n%s", kUsage);
            g_exitCode = 2;
        } else {
            CExtractHere run(*m_app);
            m_extractHere = &run;
            WatchEndSignals([](CTavrelWxApp& app) {
                if (app.m_extractHere != nullptr) {
                    app.m_extractHere->Stop();
                }
            });
            g_exitCode = run.Run(archives);
            UnwatchEndSignals();
            m_extractHere = nullptr;
        }
        m_app.reset();
        AfxSetBackend(nullptr);
        return false;
    }

    // SIGTERM and SIGHUP call `then` from the main loop (GLib's sources are dispatched there,
    // never in the signal handler).
    void WatchEndSignals(void (*then)(CTavrelWxApp&))
    {
        m_onEndSignal = then;
        for (int signal : {SIGTERM, SIGHUP}) {
            m_signalSources.push_back(g_unix_signal_add(
                signal,
                [](gpointer self) -> gboolean {
                    auto* app = static_cast<CTavrelWxApp*>(self);
                    app->m_onEndSignal(*app);
                    return G_SOURCE_CONTINUE;
                },
                this));
        }
    }

    void UnwatchEndSignals()
    {
        for (guint source : m_signalSources) {
            g_source_remove(source);
        }
        m_signalSources.clear();
    }

    // A close asked by a signal waits until no dialog is open and no command runs (a
    // command's progress lets the loop run, yielding): the window then closes as File > Exit
    // closes it, which writes the archive's changes.
    void OnIdleClose(wxIdleEvent& event)
    {
        event.Skip();
        wxEventLoopBase* loop = wxEventLoopBase::GetActive();
        // A menu of the list or a drag out runs its own loop under the main one: closing
        // waits for it to end, as for a dialog.
        if (!m_closeRequested || m_modalCount.open > 0 || loop == nullptr ||
            loop != GetMainLoop() || loop->IsYielding() || (m_frame && m_frame->IsBusy())) {
            return;
        }
        m_closeRequested = false;
        if (wxWindow* top = GetTopWindow()) {
            top->Close();
        }
    }

    CWxBackend m_backend;
    std::unique_ptr<CTavrelApp> m_app;
    CModalCount m_modalCount;
    CExtractHere* m_extractHere = nullptr;
    wxWeakRef<CWxMainFrame> m_frame; // null once the window is gone
    std::vector<guint> m_signalSources;
    void (*m_onEndSignal)(CTavrelWxApp&) = nullptr;
    bool m_closeRequested = false;
};

wxDECLARE_APP(CTavrelWxApp);
wxIMPLEMENT_APP_NO_MAIN(CTavrelWxApp);

int main(int argc, char** argv)
{
    // These need no display.
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--") == 0) {
            break;
        }
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
