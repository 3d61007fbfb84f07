// One extraction run, LZH and ZIP alike: the destination is held from the first member to the
// last (a folder swapped for a link meanwhile sends nothing outside), a member takes the place
// of an existing file only whole and checked, the open archive is never an output, and a run
// that writes nothing makes no folder.
#include "lzh/Crc16.h"
#include "lzh/LzhArchive.h"
#include "platform/File.h"
#include "platform/Text.h"
#include "tests/support/LzhHeaderBuilder.h"
#include "tests/support/TempFolder.h"
#include "tests/support/ZipBuilder.h"
#include "zip/ZipArchive.h"

#include <gtest/gtest.h>

#include <cwchar>
#include <filesystem>
#include <functional>
#include <memory>

using namespace testsupport;
namespace fs = std::filesystem;

namespace
{

struct Item
{
    std::string name;
    std::string data;
    uint32_t unixTime = 1700000000; // 2023-11-14
};

std::string BuildLzh(const std::vector<Item>& items)
{
    std::string bytes;
    for (const Item& item : items) {
        LzhMemberFields s;
        s.level = 2;
        s.name = item.name;
        s.ext = {{0x01, item.name}};
        s.data = item.data;
        s.unpacked = static_cast<uint32_t>(item.data.size());
        s.crc = Crc16Update(0, item.data.data(), static_cast<long>(item.data.size()));
        s.timeField = item.unixTime;
        bytes += BuildMember(s);
    }
    return bytes + std::string(1, '\0');
}

std::string BuildZipOf(const std::vector<Item>& items)
{
    std::vector<ZipMember> members;
    for (const Item& item : items) {
        members.push_back(StoredMember(item.name, item.data));
        members.back().date = 0x5C21; // 2026-01-01, later than any file here
    }
    return BuildZip(members);
}

// An archive object of either format over the same members.
struct Format
{
    const char* name;
    const char* extension;
    std::string (*build)(const std::vector<Item>&);
    std::unique_ptr<CArchiveObject> (*make)();
    bool (*open)(CArchiveObject&, const wchar_t*);
};

const Format kFormats[] = {
    {"lzh", ".lzh", BuildLzh, [] { return std::unique_ptr<CArchiveObject>(new CLzhArchive); },
     [](CArchiveObject& a, const wchar_t* path) {
         auto& lzh = static_cast<CLzhArchive&>(a);
         lzh.addMode = true; // replace regardless of times, as the tests ask
         return lzh.Open(path, false);
     }},
    {"zip", ".zip", BuildZipOf, [] { return std::unique_ptr<CArchiveObject>(new CZipArchive); },
     [](CArchiveObject& a, const wchar_t* path) {
         auto& zip = static_cast<CZipArchive&>(a);
         zip.skipIfNotOlder = false;
         return zip.Open(path);
     }},
};

std::vector<Item> ManyMembers(int count)
{
    std::vector<Item> items;
    for (int i = 0; i < count; ++i) {
        std::string number = std::to_string(i);
        std::string name = "m";
        name += number;
        name += ".txt";
        items.push_back({name, "member " + number});
    }
    return items;
}

size_t FilesBelow(const std::string& root)
{
    size_t n = 0;
    if (fs::exists(root)) {
        for (auto& e : fs::recursive_directory_iterator(root)) {
            n += e.is_regular_file() || e.is_symlink() ? 1 : 0;
        }
    }
    return n;
}

// Stops the member at its first report of progress.
class StopAtOnce final : public CArchivePrompt
{
public:
    bool ReportProgress(uint64_t, uint64_t) override { return false; }
};

class ExtractionRun : public ::testing::TestWithParam<Format>
{
protected:
    void SetUp() override
    {
        fs::create_directories(tmp.HostPath("dest"));
        fs::create_directories(tmp.HostPath("outside"));
    }
    // Writes the archive as `name`, opens it and sets the destination dest\arch.
    std::unique_ptr<CArchiveObject> Open(const std::vector<Item>& items,
                                         const std::string& name = "a")
    {
        const Format& f = GetParam();
        std::string file = name;
        file += f.extension;
        tmp.WriteHostFile(file, f.build(items));
        archivePath = platform::Utf8ToWide(file);
        auto archive = f.make();
        std::wstring path = L"\\" + archivePath;
        EXPECT_TRUE(f.open(*archive, path.c_str()));
        std::wcscpy(archive->destFolder, L"\\dest\\arch");
        archive->keepFolders = true;
        archive->overwriteSilently = true;
        return archive;
    }

