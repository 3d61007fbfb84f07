// Runs a fuzz target once over each file named on the command line, or each file in the
// folders named there, without libFuzzer: the corpus becomes a regression test.
#include "fuzz/FuzzTarget.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

namespace
{

int RunFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                               std::istreambuf_iterator<char>());
    if (!in.good() && !in.eof()) {
        std::fprintf(stderr, "cannot read %s\n", path.c_str());
        return 1;
    }
    LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    int files = 0;
    for (int i = 1; i < argc; ++i) {
        std::filesystem::path arg(argv[i]);
        if (std::filesystem::is_directory(arg)) {
            for (const auto& e : std::filesystem::recursive_directory_iterator(arg)) {
                if (e.is_regular_file()) {
                    if (RunFile(e.path()) != 0) {
                        return 1;
                    }
                    ++files;
                }
            }
        } else if (RunFile(arg) != 0) {
            return 1;
        } else {
            ++files;
        }
    }
    std::printf("%d inputs ran\n", files);
    return files > 0 ? 0 : 1;
}
