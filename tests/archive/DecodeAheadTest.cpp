// Runs whose members are decoded ahead on workers give what one thread gives: the same
// questions, progress reports, statuses and files, in the same order, for LZH and ZIP, in a
// test and in an extraction, with broken members, members that claim less than they hold,
// files that stand in a member's place and a Cancel inside a member. The workers are forced
// to decode every member the run queues (the run waits for them), so the results handed over
// are the ones compared.
#include "lzh/Crc16.h"
#include "lzh/LzhArchive.h"
#include "lzh/LzhEncoder.h"
#include "platform/Workers.h"
#include "tests/support/LzhHeaderBuilder.h"
#include "tests/support/MemoryStreams.h"
#include "tests/support/TempFolder.h"
#include "tests/support/ZipBuilder.h"
#include "zip/ZipArchive.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cwchar>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

using namespace testsupport;
namespace fs = std::filesystem;

namespace
{

// Text that compresses, different for each seed.
std::string Text(size_t size, int seed)
{
    std::string s;
    for (int i = 0; s.size() < size; ++i) {
        s += "line " + std::to_string((i + seed) * 7919 % 100003) + " of member " +
             std::to_string(seed) + "\n";
    }
    return s.substr(0, size);
}

// What the run did, as the user would see it: every question and report of progress, and
// each member's outcome.
class RecordingPrompt final : public CArchivePrompt
{
public:
    OverwriteAnswer AskOverwrite(const OverwriteQuestion& question) override
    {
        std::string name = WideToUtf8(question.name);
        log.push_back("ask " + name);
        return name.find("keep") != std::string::npos ? OverwriteAnswer::No : OverwriteAnswer::Yes;
    }
    bool ReportProgress(uint64_t done, uint64_t total) override
    {
        log.push_back("progress " + std::to_string(done) + "/" + std::to_string(total));
        return cancelAt == 0 || done < cancelAt || total != cancelTotal;
    }
    static std::string WideToUtf8(const wchar_t* text)
    {
        std::string out;
        for (; *text != 0; ++text) {
            out += static_cast<char>(*text); // the names here are ASCII
        }
        return out;
    }
    std::vector<std::string> log;
    uint64_t cancelAt = 0;    // stops the member of size cancelTotal once this much is done
    uint64_t cancelTotal = 0; // (never when 0)
};

constexpr size_t kMemberSize = 300000;

// Ten members: sound ones, one whose data are damaged, one that holds more than it claims,
// two whose places hold files (one answered Yes, one No), and a large one.
struct Member
{
    std::string name;
    std::string content;
    bool damaged = false;    // a byte of its stored data changed
    bool claimsLess = false; // declares fewer bytes than it holds
};

std::vector<Member> Members()
{
    std::vector<Member> members;
    for (int i = 0; i < 10; ++i) {
        std::string name = i == 3   ? "replace.txt"
                           : i == 6 ? "keep.txt"
                                    : "m" + std::to_string(i) + ".txt";
        members.push_back({name, Text(i == 8 ? 4 * kMemberSize : kMemberSize, i)});
    }
    members[2].damaged = true;
    members[5].claimsLess = true;
    return members;
}

std::string BuildLzh(const std::vector<Member>& members)
{
    std::string bytes;
    for (const Member& m : members) {
        std::vector<uint8_t> data(m.content.begin(), m.content.end());
        MemorySource source(data);
        VectorSink sink;
        CLzhEncoder encoder;
        encoder.Encode(source, sink, static_cast<uint32_t>(data.size()), 7);
        LzhMemberFields f;
        f.method = "-lh7-";
        f.name = m.name;
        f.ext = {{0x01, m.name}};
        f.data.assign(sink.bytes.begin(), sink.bytes.end());
        if (m.damaged) {
            f.data[f.data.size() / 2] ^= 0x55;
        }
        f.unpacked = static_cast<uint32_t>(data.size() - (m.claimsLess ? 1000 : 0));
        f.crc = Crc16Update(0, data.data(), static_cast<long>(data.size()));
        f.timeField = 1700000000;
        bytes += BuildMember(f);
    }
    return bytes + std::string(1, '\0');
}

std::string BuildZipOf(const std::vector<Member>& members)
{
    std::vector<ZipMember> zip;
    for (size_t i = 0; i < members.size(); ++i) {
        const Member& m = members[i];
        // The methods take turns: stored, Deflate, Zstandard (a library decoder).
        zip.push_back(i % 3 == 0   ? StoredMember(m.name, m.content)
                      : i % 3 == 1 ? DeflatedMember(m.name, m.content)
                                   : ZstdMember(m.name, m.content));
        if (m.damaged) {
            zip.back().data[zip.back().data.size() / 2] ^= 0x55;
        }
        if (m.claimsLess) {
            zip.back().unpackedSize -= 1000;
        }
    }
    return BuildZip(zip);
}

struct Format
{
    const char* extension;
    std::string (*build)(const std::vector<Member>&);
    std::unique_ptr<CArchiveObject> (*make)();
};

const Format kFormats[] = {
    {".lzh", BuildLzh,
     [] {
         auto lzh = std::make_unique<CLzhArchive>();
         lzh->addMode = true; // replace whatever the times, asking
         return std::unique_ptr<CArchiveObject>(std::move(lzh));
     }},
    {".zip", BuildZipOf,
     [] {
         auto zip = std::make_unique<CZipArchive>();
         zip->skipIfNotOlder = false;
         return std::unique_ptr<CArchiveObject>(std::move(zip));
     }},
};

struct Outcome
{
    std::vector<std::string> log;
    std::vector<std::string> files; // name and content of each file written
};

// One run over every member, as the list's commands make it.
Outcome RunAll(TempFolder& tmp, const Format& format, bool test, uint64_t cancelAt)
{
    fs::remove_all(tmp.HostPath("out"));
    tmp.WriteHostFile("out/replace.txt", "old");
    tmp.WriteHostFile("out/keep.txt", "mine");
    std::unique_ptr<CArchiveObject> archive = format.make();
    std::wstring path = std::wstring(L"\\a") + (format.extension[1] == 'l' ? L".lzh" : L".zip");
    EXPECT_TRUE(archive->Open(path.c_str(), false));
    RecordingPrompt prompt;
    prompt.cancelAt = cancelAt;
    prompt.cancelTotal = 4 * kMemberSize;
    archive->SetPrompt(&prompt);
    archive->testMode = test;
    std::wcscpy(archive->destFolder, L"\\out");
    if (!test) {
        archive->BeginExtraction();
    }
    std::vector<int> order(static_cast<size_t>(archive->GetEntryCount()));
    for (size_t i = 0; i < order.size(); ++i) {
        order[i] = static_cast<int>(i);
    }
    archive->PlanRun(order);
    for (int index : order) {
        bool ok = archive->ExtractEntry(index);
        prompt.log.push_back(
            "member " + std::to_string(index) +
            (ok ? " ok" : " failed " + std::to_string(static_cast<int>(archive->LastCause()))));
        if (archive->LastCause() == StatusCause::Cancelled) {
            break;
        }
    }
    archive->EndPlan();
    if (!test) {
        archive->EndExtraction();
    }
    archive->Close();
    Outcome outcome{prompt.log, {}};
    for (const auto& e : fs::directory_iterator(tmp.HostPath("out"))) {
        outcome.files.push_back(e.path().filename().string() + "=" +
                                ReadHostFile(e.path().string()));
    }
    std::sort(outcome.files.begin(), outcome.files.end());
    return outcome;
}

} // namespace

