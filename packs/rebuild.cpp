#include "packs/rebuild.h"

#include <string>
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
    // Read, not ReadBuffer: the size is known, and each ReadBuffer would ask for it again.
    if (file.Read(buffer.Extend(static_cast<size_t>(size)), static_cast<size_t>(size)) !=
        static_cast<size_t>(size))
        throw EReadError();
    buffer.Seek(0);
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

    int line = FirstLine;
    int64_t writtenBack = end;  // blocks before this position were handed to the device
    for (uint32_t i = 0; i < count; ++i) {
        const int64_t position = RecordPosition(i);
        TPackEntry entry;
        DecodeRecord(directory.data() + (position - kCountSize), entry);
        const std::string name = entry.EntryName();

        if (entry.PackedSize != 0) {
            const std::string path = ReplacementPath(ReplayLines.Get(line));
            if (FileExists(path)) {
                LoadReplacement(path, buffer, NewPackPath, name);
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
                // The block lies inside the source (checked above).
                const size_t packed = static_cast<size_t>(entry.PackedSize);
                if (SourcePack.Read(buffer.Extend(packed), packed) != packed)
                    throw EReadError();
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
        EncodeHead(entry, directory.data() + (position - kCountSize));

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
