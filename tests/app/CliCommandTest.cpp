// A typed command through tavrel-cli does what it says: patterns delete exactly what they
// name, "u" updates, the user's "--no" holds, two members never silently share one output
// nor two files one stored name, nothing to do is a failure, and the shell's words are the
// command's tokens.
#include "lzh/Crc16.h"
#include "tests/support/LzhHeaderBuilder.h"
#include "tests/support/Shell.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <sstream>

using namespace testsupport;
namespace fs = std::filesystem;

namespace
{

// A level 2 member (folders with '\' in the name), dated 2033 unless told.
std::string Member(const std::string& path, const std::string& data, uint32_t unixTime = 2000000000)
{
    LzhMemberFields s;
    s.level = 2;
    std::string folder, name = path;
    size_t cut = path.rfind('/');
    if (cut != std::string::npos) {
        folder = path.substr(0, cut + 1);
        std::replace(folder.begin(), folder.end(), '/', '\xFF');
        name = path.substr(cut + 1);
    }
    s.name = name;
    s.ext = {{0x01, name}};
    if (!folder.empty()) {
        s.ext.push_back({0x02, folder});
    }
    s.data = data;
    s.unpacked = static_cast<uint32_t>(data.size());
    s.crc = Crc16Update(0, data.data(), static_cast<long>(data.size()));
    s.timeField = unixTime;
    return BuildMember(s);
}

std::string Archive(const std::vector<std::string>& paths)
{
    std::string bytes;
    for (const std::string& p : paths) {
        bytes += Member(p, "data of " + p);
    }
    return bytes + std::string(1, '\0');
}

class CliCommand : public ::testing::Test
{
protected:
    ShellOutcome Tavrel(const std::string& arguments)
    {
        return Shell("cd '" + tmp.Host() + "' && " TAVREL_CLI_PATH " --config '" +
                         tmp.HostPath("cfg.ini") + "' " + arguments + " </dev/null",
                     true);
    }
    // The member paths the archive lists, sorted ("/" between folders).
    std::vector<std::string> Members(const std::string& archive)
    {
        std::istringstream lines(Tavrel(archive).out);
        std::vector<std::string> paths;
        std::string line;
        std::getline(lines, line); // the header row
        while (std::getline(lines, line)) {
            std::string name = line.substr(0, line.find('\t'));
            std::string folder = line.substr(line.rfind('\t') + 1);
            paths.push_back(folder + name);
        }
        std::sort(paths.begin(), paths.end());
        return paths;
    }

    TempFolder tmp;
};

} // namespace

TEST_F(CliCommand, DeletePatternsTakeExactlyWhatTheyName)
{
    const std::vector<std::string> all = {"keep/a.txt", "notes~",     "old/a.txt", "old/b.txt",
                                          "readme",     "report.txt", "v1",        "v2.txt"};
    struct Case
    {
        const char* typed;
        std::vector<std::string> gone;
    } cases[] = {
        {"d '*~'", {"notes~"}},
        {"d 'rep*~'", {}},
        {"d '*.'", {"notes~", "readme", "v1"}},
        {"d '*1'", {"v1"}},
        {"d old/", {"old/a.txt", "old/b.txt"}},
        {"d 'old/*'", {"old/a.txt", "old/b.txt"}},
        {"d keep/a.txt", {"keep/a.txt"}},
        {"d a.txt", {"keep/a.txt", "old/a.txt"}},
        {"d -p1 a.txt", {}},
        {"d '*'", all},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed);
        tmp.WriteHostFile("t.lzh", Archive(all));
        ShellOutcome run = Tavrel(std::string("t.lzh ") + c.typed);
        EXPECT_EQ(run.status, c.gone.empty() ? 1 : 0) << run.out; // naming nothing fails
        std::vector<std::string> left;
        std::set_difference(all.begin(), all.end(), c.gone.begin(), c.gone.end(),
                            std::back_inserter(left));
        EXPECT_EQ(Members("t.lzh"), left);
    }
    // A delete without a pattern is refused, and deletes nothing.
    tmp.WriteHostFile("t.lzh", Archive(all));
    ShellOutcome bare = Tavrel("t.lzh d -x1");
    EXPECT_EQ(bare.status, 1);
    EXPECT_EQ(bare.out.rfind("削除するファイルが指定されていません。", 0), 0u) << bare.out;
    EXPECT_EQ(Members("t.lzh"), all);
}

