// tavrel-cli end to end: archives made by jlha, zip and 7z are listed, tested and extracted
// with the results the peers give; a damaged member gives the broken-file message and exit
// status 1; usage errors give 2.
#include "tests/support/LzhHeaderBuilder.h"
#include "tests/support/Shell.h"
#include "tests/support/TempFolder.h"
#include "tests/support/ZipBuilder.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <map>
#include <set>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace testsupport;
namespace fs = std::filesystem;

namespace
{

using Outcome = ShellOutcome;

class Cli : public ::testing::Test
{
protected:
    void SetUp() override
    {
        fs::create_directories(tmp.HostPath("src/sub"));
        std::string text;
        for (int i = 0; text.size() < 50000; ++i) {
            text += "line " + std::to_string(i) + " of the console test\n";
        }
        tmp.WriteHostFile("src/text.txt", text);
        tmp.WriteHostFile("src/sub/note.txt", "a note\n");
        tmp.WriteHostFile("src/sub/empty.txt", "");
    }
    Outcome Tavrel(const std::string& arguments)
    {
        return Shell("cd '" + tmp.Host() + "' && " TAVREL_CLI_PATH " --config '" +
                     tmp.HostPath("cfg.ini") + "' " + arguments);
    }
    Outcome InTmp(const std::string& command)
    {
        return Shell("cd '" + tmp.Host() + "' && " + command);
    }

    TempFolder tmp;
};

} // namespace

TEST_F(Cli, ArchivesOfThePeersListTestAndExtractAsThePeersDo)
{
    struct Case
    {
        const char* maker;
        const char* make;
        const char* archive;
        const char* peerExtract; // into peer/
    };
    const Case cases[] = {
        {"/usr/bin/jlha", "cd src && jlha a2o6q ../j.lzh text.txt sub/note.txt sub/empty.txt",
         "j.lzh", "lhasa xqw=peer j.lzh"},
        {"/usr/bin/zip", "cd src && zip -q -r ../z.zip .", "z.zip", "unzip -q z.zip -d peer"},
        {"/usr/bin/7zz", "cd src && 7zz a -tzip -mm=Deflate64 ../s.zip . >/dev/null", "s.zip",
         "7zz x -y -opeer s.zip"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.archive);
        if (!Have(c.maker)) {
            ADD_FAILURE() << c.maker << " is not installed";
            continue;
        }
        ASSERT_EQ(InTmp(c.make).status, 0);
        Outcome list = Tavrel(c.archive);
        EXPECT_EQ(list.status, 0);
        EXPECT_EQ(list.out.substr(0, list.out.find('\n')),
                  "ファイル名\tサイズ\t圧縮サイズ\t圧縮率\t最終更新日時\t属性\tパス");
        for (const char* name : {"text.txt", "note.txt", "empty.txt"}) {
            EXPECT_NE(list.out.find(std::string("\n") + name + "\t"), std::string::npos) << name;
        }
        Outcome test = Tavrel(std::string("-t ") + c.archive);
        EXPECT_EQ(test.status, 0);
        EXPECT_EQ(test.out, "すべてのファイルは正常です。\n");
        fs::remove_all(tmp.HostPath("ours"));
        fs::remove_all(tmp.HostPath("peer"));
        Outcome extract = Tavrel(std::string("--yes -x ours ") + c.archive);
        EXPECT_EQ(extract.status, 0);
        EXPECT_EQ(extract.out, "展開終了\n");
        ASSERT_EQ(InTmp(std::string(c.peerExtract) + " >/dev/null").status, 0);
        // The destination dialog's default: a folder named after the archive.
        std::string base = std::string(c.archive).substr(0, 1);
        EXPECT_EQ(Tree(tmp.HostPath("ours/" + base)), Tree(tmp.HostPath("peer")));
        EXPECT_EQ(Tree(tmp.HostPath("ours/" + base)).size(), 3u);
    }
}

