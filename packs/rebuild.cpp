#include "packs/rebuild.h"

#include <condition_variable>
#include <exception>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "codecs/rle.h"
#include "packs/pack_format.h"
#include "toolkit/errors.h"
#include "toolkit/files.h"

namespace rpq {

std::string ReplacementPath(std::string_view line) {
    const size_t colon = line.find(':');
    // Without ':' only the first character goes.
    const size_t start = colon == std::string_view::npos ? 1 : colon + 2;
    if (start >= line.size())
        return {};
    return std::string(line.substr(start));
}

namespace {

constexpr int64_t kWriteBackStep = 8 << 20;

[[noreturn]] void ThrowTooBig(const std::string& NewPackPath, const std::string& name) {
    throw EPackError("Pack " + NewPackPath + " would grow past 2147483647 bytes at entry " +
                     QuotedName(name));
}

// Loads the replacement file whole into `buffer` (position 0). A directory, or anything that
// cannot be opened for reading, is EFOpenError with the path.
void LoadReplacement(const std::string& path, MemoryStream& buffer, const std::string& NewPackPath,
                     const std::string& name) {
    FileStream file(path, FileStream::Mode::OpenRead);
    const int64_t size = file.Size();
    if (size > kMaxPackBytes)
        ThrowTooBig(NewPackPath, name);
    buffer.Reset();
    file.ReadExact(buffer.Extend(static_cast<size_t>(size)), static_cast<size_t>(size));
    buffer.Seek(0);
}

// Loads the replacement file of the next entry on a thread of its own while the current entry is
// coded and written. A load yields the file's bytes, "not present", or the error that loading
// raised; the caller meets that error when it takes the load, at the very point where loading in
// turn would have raised it. Without a thread (one could not be started) nothing is ever held
// and the caller loads each file itself.
class ReadAhead {
  public:
    explicit ReadAhead(const std::string& NewPackPath) : newPackPath_(NewPackPath) {
        try {
            thread_ = std::thread([this] { Work(); });
        } catch (const std::system_error&) {
        }
    }
    ~ReadAhead() {
        if (!thread_.joinable())
            return;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            quit_ = true;
        }
        wake_.notify_all();
        thread_.join();  // waits for a load in progress
    }
    ReadAhead(const ReadAhead&) = delete;
    ReadAhead& operator=(const ReadAhead&) = delete;

    // Starts loading `path` for entry `index`. The previous load must have been taken.
    void Post(uint32_t index, std::string path, std::string name) {
        if (!thread_.joinable())
            return;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            index_ = index;
            path_ = std::move(path);
            name_ = std::move(name);
            pending_ = true;
            done_ = false;
        }
        posted_ = true;
        wake_.notify_all();
    }
    // True when a load was posted for entry `index` and not taken yet.
    bool Holds(uint32_t index) const { return posted_ && index_ == index; }
    // Waits for the posted load. Returns whether the file was present, its bytes then in
    // `buffer` (position 0); raises the error of the load.
    bool Take(MemoryStream& buffer) {
        std::unique_lock<std::mutex> lock(mutex_);
        finished_.wait(lock, [this] { return done_; });
        posted_ = false;
        if (error_)
            std::rethrow_exception(std::exchange(error_, nullptr));
        buffer.Swap(data_);
        return present_;
    }

  private:
    void Work() {
        std::unique_lock<std::mutex> lock(mutex_);
        for (;;) {
            wake_.wait(lock, [this] { return quit_ || pending_; });
            if (quit_)
                return;
            pending_ = false;
            const std::string path = path_;
            const std::string name = name_;
            lock.unlock();
            bool present = false;
            std::exception_ptr error;
            try {
                present = FileExists(path);
                if (present)
                    LoadReplacement(path, data_, newPackPath_, name);
            } catch (...) {
                error = std::current_exception();
            }
            lock.lock();
            present_ = present;
            error_ = error;
            done_ = true;
            finished_.notify_all();
        }
    }

    const std::string& newPackPath_;
    std::mutex mutex_;
    std::condition_variable wake_, finished_;
    // Under mutex_:
    bool quit_ = false, pending_ = false, done_ = false, present_ = false;
    std::string path_, name_;
    std::exception_ptr error_;
    // Written by the worker between a post and its completion, by the caller only after it.
    MemoryStream data_;
    // The caller's side.
    bool posted_ = false;
    uint32_t index_ = 0;
    std::thread thread_;  // last: started when everything it uses exists
};

// Record `index` of a directory held as its raw bytes.
uint8_t* RecordAt(std::vector<uint8_t>& directory, uint32_t index) {
    return directory.data() + kPackEntrySize * static_cast<int64_t>(index);
}

