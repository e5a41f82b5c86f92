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
    file.ReadBuffer(buffer.Extend(static_cast<size_t>(size)), static_cast<size_t>(size));
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
    uint8_t countBytes[kCountSize];
    StoreLE32(countBytes, count);
    out.Write(countBytes, sizeof countBytes);
    if (!directory.empty())
        out.Write(directory.data(), directory.size());

    codec.Algorithm = algRLE;
    codec.RLEChunk = kRLEChunk;
    codec.RLELow = kRLELow;
    feedback.Progress(0, count);

    int line = FirstLine;
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
                SourcePack.ReadBuffer(buffer.Extend(static_cast<size_t>(entry.PackedSize)),
                                      static_cast<size_t>(entry.PackedSize));
                feedback.Results(name + " inserted from source.");
            }
        }

        entry.Offset = static_cast<int32_t>(end);
        if (entry.PackedSize != 0) {
            out.Seek(end);
            out.Write(buffer.Data(), static_cast<size_t>(buffer.Size()));
            end += buffer.Size();
            ++line;
        }
        uint8_t head[kHeadSize];
        EncodeHead(entry, head);
        out.Seek(position);
        out.Write(head, sizeof head);

        feedback.Progress(static_cast<int64_t>(i) + 1, count);
        feedback.ProcessMessages();
        if (i + 1 < count && feedback.StopRequested())
            throw EStopped();
    }
    newPack.Commit(true);
    return line;
}

}  // namespace rpq
