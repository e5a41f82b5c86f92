// The resource pack layout: a little-endian 32-bit unsigned entry count, then that many 216-byte
// directory records, then the entries' RLE data wherever the records point. No signature, no
// checksum; Offset, PackedSize and UnpackedSize are signed 32-bit values.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "toolkit/streams.h"

namespace rpq {

inline constexpr int64_t kCountSize = 4;
inline constexpr int64_t kHeadSize = 16;
inline constexpr int64_t kNameSize = 200;
inline constexpr int64_t kPackEntrySize = kHeadSize + kNameSize;  // 216
inline constexpr int64_t kMaxPackBytes = 0x7FFFFFFF;              // every size and offset < 2^31

// One directory record.
struct TPackEntry {
    int32_t Offset = 0;
    uint32_t Opaque = 0;  // carried over unchanged, never interpreted
    int32_t PackedSize = 0;
    int32_t UnpackedSize = 0;
    std::array<uint8_t, kNameSize> Name{};  // NUL-terminated; all 200 bytes when there is no NUL

    // The bytes before the first NUL of Name (all 200 when there is none).
    std::string EntryName() const;
};

// Position of record `index` in a pack.
inline constexpr int64_t RecordPosition(uint32_t index) {
    return kCountSize + kPackEntrySize * static_cast<int64_t>(index);
}

// Little-endian helpers.
uint32_t LoadLE32(const uint8_t* p);
void StoreLE32(uint8_t* p, uint32_t v);

// Decodes / encodes the 16-byte head of a record (Offset, Opaque, PackedSize, UnpackedSize).
void DecodeHead(const uint8_t* head, TPackEntry& entry);
void EncodeHead(const TPackEntry& entry, uint8_t* head);
// Decodes a whole 216-byte record.
void DecodeRecord(const uint8_t* record, TPackEntry& entry);

// Reads the entry count at the stream's position (EReadError when fewer than 4 bytes remain).
uint32_t ReadEntryCount(Stream& pack);
// Reads the whole directory of `count` records at the stream's position. Raises EReadError,
// without allocating for it, when the stream does not hold 216 * count more bytes.
std::vector<TPackEntry> ReadDirectory(Stream& pack, uint32_t count);
// The same, as the raw 216 * count bytes (for a copy that must keep every byte).
std::vector<uint8_t> ReadDirectoryBytes(Stream& pack, uint32_t count);

// True when `name` can be written as one file inside its extension directory: not empty, not
// "." or "..", without '/' and without control characters (bytes below 0x20 and 0x7F).
bool IsSafeEntryName(std::string_view name);
// Raises EPackError `Unsafe entry name "<name>" in pack <packPath>` unless IsSafeEntryName.
void CheckEntryName(std::string_view name, const std::string& packPath);
// `name` in double quotes, with '"', '\\' and control characters as escapes (\n, \x7F), so
// that any name shows on one line. Bytes above 0x7F pass unchanged.
std::string QuotedName(std::string_view name);

// True when the RLE stream of `size` bytes at `data` decodes to more than kMaxPackBytes. A run
// record makes at most 130 bytes of 2, so streams up to kMaxPackBytes / 65 bytes cannot and are
// not scanned; longer ones are measured from their control bytes (EReadError when damaged).
bool DecodesPastLimit(const uint8_t* data, size_t size);

// True when the entry's block (PackedSize bytes at Offset) lies inside a pack of `packSize`
// bytes. Negative offsets and sizes are never inside.
bool DataInside(const TPackEntry& entry, int64_t packSize);

}  // namespace rpq