TEST_F(Cli, DamagedMembersFailWithTheirNameAndStatusOne)
{
    if (!Have("/usr/bin/zip")) {
        GTEST_SKIP() << "zip is not installed";
    }
    ASSERT_EQ(InTmp("cd src && zip -q -0 ../z.zip text.txt sub/note.txt").status, 0);
    std::string bytes = ReadHostFile(tmp.HostPath("z.zip"));
    bytes[30 + 8 + 1000] ^= 0x55; // inside text.txt's stored data
    tmp.WriteHostFile("z.zip", bytes);
    Outcome test = Tavrel("-t z.zip");
    EXPECT_EQ(test.status, 1);
    EXPECT_EQ(test.out, "ファイルが壊れています。 [text.txt]\n2ファイル中1ファイルが不正です。\n");
    Outcome extract = Tavrel("-x out z.zip");
    EXPECT_EQ(extract.status, 1);
    EXPECT_EQ(extract.out, "ファイルが壊れています。 [text.txt]\n展開終了\n不正ファイル数 1\n");
}

TEST_F(Cli, ChangesThatAreRefusedExitOneAndLeaveTheArchive)
{
    ASSERT_EQ(Tavrel("--new x.lzh a src/sub/note.txt").status, 0);
    std::string archive = ReadHostFile(tmp.HostPath("x.lzh"));
    // Bytes that are no member after the end of the members (the end marker taken away).
    std::string broken = archive.substr(0, archive.size() - 1) + "no member here";
    tmp.WriteHostFile("x.lzh", broken);
    Outcome test = Tavrel("-t x.lzh");
    EXPECT_EQ(test.status, 1);
    EXPECT_EQ(test.out,
              "書庫の" + std::to_string(archive.size() - 1) + "バイト目から先を読み取れません。\n");
    Outcome deleted = Tavrel("x.lzh d note.txt");
    EXPECT_EQ(deleted.status, 1);
    EXPECT_EQ(deleted.out, "書庫に読み取れない部分があるため変更できません。\n");
    EXPECT_EQ(ReadHostFile(tmp.HostPath("x.lzh")), broken);

    tmp.WriteHostFile("x.lzh", archive);
    chmod(tmp.HostPath("x.lzh").c_str(), 0444);
    Outcome added = Tavrel("x.lzh a src/text.txt");
    EXPECT_EQ(added.status, 1);
    EXPECT_EQ(added.out, "書庫が読み取り専用のため変更できません。\n");
    EXPECT_EQ(ReadHostFile(tmp.HostPath("x.lzh")), archive);
}

