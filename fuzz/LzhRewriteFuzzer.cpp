// Fuzz target: arbitrary bytes opened as an LZH archive, one member (chosen by the first byte)
// deleted, a small file added, and the archive closed. Afterwards the file is either exactly
// the input (the change was refused, or the rewrite at Close) or an archive that lists every member
// listed before, with the same header fields and the same bytes, but the deleted one, and the added
// one last.
#include "fuzz/FuzzFile.h"
#include "fuzz/FuzzTarget.h"
#include "lzh/LzhArchive.h"

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace
{

struct Listed
{
    CArchiveEntry entry; // positions cleared: they move in a rewrite
    std::string bytes;   // header and data
};

std::string ReadAll(const std::wstring& devicePath)
{
    std::ifstream in(platform::DeviceToHost(devicePath), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<Listed> List(CLzhArchive& archive, const std::string& file)
{
    std::vector<Listed> members;
    for (int i = 0; i < archive.GetEntryCount(); ++i) {
        Listed m;
        m.entry = archive.GetEntry(i);
        int64_t end = m.entry.dataPos + m.entry.packedSize;
        if (end > static_cast<int64_t>(file.size())) {
            if (archive.IsWhole()) {
                std::abort(); // a whole archive holds every member's data
            }
            end = static_cast<int64_t>(file.size());
        }
        m.bytes = file.substr(static_cast<size_t>(m.entry.headerPos),
                              static_cast<size_t>(end - m.entry.headerPos));
        m.entry.headerPos = m.entry.dataPos = 0;
        members.push_back(m);
    }
    return members;
}

bool Same(const Listed& a, const Listed& b)
{
    return std::memcmp(&a.entry, &b.entry, sizeof a.entry) == 0 && a.bytes == b.bytes;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1) {
        return 0;
    }
    std::wstring added = WriteFuzzFile("added.txt", reinterpret_cast<const uint8_t*>("added\n"), 6);
    std::wstring path = WriteFuzzFile("input.lzh", data + 1, size - 1);
    std::string input(reinterpret_cast<const char*>(data + 1), size - 1);
    std::vector<Listed> before;
    int deleted = -1;
    {
        CLzhArchive archive;
        if (!archive.Open(path.c_str(), false)) {
            return 0;
        }
        bool whole = archive.IsWhole();
        before = List(archive, input);
        for (const Listed& m : before) {
            if (m.entry.folder[0] == 0 && std::wcscmp(m.entry.name, L"added.txt") == 0) {
                return 0; // the add would replace it in place
            }
        }
        bool changed = false;
        if (archive.GetEntryCount() > 0) {
            deleted = data[0] % archive.GetEntryCount();
            changed = archive.DeleteEntry(deleted);
        }
        archive.storeOnly = (data[0] & 0x80) != 0;
        archive.addMode = true;
        changed = archive.AddFile(added.c_str()) || changed;
        if (changed != whole) {
            std::abort(); // a whole archive takes both changes, any other none
        }
        // A rewrite that would not read back as listed is refused at Close.
        bool closed = archive.Close();
        if (!closed) {
            archive.Abandon();
        }
        if (!whole || !closed) {
            if (ReadAll(path) != input) {
                std::abort();
            }
            return 0;
        }
    }
    CLzhArchive reopened;
    if (!reopened.Open(path.c_str(), false) || !reopened.IsWhole()) {
        std::abort();
    }
    std::vector<Listed> after = List(reopened, ReadAll(path));
    if (after.size() != before.size() - (deleted >= 0 ? 1 : 0) + 1) {
        std::abort();
    }
    size_t j = 0;
    for (size_t i = 0; i < before.size(); ++i) {
        if (static_cast<int>(i) != deleted && !Same(before[i], after[j++])) {
            std::abort();
        }
    }
    if (std::wcscmp(after.back().entry.name, L"added.txt") != 0) {
        std::abort();
    }
    return 0;
}
