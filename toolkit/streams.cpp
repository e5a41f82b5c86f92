#include "toolkit/streams.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

#include "toolkit/errors.h"

namespace rpq {

// ---- Stream -------------------------------------------------------------------------------

int64_t Stream::Remaining() const {
    const int64_t left = Size() - Position();
    return left > 0 ? left : 0;
}

void Stream::ReadBuffer(void* buffer, size_t count) {
    if (count == 0)
        return;
    if (static_cast<uint64_t>(Remaining()) < count)
        throw EReadError();
    const int64_t start = Position();
    if (Read(buffer, count) != count) {
        Seek(start);
        throw EReadError();
    }
}

void Stream::ReadExact(void* buffer, size_t count) {
    if (Read(buffer, count) != count)
        throw EReadError();
}

uint8_t Stream::ReadByte() {
    uint8_t b;
    ReadBuffer(&b, 1);
    return b;
}

void Stream::CopyFrom(Stream& source, int64_t count) {
    if (count <= 0)
        return;
    if (source.Remaining() < count)
        throw EReadError();
    // Bounded by what the source holds (checked above), in blocks of at most 1 MiB.
    std::vector<uint8_t> block(static_cast<size_t>(std::min<int64_t>(count, 1 << 20)));
    while (count > 0) {
        const size_t n = static_cast<size_t>(std::min<int64_t>(count, block.size()));
        source.ReadBuffer(block.data(), n);
        Write(block.data(), n);
        count -= static_cast<int64_t>(n);
    }
}

// ---- MemoryStream -------------------------------------------------------------------------

MemoryStream::MemoryStream(MemoryStream&& other) noexcept {
    Swap(other);
}

MemoryStream& MemoryStream::operator=(MemoryStream&& other) noexcept {
    if (this != &other) {
        Clear();
        Swap(other);
    }
    return *this;
}

void MemoryStream::Seek(int64_t position) {
    position_ = position < 0 ? 0 : static_cast<size_t>(position);
}

size_t MemoryStream::Read(void* buffer, size_t count) {
    if (position_ >= size_)
        return 0;
    const size_t n = std::min(count, size_ - position_);
    std::memcpy(buffer, data_.get() + position_, n);
    position_ += n;
    return n;
}

void MemoryStream::Write(const void* buffer, size_t count) {
    if (count == 0)
        return;
    const size_t end = position_ + count;
    if (end > capacity_)
        Grow(end);
    if (position_ > size_)
        std::memset(data_.get() + size_, 0, position_ - size_);
    std::memcpy(data_.get() + position_, buffer, count);
    position_ = end;
    if (end > size_)
        size_ = end;
}

void MemoryStream::CopyFrom(Stream& source, int64_t count) {
    if (count <= 0)
        return;
    if (source.Remaining() < count)
        throw EReadError();
    const size_t n = static_cast<size_t>(count);
    const size_t end = position_ + n;
    if (end > capacity_)
        Grow(end);
    if (position_ > size_)
        std::memset(data_.get() + size_, 0, position_ - size_);
    source.ReadBuffer(data_.get() + position_, n);
    position_ = end;
    if (end > size_)
        size_ = end;
}

void MemoryStream::Clear() {
    data_.reset();
    size_ = capacity_ = position_ = 0;
}

void MemoryStream::Reset() {
    size_ = position_ = 0;
}

void MemoryStream::SetSize(size_t size) {
    if (size > capacity_)
        Grow(size);
    size_ = size;
}

void MemoryStream::Reserve(size_t capacity) {
    if (capacity <= capacity_)
        return;
    auto fresh = std::make_unique_for_overwrite<uint8_t[]>(capacity);
    if (size_ > 0)
        std::memcpy(fresh.get(), data_.get(), size_);
    data_ = std::move(fresh);
    capacity_ = capacity;
}

uint8_t* MemoryStream::Extend(size_t count) {
    const size_t old = size_;
    if (old + count > capacity_)
        Grow(old + count);
    size_ = old + count;
    return data_.get() + old;
}

void MemoryStream::Swap(MemoryStream& other) noexcept {
    std::swap(data_, other.data_);
    std::swap(size_, other.size_);
    std::swap(capacity_, other.capacity_);
    std::swap(position_, other.position_);
}

void MemoryStream::Grow(size_t needed) {
    // Geometric growth keeps appends amortised O(1); fresh memory is not zero-filled.
    size_t capacity = std::max<size_t>(capacity_ + capacity_ / 2, 256);
    Reserve(std::max(capacity, needed));
}

void MemoryStream::LoadFromFile(const std::string& path) {
    FileStream file(path, FileStream::Mode::OpenRead);
    const int64_t size = file.Size();
    Reset();
    Reserve(static_cast<size_t>(size));
    CopyFrom(file, size);
    position_ = 0;
}

void MemoryStream::SaveToFile(const std::string& path) const {
    FileStream file(path, FileStream::Mode::Create);
    file.Write(data_.get(), size_);
    file.Close();
}

// ---- FileStream ---------------------------------------------------------------------------

FileStream::FileStream(const std::string& path, Mode mode) : path_(path) {
    switch (mode) {
        case Mode::OpenRead:
            fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
            break;
        case Mode::OpenReadWrite:
            fd_ = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
            // "Without sharing": a second opener in this mode is refused.
            if (fd_ >= 0 && ::flock(fd_, LOCK_EX | LOCK_NB) != 0) {
                ::close(fd_);
                fd_ = -1;
            }
            break;
        case Mode::Create:
            fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
            break;
    }
    if (fd_ >= 0) {
        struct stat st;
        if (::fstat(fd_, &st) == 0 && S_ISDIR(st.st_mode)) {
            ::close(fd_);
            fd_ = -1;
        }
    }
    if (fd_ < 0) {
        if (mode == Mode::Create)
            throw EFCreateError(path);
        throw EFOpenError(path);
    }
}

FileStream::FileStream(int fd, std::string path) : path_(std::move(path)), fd_(fd) {}

FileStream::~FileStream() {
    if (fd_ >= 0)
        ::close(fd_);
}

int64_t FileStream::Size() const {
    struct stat st;
    if (fd_ < 0 || ::fstat(fd_, &st) != 0)
        return 0;
    return static_cast<int64_t>(st.st_size);
}

size_t FileStream::Read(void* buffer, size_t count) {
    size_t done = 0;
    auto* out = static_cast<uint8_t*>(buffer);
    while (done < count) {
        const ssize_t n = ::pread(fd_, out + done, count - done, position_);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += static_cast<size_t>(n);
        position_ += n;
    }
    return done;
}

void FileStream::Write(const void* buffer, size_t count) {
    size_t done = 0;
    const auto* in = static_cast<const uint8_t*>(buffer);
    while (done < count) {
        const ssize_t n = ::pwrite(fd_, in + done, count - done, position_);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            throw EWriteError();
        done += static_cast<size_t>(n);
        position_ += n;
    }
}

void FileStream::Sync() {
    if (::fsync(fd_) != 0)
        throw EWriteError();
}

void FileStream::StartWriteBack(int64_t offset, int64_t count) {
#ifdef __linux__
    if (fd_ >= 0 && count > 0)
        ::sync_file_range(fd_, offset, count, SYNC_FILE_RANGE_WRITE);
#else
    (void)offset;
    (void)count;
#endif
}

void FileStream::Close() {
    if (fd_ < 0)
        return;
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0)
        throw EWriteError();
}

}  // namespace rpq
