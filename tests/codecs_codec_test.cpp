// The codec component: in-place coding of a memory stream, its defaults, positions, the empty
// coder, and what the stream holds after an error.
#include <gtest/gtest.h>

#include <random>

#include "codecs/codec.h"
#include "codecs/rle.h"
#include "tests/codecs_helpers.h"
#include "toolkit/errors.h"

namespace rpq::test {
namespace {

class CodecTest : public testing::Test {
  protected:
    CodecTest() {
        codec.Algorithm = algRLE;
        codec.RLEChunk = kRLEChunk;
        codec.RLELow = kRLELow;
    }
    TTCodec codec;
    MemoryStream stream;
};

TEST(Codec, NewComponentDefaults) {
    TTCodec fresh;
    EXPECT_EQ(fresh.Algorithm, algLZSS);
    EXPECT_EQ(fresh.RLEChunk, 0);
    EXPECT_EQ(fresh.RLELow, 0);
    EXPECT_EQ(fresh.Work().Size(), 0);
    EXPECT_EQ(static_cast<int>(algLZSS), 0);
    EXPECT_EQ(static_cast<int>(algRLE), 1);
    EXPECT_EQ(static_cast<int>(algDefault), 2);
    EXPECT_EQ(sizeof(TCAlg), 1u);
}

TEST_F(CodecTest, RleVectorsInPlace) {
    struct Case {
        Bytes raw;
        int64_t start;
        Bytes coded;
    };
    const std::vector<Case> cases = {
        {{}, 0, Hex("00")},
        {Hex("41 41 41 41 42 43"), 0, Hex("81 41 02 42 43 00")},
        // Bytes before the position are neither coded nor kept.
        {Hex("58 59 41 41 41"), 2, Hex("80 41 00")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(ToHex(c.raw));
        Load(stream, c.raw, c.start);
        codec.Compress(stream);
        EXPECT_EQ(ToHex(Content(stream)), ToHex(c.coded));
        EXPECT_EQ(stream.Position(), stream.Size());
        stream.Seek(0);
        codec.Decompress(stream);
        EXPECT_EQ(ToHex(Content(stream)), ToHex(Bytes(c.raw.begin() + c.start, c.raw.end())));
        EXPECT_EQ(stream.Position(), stream.Size());
    }
}

TEST_F(CodecTest, DecompressWithoutRewindCodesNothing) {
    Load(stream, Hex("41 41 41 41 42 43"));
    codec.Compress(stream);
    codec.Decompress(stream);
    EXPECT_EQ(stream.Size(), 0);
    EXPECT_EQ(stream.Position(), 0);
}

TEST_F(CodecTest, NoCoderLeavesTheStreamEmpty) {
    codec.Algorithm = algDefault;
    Load(stream, Hex("01 02 03"));
    codec.Compress(stream);
    EXPECT_EQ(stream.Size(), 0);
    EXPECT_EQ(stream.Position(), 0);
    Load(stream, Hex("01 02 03"), 1);
    codec.Decompress(stream);
    EXPECT_EQ(stream.Size(), 0);
    EXPECT_EQ(codec.Work().Size(), 0);
}

TEST_F(CodecTest, ErrorLeavesTheStreamAsItWas) {
    Load(stream, Hex("05 41 42"));
    try {
        codec.Decompress(stream);
        FAIL() << "no error";
    } catch (const EReadError& e) {
        EXPECT_STREQ(e.what(), "Stream read error");
    }
    EXPECT_EQ(ToHex(Content(stream)), "05 41 42");

    // The records before the bad one reached the scratch stream only.
    Load(stream, Hex("02 41 41 05 42"));
    EXPECT_THROW(codec.Decompress(stream), EReadError);
    EXPECT_EQ(ToHex(Content(stream)), "02 41 41 05 42");
    EXPECT_EQ(ToHex(Content(codec.Work())), "41 41");

    // The component is usable again afterwards.
    Load(stream, Hex("80 41"));
    codec.Decompress(stream);
    EXPECT_EQ(ToHex(Content(stream)), "41 41 41");
}

TEST_F(CodecTest, RoundTripsWithBothCoders) {
    std::mt19937 rng(31);
    for (TCAlg alg : {algRLE, algLZSS}) {
        codec.Algorithm = alg;
        for (int i = 0; i < 40; ++i) {
            Bytes raw(i == 0 ? 0 : rng() % 12000);
            const unsigned symbols = i % 2 ? 3 : 256;
            for (auto& x : raw)
                x = static_cast<uint8_t>(rng() % symbols);
            Load(stream, raw);
            codec.Compress(stream);
            ASSERT_EQ(stream.Position(), stream.Size());
            stream.Seek(0);
            codec.Decompress(stream);
            ASSERT_EQ(Content(stream), raw) << "alg " << int(alg) << " size " << raw.size();
            ASSERT_EQ(stream.Position(), stream.Size());
        }
    }
}

}  // namespace
}  // namespace rpq::test
