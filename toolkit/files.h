// File-name, directory and whole-file helpers of the platform layer.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

#include "toolkit/streams.h"

namespace rpq {

inline constexpr char PathDelim = '/';

// The part of `path` after its last separator.
std::string ExtractFileName(std::string_view path);
// The part of `path` before its last separator (without it); "" when there is none.
std::string ExtractFileDir(std::string_view path);
// `path` made absolute against the current directory; "." and ".." components and repeated
// separators are resolved lexically.
std::string ExpandFileName(std::string_view path);
// ASCII upper-casing; bytes above 0x7F (parts of UTF-8 names) are left as they are.
std::string AnsiUpperCase(std::string_view s);

// True when anything at all exists at `path`: a file, a directory, a dangling symbolic link.
bool FileExists(const std::string& path);
bool DirectoryExists(const std::string& path);
// Creates one directory level; false on failure (which callers may ignore).
bool CreateDir(const std::string& path);
// Creates `path` with every missing parent; false when it does not exist afterwards.
bool ForceDirectories(const std::string& path);
std::string GetCurrentDir();
bool SetCurrentDir(const std::string& path);
// True when both paths name the same existing file (same device and inode), whatever the
// spelling: symbolic links, hard links, "..".
bool SameFile(const std::string& a, const std::string& b);
// True when `path` names the file open as descriptor `fd`.
bool SameFile(const std::string& path, int fd);

// A file written beside its final name and renamed over it when complete. Until Commit() the
// final name is untouched; an AtomicFile destroyed without Commit() removes what it wrote.
class AtomicFile {
  public:
    // Creates the temporary file in the directory of `path` (EFCreateError with `path`).
    explicit AtomicFile(std::string path);
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    // The temporary file, open for reading and writing.
    FileStream& File() { return *file_; }
    const std::string& Path() const { return path_; }
    const std::string& TempPath() const { return temp_; }
    // Closes the file and gives it its final name (EWriteError, EFCreateError).
    // With `sync`, the data reaches the device first.
    void Commit(bool sync = false);
    // Removes the temporary file; nothing under the final name changes.
    void Discard() noexcept;

  private:
    std::string path_;
    std::string temp_;
    std::unique_ptr<FileStream> file_;
};

// Writes `size` bytes to `path` through an AtomicFile.
void SaveFileAtomic(const std::string& path, const void* data, size_t size);

}  // namespace rpq