// The first entry from `from` on that has data (PackedSize not 0), decoded into `entry`; its
// index, or `count` when there is none.
uint32_t NextWithData(std::vector<uint8_t>& directory, uint32_t from, uint32_t count,
                      TPackEntry& entry) {
    for (uint32_t j = from; j < count; ++j) {
        DecodeRecord(RecordAt(directory, j), entry);
        if (entry.PackedSize != 0)
            return j;
    }
    return count;
}

}  // namespace

int RebuildPack(const std::string& NewPackPath, int FirstLine, FileStream& SourcePack,
                const StringList& ReplayLines, TTCodec& codec, Feedback& feedback) {
    // Writing over the pack being read would destroy it while it is read; whatever the path's
    // spelling, the file's identity decides.
    if (SameFile(NewPackPath, SourcePack.Handle()))
        throw EFCreateError(NewPackPath);
    const int64_t sourceSize = SourcePack.Size();

    AtomicFile newPack(NewPackPath);
    FileStream& out = newPack.File();
    MemoryStream buffer;  // stored or replacement data, then its compressed form; reused

    const uint32_t count = ReadEntryCount(SourcePack);
    std::vector<uint8_t> directory = ReadDirectoryBytes(SourcePack, count);
    int64_t end = RecordPosition(count);
    if (end > kMaxPackBytes) {
        throw EPackError("Pack " + NewPackPath + " would grow past 2147483647 bytes");
    }
    // The directory is updated in memory as the blocks are written and written once at the end;
    // until the pack is committed nobody sees it, and on any error it is discarded whole.

    codec.Algorithm = algRLE;
    codec.RLEChunk = kRLEChunk;
    codec.RLELow = kRLELow;
    feedback.Progress(0, count);

    ReadAhead readAhead(NewPackPath);
    int line = FirstLine;
    int64_t writtenBack = end;  // blocks before this position were handed to the device
    for (uint32_t i = 0; i < count; ++i) {
        TPackEntry entry;
        DecodeRecord(RecordAt(directory, i), entry);
        const std::string name = entry.EntryName();

        if (entry.PackedSize != 0) {
            const std::string path = ReplacementPath(ReplayLines.Get(line));
            bool present;
            if (readAhead.Holds(i)) {
                present = readAhead.Take(buffer);
            } else {
                present = FileExists(path);
                if (present)
                    LoadReplacement(path, buffer, NewPackPath, name);
            }
            // The next entry's file is read while this one is coded and written. Its line is
            // only looked at when it exists: a missing line is reported when its turn comes.
            TPackEntry nextEntry;
            const uint32_t next = NextWithData(directory, i + 1, count, nextEntry);
            if (next < count && line + 1 < ReplayLines.Count()) {
                readAhead.Post(next, ReplacementPath(ReplayLines.Get(line + 1)),
                               nextEntry.EntryName());
            }
            if (present) {
                feedback.CurrentMessage("Compressing " + name + " from " + ExtractFileName(path));
                entry.UnpackedSize = static_cast<int32_t>(buffer.Size());
                codec.Compress(buffer);
                if (end + buffer.Size() > kMaxPackBytes)
                    ThrowTooBig(NewPackPath, name);
                entry.PackedSize = static_cast<int32_t>(buffer.Size());
                feedback.Results(name + " compressed succesfull.");
            } else {
                if (!DataInside(entry, sourceSize))
                    throw EReadError();
                if (end + entry.PackedSize > kMaxPackBytes)
                    ThrowTooBig(NewPackPath, name);
                buffer.Reset();
                SourcePack.Seek(entry.Offset);
                const size_t packed = static_cast<size_t>(entry.PackedSize);
                SourcePack.ReadExact(buffer.Extend(packed), packed);  // inside, checked above
                feedback.Results(name + " inserted from source.");
            }
        }

        entry.Offset = static_cast<int32_t>(end);
        if (entry.PackedSize != 0) {
            out.Seek(end);
            out.Write(buffer.Data(), static_cast<size_t>(buffer.Size()));
            end += buffer.Size();
            ++line;
            // The pack is synced before it takes its name; sending the blocks to the device
            // while later entries are coded leaves little for that final wait.
            if (end - writtenBack >= kWriteBackStep) {
                out.StartWriteBack(writtenBack, end - writtenBack);
                writtenBack = end;
            }
        }
        EncodeHead(entry, RecordAt(directory, i));

        feedback.Progress(static_cast<int64_t>(i) + 1, count);
        feedback.ProcessMessages();
        if (i + 1 < count && feedback.StopRequested())
            throw EStopped();
    }
    uint8_t countBytes[kCountSize];
    StoreLE32(countBytes, count);
    out.Seek(0);
    out.Write(countBytes, sizeof countBytes);
    if (!directory.empty())
        out.Write(directory.data(), directory.size());
    newPack.Commit(true);
    return line;
}

}  // namespace rpq
