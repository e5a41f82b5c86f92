#include "packs/extract.h"

#include <cstdio>

#include "codecs/rle.h"
#include "packs/pack_format.h"
#include "toolkit/errors.h"
#include "toolkit/files.h"
#include "toolkit/streams.h"

namespace rpq {

std::string PackStem(std::string_view PackPath) {
    const std::string fileName = ExtractFileName(PackPath);
    const size_t dot = fileName.find('.');
    // No '.' at all gives an empty stem, like a '.' in first place.
    return dot == std::string::npos ? std::string() : fileName.substr(0, dot);
}

std::string EntryExtension(std::string_view Name) {
    const size_t dot = Name.rfind('.');
    if (dot == std::string_view::npos)
        return {};
    if (Name.find(PathDelim, dot) != std::string_view::npos)
        return {};
    return std::string(Name.substr(dot));
}

namespace {

std::string ExtensionDirName(std::string_view extension) {
    return AnsiUpperCase(extension.empty() ? extension : extension.substr(1));
}

std::string PackDir(std::string_view TargetDir, std::string_view PackPath) {
    std::string dir(TargetDir);
    dir += PathDelim;
    dir += PackStem(PackPath);
    return dir;
}

}  // namespace

std::string EntryPath(std::string_view TargetDir, std::string_view PackPath,
                      std::string_view Name) {
    std::string path = PackDir(TargetDir, PackPath);
    path += PathDelim;
    path += ExtensionDirName(EntryExtension(Name));
    path += PathDelim;
    path += Name;
    return path;
}

void ExtractPack(const std::string& PackPath, const std::string& TargetDir, TTCodec& codec,
                 StringList& ResultLog, Feedback& feedback) {
    StringList extensions;  // extensions whose directory was asked for, as first seen
    MemoryStream buffer;    // stored data, then decoded data; its memory serves every entry
    FileStream pack(PackPath, FileStream::Mode::OpenRead);
    const int64_t packSize = pack.Size();

    const uint32_t count = ReadEntryCount(pack);
    feedback.Progress(0, static_cast<int64_t>(count) - 1);
    codec.Algorithm = algRLE;
    codec.RLEChunk = kRLEChunk;
    codec.RLELow = kRLELow;
    const std::string packFileName = ExtractFileName(PackPath);
    feedback.CurrentMessage("Processing " + packFileName + " ...");
    const std::string packDir = PackDir(TargetDir, PackPath);
    CreateDir(packDir);

    // One read for the whole directory; it fails before allocating when the count claims more
    // records than the file holds.
    const std::vector<TPackEntry> directory = ReadDirectory(pack, count);

    for (uint32_t i = 0; i < count; ++i) {
        const TPackEntry& entry = directory[i];
        if (entry.PackedSize != 0) {
            const std::string name = entry.EntryName();
            CheckEntryName(name, PackPath);
            if (!DataInside(entry, packSize))
                throw EReadError();

            const size_t packed = static_cast<size_t>(entry.PackedSize);
            buffer.Reset();
            pack.Seek(entry.Offset);
            pack.ReadExact(buffer.Extend(packed), packed);  // inside the pack, checked above
            buffer.Seek(0);
            feedback.CurrentMessage("Decompressing " + name + " from " + packFileName + " ...");
            // Refuse what the format cannot hold before any memory is spent on it.
            if (DecodesPastLimit(buffer.Data(), static_cast<size_t>(buffer.Size()))) {
                throw EPackError("Entry " + QuotedName(name) + " in pack " + PackPath +
                                 " decodes to more than 2147483647 bytes");
            }
            codec.Decompress(buffer);

            const std::string extension = EntryExtension(name);
            if (extensions.IndexOfCaseless(extension) < 0) {
                CreateDir(packDir + PathDelim + ExtensionDirName(extension));
                extensions.Add(extension);
            }
            const std::string path = EntryPath(TargetDir, PackPath, name);
            AtomicFile file(path);
            file.File().Write(buffer.Data(), static_cast<size_t>(buffer.Size()));
            file.Commit();

            feedback.Results(ExtractFileName(path) + (buffer.Size() == entry.UnpackedSize
                                                          ? " decompressed sucessfully."
                                                          : " wrong size."));
            ResultLog.Add("#Target ARC(RLE): " + path);
        }
        feedback.Progress(static_cast<int64_t>(i) + 1, static_cast<int64_t>(count) - 1);
        feedback.ProcessMessages();
        if (i + 1 < count && feedback.StopRequested())
            throw EStopped();
    }
}

}  // namespace rpq
