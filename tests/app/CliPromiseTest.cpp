// The promises through tavrel-cli, as a user meets them: a typed name is never a command, no
// member destroys what it would replace or the archive it comes from, nothing escapes a
// destination swapped while it runs, and every failure says so and exits 1.
#include "lzh/Crc16.h"
#include "tests/support/LzhHeaderBuilder.h"
#include "tests/support/Shell.h"
#include "tests/support/TempFolder.h"
#include "tests/support/ZipBuilder.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace testsupport;
namespace fs = std::filesystem;

namespace
{

std::string LzhMember(const std::string& name, const std::string& data, uint32_t unixTime)
{
    LzhMemberFields s;
    s.level = 2;
    s.name = name;
    s.ext = {{0x01, name}};
    s.data = data;
    s.unpacked = static_cast<uint32_t>(data.size());
    s.crc = Crc16Update(0, data.data(), static_cast<long>(data.size()));
    s.timeField = unixTime;
    return BuildMember(s);
}

constexpr uint32_t kLater = 2000000000; // 2033: later than any file the tests make

class CliPromise : public ::testing::Test
{
protected:
    void SetUp() override
    {
        // The archive's own folder is not made unless a case asks for it.
        tmp.WriteHostFile("cfg.ini", "[Option]\nCreateFolder=0\n");
    }
    ShellOutcome Tavrel(const std::string& arguments)
    {
        return Shell("cd '" + tmp.Host() + "' && " TAVREL_CLI_PATH " --config '" +
                     tmp.HostPath("cfg.ini") + "' " + arguments + " </dev/null");
    }
    ShellOutcome InTmp(const std::string& command)
    {
        return Shell("cd '" + tmp.Host() + "' && " + command);
    }
    std::string Read(const std::string& relative) { return ReadHostFile(tmp.HostPath(relative)); }
    bool Exists(const std::string& relative) { return fs::exists(tmp.HostPath(relative)); }

    TempFolder tmp;
};

} // namespace

TEST_F(CliPromise, TypedNamesAreNamesWhateverTheirLength)
{
    tmp.WriteHostFile("src/d", "dee");
    tmp.WriteHostFile("src/k.txt", "kay");
    ASSERT_EQ(
        InTmp("cd src && " TAVREL_CLI_PATH " --config ../cfg.ini --new ../z.lzh a d k.txt").status,
        0);
    ShellOutcome list = Tavrel("z.lzh");
    EXPECT_NE(list.out.find("\nd\t"), std::string::npos);
    EXPECT_NE(list.out.find("\nk.txt\t"), std::string::npos);
    // "e d" extracts the member d; nothing is deleted.
    EXPECT_EQ(Tavrel("z.lzh e out/ d").status, 0);
    EXPECT_EQ(Read("out/d"), "dee");
    EXPECT_FALSE(Exists("out/k.txt"));
    EXPECT_EQ(Tavrel("z.lzh").out, list.out);
    // "d x" deletes a member x, of which there is none: nothing is deleted or extracted.
    ShellOutcome missing = Tavrel("z.lzh d x");
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.out, "ファイルが見つかりません。 [x]\n");
    EXPECT_EQ(Tavrel("z.lzh").out, list.out);
    EXPECT_FALSE(Exists("d"));
    // A delete naming nothing is refused.
    ShellOutcome bare = Tavrel("z.lzh d -x1");
    EXPECT_EQ(bare.status, 1);
    EXPECT_EQ(Tavrel("z.lzh").out, list.out);
}

TEST_F(CliPromise, AMemberNeverReplacesTheArchiveItComesFrom)
{
    std::string archive = LzhMember("self.lzh", "a member's bytes", kLater) +
                          LzhMember("other.txt", "other", kLater) + std::string(1, '\0');
    tmp.WriteHostFile("self.lzh", archive);
    ShellOutcome run = Tavrel("--yes -x . self.lzh");
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.out.find("開いている書庫に上書きすることになるため展開しません。 [self.lzh]"),
              std::string::npos)
        << run.out;
    EXPECT_EQ(Read("self.lzh"), archive);
    EXPECT_EQ(Read("other.txt"), "other");
}

