// Shared pieces of the fuzz targets: a scratch directory per process and a snapshot of a tree,
// so that a target can prove that nothing changed where it must not write.
#pragma once

#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <string_view>

#include "toolkit/streams.h"

namespace rpq::fuzz {

namespace fs = std::filesystem;

// Ends the process with a message; libFuzzer records the input as a crash.
[[noreturn]] inline void Fail(const std::string& what) {
    std::fprintf(stderr, "fuzz invariant broken: %s\n", what.c_str());
    std::fflush(stderr);
    std::abort();
}

// The whole content of a memory stream.
inline std::string Bytes(const MemoryStream& s) {
    return s.Size() == 0 ? std::string()
                         : std::string(reinterpret_cast<const char*>(s.Data()),
                                       static_cast<size_t>(s.Size()));
}

inline std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteAll(const std::string& path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out)
        Fail("cannot write fixture " + path);
}

// A directory made once per process (in /dev/shm when there is one, which is faster) and
// removed at exit.
inline const std::string& ScratchRoot() {
    static const std::string root = [] {
        std::string base = fs::is_directory("/dev/shm") ? "/dev/shm" : fs::temp_directory_path();
        std::string pattern = base + "/rpq-fuzz-XXXXXX";
        if (::mkdtemp(pattern.data()) == nullptr)
            Fail("mkdtemp");
        std::string made = fs::canonical(pattern).string();
        static std::string forExit;
        forExit = made;
        std::atexit([] {
            std::error_code ec;
            fs::remove_all(forExit, ec);
        });
        return made;
    }();
    return root;
}

// Every path under `root` (relative, directories with a trailing '/') with the bytes of each
// file. Symbolic links are recorded as "-> target" and never followed.
using Snapshot = std::map<std::string, std::string>;

inline Snapshot Snap(const std::string& root, const std::string& skip = {}) {
    Snapshot snap;
    for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator();
         ++it) {
        const fs::path& p = it->path();
        std::string rel = fs::relative(p, root).string();
        if (!skip.empty() && (rel == skip || rel.rfind(skip + "/", 0) == 0)) {
            if (it->is_directory())
                it.disable_recursion_pending();
            continue;
        }
        if (it->is_symlink()) {
            snap[rel] = "-> " + fs::read_symlink(p).string();
        } else if (it->is_directory()) {
            snap[rel + "/"] = "";
        } else {
            snap[rel] = ReadAll(p.string());
        }
    }
    return snap;
}

inline void ExpectSame(const Snapshot& before, const Snapshot& after, const std::string& where) {
    if (before == after)
        return;
    for (const auto& [path, bytes] : after) {
        auto it = before.find(path);
        if (it == before.end())
            Fail("appeared outside the target: " + where + "/" + path);
        if (it->second != bytes)
            Fail("changed outside the target: " + where + "/" + path);
    }
    Fail("disappeared outside the target (" + where + ")");
}

}  // namespace rpq::fuzz