    TempFolder tmp;
    std::wstring archivePath;
};

} // namespace

TEST_P(ExtractionRun, AFolderSwappedForALinkMidRunSendsNothingOutside)
{
    std::vector<Item> items = ManyMembers(3000);
    for (int swapAfter : {1, 1500, 2999}) {
        SCOPED_TRACE(swapAfter);
        fs::remove_all(tmp.HostPath("dest"));
        fs::remove_all(tmp.HostPath("moved"));
        fs::create_directories(tmp.HostPath("dest"));
        auto archive = Open(items);
        archive->BeginExtraction(true);
        for (int i = 0; i < archive->GetEntryCount(); ++i) {
            EXPECT_TRUE(archive->ExtractEntry(i)) << i << " " << archive->status;
            if (i + 1 == swapAfter) {
                fs::rename(tmp.HostPath("dest/arch"), tmp.HostPath("moved"));
                fs::create_directory_symlink(tmp.HostPath("outside"), tmp.HostPath("dest/arch"));
            }
        }
        archive->EndExtraction();
        EXPECT_EQ(FilesBelow(tmp.HostPath("outside")), 0u);
        EXPECT_EQ(FilesBelow(tmp.HostPath("moved")), items.size());
    }
}

// The swap comes at the n-th call the run makes into the file layer, for every n the run has:
// between making a member's file and writing it, between writing and naming it, between members
// and between folders.
TEST_P(ExtractionRun, ASwapAtAnyStepOfTheRunSendsNothingOutside)
{
    std::vector<Item> items = {{"a.txt", "first"},
                               {"sub/b.txt", "second"},
                               {"sub/deep/c.txt", "third"},
                               {"d.txt", "last"}};
    static int callsLeft;
    static std::function<void()> swap;
    swap = [this] {
        fs::rename(tmp.HostPath("dest/arch"), tmp.HostPath("moved"));
        fs::create_directory_symlink(tmp.HostPath("outside"), tmp.HostPath("dest/arch"));
    };
    auto run = [&](int swapAt) {
        fs::remove_all(tmp.HostPath("dest"));
        fs::remove_all(tmp.HostPath("moved"));
        fs::create_directories(tmp.HostPath("dest/arch"));
        auto archive = Open(items);
        callsLeft = swapAt;
        platform::SetFaultHook([](platform::FaultPoint) {
            if (--callsLeft == 0) {
                swap();
            }
            return false;
        });
        archive->BeginExtraction(true);
        for (int i = 0; i < archive->GetEntryCount(); ++i) {
            archive->ExtractEntry(i);
        }
        archive->EndExtraction();
        platform::SetFaultHook(nullptr);
        return swapAt - callsLeft; // calls seen
    };
    int calls = run(0);
    ASSERT_GT(calls, static_cast<int>(items.size()));
    for (int n = 1; n <= calls; ++n) {
        SCOPED_TRACE(n);
        run(n);
        EXPECT_TRUE(fs::is_symlink(tmp.HostPath("dest/arch")));
        EXPECT_EQ(FilesBelow(tmp.HostPath("outside")), 0u);
    }
}

