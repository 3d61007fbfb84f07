// SHA-256 of a host file, as the corpus manifests record it (through sha256sum).
#pragma once

#include <string>

namespace testsupport
{

// Lower-case hex digest; records a test failure and returns "" when the file cannot be read.
std::string Sha256OfHostFile(const std::string& hostPath);

} // namespace testsupport
