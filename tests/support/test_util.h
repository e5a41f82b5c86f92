// Small helpers shared by the tests: a scratch directory, a tree listing, an error's text.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <set>
#include <stdexcept>
#include <string>
#include <system_error>

namespace rpq::test {

// A fresh directory under /tmp for one test, removed with everything in it afterwards.
class TempDir {
  public:
    TempDir() {
        char pattern[] = "/tmp/rpq-test-XXXXXX";
        if (::mkdtemp(pattern) == nullptr)
            throw std::runtime_error("mkdtemp failed");
        path_ = pattern;
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }

  private:
    std::string path_;
};

// Every path under `root`, relative to it; directories end with '/'.
inline std::set<std::string> Tree(const std::string& root) {
    namespace fs = std::filesystem;
    std::set<std::string> paths;
    for (const auto& e : fs::recursive_directory_iterator(root)) {
        const std::string rel = fs::relative(e.path(), root).string();
        paths.insert(e.is_directory() && !e.is_symlink() ? rel + "/" : rel);
    }
    return paths;
}

// The what() of the exception of type E that `f` throws, or "<no error of that type>".
template <typename E, typename F>
std::string ErrorText(F&& f) {
    try {
        f();
    } catch (const E& e) {
        return e.what();
    }
    return "<no error of that type>";
}

}  // namespace rpq::test
