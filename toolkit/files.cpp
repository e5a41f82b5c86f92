#include "toolkit/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <vector>

#include "toolkit/errors.h"

namespace rpq {

std::string ExtractFileName(std::string_view path) {
    const size_t slash = path.rfind(PathDelim);
    return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

std::string ExtractFileDir(std::string_view path) {
    const size_t slash = path.rfind(PathDelim);
    return slash == std::string_view::npos ? std::string() : std::string(path.substr(0, slash));
}

std::string ExpandFileName(std::string_view path) {
    std::string full;
    if (path.empty() || path.front() != PathDelim) {
        full = GetCurrentDir();
        full += PathDelim;
    }
    full += path;
    // Resolve ".", ".." and repeated separators component by component.
    std::vector<std::string_view> parts;
    std::string_view rest(full);
    while (!rest.empty()) {
        const size_t slash = rest.find(PathDelim);
        std::string_view part = rest.substr(0, slash);
        rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash + 1);
        if (part.empty() || part == ".")
            continue;
        if (part == "..") {
            if (!parts.empty())
                parts.pop_back();
            continue;
        }
        parts.push_back(part);
    }
    std::string out;
    for (auto part : parts) {
        out += PathDelim;
        out += part;
    }
    return out.empty() ? std::string(1, PathDelim) : out;
}

std::string AnsiUpperCase(std::string_view s) {
    std::string out(s);
    for (char& c : out) {
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    }
    return out;
}

bool FileExists(const std::string& path) {
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0;
}

bool DirectoryExists(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool CreateDir(const std::string& path) {
    return ::mkdir(path.c_str(), 0777) == 0;
}

bool ForceDirectories(const std::string& path) {
    if (path.empty())
        return false;
    if (DirectoryExists(path))
        return true;
    std::string trimmed = path;
    while (trimmed.size() > 1 && trimmed.back() == PathDelim)
        trimmed.pop_back();
    const std::string parent = ExtractFileDir(trimmed);
    if (!parent.empty() && parent != trimmed && !ForceDirectories(parent))
        return false;
    CreateDir(trimmed);
    return DirectoryExists(trimmed);
}

std::string GetCurrentDir() {
    std::vector<char> buf(PATH_MAX);
    while (::getcwd(buf.data(), buf.size()) == nullptr) {
        if (errno != ERANGE)
            return std::string();
        buf.resize(buf.size() * 2);
    }
    return std::string(buf.data());
}

bool SetCurrentDir(const std::string& path) {
    return ::chdir(path.c_str()) == 0;
}

bool SameFile(const std::string& a, const std::string& b) {
    struct stat sa, sb;
    return ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
           sa.st_ino == sb.st_ino;
}

bool SameFile(const std::string& path, int fd) {
    struct stat sp, sf;
    return ::stat(path.c_str(), &sp) == 0 && ::fstat(fd, &sf) == 0 && sp.st_dev == sf.st_dev &&
           sp.st_ino == sf.st_ino;
}

// ---- AtomicFile ---------------------------------------------------------------------------

namespace {

// Creates a new file "<stem><6 characters>" with open(O_EXCL), so the file gets the mode a plain
// create gives (0666 less the umask) without changing the umask or the mode afterwards. The names
// come from a per-process counter mixed with the process id; a name taken by someone else is
// skipped. Returns the descriptor (or -1 with errno) and leaves the name in `name`.
int CreateUniqueFile(const std::string& stem, std::string& name) {
    static constexpr char kDigits[] =
        "0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ";
    static std::atomic<uint64_t> counter{0};
    static const uint64_t pid = static_cast<uint64_t>(::getpid());  // one system call per process
    for (int attempt = 0; attempt < 1000; ++attempt) {
        // A multiplicative mix spreads consecutive counters over all six characters.
        uint64_t v =
            (counter.fetch_add(1, std::memory_order_relaxed) + (pid << 24)) * 0x9E3779B97F4A7C15ull;
        name = stem;
        for (int i = 0; i < 6; ++i) {
            name += kDigits[(v >> 58) % 62];
            v <<= 6;
        }
        const int fd = ::open(name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    errno = EEXIST;
    return -1;
}

}  // namespace

AtomicFile::AtomicFile(std::string path) : path_(std::move(path)) {
    // The temporary file lies beside the final one, hidden: "dir/.name.<unique>".
    const size_t slash = path_.rfind(PathDelim);
    std::string stem = path_.substr(0, slash == std::string::npos ? 0 : slash + 1);
    stem += '.';
    stem += ExtractFileName(path_);
    stem += '.';
    const int fd = CreateUniqueFile(stem, temp_);
    if (fd < 0) {
        temp_.clear();
        throw EFCreateError(path_);
    }
    file_ = std::make_unique<FileStream>(fd, temp_);
}

AtomicFile::~AtomicFile() {
    Discard();
}

void AtomicFile::Commit(bool sync) {
    if (!file_)
        throw EWriteError();
    if (sync)
        file_->Sync();
    file_->Close();
    file_.reset();
    if (::rename(temp_.c_str(), path_.c_str()) != 0) {
        ::unlink(temp_.c_str());
        temp_.clear();
        throw EFCreateError(path_);
    }
    temp_.clear();
}

void AtomicFile::Discard() noexcept {
    file_.reset();
    if (!temp_.empty()) {
        ::unlink(temp_.c_str());
        temp_.clear();
    }
}

void SaveFileAtomic(const std::string& path, const void* data, size_t size) {
    AtomicFile file(path);
    file.File().Write(data, size);
    file.Commit();
}

}  // namespace rpq