TEST(DecodeAhead, EveryCoreGivesWhatOneThreadGives)
{
    unsetenv("TAVREL_THREADS");
    TempFolder tmp;
    for (const Format& format : kFormats) {
        tmp.WriteHostFile(std::string("a") + format.extension, format.build(Members()));
        for (bool test : {true, false}) {
            for (uint64_t cancelAt : {uint64_t{0}, uint64_t{2 * kMemberSize}}) {
                SCOPED_TRACE(std::string(format.extension) + (test ? " test" : " extract") +
                             (cancelAt != 0 ? " cancelled" : ""));
                platform::SetWorkerSetting(1);
                Outcome one = RunAll(tmp, format, test, cancelAt);
                platform::SetWorkerSetting(3);
                CDecodeAhead::TakeWaitsForQueued(true);
                uint64_t taken = CDecodeAhead::TakenSoFar();
                Outcome every = RunAll(tmp, format, test, cancelAt);
                // Every member but the ones asked about, and the ones after a Cancel.
                EXPECT_GE(CDecodeAhead::TakenSoFar() - taken, cancelAt != 0 ? 6u : 8u);
                CDecodeAhead::TakeWaitsForQueued(false);
                platform::SetWorkerSetting(0);
                EXPECT_EQ(every.log, one.log);
                EXPECT_EQ(every.files, one.files);
                // The run did meet what it is about: a broken member, progress, a question.
                std::string all;
                for (const std::string& line : one.log) {
                    all += line + "\n";
                }
                EXPECT_NE(all.find("member 2 failed"), std::string::npos) << all;
                EXPECT_NE(all.find("member 5 failed"), std::string::npos) << all;
                EXPECT_NE(all.find("progress"), std::string::npos) << all;
                EXPECT_EQ(all.find("ask") != std::string::npos, !test) << all;
                EXPECT_EQ(all.find("member 9") != std::string::npos, cancelAt == 0) << all;
            }
        }
    }
}
