// Runs a fuzz target over stored inputs, without libFuzzer: every file of every folder (or file)
// named on the command line is passed once to LLVMFuzzerTestOneInput. Built into the ordinary
// test suite so that the seed corpus and every past crash reproducer stay fixed.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

int main(int argc, char** argv) {
    namespace fs = std::filesystem;
    std::vector<fs::path> files;
    for (int i = 1; i < argc; ++i) {
        // Absolute: a target may change the current directory.
        const fs::path p = fs::absolute(argv[i]);
        if (fs::is_directory(p)) {
            for (const auto& e : fs::recursive_directory_iterator(p)) {
                if (e.is_regular_file() && e.path().filename().string().front() != '.')
                    files.push_back(e.path());
            }
        } else if (fs::is_regular_file(p)) {
            files.push_back(p);
        }
    }
    std::sort(files.begin(), files.end());
    for (const fs::path& f : files) {
        std::ifstream in(f, std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(in)),
                                std::istreambuf_iterator<char>());
        std::fprintf(stderr, "%s (%zu bytes)\n", f.c_str(), bytes.size());
        LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    }
    std::printf("%zu inputs ran\n", files.size());
    // No input at all means the folders were not found: that must not pass as a clean replay.
    return files.empty() ? 1 : 0;
}