// Whatever was asked and not done gives the program's message and exit status 1.
TEST_F(Cli, EveryFailureExitsOne)
{
    const std::string corpus = CorpusDir() + "/lzh/";
    fs::copy_file(corpus + "regression/dotdot.lzh", tmp.HostPath("dotdot.lzh"));
    fs::copy_file(corpus + "win_lib/lh2.lzh", tmp.HostPath("lh2.lzh"));
    ASSERT_EQ(Tavrel("--new x.lzh a -x1 src/text.txt src/sub/note.txt").status, 0);
    std::string archive = ReadHostFile(tmp.HostPath("x.lzh"));
    std::string damaged = archive;
    damaged[damaged.size() / 2] ^= 0x55;
    tmp.WriteHostFile("damaged.lzh", damaged);
    fs::create_directories(tmp.HostPath("linked/x"));
    fs::create_directories(tmp.HostPath("elsewhere"));
    fs::create_directory_symlink(tmp.HostPath("elsewhere"), tmp.HostPath("linked/x/src"));
    fs::create_directories(tmp.HostPath("taken"));
    fs::create_directory_symlink(tmp.HostPath("elsewhere"), tmp.HostPath("taken/x"));
    mkfifo(tmp.HostPath("pipe").c_str(), 0600);
    struct Case
    {
        const char* what;
        std::string arguments;
        const char* message; // the start of what is printed
    } cases[] = {
        {"a '..' member of a typed extraction", "dotdot.lzh e -x1 out1/", "展開先の外を指すパス"},
        {"a damaged member of a typed extraction", "damaged.lzh e out2/",
         "ファイルが壊れています。"},
        {"a destination too long", "-x " + std::string(300, 'd') + " x.lzh",
         "展開先のパスが長すぎます。"},
        {"a device for an archive", "-t /dev/null", "書庫を開けませんでした。"},
        {"a pipe to add", "x.lzh a pipe", "通常のファイルではないため追加しません。 [pipe]"},
        {"a name that finds nothing to add", "x.lzh a nosuch.txt", "指定されたパスが存在しません"},
        {"names found where they are not added from", "x.lzh a src/sub/ '*.lzh'",
         "ファイルが見つかりません。"},
        {"a link in the destination", "--yes -x linked x.lzh", "シンボリックリンクがあるため"},
        {"a link in place of the archive's folder", "--yes -x taken x.lzh",
         "シンボリックリンクがあるため"},
        {"a name that no member has, to delete", "x.lzh d nosuch.txt",
         "ファイルが見つかりません。 [nosuch.txt]"},
        {"a name that no member has, to extract", "x.lzh e out4/ nosuch.txt",
         "ファイルが見つかりません。 [nosuch.txt]"},
        {"a folder to add without the switches for folders", "x.lzh a src",
         "追加するファイルがありません。 [src]"},
        {"a backslash in the archive's name", "'a\\b.lzh'", "「\\」を含むパスは扱えません。"},
        {"a method without a decoder", "-x out3 lh2.lzh", "展開終了"},
        {"a listing to a full disk", "x.lzh >/dev/full", ""}, // the message goes to stderr
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Outcome run = Tavrel(c.arguments);
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.out.rfind(c.message, 0), 0u) << run.out;
    }
    EXPECT_TRUE(fs::is_empty(tmp.HostPath("elsewhere")));
    // A relative name is no safer in a folder whose own name holds '\\'.
    fs::create_directories(tmp.HostPath("p\\q"));
    fs::create_directories(tmp.HostPath("p/q"));
    fs::copy_file(tmp.HostPath("x.lzh"), tmp.HostPath("p/q/x.lzh"));
    fs::copy_file(tmp.HostPath("x.lzh"), tmp.HostPath("p\\q/x.lzh"));
    Outcome inside = InTmp("cd 'p\\q' && " TAVREL_CLI_PATH " --config ../cfg.ini x.lzh d note.txt");
    EXPECT_EQ(inside.status, 1);
    EXPECT_EQ(inside.out.rfind("「\\」を含むパスは扱えません。", 0), 0u) << inside.out;
    EXPECT_EQ(ReadHostFile(tmp.HostPath("p/q/x.lzh")), archive);
    // An archive another program holds is never taken for a new one and written over.
    Outcome held = InTmp("flock x.lzh " TAVREL_CLI_PATH " --config cfg.ini --new x.lzh a pipe");
    EXPECT_EQ(held.status, 1);
    EXPECT_EQ(held.out, "書庫を開けませんでした。\n");
    EXPECT_EQ(ReadHostFile(tmp.HostPath("x.lzh")), archive);
}

