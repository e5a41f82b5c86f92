// Byte streams with a position and a size: a growable memory stream and a file stream.
//
// Contract shared by every stream: a read that asks for more bytes than remain
// (ReadBuffer, ReadByte, CopyFrom) raises EReadError ("Stream read error") before it writes or
// allocates anything for the missing bytes; a write that does not reach its target raises
// EWriteError. Positions are byte offsets from 0; seeking past the end is allowed and a write
// there grows the stream.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace rpq {

class Stream {
  public:
    virtual ~Stream() = default;
    Stream() = default;
    Stream(const Stream&) = delete;
    Stream& operator=(const Stream&) = delete;

    virtual int64_t Size() const = 0;
    virtual int64_t Position() const = 0;
    virtual void Seek(int64_t position) = 0;
    // Reads up to `count` bytes at the position; returns how many were read (fewer at the end).
    virtual size_t Read(void* buffer, size_t count) = 0;
    // Writes all `count` bytes at the position or raises EWriteError.
    virtual void Write(const void* buffer, size_t count) = 0;

    int64_t Remaining() const;
    // Reads exactly `count` bytes or raises EReadError (then nothing is consumed).
    void ReadBuffer(void* buffer, size_t count);
    // Reads exactly `count` bytes that the caller has already bounded (a block known to lie inside
    // the stream), without ReadBuffer's size query. A short read still raises EReadError, but the
    // position and the buffer are then left as the read left them.
    void ReadExact(void* buffer, size_t count);
    uint8_t ReadByte();
    // Copies exactly `count` bytes from `source` at its position to this stream at this
    // position. Raises EReadError, having copied nothing, when `source` holds fewer.
    virtual void CopyFrom(Stream& source, int64_t count);
};

class MemoryStream final : public Stream {
  public:
    MemoryStream() = default;
    ~MemoryStream() override = default;
    MemoryStream(MemoryStream&& other) noexcept;
    MemoryStream& operator=(MemoryStream&& other) noexcept;

    int64_t Size() const override { return static_cast<int64_t>(size_); }
    int64_t Position() const override { return static_cast<int64_t>(position_); }
    void Seek(int64_t position) override;
    size_t Read(void* buffer, size_t count) override;
    void Write(const void* buffer, size_t count) override;
    void CopyFrom(Stream& source, int64_t count) override;

    // Size 0, position 0, memory given back.
    void Clear();
    // Size 0, position 0; the memory is kept for the next use.
    void Reset();
    // Sets the size; bytes added by growing are uninitialised. The position is not moved.
    void SetSize(size_t size);
    // Makes room for `capacity` bytes without changing the size.
    void Reserve(size_t capacity);
    size_t Capacity() const { return capacity_; }
    // Grows the size by `count` bytes and returns a pointer to the new (uninitialised) bytes;
    // the position is not moved. For writers that fill memory directly.
    uint8_t* Extend(size_t count);
    void Swap(MemoryStream& other) noexcept;

    uint8_t* Data() { return data_.get(); }
    const uint8_t* Data() const { return data_.get(); }

    // Replaces the content by the whole file at `path` (EFOpenError, EReadError); position 0.
    void LoadFromFile(const std::string& path);
    // Writes the whole content to `path`, creating or replacing it (EFCreateError, EWriteError).
    void SaveToFile(const std::string& path) const;

  private:
    void Grow(size_t needed);

    std::unique_ptr<uint8_t[]> data_;
    size_t size_ = 0;
    size_t capacity_ = 0;
    size_t position_ = 0;
};

class FileStream final : public Stream {
  public:
    enum class Mode {
        OpenRead,       // existing file, reading; others may read too
        OpenReadWrite,  // existing file, reading and writing, held exclusively (advisory lock)
        Create,         // new file or truncated existing one, reading and writing
    };
    // Raises EFOpenError (OpenRead, OpenReadWrite) or EFCreateError (Create) with `path`.
    FileStream(const std::string& path, Mode mode);
    // Takes over an open descriptor (used for temporary files).
    FileStream(int fd, std::string path);
    ~FileStream() override;

    int64_t Size() const override;
    int64_t Position() const override { return position_; }
    void Seek(int64_t position) override { position_ = position; }
    size_t Read(void* buffer, size_t count) override;
    void Write(const void* buffer, size_t count) override;

    const std::string& Path() const { return path_; }
    int Handle() const { return fd_; }
    // Flushes the file's data to the device (EWriteError on failure).
    void Sync();
    // Starts writing `count` bytes from `offset` to the device without waiting for them: a hint
    // that leaves less for a later Sync() to wait for. Failures are left for Sync() to report.
    void StartWriteBack(int64_t offset, int64_t count);
    // Closes the file now; errors of the close are reported as EWriteError.
    void Close();

  private:
    std::string path_;
    int fd_ = -1;
    int64_t position_ = 0;
};

}  // namespace rpq
