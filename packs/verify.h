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

// One entry that extraction would refuse, or that does not decode cleanly to its recorded size.
struct EntryProblem {
    uint32_t Index = 0;
    std::string Name;
    std::string Problem;  // e.g. "data past the end of the pack", "decodes to 12 bytes, not 10"
};

// Decodes every entry with data in memory, one at a time, and reports each that extraction would
// refuse or find wrong: a name that is not safe as a file name, data past the end of the pack,
// damaged data, data that decodes past 2^31-1 bytes, a size that differs from UnpackedSize.
// Works on any stream (a file, or bytes already in memory), reading from its position 0;
// EReadError when the count or the directory itself is cut short. `entryCount`, when given,
// receives the pack's EntryCount.
std::vector<EntryProblem> VerifyPack(Stream& pack, uint32_t* entryCount = nullptr);
// The same for the pack file at `path` (EFOpenError, EReadError).
std::vector<EntryProblem> VerifyPackFile(const std::string& path, uint32_t* entryCount = nullptr);

}  // namespace rpq