TEST_F(CliCommand, UpdateAndTheUsersNoHold)
{
    auto older = fs::file_time_type::clock::now() - std::chrono::hours(24 * 365 * 20);
    tmp.WriteHostFile("t.lzh", Member("a.txt", "member of 2033") + std::string(1, '\0'));
    tmp.WriteHostFile("a.txt", "a file of long ago");
    fs::last_write_time(tmp.HostPath("a.txt"), older);
    // "u" replaces only with newer files, whatever the settings' action.
    tmp.WriteHostFile("cfg.ini", "[Option]\nLhaAction=0\n");
    EXPECT_EQ(Tavrel("t.lzh u a.txt").status, 0);
    EXPECT_EQ(Tavrel("t.lzh e out/ a.txt").status, 0);
    EXPECT_EQ(ReadHostFile(tmp.HostPath("out/a.txt")), "member of 2033");
    // --no: no existing file is replaced, whatever "x" or -m1 say.
    tmp.WriteHostFile("mine/a.txt", "the user's file");
    for (const char* typed : {"x mine/ a.txt", "x -m1 mine/ a.txt", "e -m1 mine/ a.txt"}) {
        SCOPED_TRACE(typed);
        Tavrel(std::string("--no t.lzh ") + typed);
        EXPECT_EQ(ReadHostFile(tmp.HostPath("mine/a.txt")), "the user's file");
    }
    // "x" follows the overwrite setting as "e" does: asked, and answered by --yes.
    EXPECT_EQ(Tavrel("--yes t.lzh x mine/ a.txt").status, 0);
    EXPECT_EQ(ReadHostFile(tmp.HostPath("mine/a.txt")), "member of 2033");
}

TEST_F(CliCommand, TwoMembersNeverShareOneOutputUnasked)
{
    tmp.WriteHostFile("t.lzh", Archive({"old/a.txt", "keep/a.txt", "README.TXT", "readme.txt"}));
    struct Case
    {
        const char* what;
        std::string arguments;
        int status;
        const char* said;
        const char* file;    // below out/
        const char* content; // what it holds afterwards
    } cases[] = {
        {"without folders, no one to ask", "t.lzh e -x0 out/ '*.txt'", 1,
         "同じ名前で展開済みのファイルがあるため展開しませんでした。 [a.txt] [a.txt]", "a.txt",
         "data of old/a.txt"},
        {"without folders, the user says yes", "--yes t.lzh e -x0 out/ '*.txt'", 0, "", "a.txt",
         "data of keep/a.txt"},
        {"in lower case, no one to ask", "t.lzh e -i1 out/ 'readme*'", 1,
         "[readme.txt] [README.TXT]", "readme.txt", "data of README.TXT"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(tmp.HostPath("out"));
        ShellOutcome run = Tavrel(c.arguments);
        EXPECT_EQ(run.status, c.status) << run.out;
        EXPECT_NE(run.out.find(c.said), std::string::npos) << run.out;
        EXPECT_EQ(ReadHostFile(tmp.HostPath(std::string("out/") + c.file)), c.content);
    }
}

TEST_F(CliCommand, TwoFilesNeverShareOneStoredName)
{
    for (const char* folder : {"proj/a", "proj/b", "proj/c"}) {
        tmp.WriteHostFile(std::string(folder) + "/README", folder);
    }
    ShellOutcome run = Tavrel("--new p.lzh a -r2 proj");
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.out.find("同じ名前で格納するファイルが先にあるため追加しませんでした。"),
              std::string::npos)
        << run.out;
    EXPECT_EQ(Members("p.lzh"), std::vector<std::string>{"README"});
    // An archive that holds one name twice gets both copies replaced.
    tmp.WriteHostFile("twice.lzh", Member("x.txt", "first") + Member("x.txt", "stale") + '\0');
    tmp.WriteHostFile("x.txt", "new");
    EXPECT_EQ(Tavrel("twice.lzh a x.txt").status, 0);
    EXPECT_EQ(Members("twice.lzh"), std::vector<std::string>{"x.txt"});
    EXPECT_EQ(Tavrel("twice.lzh e out/ x.txt").status, 0);
    EXPECT_EQ(ReadHostFile(tmp.HostPath("out/x.txt")), "new");
}

TEST_F(CliCommand, NothingToDoFailsAndWordsAreTokens)
{
    tmp.WriteHostFile("src/f.txt", "f");
    tmp.WriteHostFile("t.lzh", Archive({"a.txt"}));
    ShellOutcome none = Tavrel("--new n.lzh a -r2 -x1 src/");
    EXPECT_EQ(none.status, 1);
    EXPECT_FALSE(fs::exists(tmp.HostPath("n.lzh")));
    EXPECT_EQ(Tavrel("-x '' t.lzh").status, 2);
    EXPECT_EQ(Tavrel("t.lzh e out/ nothing.txt").status, 1);
    EXPECT_EQ(Tavrel("t.lzh e out/ ''").status, 1);
    // A name with two spaces in a row, or a double quote, is one word of the shell.
    tmp.WriteHostFile("q\"x.txt", "quote");
    tmp.WriteHostFile("two  spaces.txt", "spaces");
    tmp.WriteHostFile("keep.txt", "keep");
    EXPECT_EQ(Tavrel("t.lzh a 'q\"x.txt' 'two  spaces.txt' keep.txt").status, 0);
    EXPECT_EQ(Members("t.lzh"),
              (std::vector<std::string>{"a.txt", "keep.txt", "q\"x.txt", "two  spaces.txt"}));
}
