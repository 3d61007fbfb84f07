#include "tests/support/Shell.h"

#include "tests/support/TempFolder.h"

#include <array>
#include <cstdio>
#include <filesystem>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace testsupport
{

ShellOutcome Shell(const std::string& command, bool errorsToo)
{
    std::string line = errorsToo ? "{ " + command + "; } 2>&1" : command + " 2>/dev/null";
    FILE* pipe = popen(line.c_str(), "r");
    std::string out;
    std::array<char, 4096> buffer{};
    size_t n;
    while (pipe != nullptr && (n = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0) {
        out.append(buffer.data(), n);
    }
    int status = pipe != nullptr ? pclose(pipe) : -1;
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, out};
}

std::map<std::string, std::string> Tree(const std::string& root)
{
    std::map<std::string, std::string> files;
    if (!fs::exists(root)) {
        return files;
    }
    for (const auto& e : fs::recursive_directory_iterator(root)) {
        if (e.is_regular_file()) {
            files[fs::relative(e.path(), root).string()] = ReadHostFile(e.path().string());
        }
    }
    return files;
}

bool Have(const char* tool)
{
    return access(tool, X_OK) == 0;
}

} // namespace testsupport
