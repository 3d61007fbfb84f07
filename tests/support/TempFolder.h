// A temporary host folder that is the device root while it lives, removed afterwards.
#pragma once

#include <string>
#include <string_view>

namespace testsupport
{

class TempFolder
{
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::string& Host() const { return m_host; }
    // Host path of a file inside the folder ("a/b.lzh").
    std::string HostPath(std::string_view relative) const;
    // Writes a file below the folder, making the folders it needs.
    void WriteHostFile(std::string_view relative, std::string_view bytes) const;

private:
    std::string m_host;
};

std::string ReadHostFile(const std::string& hostPath);
// The test corpus: archives made by other tools with their manifests (tests/data/corpus, or
// the folder $TAVREL_CORPUS names).
std::string CorpusDir();

} // namespace testsupport
