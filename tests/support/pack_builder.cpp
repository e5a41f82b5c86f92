#include "tests/support/pack_builder.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <random>
#include <stdexcept>

#include "codecs/rle.h"
#include "packs/pack_format.h"
#include "toolkit/streams.h"

namespace rpq::test {

std::string RleEncode(const std::string& raw) {
    MemoryStream in, out;
    in.Write(raw.data(), raw.size());
    in.Seek(0);
    RLEEncode(in, out, kRLEChunk, kRLELow);
    return std::string(reinterpret_cast<const char*>(out.Data()), static_cast<size_t>(out.Size()));
}

PackBuilder& PackBuilder::Add(std::string name, std::string raw, uint32_t opaque) {
    PackEntrySpec e;
    e.name = std::move(name);
    e.raw = std::move(raw);
    e.opaque = opaque;
    return Add(std::move(e));
}

PackBuilder& PackBuilder::AddStored(std::string name, std::string stored, int32_t unpackedSize) {
    PackEntrySpec e;
    e.name = std::move(name);
    e.stored = std::move(stored);
    e.unpackedSize = unpackedSize;
    return Add(std::move(e));
}

PackBuilder& PackBuilder::AddEmpty(std::string name, uint32_t opaque) {
    PackEntrySpec e;
    e.name = std::move(name);
    e.noData = true;
    e.opaque = opaque;
    return Add(std::move(e));
}

PackBuilder& PackBuilder::Add(PackEntrySpec spec) {
    entries_.push_back(std::move(spec));
    return *this;
}

PackBuilder& PackBuilder::Scrambled(size_t gap) {
    scrambled_ = true;
    gap_ = gap;
    return *this;
}

PackBuilder& PackBuilder::Count(uint32_t count) {
    count_ = count;
    return *this;
}

std::string PackBuilder::Build() const {
    const size_t n = entries_.size();
    std::vector<std::string> blocks(n);
    for (size_t i = 0; i < n; ++i) {
        const PackEntrySpec& e = entries_[i];
        if (!e.noData)
            blocks[i] = e.stored ? *e.stored : RleEncode(e.raw);
    }
    std::string out(static_cast<size_t>(RecordPosition(static_cast<uint32_t>(n))), '\0');
    std::vector<int64_t> offsets(n, 0);
    std::vector<size_t> order(n);
    for (size_t i = 0; i < n; ++i)
        order[i] = scrambled_ ? n - 1 - i : i;
    for (size_t i : order) {
        offsets[i] = static_cast<int64_t>(out.size());
        if (entries_[i].noData)
            continue;
        out += blocks[i];
        out.append(gap_, '\xA5');
    }
    StoreLE32(reinterpret_cast<uint8_t*>(out.data()), count_.value_or(static_cast<uint32_t>(n)));
    for (size_t i = 0; i < n; ++i) {
        const PackEntrySpec& e = entries_[i];
        TPackEntry rec;
        rec.Offset = e.offset.value_or(static_cast<int32_t>(offsets[i]));
        rec.Opaque = e.opaque;
        rec.PackedSize = e.packedSize.value_or(static_cast<int32_t>(blocks[i].size()));
        rec.UnpackedSize =
            e.unpackedSize.value_or(e.noData ? 0 : static_cast<int32_t>(e.raw.size()));
        if (e.nameWithoutNul)
            rec.Name.fill('x');
        std::memcpy(rec.Name.data(), e.name.data(), std::min<size_t>(e.name.size(), kNameSize));
        uint8_t* p =
            reinterpret_cast<uint8_t*>(out.data()) + RecordPosition(static_cast<uint32_t>(i));
        EncodeHead(rec, p);
        std::memcpy(p + kHeadSize, rec.Name.data(), kNameSize);
    }
    return out;
}

void PackBuilder::Write(const std::string& path) const {
    WriteFile(path, Build());
}

std::string MakeContent(ContentKind kind, size_t size, uint64_t seed) {
    std::mt19937_64 rng(seed);
    std::string s;
    s.reserve(size);
    switch (kind) {
        case ContentKind::Constant:
            s.assign(size, static_cast<char>(seed & 0xFF));
            break;
        case ContentKind::Random:
            while (s.size() < size)
                s.push_back(static_cast<char>(rng() & 0xFF));
            break;
        case ContentKind::AssetLike:
        case ContentKind::ShortRecords: {
            // Alternating literal stretches and runs, like sprites: transparent spans between
            // strips of pixels. Short records keep both below 16 bytes.
            const size_t maxLen = kind == ContentKind::AssetLike ? 63 : 15;
            char last = 0;
            while (s.size() < size) {
                size_t lit = 1 + rng() % maxLen;
                for (size_t i = 0; i < lit && s.size() < size; ++i) {
                    char c;
                    do
                        c = static_cast<char>(rng() & 0xFF);
                    while (c == last);
                    s.push_back(c);
                    last = c;
                }
                size_t run = 3 + rng() % (maxLen > 3 ? maxLen - 2 : 1);
                char v = static_cast<char>(rng() & 0xFF);
                if (v == last)
                    v = static_cast<char>(v + 1);
                for (size_t i = 0; i < run && s.size() < size; ++i)
                    s.push_back(v);
                last = v;
            }
            break;
        }
    }
    return s;
}

std::string ReadFile(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    if (!f)
        throw std::runtime_error("cannot read " + path);
    return std::string(std::istreambuf_iterator<char>(f), {});
}

void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    if (!f)
        throw std::runtime_error("cannot write " + path);
    f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!f)
        throw std::runtime_error("short write " + path);
}

}  // namespace rpq::test
