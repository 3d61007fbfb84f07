// tavrel-cli: the program in a terminal. It starts as the desktop program does (settings,
// overwrite policy, the archive opened by type), runs one command (list, test, extract all,
// new) with the program's own messages, and closes the archive at the end, which commits
// changes.
#include "app/TavrelApp.h"
#include "app/TavrelDoc.h"
#include "framework/console/ConsoleBackend.h"
#include "platform/DevicePath.h"
#include "platform/Text.h"
#include "res/Strings.h"
#include "view/TavrelView.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace
{

constexpr const char* kUsage =
    "usage: tavrel-cli [options] ARCHIVE [COMMAND...]\n"
    "\n"
    "Without a command the members are listed as the list view shows them (tab-separated,\n"
    "with a header row; the columns and folder rows follow the settings). A COMMAND is the\n"
    "program's typed command line on an LZH archive, for example\n"
    "  tavrel-cli a.lzh e -x1 \"*.txt\"      extract the .txt members with their folders\n"
    "  tavrel-cli a.lzh d old.txt           delete a member\n"
    "  tavrel-cli --new b.lzh a -o4 -d1 dir  create b.lzh from dir with -lh7-\n"
    "Only \"-\" starts a switch here: shell paths (/tmp/out/) are paths, and a word ending\n"
    "in \"/\" names a folder.\n"
    "\n"
    "  -t, --test            test every member against its CRC\n"
    "  -x, --extract DIR     extract every member into DIR (the destination dialog's answer;\n"
    "                        its check boxes as the settings preset them)\n"
    "      --new             create ARCHIVE (an .lzh) as New does; the file is written\n"
    "                        when members are added\n"
    "      --yes, --no       answer every question (overwrite, close) with yes or no\n"
    "      --password TEXT   answer password questions (otherwise the terminal is asked)\n"
    "      --name-encoding auto|cp932|utf-8\n"
    "                        read the members' names so (this run only; the setting\n"
    "                        NameEncoding otherwise): auto follows the archive's marks\n"
    "      --device-root DIR map device paths under DIR\n"
    "      --config FILE     the settings file (default: $XDG_CONFIG_HOME/tavrel/Tavrel.ini)\n"
    "      --version         the program's version\n"
    "  -h, --help            this text\n"
    "\n"
    "Exit status: 0 success, 1 the archive cannot be opened or a member failed, 2 usage.\n";

struct Options
{
    bool test = false, create = false, help = false, extract = false;
    std::optional<NameEncoding> nameEncoding;
    std::string extractTo, archive, config, deviceRoot;
    std::vector<std::string> command;
};

int Usage(const char* problem)
{
    std::fprintf(stderr, "tavrel-cli: %s\n\n%s", problem, kUsage);
    return 2;
}

std::wstring DevicePathOf(const std::string& hostPath)
{
    return platform::HostToDevice(platform::AbsoluteHostPath(hostPath));
}

// The words joined with spaces, quoted where they hold one, as the history shows a command.
std::wstring CommandText(const std::vector<std::string>& words)
{
    std::wstring text;
    for (const std::string& w : words) {
        std::wstring word = platform::Utf8ToWide(w);
        if (!text.empty()) {
            text.push_back(L' ');
        }
        text += word.find(L' ') != std::wstring::npos ? L"\"" + word + L"\"" : word;
    }
    return text;
}

void PrintLine(const std::wstring& line)
{
    std::string bytes = platform::WideToUtf8(line + L"\n");
    std::fwrite(bytes.data(), 1, bytes.size(), stdout);
}

// The rows of the list view with the visible columns (width above 0), tab-separated.
void PrintList(CTavrelView& view)
{
    CListCtrl& list = view.GetListCtrl();
    std::vector<int> columns;
    for (int c = 0; c < list.GetColumnCount(); ++c) {
        if (c == 0 || list.GetColumnWidth(c) > 0) {
            columns.push_back(c);
        }
    }
    std::wstring header;
    for (int c : columns) {
        header += (header.empty() ? L"" : L"\t") + list.GetColumn(c).text;
    }
    PrintLine(header);
    // One line buffer and one output buffer for all rows: a large archive lists without an
    // allocation per row.
    std::wstring line;
    std::string bytes;
    for (int row = 0; row < list.GetItemCount(); ++row) {
        line.clear();
        // A tab or a line break in a name would break the columns; controls are escaped.
        for (size_t i = 0; i < columns.size(); ++i) {
            if (i > 0) {
                line.push_back(L'\t');
            }
            platform::AppendEscaped(line, list.GetItemText(row, columns[i]));
        }
        line.push_back(L'\n');
        platform::AppendUtf8(bytes, line);
        if (bytes.size() >= (1u << 16)) {
            std::fwrite(bytes.data(), 1, bytes.size(), stdout);
            bytes.clear();
        }
    }
    std::fwrite(bytes.data(), 1, bytes.size(), stdout);
}

} // namespace

