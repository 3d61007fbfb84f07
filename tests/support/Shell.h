// Running commands in tests: a shell command's exit status and standard output, the regular
// files below a folder, and whether a peer tool is installed.
#pragma once

#include <map>
#include <string>

namespace testsupport
{

struct ShellOutcome
{
    int status; // the exit status, or -1 when the command did not exit
    std::string out;
};

// Runs command with sh; its standard error is discarded, or with errorsToo read after its
// standard output.
ShellOutcome Shell(const std::string& command, bool errorsToo = false);
// Every regular file below root, by relative path, with its bytes.
std::map<std::string, std::string> Tree(const std::string& root);
bool Have(const char* tool);

} // namespace testsupport
