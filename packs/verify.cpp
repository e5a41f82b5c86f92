#include "packs/verify.h"

#include "codecs/codec.h"
#include "codecs/rle.h"
#include "toolkit/errors.h"

namespace rpq {

PackListing ListPack(const std::string& path) {
    FileStream pack(path, FileStream::Mode::OpenRead);
    PackListing listing;
    listing.EntryCount = ReadEntryCount(pack);
    listing.Entries = ReadDirectory(pack, listing.EntryCount);
    return listing;
}

std::vector<EntryProblem> VerifyPack(Stream& pack, uint32_t* entryCount) {
    pack.Seek(0);
    const int64_t packSize = pack.Size();
    const uint32_t count = ReadEntryCount(pack);
    if (entryCount)
        *entryCount = count;
    const std::vector<TPackEntry> directory = ReadDirectory(pack, count);

    TTCodec codec;
    codec.Algorithm = algRLE;
    codec.RLEChunk = kRLEChunk;
    codec.RLELow = kRLELow;
    MemoryStream buffer;
    std::vector<EntryProblem> problems;
    for (uint32_t i = 0; i < count; ++i) {
        const TPackEntry& entry = directory[i];
        if (entry.PackedSize == 0)
            continue;
        const std::string name = entry.EntryName();
        auto report = [&](std::string problem) {
            problems.push_back(EntryProblem{i, name, std::move(problem)});
        };
        if (!IsSafeEntryName(name))
            report("unsafe entry name");
        if (!DataInside(entry, packSize)) {
            report("data past the end of the pack (offset " + std::to_string(entry.Offset) +
                   ", packed size " + std::to_string(entry.PackedSize) + ", pack " +
                   std::to_string(packSize) + " bytes)");
            continue;
        }
        buffer.Reset();
        pack.Seek(entry.Offset);
        pack.ReadBuffer(buffer.Extend(static_cast<size_t>(entry.PackedSize)),
                        static_cast<size_t>(entry.PackedSize));
        buffer.Seek(0);
        try {
            if (DecodesPastLimit(buffer.Data(), static_cast<size_t>(buffer.Size()))) {
                report("decodes to more than 2147483647 bytes");
                continue;
            }
            codec.Decompress(buffer);
        } catch (const EReadError& e) {
            report(std::string("damaged data: ") + e.what());
            continue;
        }
        if (buffer.Size() != entry.UnpackedSize) {
            report("decodes to " + std::to_string(buffer.Size()) + " bytes, not " +
                   std::to_string(entry.UnpackedSize));
        }
    }
    return problems;
}

std::vector<EntryProblem> VerifyPackFile(const std::string& path, uint32_t* entryCount) {
    FileStream pack(path, FileStream::Mode::OpenRead);
    return VerifyPack(pack, entryCount);
}

}  // namespace rpq
