// The run-length coder: the byte-level vectors, the encoder against a held-byte reference, round
// trips on structured and random data, and damaged input.
#include <gtest/gtest.h>

#include <random>

#include "codecs/rle.h"
#include "tests/codecs_helpers.h"
#include "tests/support/pack_builder.h"
#include "toolkit/errors.h"

namespace rpq::test {
namespace {

// The encoder as a held byte, a run count and a literal buffer, one input byte at a time. The
// library's encoder works on whole stretches; it must write exactly these bytes. Chunk 0 cannot
// fill the buffer, so it is cut at 255 bytes here as in the library.
Bytes ReferenceEncode(const Bytes& in, uint8_t chunk, uint8_t low) {
    Bytes out;
    const unsigned runLimit = 255u - low;
    const size_t literalLimit = chunk == 0 ? 255 : chunk;
    Bytes buffer;
    auto writeLiterals = [&] {
        if (buffer.empty())
            return;
        out.push_back(static_cast<uint8_t>(buffer.size()));
        out.insert(out.end(), buffer.begin(), buffer.end());
        buffer.clear();
    };
    auto append = [&](uint8_t x) {
        buffer.push_back(x);
        if (buffer.size() == literalLimit)
            writeLiterals();
    };
    size_t next = 0;
    auto hasByte = [&] { return next < in.size(); };
    auto read = [&] { return in[next++]; };

    if (!hasByte()) {
        out.push_back(0);
        return out;
    }
    bool held = true;
    uint8_t h = read();
    unsigned r = 0;
    while (hasByte()) {
        const uint8_t b = read();
        if (b == h) {
            r = r == 0 ? 2 : r + 1;
            if (r == 3)
                writeLiterals();
            if (r == runLimit) {
                out.push_back(static_cast<uint8_t>(r + low));
                out.push_back(h);
                r = 0;
                held = hasByte();
                if (held)
                    h = read();
            }
        } else {
            if (r >= 3) {
                out.push_back(static_cast<uint8_t>(r + low));
                out.push_back(h);
            } else if (r == 2) {
                append(h);
                append(h);
            } else {
                append(h);
            }
            h = b;
            r = 0;
        }
    }
    if (r >= 3) {
        out.push_back(static_cast<uint8_t>(r + low));
        out.push_back(h);
    } else if (r == 2) {
        append(h);
        append(h);
    } else if (held) {
        append(h);
    }
    writeLiterals();
    out.push_back(0);
    return out;
}

Bytes Encode(const Bytes& in, uint8_t chunk = kRLEChunk, uint8_t low = kRLELow) {
    MemoryStream input, output;
    Load(input, in);
    RLEEncode(input, output, chunk, low);
    EXPECT_EQ(input.Position(), input.Size());
    EXPECT_EQ(output.Position(), output.Size());
    return Content(output);
}

Bytes Decode(const Bytes& in, uint8_t chunk = kRLEChunk, uint8_t low = kRLELow) {
    MemoryStream input, output;
    Load(input, in);
    RLEDecode(input, output, chunk, low);
    EXPECT_EQ(input.Position(), input.Size());
    EXPECT_EQ(output.Position(), output.Size());
    return Content(output);
}

struct Vector {
    const char* what;
    Bytes raw;
    Bytes coded;
};

Bytes Lit(const Bytes& bytes) {
    return Concat({{static_cast<uint8_t>(bytes.size())}, bytes});
}

std::vector<Vector> EncodeVectors() {
    const Bytes s127 = NoEqualNeighbours(127), s128 = NoEqualNeighbours(128),
                s255 = NoEqualNeighbours(255), s126 = NoEqualNeighbours(126, 0x41);
    auto slice = [](const Bytes& b, size_t from, size_t to) {
        return Bytes(b.begin() + from, b.begin() + to);
    };
    return {
        {"empty", {}, Hex("00")},
        {"one byte", Hex("41"), Hex("01 41 00")},
        {"a pair is literal", Hex("41 41"), Hex("02 41 41 00")},
        {"three make a run", Hex("41 41 41"), Hex("80 41 00")},
        {"run then literals", Hex("41 41 41 41 42 43"), Hex("81 41 02 42 43 00")},
        {"run then one", Hex("41 41 41 42"), Hex("80 41 01 42 00")},
        {"pair inside literals", Hex("41 42 42 43"), Hex("04 41 42 42 43 00")},
        {"two pairs", Hex("41 41 42 42"), Hex("04 41 41 42 42 00")},
        {"literals closed before run", Hex("42 43 41 41 41"), Hex("02 42 43 80 41 00")},
        {"run between literals", Hex("41 42 42 42 43"), Hex("01 41 80 42 01 43 00")},
        {"130", Repeat(0x41, 130), Hex("FF 41 00")},
        {"131", Repeat(0x41, 131), Hex("FF 41 01 41 00")},
        {"132", Repeat(0x41, 132), Hex("FF 41 02 41 41 00")},
        {"133", Repeat(0x41, 133), Hex("FF 41 80 41 00")},
        {"260", Repeat(0x41, 260), Hex("FF 41 FF 41 00")},
        {"300", Repeat(0x41, 300), Hex("FF 41 FF 41 A5 41 00")},
        {"130 then other", Concat({Repeat(0x41, 130), Hex("42")}), Hex("FF 41 01 42 00")},
        {"131 then other", Concat({Repeat(0x41, 131), Hex("42")}), Hex("FF 41 02 41 42 00")},
        {"127 distinct", s127, Concat({Lit(s127), Hex("00")})},
        {"128 distinct", s128,
         Concat({Lit(slice(s128, 0, 127)), Lit(slice(s128, 127, 128)), Hex("00")})},
        {"255 distinct", s255,
         Concat({Lit(slice(s255, 0, 127)), Lit(slice(s255, 127, 254)), Lit(slice(s255, 254, 255)),
                 Hex("00")})},
        {"pair split over two records", Concat({s126, Hex("41 41")}),
         Concat({Lit(Concat({s126, Hex("41")})), Hex("01 41 00")})},
    };
}

TEST(RleEncode, Vectors) {
    for (const Vector& v : EncodeVectors()) {
        SCOPED_TRACE(v.what);
        EXPECT_EQ(ToHex(Encode(v.raw)), ToHex(v.coded));
        EXPECT_EQ(ToHex(ReferenceEncode(v.raw, kRLEChunk, kRLELow)), ToHex(v.coded));
        EXPECT_EQ(Decode(v.coded), v.raw);
    }
    EXPECT_EQ(Encode(Repeat(0x41, 131)).size(), 5u);
    EXPECT_EQ(Encode(NoEqualNeighbours(128)).size(), 131u);
    EXPECT_EQ(Encode(NoEqualNeighbours(255)).size(), 259u);
}

TEST(RleEncode, StartsAtTheInputPositionAndAppendsAtTheOutputPosition) {
    MemoryStream input, output;
    Load(input, Hex("58 59 41 41 41"), 2);
    Load(output, Hex("EE EE EE EE"), 1);
    RLEEncode(input, output, kRLEChunk, kRLELow);
    EXPECT_EQ(ToHex(Content(output)), "EE 80 41 00");
    EXPECT_EQ(output.Position(), 4);
    EXPECT_EQ(input.Position(), 5);

    // Writing into the middle keeps the bytes after what was written.
    Load(output, Hex("EE EE EE EE EE EE"), 1);
    Load(input, Hex("41"));
    RLEEncode(input, output, kRLEChunk, kRLELow);
    EXPECT_EQ(ToHex(Content(output)), "EE 01 41 00 EE EE");
    EXPECT_EQ(output.Position(), 4);
}

TEST(RleDecode, Vectors) {
    const std::vector<std::pair<Bytes, Bytes>> cases = {
        {Hex("00"), {}},
        {{}, {}},
        {Hex("03 41 42 43 00"), Hex("41 42 43")},
        {Hex("03 41 42 43"), Hex("41 42 43")},
        {Hex("80 41"), Repeat(0x41, 3)},
        {Hex("FF 41"), Repeat(0x41, 130)},
        {Hex("02 41 41 80 42 00"), Hex("41 41 42 42 42")},
        {Hex("02 41 41 03"), Hex("41 41")},
        // A 0x00 before the end is a literal record of no bytes; decoding goes on after it.
        {Hex("00 02 41 42 00"), Hex("41 42")},
        {Hex("01 41 00 80 42 00"), Hex("41 42 42 42")},
        {Hex("00 41"), {}},
    };
    for (const auto& [coded, raw] : cases) {
        SCOPED_TRACE(ToHex(coded));
        EXPECT_EQ(ToHex(Decode(coded)), ToHex(raw));
        EXPECT_EQ(RLEDecodedSize(coded.data(), coded.size(), kRLEChunk, kRLELow),
                  static_cast<int64_t>(raw.size()));
    }
}

TEST(RleDecode, DamagedDataFailsAfterTheWholeRecords) {
    struct Case {
        Bytes coded;
        Bytes written;          // what the records before the bad one produced
        int64_t inputPosition;  // just past the bad record's control byte
    };
    const std::vector<Case> cases = {
        {Hex("05 41 42"), {}, 1},
        {Hex("03 00"), {}, 1},
        {Hex("02 41 41 05 42"), Hex("41 41"), 4},
        {Hex("80 43 7F 41"), Hex("43 43 43"), 3},
        // A run control byte whose value byte is missing.
        {Hex("80"), {}, 1},
        {Hex("01 41 FF"), Hex("41"), 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(ToHex(c.coded));
        MemoryStream input, output;
        Load(input, c.coded);
        try {
            RLEDecode(input, output, kRLEChunk, kRLELow);
            ADD_FAILURE() << "no error";
        } catch (const EReadError& e) {
            EXPECT_STREQ(e.what(), "Stream read error");
        }
        EXPECT_EQ(ToHex(Content(output)), ToHex(c.written));
        EXPECT_EQ(output.Position(), output.Size());
        EXPECT_EQ(input.Position(), c.inputPosition);
        EXPECT_THROW(RLEDecodedSize(c.coded.data(), c.coded.size(), kRLEChunk, kRLELow),
                     EReadError);
    }
}

TEST(RleDecode, WritesAtTheOutputPosition) {
    MemoryStream input, output;
    Load(input, Hex("EE 02 41 42 00"), 1);
    Load(output, Hex("10 11 12 13 14"), 1);
    RLEDecode(input, output, kRLEChunk, kRLELow);
    EXPECT_EQ(ToHex(Content(output)), "10 41 42 13 14");
    EXPECT_EQ(output.Position(), 3);

    // Past the end: the gap is zeros, as with a plain stream write.
    Load(input, Hex("80 41"));
    Load(output, Hex("10"), 3);
    RLEDecode(input, output, kRLEChunk, kRLELow);
    EXPECT_EQ(ToHex(Content(output)), "10 00 00 41 41 41");
}

// Extraction decodes entry after entry into one reused buffer: whatever room the buffer has
// left, the bytes come out the same, and a buffer without room is sized to the decoded bytes
// (plus a small margin), not grown in steps.
TEST(RleDecode, ReusedOutputBuffer) {
    std::mt19937 rng(12);
    MemoryStream output;
    for (int i = 0; i < 200; ++i) {
        const size_t size = (i % 7 == 0) ? rng() % 300000 : rng() % 3000;
        const Bytes raw = FromString(
            MakeContent(i % 2 ? ContentKind::AssetLike : ContentKind::ShortRecords, size, i));
        const Bytes coded = Encode(raw);
        MemoryStream input;
        Load(input, coded);
        output.Reset();
        if (i % 3 == 0)
            output.Write("ab", 2);  // appended after existing bytes
        const size_t before = static_cast<size_t>(output.Size());
        RLEDecode(input, output, kRLEChunk, kRLELow);
        const Bytes all = Content(output);
        ASSERT_EQ(Bytes(all.begin() + before, all.end()), raw) << i;
        ASSERT_EQ(output.Position(), output.Size());
    }
    MemoryStream fresh, input;
    const Bytes raw = FromString(MakeContent(ContentKind::AssetLike, 1 << 20, 5));
    Load(input, Encode(raw));
    RLEDecode(input, fresh, kRLEChunk, kRLELow);
    EXPECT_EQ(Content(fresh), raw);
    EXPECT_LE(fresh.Capacity(), raw.size() + 1024);
}

// Inputs that exercise every path of the encoder: runs at and around the run limit, pairs at
// literal record boundaries, stretches without equal neighbours, and random data over a few
// symbols (many pairs and short runs) or all 256.
std::vector<Bytes> StructuredInputs() {
    std::vector<Bytes> inputs;
    for (size_t n = 1; n <= 400; ++n) {
        inputs.push_back(Repeat(0x41, n));
        inputs.push_back(Concat({Hex("42"), Repeat(0x41, n), Hex("43")}));
    }
    for (size_t n : {126, 127, 128, 129, 254, 255, 256}) {
        inputs.push_back(NoEqualNeighbours(n));
        for (size_t run = 1; run <= 4; ++run)
            inputs.push_back(Concat(
                {NoEqualNeighbours(n, 0x41), Repeat(0x41, run), NoEqualNeighbours(n, 0x41)}));
    }
    std::mt19937 rng(20240601);
    for (int i = 0; i < 300; ++i) {
        const size_t size = rng() % 2000;
        const unsigned symbols = (i % 3 == 0) ? 2 : (i % 3 == 1) ? 5 : 256;
        Bytes b(size);
        for (auto& x : b)
            x = static_cast<uint8_t>(rng() % symbols);
        inputs.push_back(std::move(b));
    }
    for (auto kind : {ContentKind::AssetLike, ContentKind::ShortRecords, ContentKind::Random,
                      ContentKind::Constant}) {
        const std::string s = MakeContent(kind, 100000, 7);
        inputs.push_back(FromString(s));
    }
    return inputs;
}

TEST(RleRoundTrip, EncoderMatchesReferenceAndDecodesBack) {
    for (const Bytes& raw : StructuredInputs()) {
        const Bytes coded = Encode(raw);
        ASSERT_EQ(coded, ReferenceEncode(raw, kRLEChunk, kRLELow)) << "size " << raw.size();
        ASSERT_EQ(Decode(coded), raw) << "size " << raw.size();
        ASSERT_EQ(RLEDecodedSize(coded.data(), coded.size(), kRLEChunk, kRLELow),
                  static_cast<int64_t>(raw.size()));
    }
}

TEST(RleRoundTrip, OtherSoundParameters) {
    const std::vector<std::pair<uint8_t, uint8_t>> params = {
        {1, 0}, {2, 0}, {1, 252}, {254, 252}, {64, 200}, {10, 8}, {100, 125}};
    std::mt19937 rng(99);
    for (auto [chunk, low] : params) {
        SCOPED_TRACE(testing::Message() << "chunk " << int(chunk) << " low " << int(low));
        for (int i = 0; i < 60; ++i) {
            Bytes raw(rng() % 1500);
            const unsigned symbols = i % 2 ? 3 : 256;
            for (auto& x : raw)
                x = static_cast<uint8_t>(rng() % symbols);
            if (i % 10 == 0)
                raw = Repeat(0x33, 1 + rng() % 700);
            const Bytes coded = Encode(raw, chunk, low);
            ASSERT_EQ(coded, ReferenceEncode(raw, chunk, low));
            ASSERT_EQ(Decode(coded, chunk, low), raw);
        }
    }
}

// Parameters outside the sound range never come from the system. The encoder still writes what
// the held-byte algorithm writes, and decoding anything with them stays within bounds.
TEST(RleRoundTrip, UnsoundParametersStayWithinBounds) {
    const std::vector<std::pair<uint8_t, uint8_t>> params = {
        {0, 0}, {127, 253}, {127, 254}, {127, 255}, {200, 10}, {255, 0}, {0, 255}};
    std::mt19937 rng(5);
    for (auto [chunk, low] : params) {
        SCOPED_TRACE(testing::Message() << "chunk " << int(chunk) << " low " << int(low));
        for (int i = 0; i < 40; ++i) {
            Bytes raw(rng() % 1200);
            const unsigned symbols = i % 2 ? 2 : 256;
            for (auto& x : raw)
                x = static_cast<uint8_t>(rng() % symbols);
            const Bytes coded = Encode(raw, chunk, low);
            ASSERT_EQ(coded, ReferenceEncode(raw, chunk, low));
            MemoryStream input, output;
            Load(input, coded);
            try {
                RLEDecode(input, output, chunk, low);
            } catch (const EReadError&) {
            }
        }
    }
}

// Garbage never crashes or over-allocates: the decoded size is known before anything is written
// and at most 130 bytes come from every 2 bytes of input.
TEST(RleDecode, GarbageDecodesWithinBounds) {
    std::mt19937 rng(77);
    for (int i = 0; i < 2000; ++i) {
        Bytes coded(rng() % 600);
        for (auto& x : coded)
            x = static_cast<uint8_t>(rng());
        MemoryStream input, output;
        Load(input, coded);
        bool failed = false;
        try {
            RLEDecode(input, output, kRLEChunk, kRLELow);
        } catch (const EReadError&) {
            failed = true;
        }
        EXPECT_LE(output.Size(), static_cast<int64_t>(coded.size() * 65));
        if (!failed)
            EXPECT_EQ(RLEDecodedSize(coded.data(), coded.size(), kRLEChunk, kRLELow),
                      output.Size());
        else
            EXPECT_THROW(RLEDecodedSize(coded.data(), coded.size(), kRLEChunk, kRLELow),
                         EReadError);
    }
}

}  // namespace
}  // namespace rpq::test
