// The LZSS coder: the byte-level vectors, round trips (the ring wraps past 4096 bytes), damaged
// input, and output that does not depend on earlier calls.
#include <gtest/gtest.h>

#include <random>

#include "codecs/lzss.h"
#include "tests/codecs_helpers.h"
#include "tests/support/pack_builder.h"

namespace rpq::test {
namespace {

Bytes Encode(const Bytes& in) {
    MemoryStream input, output;
    Load(input, in);
    LZSSEncode(input, output);
    EXPECT_EQ(input.Position(), input.Size());
    EXPECT_EQ(output.Position(), output.Size());
    return Content(output);
}

Bytes Decode(const Bytes& in) {
    MemoryStream input, output;
    Load(input, in);
    LZSSDecode(input, output);
    EXPECT_EQ(input.Position(), input.Size());
    EXPECT_EQ(output.Position(), output.Size());
    return Content(output);
}

Bytes Sequence(uint8_t first, size_t count) {
    Bytes b;
    for (size_t i = 0; i < count; ++i)
        b.push_back(static_cast<uint8_t>(first + i));
    return b;
}

TEST(Lzss, Vectors) {
    struct Vector {
        const char* what;
        Bytes raw;
        Bytes coded;
    };
    const std::vector<Vector> vectors = {
        {"empty", {}, {}},
        {"one byte", Hex("41"), Hex("01 41")},
        {"overlapping match", FromString("abcabcabcabc"), Hex("07 61 62 63 EE F6")},
        {"match in the spaces", Hex("20 20 20 68 65 6C 6C 6F"), Hex("3E ED F0 68 65 6C 6C 6F")},
        {"forty spaces", Repeat(0x20, 40), Hex("00 DC FF FF FF 11 01")},
        {"short last group", Sequence(0x00, 18),
         Concat({Hex("FF"), Sequence(0x00, 8), Hex("FF"), Sequence(0x08, 8), Hex("03 10 11")})},
    };
    for (const Vector& v : vectors) {
        SCOPED_TRACE(v.what);
        EXPECT_EQ(ToHex(Encode(v.raw)), ToHex(v.coded));
        EXPECT_EQ(ToHex(Decode(v.coded)), ToHex(v.raw));
    }
}

TEST(Lzss, RoundTrips) {
    std::mt19937 rng(4113);
    auto random = [&](size_t n) {
        Bytes b(n);
        for (auto& x : b)
            x = static_cast<uint8_t>(rng());
        return b;
    };
    std::vector<Bytes> inputs = {
        {},
        Hex("00"),
        random(17),
        random(18),
        random(19),
        Concat({Repeat(0x20, 50), random(30)}),
        Concat({Repeat(0x00, 50), random(30)}),
        Repeat(0x00, 5000),
        random(20000),
        FromString(MakeContent(ContentKind::AssetLike, 60000, 3)),
        FromString(MakeContent(ContentKind::ShortRecords, 30000, 4)),
    };
    // Few symbols: many equally long matches and replaced tree nodes.
    for (int i = 0; i < 30; ++i) {
        Bytes b(rng() % 9000);
        for (auto& x : b)
            x = static_cast<uint8_t>('a' + rng() % (1 + i % 4));
        inputs.push_back(std::move(b));
    }
    for (const Bytes& raw : inputs) {
        const Bytes coded = Encode(raw);
        ASSERT_EQ(Decode(coded), raw) << "size " << raw.size();
    }
}

TEST(Lzss, OutputDoesNotDependOnEarlierCalls) {
    const Bytes shortInput = FromString("abcabcab");
    const Bytes first = Encode(shortInput);
    std::mt19937 rng(1);
    Bytes noise(10000);
    for (auto& x : noise)
        x = static_cast<uint8_t>(rng());
    Encode(noise);
    Decode(noise);
    EXPECT_EQ(Encode(shortInput), first);
    // A match into ring positions not yet written reads the same bytes every time.
    const Bytes reachesAhead = Hex("00 F0 F0");
    const Bytes once = Decode(reachesAhead);
    Decode(Encode(noise));
    EXPECT_EQ(Decode(reachesAhead), once);
}

TEST(Lzss, CutDataEndsAfterTheLastWholeItem) {
    // 07 61 62 63 | EE F6: three literals, then a match.
    EXPECT_EQ(Decode(Hex("07 61 62 63 EE")), FromString("abc"));
    EXPECT_EQ(Decode(Hex("07 61 62")), FromString("ab"));
    EXPECT_EQ(Decode(Hex("07")), Bytes());
    const Bytes raw = FromString(MakeContent(ContentKind::AssetLike, 3000, 9));
    const Bytes coded = Encode(raw);
    for (size_t cut = 0; cut < coded.size(); cut += 37) {
        const Bytes partial = Decode(Bytes(coded.begin(), coded.begin() + cut));
        ASSERT_LE(partial.size(), raw.size());
        ASSERT_TRUE(std::equal(partial.begin(), partial.end(), raw.begin())) << "cut " << cut;
    }
}

TEST(Lzss, GarbageDecodesWithinBounds) {
    std::mt19937 rng(8);
    for (int i = 0; i < 500; ++i) {
        Bytes coded(rng() % 3000);
        for (auto& x : coded)
            x = static_cast<uint8_t>(rng());
        // At most 18 bytes from every 2, and a flag byte for every eight items.
        EXPECT_LE(Decode(coded).size(), coded.size() * 9);
    }
    // All matches: 8 items of 18 bytes from every 17 bytes.
    Bytes allMatches;
    for (int g = 0; g < 100; ++g) {
        allMatches.push_back(0);
        for (int k = 0; k < 8; ++k) {
            allMatches.push_back(0x10);
            allMatches.push_back(0x0F);
        }
    }
    EXPECT_EQ(Decode(allMatches).size(), 100u * 8 * 18);
}

TEST(Lzss, StartsAtTheInputPosition) {
    MemoryStream input, output;
    Load(input, Hex("58 59 41"), 2);
    LZSSEncode(input, output);
    EXPECT_EQ(ToHex(Content(output)), "01 41");
}

}  // namespace
}  // namespace rpq::test
