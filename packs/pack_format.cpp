#include "packs/pack_format.h"

#include <cstdio>
#include <cstring>

#include "codecs/rle.h"
#include "toolkit/errors.h"

namespace rpq {

std::string TPackEntry::EntryName() const {
    const void* nul = std::memchr(Name.data(), 0, Name.size());
    size_t length =
        nul ? static_cast<size_t>(static_cast<const uint8_t*>(nul) - Name.data()) : Name.size();
    return std::string(reinterpret_cast<const char*>(Name.data()), length);
}

uint32_t LoadLE32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

void StoreLE32(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
    p[2] = static_cast<uint8_t>(v >> 16);
    p[3] = static_cast<uint8_t>(v >> 24);
}

void DecodeHead(const uint8_t* head, TPackEntry& entry) {
    entry.Offset = static_cast<int32_t>(LoadLE32(head));
    entry.Opaque = LoadLE32(head + 4);
    entry.PackedSize = static_cast<int32_t>(LoadLE32(head + 8));
    entry.UnpackedSize = static_cast<int32_t>(LoadLE32(head + 12));
}

void EncodeHead(const TPackEntry& entry, uint8_t* head) {
    StoreLE32(head, static_cast<uint32_t>(entry.Offset));
    StoreLE32(head + 4, entry.Opaque);
    StoreLE32(head + 8, static_cast<uint32_t>(entry.PackedSize));
    StoreLE32(head + 12, static_cast<uint32_t>(entry.UnpackedSize));
}

void DecodeRecord(const uint8_t* record, TPackEntry& entry) {
    DecodeHead(record, entry);
    std::memcpy(entry.Name.data(), record + kHeadSize, kNameSize);
}

uint32_t ReadEntryCount(Stream& pack) {
    uint8_t bytes[kCountSize];
    pack.ReadBuffer(bytes, sizeof bytes);
    return LoadLE32(bytes);
}

std::vector<uint8_t> ReadDirectoryBytes(Stream& pack, uint32_t count) {
    // The count is untrusted: compare with what the stream holds before allocating anything.
    const int64_t bytes = kPackEntrySize * static_cast<int64_t>(count);
    if (pack.Remaining() < bytes)
        throw EReadError();
    std::vector<uint8_t> directory(static_cast<size_t>(bytes));
    pack.ReadBuffer(directory.data(), directory.size());
    return directory;
}

std::vector<TPackEntry> ReadDirectory(Stream& pack, uint32_t count) {
    const std::vector<uint8_t> bytes = ReadDirectoryBytes(pack, count);
    std::vector<TPackEntry> entries(count);
    for (uint32_t i = 0; i < count; ++i) {
        DecodeRecord(bytes.data() + kPackEntrySize * static_cast<int64_t>(i), entries[i]);
    }
    return entries;
}

bool IsSafeEntryName(std::string_view name) {
    if (name.empty() || name == "." || name == "..")
        return false;
    for (unsigned char c : name) {
        if (c == '/' || c < 0x20 || c == 0x7F)
            return false;
    }
    return true;
}

void CheckEntryName(std::string_view name, const std::string& packPath) {
    if (!IsSafeEntryName(name)) {
        throw EPackError("Unsafe entry name " + QuotedName(name) + " in pack " + packPath);
    }
}

std::string QuotedName(std::string_view name) {
    std::string out = "\"";
    for (unsigned char c : name) {
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (c < 0x20 || c == 0x7F) {
                    char hex[5];
                    std::snprintf(hex, sizeof hex, "\\x%02X", c);
                    out += hex;
                } else {
                    out += static_cast<char>(c);
                }
        }
    }
    out += '"';
    return out;
}

bool DecodesPastLimit(const uint8_t* data, size_t size) {
    constexpr int64_t kMostPerByte = (255 - kRLELow) / 2;  // 130 bytes from a 2-byte run record
    if (static_cast<int64_t>(size) <= kMaxPackBytes / kMostPerByte)
        return false;
    return RLEDecodedSize(data, size, kRLEChunk, kRLELow) > kMaxPackBytes;
}

bool DataInside(const TPackEntry& entry, int64_t packSize) {
    if (entry.Offset < 0 || entry.PackedSize < 0)
        return false;
    return static_cast<int64_t>(entry.Offset) + entry.PackedSize <= packSize;
}

}  // namespace rpq
