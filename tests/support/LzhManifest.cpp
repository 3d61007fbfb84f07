// Reading the LZH corpus manifest.
#include "tests/support/LzhManifest.h"

#include "lzh/LzhStatus.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <optional>
#include <sstream>

namespace testsupport
{
namespace
{

const std::map<std::string, Divergence> kDivergences = {
    // A folder extended header must end in the separator byte; these end "subdir2" without
    // it (LhA 1.22 on AmigaOS), so their only header is malformed and the scan ends there.
    {"lha_amiga_122/level1.lzh", {0, 0, "folder without trailing separator"}},
    {"lha_amiga_122/level2.lzh", {0, 0, "folder without trailing separator"}},
};

std::vector<std::string> Split(const std::string& line)
{
    std::vector<std::string> fields;
    std::stringstream s(line);
    std::string field;
    while (std::getline(s, field, '\t')) {
        fields.push_back(field);
    }
    return fields;
}

// Manifest paths: '\xNN' for bytes outside printable ASCII, '\\' for a backslash.
} // namespace

const std::map<std::string, Divergence>& ListingDivergences()
{
    return kDivergences;
}

std::string Unescape(const std::string& text)
{
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 1 < text.size() && text[i + 1] == '\\') {
            out.push_back('\\');
            ++i;
        } else if (text[i] == '\\' && i + 3 < text.size() && text[i + 1] == 'x') {
            out.push_back(static_cast<char>(std::stoi(text.substr(i + 2, 2), nullptr, 16)));
            i += 3;
        } else {
            out.push_back(text[i]);
        }
    }
    return out;
}

std::map<std::string, std::vector<ManifestRow>> ReadLzhManifest(const std::string& path)
{
    std::map<std::string, std::vector<ManifestRow>> archives;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') {
            continue;
        }
        auto f = Split(line);
        if (f.size() < 12) {
            ADD_FAILURE() << "short manifest line: " << line;
            continue;
        }
        ManifestRow row;
        row.member = f[1];
        row.sha256 = f[6];
        row.expect = f[7];
        row.method = f[2];
        row.level = std::stoi(f[3]);
        row.size = std::stoull(f[4]);
        row.crc = static_cast<unsigned>(std::stoul(f[5], nullptr, 16));
        row.os = f[8];
        row.packed = std::stoull(f[9]);
        row.offset = std::stoull(f[10]);
        row.mtime = f[11];
        archives[f[0]].push_back(row);
    }
    return archives;
}

std::vector<std::optional<int64_t>> HeaderDumpTimes(const std::string& dumpPath)
{
    std::vector<std::optional<int64_t>> times;
    std::ifstream in(dumpPath);
    std::string line;
    std::optional<int64_t> current;
    bool any = false;
    while (std::getline(in, line)) {
        if (line == "--") {
            times.push_back(current);
            current.reset();
            any = false;
            continue;
        }
        any = true;
        if (line.rfind("timestamp: ", 0) == 0) {
            current = std::stoll(line.substr(11));
        }
    }
    if (any) {
        times.push_back(current);
    }
    return times;
}

platform::FileTime ManifestTime(const std::string& text)
{
    if (text.rfind("raw:", 0) == 0) {
        return 0;
    }
    platform::SystemTime st{};
    int y, mo, d, h, mi, s;
    char sep;
    if (std::sscanf(text.c_str(), "%d-%d-%d%c%d:%d:%d", &y, &mo, &d, &sep, &h, &mi, &s) != 7) {
        ADD_FAILURE() << "bad time " << text;
        return 0;
    }
    st = {static_cast<uint16_t>(y),
          static_cast<uint16_t>(mo),
          0,
          static_cast<uint16_t>(d),
          static_cast<uint16_t>(h),
          static_cast<uint16_t>(mi),
          static_cast<uint16_t>(s),
          0};
    platform::FileTime ft = 0;
    EXPECT_TRUE(platform::SystemTimeToFileTime(st, &ft)) << text;
    return ft;
}

} // namespace testsupport
