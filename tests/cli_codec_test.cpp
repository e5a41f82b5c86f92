// rpq codec as a user runs it: bytes on standard input and output, the message on standard
// error, the exit status.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "tests/codecs_helpers.h"
#include "tests/support/pack_builder.h"

namespace rpq::test {
namespace {

struct Outcome {
    int status = -1;
    std::string out, err;
};

class CliCodecTest : public testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/rpq_cli_codec_XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        root_ = pattern;
    }
    void TearDown() override { std::filesystem::remove_all(root_); }

    std::string Path(const std::string& name) const { return root_ + "/" + name; }

    // Runs `rpq <args>` with the file `input` on standard input.
    Outcome Rpq(const std::string& args, const std::string& input) {
        WriteFile(Path("stdin"), input);
        const std::string command = "'" RPQ_BINARY "' " + args + " <'" + Path("stdin") + "' >'" +
                                    Path("stdout") + "' 2>'" + Path("stderr") + "'";
        const int raw = std::system(command.c_str());
        Outcome o;
        o.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        o.out = ReadFile(Path("stdout"));
        o.err = ReadFile(Path("stderr"));
        return o;
    }

    std::string root_;
};

std::string Str(const Bytes& b) {
    return std::string(b.begin(), b.end());
}

TEST_F(CliCodecTest, Vectors) {
    struct Case {
        const char* args;
        Bytes in;
        Bytes out;
    };
    const std::vector<Case> cases = {
        {"codec compress", Hex("41 41 41 41 42 43"), Hex("81 41 02 42 43 00")},
        {"codec compress --alg rle", {}, Hex("00")},
        {"codec decompress", Hex("02 41 41 80 42 00"), Hex("41 41 42 42 42")},
        {"codec compress --alg lzss", FromString("abcabcabcabc"), Hex("07 61 62 63 EE F6")},
        {"codec --alg lzss decompress", Hex("3E ED F0 68 65 6C 6C 6F"),
         Hex("20 20 20 68 65 6C 6C 6F")},
        {"codec compress --alg none", Hex("01 02 03"), {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args);
        const Outcome o = Rpq(c.args, Str(c.in));
        EXPECT_EQ(o.status, 0);
        EXPECT_EQ(o.err, "");
        EXPECT_EQ(ToHex(FromString(o.out)), ToHex(c.out));
    }
}

TEST_F(CliCodecTest, FileRoundTripsWithBothCoders) {
    const std::string content = MakeContent(ContentKind::AssetLike, 300000, 11) +
                                MakeContent(ContentKind::Random, 70000, 12);
    for (const char* alg : {"rle", "lzss"}) {
        SCOPED_TRACE(alg);
        const Outcome packed = Rpq(std::string("codec compress --alg ") + alg, content);
        ASSERT_EQ(packed.status, 0) << packed.err;
        EXPECT_LT(packed.out.size(), content.size());
        const Outcome unpacked = Rpq(std::string("codec decompress --alg ") + alg, packed.out);
        ASSERT_EQ(unpacked.status, 0) << unpacked.err;
        EXPECT_TRUE(unpacked.out == content);
    }
}

TEST_F(CliCodecTest, DamagedDataIsAnError) {
    for (const char* data : {"05 41 42", "03 00", "02 41 41 80"}) {
        SCOPED_TRACE(data);
        const Outcome o = Rpq("codec decompress", Str(Hex(data)));
        EXPECT_EQ(o.status, 1);
        EXPECT_EQ(o.err, "Stream read error\n");
        EXPECT_EQ(o.out, "");
    }
}

TEST_F(CliCodecTest, UsageErrors) {
    for (const char* args : {"codec compress --alg zip", "codec", "codec expand"}) {
        SCOPED_TRACE(args);
        const Outcome o = Rpq(args, "AAAA");
        EXPECT_EQ(o.status, 2);
        EXPECT_EQ(o.out, "");
        EXPECT_NE(o.err, "");
    }
}

}  // namespace
}  // namespace rpq::test
