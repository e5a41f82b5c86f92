// Small helpers shared by the codec tests: hex byte strings and memory streams.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "toolkit/streams.h"

namespace rpq::test {

using Bytes = std::vector<uint8_t>;

// "41 42 ff" -> {0x41, 0x42, 0xff}; spaces are ignored.
inline Bytes Hex(const std::string& text) {
    Bytes out;
    std::string digits;
    for (char c : text)
        if (c != ' ')
            digits += c;
    for (size_t i = 0; i + 1 < digits.size(); i += 2)
        out.push_back(static_cast<uint8_t>(std::stoul(digits.substr(i, 2), nullptr, 16)));
    return out;
}

inline std::string ToHex(const Bytes& bytes) {
    std::string out;
    char buf[4];
    for (size_t i = 0; i < bytes.size(); ++i) {
        std::snprintf(buf, sizeof buf, i ? " %02X" : "%02X", bytes[i]);
        out += buf;
    }
    return out;
}

inline Bytes Repeat(uint8_t value, size_t count) {
    return Bytes(count, value);
}

inline Bytes Concat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

inline Bytes FromString(const std::string& s) {
    return Bytes(s.begin(), s.end());
}

// `count` bytes in which no two neighbours are equal, never `avoid` at the end.
inline Bytes NoEqualNeighbours(size_t count, uint8_t avoid = 0x41) {
    Bytes out;
    for (size_t i = 0; i < count; ++i)
        out.push_back(static_cast<uint8_t>(0x80 + i % 50));
    if (!out.empty() && out.back() == avoid)
        out.back() = static_cast<uint8_t>(avoid + 1);
    return out;
}

inline void Load(MemoryStream& stream, const Bytes& bytes, int64_t position = 0) {
    stream.Clear();
    if (!bytes.empty())
        stream.Write(bytes.data(), bytes.size());
    stream.Seek(position);
}

inline Bytes Content(const MemoryStream& stream) {
    const uint8_t* data = stream.Data();
    return data ? Bytes(data, data + stream.Size()) : Bytes();
}

}  // namespace rpq::test
