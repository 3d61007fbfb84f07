#include "tests/support/Sha256.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace testsupport
{

std::string Sha256OfHostFile(const std::string& hostPath)
{
    // From standard input: sha256sum escapes names that hold a newline or a backslash.
    std::string command = "sha256sum < '" + hostPath + "' 2>/dev/null";
    FILE* pipe = popen(command.c_str(), "r");
    char digest[65] = {};
    if (pipe == nullptr || std::fscanf(pipe, "%64s", digest) != 1) {
        ADD_FAILURE() << "sha256sum failed for " << hostPath;
    }
    if (pipe != nullptr) {
        pclose(pipe);
    }
    return digest;
}

} // namespace testsupport
