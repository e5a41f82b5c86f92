// rpq list and rpq verify as a user runs them: standard output, standard error, exit status.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "tests/support/pack_builder.h"

namespace rpq::test {
namespace {

struct Outcome {
    int status = -1;
    std::string out, err;
};

class CliPackTest : public ::testing::Test {
  protected:
    void SetUp() override {
        char tmpl[] = "/tmp/rpq-cli-pack-XXXXXX";
        root_ = ::mkdtemp(tmpl);
    }
    void TearDown() override {
        std::error_code ec;
        std::filesystem::remove_all(root_, ec);
    }

    // Runs `rpq <args>` in the scratch directory with standard output and error in files.
    Outcome Rpq(const std::string& args) {
        const std::string out = root_ + "/.stdout", err = root_ + "/.stderr";
        const std::string command = "cd '" + root_ + "' && '" RPQ_BINARY "' " + args + " >'" + out +
                                    "' 2>'" + err + "' </dev/null";
        const int raw = std::system(command.c_str());
        Outcome o;
        o.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        o.out = ReadFile(out);
        o.err = ReadFile(err);
        return o;
    }

    std::string root_;
};

PackBuilder SmallPack() {
    PackBuilder pack;
    pack.Add("tree.tga", "aaaaaa").AddEmpty("none.dat").Add("readme", "hi");
    return pack;
}

TEST_F(CliPackTest, ListPrintsATable) {
    SmallPack().Write(root_ + "/Maps.rpq");
    const Outcome o = Rpq("list Maps.rpq");
    EXPECT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(o.out,
              "Index  Offset  Packed  Unpacked  Name\n"
              "    0     652       3         6  tree.tga\n"
              "    1     655       0         0  none.dat\n"
              "    2     655       4         2  readme\n");
    EXPECT_EQ(o.err, "");
}

TEST_F(CliPackTest, ListShowsNamesWithControlCharactersEscaped) {
    PackBuilder pack;
    pack.Add("two\nlines", "x");
    pack.Write(root_ + "/p.rpq");
    const Outcome o = Rpq("list p.rpq");
    EXPECT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(o.out,
              "Index  Offset  Packed  Unpacked  Name\n"
              "    0     220       3         1  \"two\\nlines\"\n");
}

TEST_F(CliPackTest, ListJsonEscapesEveryName) {
    PackBuilder pack;
    pack.Add("say \"hi\"\\.txt", "x")
        .AddEmpty("tab\there\x01")
        .Add("\xC3\xA4.tga", "y")  // UTF-8 passes unchanged
        .Add("\xE4.tga", "z");     // a lone Latin-1 byte becomes \u00e4
    pack.Write(root_ + "/p.rpq");
    const Outcome o = Rpq("list --json p.rpq");
    EXPECT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(o.out,
              "[\n"
              "  {\"index\": 0, \"name\": \"say \\\"hi\\\"\\\\.txt\", \"offset\": 868, "
              "\"packed_size\": 3, \"unpacked_size\": 1},\n"
              "  {\"index\": 1, \"name\": \"tab\\there\\u0001\", \"offset\": 871, "
              "\"packed_size\": 0, \"unpacked_size\": 0},\n"
              "  {\"index\": 2, \"name\": \"\xC3\xA4.tga\", \"offset\": 871, "
              "\"packed_size\": 3, \"unpacked_size\": 1},\n"
              "  {\"index\": 3, \"name\": \"\\u00e4.tga\", \"offset\": 874, "
              "\"packed_size\": 3, \"unpacked_size\": 1}\n"
              "]\n");
}

TEST_F(CliPackTest, ListOfAnEmptyPack) {
    PackBuilder().Write(root_ + "/e.rpq");
    EXPECT_EQ(Rpq("list e.rpq").out, "Index  Offset  Packed  Unpacked  Name\n");
    EXPECT_EQ(Rpq("list --json e.rpq").out, "[]\n");
}

TEST_F(CliPackTest, ListErrors) {
    WriteFile(root_ + "/short.rpq", "abc");
    WriteFile(root_ + "/cut.rpq", std::string("\x02\0\0\0", 4) + std::string(300, 'x'));
    struct Case {
        std::string args, err;
        int status;
    };
    for (const Case& c : {Case{"list missing.rpq", "Cannot open file missing.rpq\n", 1},
                          Case{"list short.rpq", "Stream read error\n", 1},
                          Case{"list --json cut.rpq", "Stream read error\n", 1}}) {
        const Outcome o = Rpq(c.args);
        EXPECT_EQ(o.status, c.status) << c.args;
        EXPECT_EQ(o.err, c.err) << c.args;
        EXPECT_EQ(o.out, "") << c.args;
    }
    const Outcome usage = Rpq("list");
    EXPECT_EQ(usage.status, 2);
    EXPECT_NE(usage.err.find("pack is required"), std::string::npos) << usage.err;
}

TEST_F(CliPackTest, VerifyAcceptsAWellFormedPack) {
    SmallPack().Write(root_ + "/Maps.rpq");
    PackBuilder().Write(root_ + "/e.rpq");
    const Outcome o = Rpq("verify Maps.rpq e.rpq");
    EXPECT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(o.out, "Maps.rpq: 3 entries, no problems\ne.rpq: 0 entries, no problems\n");
    EXPECT_EQ(o.err, "");
}

TEST_F(CliPackTest, VerifyReportsEachProblemAndFails) {
    PackBuilder pack;
    pack.Add("good.txt", "fine");
    pack.AddStored("cut.bin",
                   "\x05"
                   "ab",
                   5);
    PackEntrySpec wrong;
    wrong.name = "wrong\r.bin";
    wrong.raw = "abc";
    wrong.unpackedSize = 4;
    pack.Add(wrong);
    pack.Write(root_ + "/bad.rpq");
    SmallPack().Write(root_ + "/Maps.rpq");
    const Outcome o = Rpq("verify bad.rpq missing.rpq Maps.rpq");
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.out,
              "bad.rpq: entry 1 \"cut.bin\": damaged data: Stream read error\n"
              "bad.rpq: entry 2 \"wrong\\r.bin\": unsafe entry name\n"
              "bad.rpq: entry 2 \"wrong\\r.bin\": decodes to 3 bytes, not 4\n"
              "bad.rpq: 3 entries, 3 problems\n"
              "Maps.rpq: 3 entries, no problems\n");
    EXPECT_EQ(o.err, "Cannot open file missing.rpq\n");
}

TEST_F(CliPackTest, VerifyOfACutDirectoryNamesThePack) {
    WriteFile(root_ + "/cut.rpq", std::string("\xFF\xFF\xFF\xFF", 4));
    const Outcome o = Rpq("verify cut.rpq");
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.out, "");
    EXPECT_EQ(o.err, "cut.rpq: Stream read error\n");
}

}  // namespace
}  // namespace rpq::test