int main(int argc, char** argv)
{
    Options o;
    CConsoleBackend backend;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        auto value = [&](const char* name) -> const char* {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "tavrel-cli: %s needs a value\n", name);
                return nullptr;
            }
            return argv[++i];
        };
        if (!o.archive.empty()) {
            o.command.push_back(a); // everything after ARCHIVE is the command
        } else if (a == "-h" || a == "--help") {
            o.help = true;
        } else if (a == "--version") {
            std::printf("tavrel-cli %s\n", TAVREL_VERSION);
            return 0;
        } else if (a == "-t" || a == "--test") {
            o.test = true;
        } else if (a == "-x" || a == "--extract") {
            const char* v = value("--extract");
            if (v == nullptr) {
                return 2;
            }
            o.extractTo = v;
            o.extract = true;
        } else if (a == "--new") {
            o.create = true;
        } else if (a == "--yes") {
            backend.answer = IDYES;
        } else if (a == "--no") {
            backend.answer = IDNO;
        } else if (a == "--name-encoding") {
            const char* v = value("--name-encoding");
            NameEncoding encoding = NameEncoding::Auto;
            if (v == nullptr) {
                return 2;
            }
            if (!ParseNameEncoding(v, &encoding)) {
                return Usage("--name-encoding takes auto, cp932 or utf-8");
            }
            o.nameEncoding = encoding;
        } else if (a == "--password") {
            const char* v = value("--password");
            if (v == nullptr) {
                return 2;
            }
            backend.password = platform::Utf8ToWide(v);
        } else if (a == "--device-root" || a == "--config") {
            const char* v = value(a.c_str());
            if (v == nullptr) {
                return 2;
            }
            (a == "--config" ? o.config : o.deviceRoot) = v;
        } else if (a.size() > 1 && a[0] == '-') {
            return Usage(("unknown option " + a).c_str());
        } else {
            o.archive = a;
        }
    }
    if (o.help) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (o.archive.empty()) {
        return Usage("no archive named");
    }
    if ((o.test ? 1 : 0) + (o.extract ? 1 : 0) + (o.command.empty() ? 0 : 1) > 1) {
        return Usage("--test, --extract and a command exclude each other");
    }
    if (o.extract && o.extractTo.empty()) {
        return Usage("--extract needs a folder (an empty one names none)");
    }
    if (!o.deviceRoot.empty()) {
        std::error_code ignored;
        platform::SetDeviceRoot(std::filesystem::absolute(o.deviceRoot, ignored).string());
    }
    AfxSetBackend(&backend);
    CTavrelApp app;
    if (!o.config.empty()) {
        app.Profile().SetFile(o.config);
    }
    app.m_nameEncodingForRun = o.nameEncoding;
    std::wstring archive = DevicePathOf(o.archive);
    if (archive.empty()) {
        std::fprintf(stderr, "tavrel-cli: %s lies outside the device root\n", o.archive.c_str());
        return 2;
    }
    // A path the program's own form cannot hold would name another file: '\\' separates
    // folders there, and a host folder such as /temp reads as one of the program's own.
    for (const std::string* path : {&o.archive, &o.extractTo}) {
        std::string absolute = platform::AbsoluteHostPath(*path);
        if (!path->empty() && platform::ExactDevicePath(absolute).empty()) {
            backend.MessageBox(UnusablePathText(absolute), MB_OK);
            return 1;
        }
    }
    int status = 0;
    // What is said of the settings file goes beside the output, not into it.
    backend.out = stderr;
    app.LoadSettings();
    backend.out = stdout;
    if (o.create) {
        if (!app.InitInstance(L"")) {
            return 1;
        }
        backend.fileAnswer = archive;
        app.GetDocument()->OnNewDocument();
    } else if (!app.InitInstance(archive)) {
        backend.MessageBox(res::kCannotOpenArchive, MB_OK);
        return 1;
    }
    CTavrelDoc* doc = app.GetDocument();
    if (!doc->m_bArchiveOpen) {
        if (!o.create) {
            backend.MessageBox(res::kCannotOpenArchive, MB_OK);
        }
        status = 1;
    } else if (o.test) {
        doc->OnArchiveTest();
    } else if (o.extract) {
        backend.destination = DevicePathOf(o.extractTo);
        doc->OnExtractAll();
    } else if (!o.command.empty()) {
        if (!doc->Archive().IsWritableFormat()) {
            app.CloseMainWindow();
            return Usage("typed commands work on LZH archives");
        }
        // Each word is one token, as the shell gave it: a name may hold spaces and quotes.
        std::vector<std::wstring> tokens;
        for (const std::string& word : o.command) {
            tokens.push_back(platform::Utf8ToWide(word));
        }
        if (!doc->RunCommandTokens(tokens, CommandText(o.command))) {
            status = 1;
        }
    } else if (!o.create) {
        PrintList(*app.GetView());
        // Members listed from an archive that could not be read to its end are not all of
        // it: said beside the listing, not in it.
        backend.out = stderr;
        doc->ReportUnreadableRest();
        backend.out = stdout;
    }
    app.CloseMainWindow(); // commits the changes, which may fail
    // Everything asked was done, or the status says otherwise: a member not extracted or not
    // tested for its method counts too.
    if (doc->m_nLastBroken > 0 || doc->m_nLastFailed > 0 || doc->m_nLastUnsupported > 0) {
        status = 1;
    }
    // A listing or a report that could not be written (a full disk, for one) is no
    // success either.
    if (std::fflush(stdout) != 0 || std::ferror(stdout) != 0) {
        std::string text = platform::WideToUtf8(std::wstring(res::kOutputUnwritable) + L"\n");
        std::fwrite(text.data(), 1, text.size(), stderr);
        status = 1;
    }
    return status;
}