TEST_P(ExtractionRun, AFailedMemberLeavesTheFileItWouldReplace)
{
    std::string big(3 << 20, 'b'); // large enough to report its progress
    struct Case
    {
        const char* what;
        bool existing;
        void (*arrange)(CArchiveObject&);
    } cases[] = {
        {"a full disk", true,
         [](CArchiveObject&) {
             platform::SetFaultHook(
                 [](platform::FaultPoint p) { return p == platform::FaultPoint::Write; });
         }},
        {"a full disk, no file before", false,
         [](CArchiveObject&) {
             platform::SetFaultHook(
                 [](platform::FaultPoint p) { return p == platform::FaultPoint::Write; });
         }},
        {"the user's Cancel", true,
         [](CArchiveObject& a) {
             static StopAtOnce stop;
             a.SetPrompt(&stop);
         }},
        {"a rename that fails", true,
         [](CArchiveObject&) {
             platform::SetFaultHook(
                 [](platform::FaultPoint p) { return p == platform::FaultPoint::Rename; });
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(tmp.HostPath("dest"));
        fs::create_directories(tmp.HostPath("dest/arch"));
        if (c.existing) {
            tmp.WriteHostFile("dest/arch/keep.bin", "the user's file");
        }
        auto archive = Open({{"keep.bin", big}});
        c.arrange(*archive);
        bool ok = archive->ExtractEntry(0);
        platform::SetFaultHook(nullptr);
        EXPECT_FALSE(ok);
        if (c.existing) {
            EXPECT_EQ(ReadHostFile(tmp.HostPath("dest/arch/keep.bin")), "the user's file");
        }
        EXPECT_EQ(FilesBelow(tmp.HostPath("dest")), c.existing ? 1u : 0u); // no stray file
    }
    // A member whose data fail their check replaces nothing either; a sound one does.
    for (bool sound : {false, true}) {
        fs::remove_all(tmp.HostPath("dest"));
        fs::create_directories(tmp.HostPath("dest/arch"));
        tmp.WriteHostFile("dest/arch/keep.bin", "the user's file");
        std::string bytes = GetParam().build({{"keep.bin", "sound"}});
        if (!sound) {
            bytes[bytes.find("sound")] = 'S';
        }
        tmp.WriteHostFile(std::string("a") + GetParam().extension, bytes);
        auto archive = GetParam().make();
        std::wstring path = GetParam().name[0] == 'l' ? L"\\a.lzh" : L"\\a.zip";
        ASSERT_TRUE(GetParam().open(*archive, path.c_str()));
        std::wcscpy(archive->destFolder, L"\\dest\\arch");
        archive->overwriteSilently = true;
        EXPECT_EQ(archive->ExtractEntry(0), sound);
        EXPECT_EQ(ReadHostFile(tmp.HostPath("dest/arch/keep.bin")),
                  sound ? "sound" : "the user's file");
        EXPECT_EQ(FilesBelow(tmp.HostPath("dest")), 1u);
        EXPECT_EQ(archive->LastOutput(), sound ? L"\\dest\\arch\\keep.bin" : L"");
    }
}

TEST_P(ExtractionRun, TheOpenArchiveIsNeverAnOutput)
{
    // The archive lies in its own destination and holds a member of its own name, dated
    // later: no overwrite setting lets that member replace it.
    std::string name = std::string("self") + GetParam().extension;
    auto archive = Open({{name, "not the archive"}, {"other.txt", "other"}}, "self");
    std::string before = ReadHostFile(tmp.HostPath(name));
    std::wcscpy(archive->destFolder, L"\\");
    for (bool silently : {true, false}) {
        archive->overwriteSilently = silently;
        fs::remove(tmp.HostPath("other.txt"));
        archive->BeginExtraction();
        EXPECT_FALSE(archive->ExtractEntry(0));
        EXPECT_TRUE(archive->ExtractEntry(1));
        archive->EndExtraction();
        EXPECT_EQ(ReadHostFile(tmp.HostPath(name)), before);
    }
    EXPECT_EQ(ReadHostFile(tmp.HostPath("other.txt")), "other");
}

TEST_P(ExtractionRun, ARunThatWritesNothingMakesNoFolder)
{
    auto archive = Open({{"a.txt", "a"}});
    archive->BeginExtraction(true);
    archive->EndExtraction();
    EXPECT_FALSE(fs::exists(tmp.HostPath("dest/arch")));
    // A member kept by the rules writes nothing either.
    archive->overwriteSilently = false;
    fs::create_directories(tmp.HostPath("dest/arch"));
    tmp.WriteHostFile("dest/arch/a.txt", "mine");
    archive->BeginExtraction(true);
    EXPECT_FALSE(archive->ExtractEntry(0));
    archive->EndExtraction();
    EXPECT_EQ(ReadHostFile(tmp.HostPath("dest/arch/a.txt")), "mine");
    EXPECT_EQ(archive->LastOutput(), L"");
}

INSTANTIATE_TEST_SUITE_P(BothFormats, ExtractionRun, ::testing::ValuesIn(kFormats),
                         [](const ::testing::TestParamInfo<Format>& format) {
                             return std::string(format.param.name);
                         });
