// Rebuilding packs from a source pack and the target lines of a result log.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "codecs/codec.h"
#include "packs/extract.h"
#include "packs/pack_format.h"
#include "packs/rebuild.h"
#include "packs/verify.h"
#include "tests/support/pack_builder.h"
#include "tests/support/recorder.h"
#include "tests/support/test_util.h"
#include "toolkit/errors.h"
#include "toolkit/files.h"
#include "toolkit/streams.h"
#include "toolkit/string_list.h"

namespace rpq {
namespace {

namespace fs = std::filesystem;
using test::ErrorText;
using test::PackBuilder;
using test::ReadFile;
using test::Recorder;
using test::TempDir;
using test::Tree;
using test::WriteFile;
using ::testing::ElementsAre;

std::string Target(const std::string& path) {
    return "#Target ARC(RLE): " + path;
}

// The source pack at <tmp>/src/Maps.rpq, the new pack at <tmp>/new/Maps.rpq.
struct Fixture {
    TempDir tmp;
    std::string sourcePath, newPath;
    StringList lines;
    TTCodec codec;
    Recorder feedback;

    explicit Fixture(const std::string& source) {
        fs::create_directory(tmp / "src");
        fs::create_directory(tmp / "new");
        fs::create_directory(tmp / "files");
        sourcePath = tmp / "src/Maps.rpq";
        newPath = tmp / "new/Maps.rpq";
        WriteFile(sourcePath, source);
    }
    std::string File(const std::string& name, const std::string& content) {
        WriteFile(tmp / ("files/" + name), content);
        return tmp / ("files/" + name);
    }
    int Rebuild(int firstLine = 0) {
        FileStream source(sourcePath, FileStream::Mode::OpenRead);
        return RebuildPack(newPath, firstLine, source, lines, codec, feedback);
    }
};

TPackEntry Record(const std::string& pack, uint32_t i) {
    TPackEntry e;
    DecodeRecord(reinterpret_cast<const uint8_t*>(pack.data()) + RecordPosition(i), e);
    return e;
}

std::string Block(const std::string& pack, const TPackEntry& e) {
    return pack.substr(static_cast<size_t>(e.Offset), static_cast<size_t>(e.PackedSize));
}

// 26 bytes without equal neighbours and a run of 74: 100 bytes that compress to 30.
std::string HundredBytesToThirty() {
    std::string s;
    for (int i = 0; i < 26; ++i)
        s.push_back(static_cast<char>('a' + i));
    return s + std::string(74, '#');
}

TEST(RebuildPack, ReplacesPresentFilesKeepsSourceDataForMissingOnes) {
    const std::string replacement = HundredBytesToThirty();
    ASSERT_EQ(test::RleEncode(replacement).size(), 30u);
    const std::string blockA = "AAAAAAAAAA", blockC = "CCCCCCCCCCCCCCCCCCCC";
    PackBuilder source;
    test::PackEntrySpec a;
    a.name = std::string("A.txt\0junk after the NUL", 24);
    a.stored = blockA;
    a.unpackedSize = 1234;
    a.opaque = 0x11111111;
    source.Add(a);
    source.AddEmpty("B.dat", 0x22222222);
    source.AddStored("C.bin", blockC, 4321);
    source.Entries()[2].opaque = 0x33333333;
    Fixture f(source.Scrambled(5).Build());
    const std::string sourceBytes = ReadFile(f.sourcePath);

    for (int i = 0; i < 5; ++i)
        f.lines.Add("#Format: RPQ");
    f.lines.Add(Target(f.File("a.bin", replacement)));
    f.lines.Add(Target(f.tmp / "files/gone.bin"));
    f.lines.Add("#Source: next pack");
    f.codec.Algorithm = algDefault;

    EXPECT_EQ(f.Rebuild(5), 7);

    const std::string pack = ReadFile(f.newPath);
    ASSERT_EQ(pack.size(), 702u);
    EXPECT_EQ(LoadLE32(reinterpret_cast<const uint8_t*>(pack.data())), 3u);
    const TPackEntry A = Record(pack, 0), B = Record(pack, 1), C = Record(pack, 2);
    EXPECT_EQ(A.Offset, 652);
    EXPECT_EQ(A.PackedSize, 30);
    EXPECT_EQ(A.UnpackedSize, 100);
    EXPECT_EQ(Block(pack, A), test::RleEncode(replacement));
    EXPECT_EQ(B.Offset, 682);
    EXPECT_EQ(B.PackedSize, 0);
    EXPECT_EQ(C.Offset, 682);
    EXPECT_EQ(C.PackedSize, 20);
    EXPECT_EQ(C.UnpackedSize, 4321);
    EXPECT_EQ(Block(pack, C), blockC);
    // Opaque values and all 200 bytes of every Name field come over unchanged.
    for (uint32_t i = 0; i < 3; ++i) {
        const size_t at = static_cast<size_t>(RecordPosition(i));
        EXPECT_EQ(pack.substr(at + 4, 4), sourceBytes.substr(at + 4, 4)) << i;
        EXPECT_EQ(pack.substr(at + 16, 200), sourceBytes.substr(at + 16, 200)) << i;
    }
    EXPECT_THAT(f.feedback.results,
                ElementsAre("A.txt compressed succesfull.", "C.bin inserted from source."));
    EXPECT_THAT(f.feedback.messages, ElementsAre("Compressing A.txt from a.bin"));
    EXPECT_EQ(f.feedback.position, 3);
    EXPECT_EQ(f.feedback.maximum, 3);
    EXPECT_EQ(f.feedback.processCalls, 3);
    EXPECT_EQ(f.codec.Algorithm, algRLE);
    EXPECT_EQ(f.codec.RLEChunk, 127);
    EXPECT_EQ(f.codec.RLELow, 125);
    EXPECT_EQ(ReadFile(f.sourcePath), sourceBytes);
    EXPECT_EQ(Tree(f.tmp / "new"), (std::set<std::string>{"Maps.rpq"}));
}

TEST(RebuildPack, EmptySourceGivesFourZeroBytesAndConsumesNoLine) {
    Fixture f(PackBuilder().Build());
    EXPECT_EQ(f.Rebuild(3), 3);  // no line is asked for, so three missing lines are no error
    EXPECT_EQ(ReadFile(f.newPath), std::string(4, '\0'));
    EXPECT_TRUE(f.feedback.results.empty());
    EXPECT_EQ(f.feedback.maximum, 0);
}

TEST(RebuildPack, EntriesWithoutDataAllPointPastTheDirectory) {
    PackBuilder source;
    source.AddEmpty("a.x", 1).AddEmpty("b.y", 2);
    source.Entries()[0].offset = 999;
    source.Entries()[1].unpackedSize = 77;
    Fixture f(source.Build());
    EXPECT_EQ(f.Rebuild(0), 0);
    const std::string pack = ReadFile(f.newPath);
    ASSERT_EQ(pack.size(), 4u + 2 * 216);
    EXPECT_EQ(Record(pack, 0).Offset, 436);
    EXPECT_EQ(Record(pack, 1).Offset, 436);
    EXPECT_EQ(Record(pack, 1).UnpackedSize, 77);  // only Offset changes
    EXPECT_TRUE(f.feedback.results.empty());
}

TEST(RebuildPack, ZeroByteReplacementGetsTheOneByteStream) {
    Fixture f(PackBuilder().Add("a.txt", "was something").Build());
    f.lines.Add(Target(f.File("a.txt", "")));
    EXPECT_EQ(f.Rebuild(0), 1);
    const std::string pack = ReadFile(f.newPath);
    const TPackEntry a = Record(pack, 0);
    EXPECT_EQ(a.UnpackedSize, 0);
    EXPECT_EQ(a.PackedSize, 1);
    EXPECT_EQ(Block(pack, a), std::string(1, '\0'));
    EXPECT_EQ(pack.size(), 4u + 216 + 1);
    EXPECT_THAT(f.feedback.results, ElementsAre("a.txt compressed succesfull."));
}

TEST(RebuildPack, TwoLinesNamingOneFileGiveTwoCopies) {
    Fixture f(PackBuilder().Add("a.txt", "first").Add("b.txt", "second").Build());
    const std::string path = f.File("shared.txt", "shared content, shared content");
    f.lines.Add(Target(path));
    f.lines.Add(Target(path));
    EXPECT_EQ(f.Rebuild(0), 2);
    const std::string pack = ReadFile(f.newPath);
    const std::string expected = test::RleEncode("shared content, shared content");
    EXPECT_EQ(Block(pack, Record(pack, 0)), expected);
    EXPECT_EQ(Block(pack, Record(pack, 1)), expected);
    EXPECT_EQ(Record(pack, 1).Offset, Record(pack, 0).Offset + Record(pack, 0).PackedSize);
    EXPECT_THAT(f.feedback.messages, ElementsAre("Compressing a.txt from shared.txt",
                                                 "Compressing b.txt from shared.txt"));
}

// With nothing replaced the new pack is the source laid out afresh: blocks in directory order,
// right after the directory, without the gaps; shared blocks copied for each record.
TEST(RebuildPack, NothingReplacedRepacksTheSourceInDirectoryOrder) {
    const std::string big = test::MakeContent(test::ContentKind::AssetLike, 3000, 9);
    PackBuilder layout;
    layout.Add("one.tga", big, 7).AddEmpty("none.dat", 8).Add("two.txt", "second", 9);
    layout.Add("three.wav", "", 10);
    PackBuilder scrambled = layout;
    scrambled.Scrambled(11);
    Fixture f(scrambled.Build());
    for (int i = 0; i < 3; ++i)
        f.lines.Add(Target(f.tmp / ("files/missing" + std::to_string(i))));
    EXPECT_EQ(f.Rebuild(0), 3);
    EXPECT_EQ(ReadFile(f.newPath), layout.Build());
    EXPECT_THAT(f.feedback.results,
                ElementsAre("one.tga inserted from source.", "two.txt inserted from source.",
                            "three.wav inserted from source."));
    EXPECT_TRUE(f.feedback.messages.empty());
}

TEST(RebuildPack, TwoRecordsSharingABlockGetACopyEach) {
    PackBuilder source;
    source.Add("a.txt", "shared bytes");
    test::PackEntrySpec b;
    b.name = "b.txt";
    b.noData = true;  // no block of its own; its head points at a.txt's block
    b.offset = static_cast<int32_t>(RecordPosition(2));
    b.packedSize = static_cast<int32_t>(test::RleEncode("shared bytes").size());
    b.unpackedSize = 12;
    source.Add(b);
    Fixture f(source.Build());
    f.lines.Add(Target(f.tmp / "gone1"));
    f.lines.Add(Target(f.tmp / "gone2"));
    EXPECT_EQ(f.Rebuild(0), 2);
    const std::string pack = ReadFile(f.newPath);
    EXPECT_EQ(pack.size(), 4u + 2 * 216 + 2 * b.packedSize.value());
    EXPECT_EQ(Block(pack, Record(pack, 1)), test::RleEncode("shared bytes"));
    EXPECT_NE(Record(pack, 1).Offset, Record(pack, 0).Offset);
}

TEST(RebuildPack, ExistingFileOfThatNameIsReplaced) {
    Fixture f(PackBuilder().Add("a.txt", "data").Build());
    WriteFile(f.newPath, "an older pack, much longer than the new one will be .......");
    f.lines.Add(Target(f.tmp / "gone"));
    f.Rebuild(0);
    EXPECT_EQ(ReadFile(f.newPath), ReadFile(f.sourcePath));
    EXPECT_EQ(Tree(f.tmp / "new"), (std::set<std::string>{"Maps.rpq"}));
}

TEST(RebuildPack, DirectoryNamedByTheLineCannotBeOpened) {
    Fixture f(PackBuilder().Add("a.txt", "data").Build());
    fs::create_directory(f.tmp / "files/dir");
    f.lines.Add(Target(f.tmp / "files/dir"));
    EXPECT_EQ(ErrorText<EFOpenError>([&] { f.Rebuild(0); }),
              "Cannot open file " + f.tmp / "files/dir");
    EXPECT_FALSE(fs::exists(f.newPath));
}

TEST(RebuildPack, StopRequestDiscardsTheNewPack) {
    Fixture f(PackBuilder().Add("a.txt", "1").Add("b.txt", "2").Build());
    WriteFile(f.newPath, "previous pack");
    f.lines.Add(Target(f.tmp / "gone"));
    f.lines.Add(Target(f.tmp / "gone"));
    f.feedback.stopAfter = 1;
    EXPECT_THROW(f.Rebuild(0), EStopped);
    EXPECT_EQ(ReadFile(f.newPath), "previous pack");
    EXPECT_EQ(Tree(f.tmp / "new"), (std::set<std::string>{"Maps.rpq"}));
}

// Failures part way: the error, an existing pack of that name untouched, no temporary file left.
struct FailureCase {
    const char* label;
    std::string source;
    std::vector<std::string> lines;  // "@x" becomes a path to a file x under files/, "~x" a
                                     // missing one, "/x" a directory
    std::string message;             // "%t" stands for the temp directory
};

// Test output names the case by its label, not by its bytes.
void PrintTo(const FailureCase& c, std::ostream* os) {
    *os << c.label;
}

std::string OneGoodThenPastEnd() {
    PackBuilder p;
    p.Add("a.txt", "fine");
    test::PackEntrySpec e;
    e.name = "b.txt";
    e.raw = "data";
    e.offset = 5000;
    p.Add(e);
    return p.Build();
}

std::vector<FailureCase> FailureCases() {
    const std::string two = PackBuilder().Add("a.txt", "1").Add("b.txt", "2").Build();
    std::string cutDirectory = two;
    cutDirectory.resize(4 + 216 + 50);
    return {
        {"TooFewLines", two, {"@a"}, "List index out of bounds (1)"},
        {"NoLinesAtAll", two, {}, "List index out of bounds (0)"},
        {"ReplacementIsADirectory", two, {"@a", "/d"}, "Cannot open file %t/files/d"},
        {"SourceDataPastEnd", OneGoodThenPastEnd(), {"@a", "~b"}, "Stream read error"},
        {"SourceDirectoryCut", cutDirectory, {"@a", "@b"}, "Stream read error"},
        {"SourceCountFFFFFFFF", std::string(4, '\xFF'), {}, "Stream read error"},
        {"SourceEmptyFile", "", {}, "Stream read error"},
        {"SourceThreeBytes", std::string(3, '\0'), {}, "Stream read error"},
    };
}

std::string Expand(std::string s, const std::string& tmp) {
    for (size_t at; (at = s.find("%t")) != std::string::npos;)
        s.replace(at, 2, tmp);
    return s;
}

class RebuildFailure : public ::testing::TestWithParam<FailureCase> {};

TEST_P(RebuildFailure, LeavesNoPartialPack) {
    const FailureCase& c = GetParam();
    Fixture f(c.source);
    for (const std::string& l : c.lines) {
        const std::string name = l.substr(1);
        if (l[0] == '@')
            f.lines.Add(Target(f.File(name, "replacement " + name)));
        if (l[0] == '~')
            f.lines.Add(Target(f.tmp / ("files/" + name)));
        if (l[0] == '/') {
            fs::create_directory(f.tmp / ("files/" + name));
            f.lines.Add(Target(f.tmp / ("files/" + name)));
        }
    }
    WriteFile(f.newPath, "previous pack");
    EXPECT_EQ(ErrorText<Error>([&] { f.Rebuild(0); }), Expand(c.message, f.tmp.path()));
    EXPECT_EQ(ReadFile(f.newPath), "previous pack");
    EXPECT_EQ(Tree(f.tmp / "new"), (std::set<std::string>{"Maps.rpq"}));
    EXPECT_EQ(ReadFile(f.sourcePath), c.source);
}

INSTANTIATE_TEST_SUITE_P(Cases, RebuildFailure, ::testing::ValuesIn(FailureCases()),
                         [](const auto& info) { return std::string(info.param.label); });

// The new pack must not be the source pack, however the path reaches it.
TEST(RebuildPack, TargetThatIsTheSourceIsRefusedBeforeAnyWrite) {
    struct Case {
        const char* label;
        std::string (*target)(const TempDir&);
    };
    const Case cases[] = {
        {"SamePath", [](const TempDir& t) { return t / "src/Maps.rpq"; }},
        {"DotSegments", [](const TempDir& t) { return t / "src/./../src//Maps.rpq"; }},
        {"SymbolicLink",
         [](const TempDir& t) {
             fs::create_symlink(t / "src/Maps.rpq", t / "new/Maps.rpq");
             return t / "new/Maps.rpq";
         }},
        {"LinkedDirectory",
         [](const TempDir& t) {
             fs::create_directory_symlink(t / "src", t / "new/linked");
             return t / "new/linked/Maps.rpq";
         }},
        {"HardLink",
         [](const TempDir& t) {
             fs::create_hard_link(t / "src/Maps.rpq", t / "new/Maps.rpq");
             return t / "new/Maps.rpq";
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        Fixture f(PackBuilder().Add("a.txt", "data").Add("b.txt", "more").Build());
        const std::string before = ReadFile(f.sourcePath);
        f.lines.Add(Target(f.File("a.txt", "replacement")));
        f.lines.Add(Target(f.tmp / "gone"));
        const std::string target = c.target(f.tmp);
        const std::set<std::string> tree = Tree(f.tmp.path());
        FileStream source(f.sourcePath, FileStream::Mode::OpenRead);
        EXPECT_EQ(ErrorText<EFCreateError>(
                      [&] { RebuildPack(target, 0, source, f.lines, f.codec, f.feedback); }),
                  "Cannot create file " + target);
        EXPECT_EQ(ReadFile(f.sourcePath), before);
        EXPECT_EQ(Tree(f.tmp.path()), tree);
        EXPECT_TRUE(f.feedback.results.empty());
    }
}

// A new pack may not pass 2^31-1 bytes: its offsets are signed 32-bit. Sparse files make the
// sizes without the disk space.
TEST(RebuildPack, PackThatWouldPass2To31IsRefused) {
    {
        SCOPED_TRACE("source block");
        PackBuilder source;
        test::PackEntrySpec e;
        e.name = "huge.bin";
        e.noData = true;
        e.offset = static_cast<int32_t>(RecordPosition(1));
        e.packedSize = 0x7FFFFFFF - 100;
        source.Add(e);
        Fixture f(source.Build());
        fs::resize_file(f.sourcePath, static_cast<uintmax_t>(RecordPosition(1)) + 0x7FFFFFFF - 100);
        f.lines.Add(Target(f.tmp / "gone"));
        WriteFile(f.newPath, "previous pack");
        EXPECT_EQ(ErrorText<EPackError>([&] { f.Rebuild(0); }),
                  "Pack " + f.newPath + " would grow past 2147483647 bytes at entry \"huge.bin\"");
        EXPECT_EQ(ReadFile(f.newPath), "previous pack");
        EXPECT_EQ(Tree(f.tmp / "new"), (std::set<std::string>{"Maps.rpq"}));
    }
    {
        SCOPED_TRACE("replacement file");
        Fixture f(PackBuilder().Add("a.txt", "small").Build());
        const std::string path = f.File("huge.txt", "");
        fs::resize_file(path, 0x80000000u);
        f.lines.Add(Target(path));
        EXPECT_EQ(ErrorText<EPackError>([&] { f.Rebuild(0); }),
                  "Pack " + f.newPath + " would grow past 2147483647 bytes at entry \"a.txt\"");
        EXPECT_FALSE(fs::exists(f.newPath));
    }
}

TEST(ReplacementPath, TextAfterFirstColonAndOneCharacter) {
    struct Case {
        const char* line;
        const char* path;
    };
    for (const Case& c :
         {Case{"#Target ARC(RLE): /out/Maps/TGA/tree.tga", "/out/Maps/TGA/tree.tga"},
          Case{"#Target ARC(RLE): /a b/c d.txt ", "/a b/c d.txt "},
          Case{"#Target ARC(RLE): C:\\x", "C:\\x"}, Case{"#Format: RPQ", "RPQ"},
          Case{"a:bc:d", "c:d"}, Case{"no colon", "o colon"}, Case{"x:", ""}, Case{"x:y", ""},
          Case{"", ""}, Case{":", ""}, Case{"::", ""}}) {
        EXPECT_EQ(ReplacementPath(c.line), c.path) << c.line;
    }
}

// Extract, edit one file, delete another, rebuild, extract again: the edit comes back, the
// deleted entry keeps its source bytes, and the rest is unchanged.
TEST(RebuildPack, ExtractEditRebuildRoundTrip) {
    TempDir tmp;
    PackBuilder source;
    const std::string image = test::MakeContent(test::ContentKind::AssetLike, 20000, 1);
    const std::string noise = test::MakeContent(test::ContentKind::Random, 1000, 2);
    source.Add("tree.tga", image).AddEmpty("nothing.dat").Add("readme.txt", "hello");
    source.Add("noise.wav", noise).Add("credits", "the team").Scrambled(3);
    source.Write(tmp / "Maps.rpq");
    TTCodec codec;
    Recorder feedback;
    StringList log;
    fs::create_directory(tmp / "out");
    ExtractPack(tmp / "Maps.rpq", tmp / "out", codec, log, feedback);
    WriteFile(tmp / "out/Maps/TXT/readme.txt", "hello, edited");
    fs::remove(tmp / "out/Maps/WAV/noise.wav");

    fs::create_directory(tmp / "new");
    {
        FileStream sourcePack(tmp / "Maps.rpq", FileStream::Mode::OpenRead);
        EXPECT_EQ(RebuildPack(tmp / "new/Maps.rpq", 0, sourcePack, log, codec, feedback), 4);
    }
    EXPECT_TRUE(VerifyPackFile(tmp / "new/Maps.rpq").empty());

    StringList log2;
    fs::create_directory(tmp / "again");
    ExtractPack(tmp / "new/Maps.rpq", tmp / "again", codec, log2, feedback);
    EXPECT_EQ(ReadFile(tmp / "again/Maps/TGA/tree.tga"), image);
    EXPECT_EQ(ReadFile(tmp / "again/Maps/TXT/readme.txt"), "hello, edited");
    EXPECT_EQ(ReadFile(tmp / "again/Maps/WAV/noise.wav"), noise);
    EXPECT_EQ(ReadFile(tmp / "again/Maps//credits"), "the team");
    const std::string rebuilt = ReadFile(tmp / "new/Maps.rpq");
    const std::string original = ReadFile(tmp / "Maps.rpq");
    EXPECT_EQ(Block(rebuilt, Record(rebuilt, 3)), Block(original, Record(original, 3)));
}

TEST(RebuildPack, FailedWriteLeavesThePreviousPack) {
    const std::string big = test::MakeContent(test::ContentKind::Random, 300000, 6);
    Fixture f(PackBuilder().Add("a.txt", "small").Add("b.bin", big).Build());
    WriteFile(f.newPath, "previous pack");
    f.lines.Add(Target(f.tmp / "gone"));
    f.lines.Add(Target(f.tmp / "gone"));
    std::string text;
    {
        rlimit saved{};
        ::getrlimit(RLIMIT_FSIZE, &saved);
        auto previous = ::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = saved;
        limit.rlim_cur = 100000;
        ::setrlimit(RLIMIT_FSIZE, &limit);
        text = ErrorText<Error>([&] { f.Rebuild(0); });
        ::setrlimit(RLIMIT_FSIZE, &saved);
        ::signal(SIGXFSZ, previous);
    }
    EXPECT_EQ(text, "Stream write error");
    EXPECT_EQ(ReadFile(f.newPath), "previous pack");
    EXPECT_EQ(Tree(f.tmp / "new"), (std::set<std::string>{"Maps.rpq"}));
}

}  // namespace
}  // namespace rpq
