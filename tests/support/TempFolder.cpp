// Temporary device roots for tests.
#include "tests/support/TempFolder.h"

#include "platform/DevicePath.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace testsupport
{

TempFolder::TempFolder()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "tavrel-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("mkdtemp failed");
    }
    m_host = pattern;
    platform::SetDeviceRoot(m_host);
}

TempFolder::~TempFolder()
{
    platform::SetDeviceRoot("");
    std::error_code ignored;
    // Read-only files and folders must not keep the tree alive.
    for (auto& e : std::filesystem::recursive_directory_iterator(m_host, ignored)) {
        std::filesystem::permissions(e.path(), std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ignored);
    }
    std::filesystem::remove_all(m_host, ignored);
}

std::string TempFolder::HostPath(std::string_view relative) const
{
    return m_host + "/" + std::string(relative);
}

void TempFolder::WriteHostFile(std::string_view relative, std::string_view bytes) const
{
    std::filesystem::path path(HostPath(relative));
    std::filesystem::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) {
        throw std::runtime_error("cannot write test file");
    }
}

std::string ReadHostFile(const std::string& hostPath)
{
    std::ifstream in(hostPath, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

std::string CorpusDir()
{
    const char* env = std::getenv("TAVREL_CORPUS");
    return env != nullptr && *env != 0 ? env : TAVREL_CORPUS_DIR;
}

} // namespace testsupport
