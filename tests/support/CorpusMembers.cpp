// Locating corpus members by method through CLzhArchive.
#include "tests/support/CorpusMembers.h"

#include "lzh/LzhArchive.h"
#include "platform/CodePage932.h"
#include "tests/support/Sha256.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace testsupport
{

std::vector<CorpusMember> CorpusMembersWithMethod(const std::string& method)
{
    const std::string root = CorpusDir() + "/lzh";
    std::vector<CorpusMember> found;
    for (const auto& [relative, rows] : ReadLzhManifest(root + "/MANIFEST.tsv")) {
        bool wanted = false;
        for (const ManifestRow& row : rows) {
            wanted = wanted || row.method == method;
        }
        if (!wanted) {
            continue;
        }
        std::filesystem::path source = root + "/" + relative;
        std::string ext = source.extension().string();
        std::string name = ext == ".com" ? "archive.exe" : "archive" + ext;
        TempFolder tmp;
        std::filesystem::copy_file(source, tmp.HostPath(name));
        CLzhArchive archive;
        std::wstring path = L"\\" + platform::Cp932ToWide(name);
        if (!archive.Open(path.c_str(), false)) {
            ADD_FAILURE() << relative << ": open fails with status " << archive.status;
            continue;
        }
        std::ifstream file(source, std::ios::binary);
        for (int i = 0; i < archive.GetEntryCount() && i < static_cast<int>(rows.size()); ++i) {
            const ManifestRow& row = rows[static_cast<size_t>(i)];
            const CArchiveEntry& e = archive.GetEntry(i);
            if (row.method != method) {
                continue;
            }
            CorpusMember m{relative, row, e.unpackedSize, static_cast<uint16_t>(e.crc), {}};
            m.packed.resize(e.packedSize);
            file.seekg(e.dataPos);
            file.read(reinterpret_cast<char*>(m.packed.data()), e.packedSize);
            if (!file) {
                ADD_FAILURE() << relative << ": cannot read member " << i;
                file.clear();
                continue;
            }
            found.push_back(std::move(m));
        }
        archive.Close();
    }
    return found;
}

std::string Sha256OfBytes(const std::vector<uint8_t>& bytes)
{
    // A plain temporary file: a TempFolder here would reset the caller's device root.
    std::string path = (std::filesystem::temp_directory_path() / "tavrel-sha-XXXXXX").string();
    int fd = mkstemp(path.data());
    if (fd < 0) {
        ADD_FAILURE() << "mkstemp failed";
        return "";
    }
    close(fd);
    {
        std::ofstream out(path, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()),
                  static_cast<std::streamsize>(bytes.size()));
    }
    std::string digest = Sha256OfHostFile(path);
    std::filesystem::remove(path);
    return digest;
}

} // namespace testsupport