TEST_F(CliPromise, AFailedMemberLeavesTheFileItWouldReplace)
{
    std::string big(1 << 20, 'n');
    tmp.WriteHostFile("a.lzh", LzhMember("f.bin", big, kLater) + std::string(1, '\0'));
    tmp.WriteHostFile("out/f.bin", "the user's older file");
    fs::last_write_time(tmp.HostPath("out/f.bin"),
                        fs::file_time_type::clock::now() - std::chrono::hours(24 * 365));
    // A full disk, as a file size limit gives it: the write fails part of the way.
    ShellOutcome run = Shell("cd '" + tmp.Host() + "' && trap '' XFSZ && ulimit -f 64 && " +
                             TAVREL_CLI_PATH " --config cfg.ini --yes -x out a.lzh");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out.rfind("ファイルを書き込めませんでした。 [f.bin]", 0), 0u) << run.out;
    EXPECT_EQ(Read("out/f.bin"), "the user's older file");
    EXPECT_EQ(Tree(tmp.HostPath("out")).size(), 1u);
}

TEST_F(CliPromise, AFolderSwappedWhileItExtractsSendsNothingOutside)
{
    std::string archive;
    for (int i = 0; i < 3000; ++i) {
        std::string name = "m";
        name += std::to_string(i);
        archive += LzhMember(name, "member", kLater);
    }
    tmp.WriteHostFile("big.lzh", archive + std::string(1, '\0'));
    tmp.WriteHostFile("cfg.ini", "[Option]\nCreateFolder=1\n");
    fs::create_directories(tmp.HostPath("outside"));
    fs::create_directories(tmp.HostPath("d"));
    // The folder named after the archive is swapped for a link as soon as it appears.
    ShellOutcome run =
        InTmp("{ " TAVREL_CLI_PATH " --config cfg.ini --yes -x d big.lzh >/dev/null & "
              "pid=$!; while [ ! -d d/big ] && kill -0 $pid 2>/dev/null; do :; done; "
              "mv d/big moved && ln -s ../outside d/big; wait $pid; }");
    EXPECT_EQ(run.status, 0);
    EXPECT_TRUE(fs::is_empty(tmp.HostPath("outside")));
    EXPECT_EQ(Tree(tmp.HostPath("moved")).size(), 3000u) << run.out;
}