// Names reach the terminal with their control characters escaped: an escape sequence in a
// name neither retitles nor rewrites it, a line break does not break the listing's rows.
TEST_F(Cli, NamesAreShownEscaped)
{
    fs::copy_file(CorpusDir() + "/lzh/regression/badterm.lzh", tmp.HostPath("bt.lzh"));
    Outcome list = Tavrel("bt.lzh");
    EXPECT_EQ(list.status, 0);
    EXPECT_NE(list.out.find("\\x1b]2;malicious\\x07\\n\t"), std::string::npos) << list.out;
    EXPECT_EQ(list.out.find('\x1b'), std::string::npos);
    std::string noise(5000, '\0');
    for (size_t i = 0; i < noise.size(); ++i) {
        noise[i] = static_cast<char>(i * 2654435761u >> 13);
    }
    tmp.WriteHostFile("src/a\nb.txt", noise);
    ASSERT_EQ(Tavrel("--new nl.lzh a 'src/a\nb.txt'").status, 0);
    std::string bytes = ReadHostFile(tmp.HostPath("nl.lzh"));
    bytes[bytes.size() - 100] ^= 0x55; // inside the stored data
    tmp.WriteHostFile("nl.lzh", bytes);
    Outcome test = Tavrel("-t nl.lzh");
    EXPECT_EQ(test.status, 1);
    EXPECT_EQ(test.out, "ファイルが壊れています。 [a\\nb.txt]\n1ファイル中1ファイルが不正です。\n");
}

// Archives whose name bytes the automatic reading gets wrong, listed with each choice:
// UTF-8 names in a header from Windows (LZH OS id 'M'; a ZIP from MS-DOS without the UTF-8
// flag), and code page 932 bytes a Unix maker wrote that happen to be valid UTF-8.
TEST_F(Cli, NameEncodingSaysHowNamesAreRead)
{
    LzhMemberFields lzh;
    lzh.osId = 'M';
    lzh.ext.push_back({0x01, "\xE6\x97\xA5\xE6\x9C\xAC.txt"}); // 日本.txt in UTF-8
    tmp.WriteHostFile("win.lzh", BuildMember(lzh) + std::string(1, '\0'));
    ZipMember dos;
    dos.name = "\xE6\x97\xA5\xE6\x9C\xAC.txt";
    tmp.WriteHostFile("dos.zip", BuildZip({dos}));
    ZipMember fromUnix;
    fromUnix.name = "\xC3\xA9.txt"; // "ﾃｩ.txt" in code page 932, "é.txt" in UTF-8
    fromUnix.madeByHost = 3;
    tmp.WriteHostFile("unix.zip", BuildZip({fromUnix}));
    struct Case
    {
        const char* archive;
        const char* switches;
        const char* listed; // expected in the listing
    } cases[] = {
        {"win.lzh", "", "\xE8\xAD\x8C"}, // the first of the code page 932 reading: 譌
        {"win.lzh", "--name-encoding utf-8", "\n\xE6\x97\xA5\xE6\x9C\xAC.txt\t"},
        {"win.lzh", "--name-encoding UTF8", "\n\xE6\x97\xA5\xE6\x9C\xAC.txt\t"},
        {"dos.zip", "--name-encoding auto", "\xE8\xAD\x8C"},
        {"dos.zip", "--name-encoding utf-8", "\n\xE6\x97\xA5\xE6\x9C\xAC.txt\t"},
        {"unix.zip", "", "\n\xC3\xA9.txt\t"},
        {"unix.zip", "--name-encoding cp932", "\n\xEF\xBE\x83\xEF\xBD\xA9.txt\t"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.archive) + " " + c.switches);
        Outcome list = Tavrel(std::string(c.switches) + " " + c.archive);
        EXPECT_EQ(list.status, 0);
        EXPECT_NE(list.out.find(c.listed), std::string::npos) << list.out;
    }
    // The choice is for the run: the settings file does not keep it.
    EXPECT_EQ(ReadHostFile(tmp.HostPath("cfg.ini")).find("NameEncoding"), std::string::npos);
    EXPECT_EQ(Tavrel("--name-encoding latin1 win.lzh").status, 2);
}

TEST_F(Cli, LinkMembersListWithWhereTheyPoint)
{
    const std::string corpus = CorpusDir() + "/lzh/lha_unix114i/";
    const std::pair<const char*, const char*> cases[] = {
        {"h2_symlink.lzh", "\nsymlink -> target\t"},
        {"h1_symlink3.lzh", "\nsymlink -> /absolute/path\t"},
    };
    for (const auto& [archive, row] : cases) {
        SCOPED_TRACE(archive);
        fs::copy_file(corpus + archive, tmp.HostPath(archive));
        Outcome list = Tavrel(archive);
        EXPECT_EQ(list.status, 0);
        EXPECT_NE(list.out.find(row), std::string::npos) << list.out;
    }
}

