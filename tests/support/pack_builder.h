// Builds resource packs in memory for tests, samples and benchmarks.
//
// By default the directory comes first and the data blocks follow in directory order, as the
// rebuild writes them. Layout knobs let a test place blocks out of order, leave gaps, share a
// block between records or write any head it likes, to make damaged packs on purpose.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace rpq::test {

struct PackEntrySpec {
    std::string name;                   // written into the 200-byte Name field (cut to 200 bytes)
    std::string raw;                    // the entry's content; RLE-encoded unless `stored` is set
    std::optional<std::string> stored;  // stored bytes used as they are (damaged data)
    bool noData = false;                // PackedSize 0: no block
    uint32_t opaque = 0;
    bool nameWithoutNul = false;  // fill all 200 bytes of Name (name padded with 'x')
    // Overrides of the head fields written for this record.
    std::optional<int32_t> offset, packedSize, unpackedSize;
};

class PackBuilder {
  public:
    // An entry whose content is `raw`, stored RLE-encoded.
    PackBuilder& Add(std::string name, std::string raw, uint32_t opaque = 0);
    // An entry whose stored bytes are `stored` exactly, claiming `unpackedSize`.
    PackBuilder& AddStored(std::string name, std::string stored, int32_t unpackedSize);
    // An entry without data (PackedSize 0).
    PackBuilder& AddEmpty(std::string name, uint32_t opaque = 0);
    PackBuilder& Add(PackEntrySpec spec);
    std::vector<PackEntrySpec>& Entries() { return entries_; }

    // Write the blocks in reverse directory order with `gap` filler bytes between and after them.
    PackBuilder& Scrambled(size_t gap = 7);
    // Override the entry count written at byte 0.
    PackBuilder& Count(uint32_t count);

    std::string Build() const;
    void Write(const std::string& path) const;

  private:
    std::vector<PackEntrySpec> entries_;
    bool scrambled_ = false;
    size_t gap_ = 0;
    std::optional<uint32_t> count_;
};

// The RLE stream (chunk 127, low 125) of `raw`.
std::string RleEncode(const std::string& raw);

// Deterministic test content (seeded): `size` bytes of the given kind.
enum class ContentKind { AssetLike, Random, Constant, ShortRecords };
std::string MakeContent(ContentKind kind, size_t size, uint64_t seed);

// Whole-file helpers for tests.
std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& bytes);

}  // namespace rpq::test
