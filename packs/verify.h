// Looking into a pack without writing anything: its directory, and a check of every entry.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "packs/pack_format.h"
#include "toolkit/streams.h"

namespace rpq {

struct PackListing {
    uint32_t EntryCount = 0;
    std::vector<TPackEntry> Entries;
};

// Reads the count and directory of the pack at `path` (EFOpenError, EReadError).
PackListing ListPack(const std::string& path);

// One entry that does not decode cleanly to its recorded size.
struct EntryProblem {
    uint32_t Index = 0;
    std::string Name;
    std::string Problem;  // e.g. "data past the end of the pack", "decodes to 12 bytes, not 10"
};

// Decodes every entry with data in memory, one at a time, and reports each whose data is damaged
// or whose size differs from its UnpackedSize. Works on any stream (a file, or bytes already in
// memory); EReadError when the count or the directory itself is cut short.
std::vector<EntryProblem> VerifyPack(Stream& pack);
// The same for the pack file at `path` (EFOpenError, EReadError).
std::vector<EntryProblem> VerifyPackFile(const std::string& path);

}  // namespace rpq