TEST_F(Cli, UsageAndMissingArchives)
{
    EXPECT_EQ(Tavrel("").status, 2);
    EXPECT_EQ(Tavrel("--bogus a.lzh").status, 2);
    EXPECT_EQ(Tavrel("-x").status, 2);
    Outcome help = Tavrel("--help");
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("usage: tavrel-cli"), std::string::npos);
    Outcome missing = Tavrel("missing.lzh");
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.out, "書庫を開けませんでした。\n");
    // --new opens a new archive; with nothing added nothing is written.
    Outcome created = Tavrel("--new fresh.lzh");
    EXPECT_EQ(created.status, 0);
    EXPECT_EQ(created.out, "");
    EXPECT_FALSE(fs::exists(tmp.HostPath("fresh.lzh")));
    Outcome wrong = Tavrel("--new fresh.zip");
    EXPECT_EQ(wrong.out, "作成可能な書庫はLZHです。\n");
}

TEST_F(Cli, TypedCommandsRoundTripWithThePeers)
{
    ASSERT_EQ(
        InTmp("mkdir -p src/sub/deeper && printf 'x%.0s' $(seq 1 3000) > src/sub/deeper/x.txt")
            .status,
        0);
    Outcome created = Tavrel("--new new.lzh a -o4 -d1 src");
    EXPECT_EQ(created.status, 0);
    EXPECT_EQ(created.out, "");
    const std::map<std::string, std::string> expected = Tree(tmp.HostPath("src"));
    struct Peer
    {
        const char* tool;
        const char* extract; // into p/
    };
    for (const Peer& peer : {Peer{"/usr/bin/lhasa", "cd p && lhasa xq ../new.lzh"},
                             Peer{"/usr/bin/bsdtar", "bsdtar -xf new.lzh -C p"},
                             Peer{"/usr/bin/7zz", "7zz x -y -op new.lzh >/dev/null"}}) {
        SCOPED_TRACE(peer.tool);
        if (!Have(peer.tool)) {
            ADD_FAILURE() << peer.tool << " is not installed";
            continue;
        }
        fs::remove_all(tmp.HostPath("p"));
        fs::create_directories(tmp.HostPath("p"));
        ASSERT_EQ(InTmp(peer.extract).status, 0);
        EXPECT_EQ(Tree(tmp.HostPath("p/src")), expected);
    }
    // e -x1 "*.txt": the .txt members with their folders, into the current folder.
    fs::create_directories(tmp.HostPath("e"));
    EXPECT_EQ(Shell("cd '" + tmp.HostPath("e") + "' && " TAVREL_CLI_PATH " --config '" +
                    tmp.HostPath("cfg.ini") + "' ../new.lzh e -x1 '*.txt'")
                  .status,
              0);
    std::map<std::string, std::string> texts;
    for (const auto& [name, bytes] : expected) {
        if (name.size() > 4 && name.substr(name.size() - 4) == ".txt") {
            texts[name] = bytes;
        }
    }
    EXPECT_EQ(Tree(tmp.HostPath("e/src")), texts);
    // d removes exactly the member named.
    EXPECT_EQ(Tavrel("new.lzh d note.txt").status, 0);
    Outcome listed = Tavrel("new.lzh");
    EXPECT_EQ(listed.out.find("note.txt"), std::string::npos);
    EXPECT_NE(listed.out.find("empty.txt"), std::string::npos);
    EXPECT_NE(listed.out.find("x.txt"), std::string::npos);
    // An invalid command: its message and status 1.
    Outcome invalid = Tavrel("new.lzh e -A '*'");
    EXPECT_EQ(invalid.status, 1);
    EXPECT_EQ(invalid.out, "不正なコマンドです。\n");
}