TEST_F(CliPromise, FailuresSayWhatAndExitOne)
{
    tmp.WriteHostFile("good.txt", "good");
    // An LZH archive cut inside its second header, and one with garbage after its members.
    std::string whole = LzhMember("a.txt", "a", kLater) + LzhMember("b.txt", "b", kLater);
    tmp.WriteHostFile("cut.lzh", whole.substr(0, whole.size() - 12));
    tmp.WriteHostFile("junk.lzh", LzhMember("a.txt", "a", kLater) + "garbage, no end marker");
    // A ZIP member whose local header names another file than the directory does.
    ZipMember renamed = StoredMember("readme.txt", "the listed one");
    renamed.localName = "sub/.bashrc";
    tmp.WriteHostFile("renamed.zip", BuildZip({renamed}));
    // A newer file in the member's place, with no terminal to ask and no answer given.
    tmp.WriteHostFile("ask.lzh", LzhMember("asked.txt", "member", 1000000000) + '\0');
    tmp.WriteHostFile("q/asked.txt", "the user's newer file");
    ASSERT_EQ(InTmp("zip -q -P secret enc.zip good.txt").status, 0);
    ZipMember ppmd = StoredMember("ppmd.txt", "x");
    ppmd.method = 98;
    tmp.WriteHostFile("ppmd.zip", BuildZip({StoredMember("a.txt", "a"), ppmd}));
    tmp.WriteHostFile("src/ok.txt", "ok");
    ASSERT_EQ(InTmp("mkfifo src/fifo").status, 0);
    struct Case
    {
        const char* what;
        std::string arguments;
        const char* message; // somewhere in what is printed
        int status;
    } cases[] = {
        {"listing a cut archive", "cut.lzh", "書庫の", 1},
        {"extracting a cut archive", "-x out1 cut.lzh", "から先を読み取れません。", 1},
        {"extracting an archive with garbage", "-x out2 junk.lzh", "から先を読み取れません。", 1},
        {"a ZIP member's local name", "-x out3 renamed.zip", "展開終了", 0},
        {"a question no one can answer", "-x q ask.lzh",
         "上書きするか確認できないため展開しませんでした。 [asked.txt]", 1},
        {"a wrong password", "--password wrong -x out4 enc.zip",
         "パスワードが違います。 [good.txt]", 1},
        {"a member that cannot be tested", "-t ppmd.zip",
         "テストできたファイルはすべて正常です。\n非対応圧縮ファイル数 1", 1},
        {"a new archive whose add fails", "--new none.lzh a missing.txt",
         "指定されたパスが存在しません", 1},
        {"a pipe in a folder being added", "--new fifo.lzh a -d1 src",
         "通常のファイルではないため追加しません。 [src/fifo]", 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ShellOutcome run =
            Shell("cd '" + tmp.Host() + "' && " TAVREL_CLI_PATH " --config cfg.ini " + c.arguments +
                      " </dev/null",
                  true);
        EXPECT_EQ(run.status, c.status);
        EXPECT_NE(run.out.find(c.message), std::string::npos) << run.out;
    }
    EXPECT_EQ(Tree(tmp.HostPath("out3")),
              (std::map<std::string, std::string>{{"readme.txt", "the listed one"}}));
    EXPECT_EQ(Read("q/asked.txt"), "the user's newer file");
    EXPECT_FALSE(Exists("out4/good.txt"));
    EXPECT_FALSE(Exists("none.lzh"));
    ShellOutcome added = Tavrel("fifo.lzh");
    EXPECT_NE(added.out.find("\nok.txt\t"), std::string::npos) << added.out;
}

TEST_F(CliPromise, FolderLinksAreStoredNotWalked)
{
    // Two links back up the tree: walked, they would never end.
    fs::create_directories(tmp.HostPath("tt/sub"));
    tmp.WriteHostFile("tt/sub/f.txt", "f");
    fs::create_directory_symlink("..", tmp.HostPath("tt/a"));
    fs::create_directory_symlink("..", tmp.HostPath("tt/b"));
    ShellOutcome run = Tavrel("--new t.lzh a -d1 tt");
    EXPECT_EQ(run.status, 0) << run.out;
    ShellOutcome list = Tavrel("t.lzh");
    EXPECT_NE(list.out.find("a -> .."), std::string::npos) << list.out;
    EXPECT_NE(list.out.find("b -> .."), std::string::npos) << list.out;
    EXPECT_NE(list.out.find("\nf.txt\t"), std::string::npos) << list.out;
    // They come back as the links they were, pointing where they pointed.
    EXPECT_EQ(Tavrel("t.lzh e -x1 back/").status, 0);
    EXPECT_EQ(fs::read_symlink(tmp.HostPath("back/tt/a")), "..");
    EXPECT_EQ(Read("back/tt/sub/f.txt"), "f");
}

TEST_F(CliPromise, NothingExtractedMakesNoFolder)
{
    tmp.WriteHostFile("cfg.ini", "[Option]\nCreateFolder=1\n");
    tmp.WriteHostFile("empty.lzh", std::string(1, '\0'));
    EXPECT_EQ(Tavrel("-x out empty.lzh").status, 0);
    EXPECT_FALSE(Exists("out/empty"));
}
