// Extraction of packs: the tree it writes, the lines it reports, and what it refuses.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <unistd.h>

#include <filesystem>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "codecs/codec.h"
#include "packs/extract.h"
#include "packs/pack_format.h"
#include "tests/support/pack_builder.h"
#include "tests/support/recorder.h"
#include "tests/support/test_util.h"
#include "toolkit/errors.h"
#include "toolkit/files.h"
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
using ::testing::ElementsAreArray;

// A fresh temp directory with the pack at <tmp>/<packName> and the target <tmp>/out.
struct Fixture {
    TempDir tmp;
    std::string packPath, target;
    TTCodec codec;
    StringList log;
    Recorder feedback;

    Fixture(const PackBuilder& pack, const std::string& packName = "Maps.rpq") {
        packPath = tmp / packName;
        target = tmp / "out";
        pack.Write(packPath);
        fs::create_directory(target);
    }
    void Extract() { ExtractPack(packPath, target, codec, log, feedback); }
};

TEST(ExtractPack, WritesEntryReportsItAndLogsItsTarget) {
    PackBuilder pack;
    pack.Add("tree.tga", "TGA image bytes, bytes, bytes!!!!!!!!");
    Fixture f(pack);
    f.log.Add("#Format: RPQ");
    f.codec.Algorithm = algLZSS;  // the extraction sets its own codec parameters
    f.Extract();

    const std::string path = f.target + "/Maps/TGA/tree.tga";
    EXPECT_EQ(ReadFile(path), "TGA image bytes, bytes, bytes!!!!!!!!");
    EXPECT_THAT(f.feedback.results, ElementsAre("tree.tga decompressed sucessfully."));
    EXPECT_THAT(f.log.Lines(), ElementsAre("#Format: RPQ", "#Target ARC(RLE): " + path));
    EXPECT_THAT(f.feedback.messages,
                ElementsAre("Processing Maps.rpq ...", "Decompressing tree.tga from Maps.rpq ..."));
    EXPECT_EQ(f.codec.Algorithm, algRLE);
    EXPECT_EQ(f.codec.RLEChunk, 127);
    EXPECT_EQ(f.codec.RLELow, 125);
    EXPECT_EQ(Tree(f.target), (std::set<std::string>{"Maps/", "Maps/TGA/", "Maps/TGA/tree.tga"}));
}

// Where each entry lands: stem up to the first '.', extension from the last '.', upper-cased
// (ASCII only), joined by plain concatenation.
struct PathCase {
    const char* label;
    const char* packName;
    const char* entryName;
    const char* entryPath;  // relative to the target, as the target line holds it
};

// Test output names the case by its label, not by its bytes.
void PrintTo(const PathCase& c, std::ostream* os) {
    *os << c.label;
}

class ExtractPath : public ::testing::TestWithParam<PathCase> {};

TEST_P(ExtractPath, PutsEntryWhereItsNameSays) {
    const PathCase& c = GetParam();
    PackBuilder pack;
    pack.Add(c.entryName, "content of the entry");
    Fixture f(pack, c.packName);
    f.Extract();
    const std::string path = f.target + "/" + c.entryPath;
    EXPECT_EQ(ReadFile(path), "content of the entry");
    EXPECT_THAT(f.log.Lines(), ElementsAre("#Target ARC(RLE): " + path));
    EXPECT_THAT(f.feedback.results,
                ElementsAre(std::string(c.entryName) + " decompressed sucessfully."));
}

INSTANTIATE_TEST_SUITE_P(
    Names, ExtractPath,
    ::testing::Values(
        PathCase{"Plain", "Maps.rpq", "tree.tga", "Maps/TGA/tree.tga"},
        PathCase{"StemToFirstDot", "a.b.rpq", "x.txt", "a/TXT/x.txt"},
        PathCase{"ExtensionFromLastDot", "Maps.rpq", "a.b.c", "Maps/C/a.b.c"},
        PathCase{"NoExtension", "Maps.rpq", "readme", "Maps//readme"},
        PathCase{"TrailingDot", "Maps.rpq", "x.", "Maps//x."},
        PathCase{"DotsOnly", "Maps.rpq", "...", "Maps//..."},
        PathCase{"StemWithoutDot", "Maps", "tree.tga", "/TGA/tree.tga"},
        PathCase{"StemBeginsWithDot", ".hidden.rpq", "tree.tga", "/TGA/tree.tga"},
        PathCase{"NoStemNoExtension", "Maps", "readme", "//readme"},
        PathCase{"MixedCaseExtension", "Maps.rpq", "a.TgA", "Maps/TGA/a.TgA"},
        PathCase{"AsciiUpperCaseOnly", "Maps.rpq", "b.\xC3\xA4tx", "Maps/\xC3\xA4TX/b.\xC3\xA4tx"},
        PathCase{"Spaces", "My Maps.rpq", "big tree.tga", "My Maps/TGA/big tree.tga"}),
    [](const auto& info) { return std::string(info.param.label); });

TEST(ExtractPack, Name199BytesLong) {
    const std::string name = "n." + std::string(197, 'a');
    PackBuilder pack;
    pack.Add(name, "data");
    Fixture f(pack);
    f.Extract();
    const std::string path = f.target + "/Maps/" + std::string(197, 'A') + "/" + name;
    EXPECT_EQ(ReadFile(path), "data");
    EXPECT_THAT(f.log.Lines(), ElementsAre("#Target ARC(RLE): " + path));
}

TEST(ExtractPack, NameFieldWithoutNulTakesAll200Bytes) {
    PackBuilder pack;
    test::PackEntrySpec e;
    e.name = "a.txt";
    e.raw = "data";
    e.nameWithoutNul = true;  // "a.txt" then 'x' up to byte 200
    pack.Add(e);
    Fixture f(pack);
    f.Extract();
    const std::string name = "a.txt" + std::string(195, 'x');
    const std::string path = f.target + "/Maps/" + AnsiUpperCase(name.substr(2)) + "/" + name;
    EXPECT_EQ(ReadFile(path), "data");
    EXPECT_THAT(f.log.Lines(), ElementsAre("#Target ARC(RLE): " + path));
}

TEST(ExtractPack, ExtensionsDifferingInCaseShareOneDirectory) {
    PackBuilder pack;
    pack.Add("a.tga", "first").Add("b.TGA", "second").Add("c.Tga", "third");
    Fixture f(pack);
    f.Extract();
    EXPECT_EQ(Tree(f.target), (std::set<std::string>{"Maps/", "Maps/TGA/", "Maps/TGA/a.tga",
                                                     "Maps/TGA/b.TGA", "Maps/TGA/c.Tga"}));
    EXPECT_EQ(ReadFile(f.target + "/Maps/TGA/b.TGA"), "second");
}

TEST(ExtractPack, RecordWithoutDataWritesNothingButCountsInProgress) {
    PackBuilder pack;
    pack.AddEmpty("skip.dat").Add("a.txt", "text").AddEmpty("again.wav");
    Fixture f(pack);
    f.Extract();
    EXPECT_EQ(Tree(f.target), (std::set<std::string>{"Maps/", "Maps/TXT/", "Maps/TXT/a.txt"}));
    EXPECT_THAT(f.feedback.results, ElementsAre("a.txt decompressed sucessfully."));
    EXPECT_EQ(f.log.Count(), 1);
    EXPECT_THAT(f.feedback.messages,
                ElementsAre("Processing Maps.rpq ...", "Decompressing a.txt from Maps.rpq ..."));
    EXPECT_EQ(f.feedback.position, 3);
    EXPECT_EQ(f.feedback.maximum, 2);
    EXPECT_EQ(f.feedback.progressCalls, 4);  // the start, then once per record
    EXPECT_EQ(f.feedback.processCalls, 3);
}

TEST(ExtractPack, WrongSizeIsReportedAndTheFileKept) {
    PackBuilder pack;
    test::PackEntrySpec e;
    e.name = "short.bin";
    e.raw = "12345";
    e.unpackedSize = 6;
    pack.Add(e);
    Fixture f(pack);
    f.Extract();
    EXPECT_THAT(f.feedback.results, ElementsAre("short.bin wrong size."));
    EXPECT_EQ(ReadFile(f.target + "/Maps/BIN/short.bin"), "12345");
    EXPECT_THAT(f.log.Lines(),
                ElementsAre("#Target ARC(RLE): " + f.target + "/Maps/BIN/short.bin"));
}

TEST(ExtractPack, DuplicateNamesLaterFileWinsBothAreLogged) {
    PackBuilder pack;
    pack.Add("same.txt", "first").Add("same.txt", "second");
    Fixture f(pack);
    f.Extract();
    const std::string path = f.target + "/Maps/TXT/same.txt";
    EXPECT_EQ(ReadFile(path), "second");
    EXPECT_THAT(f.feedback.results, ElementsAre("same.txt decompressed sucessfully.",
                                                "same.txt decompressed sucessfully."));
    EXPECT_THAT(f.log.Lines(),
                ElementsAre("#Target ARC(RLE): " + path, "#Target ARC(RLE): " + path));
}

TEST(ExtractPack, ExtractingAgainReplacesFilesAndKeepsDirectories) {
    PackBuilder pack;
    pack.Add("a.txt", "original").Add("b.tga", "picture");
    Fixture f(pack);
    f.Extract();
    WriteFile(f.target + "/Maps/TXT/a.txt", "edited by hand, longer than before");
    WriteFile(f.target + "/Maps/TXT/extra.txt", "kept");
    f.Extract();
    EXPECT_EQ(ReadFile(f.target + "/Maps/TXT/a.txt"), "original");
    EXPECT_EQ(ReadFile(f.target + "/Maps/TXT/extra.txt"), "kept");
    EXPECT_EQ(Tree(f.target),
              (std::set<std::string>{"Maps/", "Maps/TXT/", "Maps/TXT/a.txt", "Maps/TXT/extra.txt",
                                     "Maps/TGA/", "Maps/TGA/b.tga"}));
    EXPECT_EQ(f.log.Count(), 4);
}

TEST(ExtractPack, BlocksOutOfOrderWithGapsAreFoundByTheirOffsets) {
    PackBuilder pack;
    const std::string big = test::MakeContent(test::ContentKind::AssetLike, 5000, 3);
    pack.Add("one.bin", big).AddEmpty("none.bin").Add("two.bin", "second").Add("three.bin", "");
    pack.Scrambled(13);
    Fixture f(pack);
    f.Extract();
    EXPECT_EQ(ReadFile(f.target + "/Maps/BIN/one.bin"), big);
    EXPECT_EQ(ReadFile(f.target + "/Maps/BIN/two.bin"), "second");
    EXPECT_EQ(ReadFile(f.target + "/Maps/BIN/three.bin"), "");
    EXPECT_THAT(f.feedback.results, ElementsAre("one.bin decompressed sucessfully.",
                                                "two.bin decompressed sucessfully.",
                                                "three.bin decompressed sucessfully."));
}

TEST(ExtractPack, EmptyPackCreatesItsDirectoryAndNothingElse) {
    Fixture f(PackBuilder{});
    f.Extract();
    EXPECT_EQ(Tree(f.target), (std::set<std::string>{"Maps/"}));
    EXPECT_TRUE(f.feedback.results.empty());
    EXPECT_TRUE(f.log.Empty());
    EXPECT_EQ(f.feedback.position, 0);
    EXPECT_EQ(f.feedback.maximum, -1);
    EXPECT_THAT(f.feedback.messages, ElementsAre("Processing Maps.rpq ..."));
}

TEST(ExtractPack, StopRequestEndsBetweenEntriesLeavingWholeFiles) {
    PackBuilder pack;
    pack.Add("a.txt", "1").Add("b.txt", "2").Add("c.txt", "3");
    Fixture f(pack);
    f.feedback.stopAfter = 1;
    EXPECT_THROW(f.Extract(), EStopped);
    EXPECT_EQ(Tree(f.target), (std::set<std::string>{"Maps/", "Maps/TXT/", "Maps/TXT/a.txt"}));
    EXPECT_THAT(f.feedback.results, ElementsAre("a.txt decompressed sucessfully."));
    EXPECT_EQ(f.log.Count(), 1);
}

TEST(ExtractPack, StopAfterTheLastEntryFinishesNormally) {
    PackBuilder pack;
    pack.Add("a.txt", "1").Add("b.txt", "2");
    Fixture f(pack);
    f.feedback.stopAfter = 2;
    EXPECT_NO_THROW(f.Extract());
    EXPECT_EQ(f.log.Count(), 2);
}

TEST(ExtractPack, MissingPackCreatesNothing) {
    TempDir tmp;
    TTCodec codec;
    StringList log;
    Recorder feedback;
    EXPECT_EQ(ErrorText<EFOpenError>(
                  [&] { ExtractPack(tmp / "nope.rpq", tmp.path(), codec, log, feedback); }),
              "Cannot open file " + tmp / "nope.rpq");
    EXPECT_TRUE(Tree(tmp.path()).empty());
    EXPECT_TRUE(feedback.messages.empty());
}

// The entry file cannot be created: the error names the entry path, and no temporary file stays.
TEST(ExtractPack, UncreatableEntryFileNamesThePath) {
    struct Case {
        const char* label;
        const char* blocker;  // what is in the way, relative to the target
        bool directory;
    };
    for (const Case& c : {Case{"ExtensionDirectoryIsAFile", "Maps/TXT", false},
                          Case{"EntryPathIsADirectory", "Maps/TXT/b.txt", true}}) {
        SCOPED_TRACE(c.label);
        PackBuilder pack;
        pack.Add("a.txt", "first").Add("b.txt", "second");
        Fixture f(pack);
        fs::create_directories(f.target + "/Maps");
        if (c.directory) {
            fs::create_directories(f.target + "/" + c.blocker);
        } else {
            WriteFile(f.target + "/" + c.blocker, "in the way");
        }
        const std::set<std::string> before = Tree(f.target);
        const std::string text = ErrorText<EFCreateError>([&] { f.Extract(); });
        if (c.directory) {
            EXPECT_EQ(text, "Cannot create file " + f.target + "/Maps/TXT/b.txt");
            std::set<std::string> expected = before;
            expected.insert("Maps/TXT/a.txt");
            EXPECT_EQ(Tree(f.target), expected);
            EXPECT_EQ(f.log.Count(), 1);
        } else {
            EXPECT_EQ(text, "Cannot create file " + f.target + "/Maps/TXT/a.txt");
            EXPECT_EQ(Tree(f.target), before);
            EXPECT_EQ(f.log.Count(), 0);
        }
    }
}

// Names that would leave their directory, or split their target line, are refused before
// anything is written for them; entries before them are extracted as usual.
struct UnsafeNameCase {
    const char* label;
    std::string name;
    std::string quoted;
};

// Test output names the case by its label, not by its bytes.
void PrintTo(const UnsafeNameCase& c, std::ostream* os) {
    *os << c.label;
}

class ExtractUnsafeName : public ::testing::TestWithParam<UnsafeNameCase> {};

TEST_P(ExtractUnsafeName, IsRefusedNamingEntryAndPack) {
    const UnsafeNameCase& c = GetParam();
    TempDir tmp;
    const std::string packPath = tmp / "in/Maps.rpq";
    const std::string target = tmp / "in/out";
    fs::create_directories(target);
    WriteFile(tmp / "sentinel", "untouched");
    PackBuilder pack;
    pack.Add("ok.txt", "fine").Add(c.name, "escape attempt").Add("later.txt", "never");
    pack.Write(packPath);

    TTCodec codec;
    StringList log;
    Recorder feedback;
    EXPECT_EQ(ErrorText<EPackError>([&] { ExtractPack(packPath, target, codec, log, feedback); }),
              "Unsafe entry name " + c.quoted + " in pack " + packPath);
    EXPECT_EQ(Tree(tmp.path()),
              (std::set<std::string>{"sentinel", "in/", "in/Maps.rpq", "in/out/", "in/out/Maps/",
                                     "in/out/Maps/TXT/", "in/out/Maps/TXT/ok.txt"}));
    EXPECT_EQ(ReadFile(tmp / "sentinel"), "untouched");
    EXPECT_THAT(feedback.results, ElementsAre("ok.txt decompressed sucessfully."));
    EXPECT_EQ(log.Count(), 1);
}

INSTANTIATE_TEST_SUITE_P(
    Names, ExtractUnsafeName,
    ::testing::Values(UnsafeNameCase{"ParentThenName", "../x", "\"../x\""},
                      UnsafeNameCase{"DeepParent", "../../../sentinel", "\"../../../sentinel\""},
                      UnsafeNameCase{"Parent", "..", "\"..\""},
                      UnsafeNameCase{"Current", ".", "\".\""},
                      UnsafeNameCase{"Absolute", "/tmp/x.txt", "\"/tmp/x.txt\""},
                      UnsafeNameCase{"Subdirectory", "TXT/x.txt", "\"TXT/x.txt\""},
                      UnsafeNameCase{"Empty", "", "\"\""},
                      UnsafeNameCase{"LineBreak", "a.txt\r\n#Target ARC(RLE): /etc/passwd",
                                     "\"a.txt\\r\\n#Target ARC(RLE): /etc/passwd\""},
                      UnsafeNameCase{"Tab", "a\tb.txt", "\"a\\tb.txt\""},
                      UnsafeNameCase{"Escape", "a\x1b[2Jb.txt", "\"a\\x1B[2Jb.txt\""},
                      UnsafeNameCase{"Delete", "a\x7f.txt", "\"a\\x7F.txt\""}),
    [](const auto& info) { return std::string(info.param.label); });

TEST(ExtractPack, UnsafeNameWithoutDataIsHarmlessAndSkipped) {
    PackBuilder pack;
    pack.AddEmpty("../x").Add("a.txt", "fine");
    Fixture f(pack);
    f.Extract();
    EXPECT_EQ(Tree(f.target), (std::set<std::string>{"Maps/", "Maps/TXT/", "Maps/TXT/a.txt"}));
}

// Damaged packs: the error each gets, with the entries before the damage extracted and no file,
// whole or partial, for the damaged entry.
struct DamageCase {
    const char* label;
    std::string pack;     // the whole pack file
    std::string message;  // the error's text
};

// Test output names the case by its label, not by its bytes.
void PrintTo(const DamageCase& c, std::ostream* os) {
    *os << c.label;
}

std::string Bytes(std::initializer_list<int> bytes) {
    std::string s;
    for (int b : bytes)
        s.push_back(static_cast<char>(b));
    return s;
}

// A good entry "a.txt" followed by "bad.bin" whose record `edit` changes.
std::string PackWithBadSecond(void (*edit)(test::PackEntrySpec&)) {
    PackBuilder pack;
    pack.Add("a.txt", "fine");
    test::PackEntrySpec e;
    e.name = "bad.bin";
    e.raw = "payload payload payload";
    edit(e);
    pack.Add(e);
    return pack.Build();
}

std::vector<DamageCase> DamageCases() {
    const std::string readError = "Stream read error";
    std::string cutInDirectory = PackBuilder().Add("a.txt", "x").Add("b.txt", "y").Build();
    cutInDirectory.resize(4 + 216 + 100);
    std::string cutInData = PackBuilder().Add("a.txt", "fine").Add("bad.bin", "0123456789").Build();
    cutInData.resize(cutInData.size() - 3);
    return {
        {"EmptyFile", "", readError},
        {"ThreeBytes", Bytes({1, 0, 0}), readError},
        {"CountFFFFFFFF", Bytes({0xFF, 0xFF, 0xFF, 0xFF}), readError},
        {"CountFFFFFFFFWithOneRecord", PackBuilder().Add("a.txt", "x").Count(0xFFFFFFFF).Build(),
         readError},
        {"CutInsideDirectory", cutInDirectory, readError},
        {"CutInsideData", cutInData, readError},
        {"OffsetPastEnd", PackWithBadSecond([](test::PackEntrySpec& e) { e.offset = 100000; }),
         readError},
        {"OffsetNear2To31",
         PackWithBadSecond([](test::PackEntrySpec& e) { e.offset = 0x7FFFFFF0; }), readError},
        {"NegativeOffset", PackWithBadSecond([](test::PackEntrySpec& e) { e.offset = -8; }),
         readError},
        {"SizePastEnd",
         PackWithBadSecond([](test::PackEntrySpec& e) { e.packedSize = 0x7FFFFFFF; }), readError},
        {"NegativeSize", PackWithBadSecond([](test::PackEntrySpec& e) { e.packedSize = -1; }),
         readError},
        {"LiteralRecordPastData", PackWithBadSecond([](test::PackEntrySpec& e) {
             e.stored = Bytes({5, 'a', 'b'});
         }),
         readError},
        {"LiteralRecordAfterNul", PackWithBadSecond([](test::PackEntrySpec& e) {
             e.stored = Bytes({3, 0});
         }),
         readError},
    };
}

class ExtractDamaged : public ::testing::TestWithParam<DamageCase> {};

TEST_P(ExtractDamaged, FailsCleanly) {
    const DamageCase& c = GetParam();
    TempDir tmp;
    const std::string packPath = tmp / "Maps.rpq";
    const std::string target = tmp / "out";
    fs::create_directory(target);
    WriteFile(packPath, c.pack);
    TTCodec codec;
    StringList log;
    Recorder feedback;
    EXPECT_EQ(ErrorText<Error>([&] { ExtractPack(packPath, target, codec, log, feedback); }),
              c.message);
    // Nothing but whole files of entries before the damage.
    for (const std::string& path : Tree(target)) {
        EXPECT_THAT(path, ::testing::AnyOf("Maps/", "Maps/TXT/", "Maps/TXT/a.txt")) << path;
    }
    if (fs::exists(target + "/Maps/TXT/a.txt")) {
        EXPECT_EQ(ReadFile(target + "/Maps/TXT/a.txt"), "fine");
    }
    EXPECT_EQ(log.Count(), static_cast<int>(feedback.results.size()));
}

INSTANTIATE_TEST_SUITE_P(Packs, ExtractDamaged, ::testing::ValuesIn(DamageCases()),
                         [](const auto& info) { return std::string(info.param.label); });

// An entry that would decode past the format's 2^31-1 bytes is refused before it is decoded.
TEST(ExtractPack, EntryDecodingPast2To31IsRefused) {
    // Each FF 41 record makes 130 bytes: 16519105 of them make 2147483650 bytes.
    std::string stored;
    const size_t records = 16519105;
    stored.reserve(records * 2 + 1);
    for (size_t i = 0; i < records; ++i)
        stored += "\xFF\x41";
    stored.push_back('\0');
    PackBuilder pack;
    pack.Add("a.txt", "fine").AddStored("huge.bin", stored, 0x7FFFFFFF);
    Fixture f(pack);
    EXPECT_EQ(
        ErrorText<EPackError>([&] { f.Extract(); }),
        "Entry \"huge.bin\" in pack " + f.packPath + " decodes to more than 2147483647 bytes");
    EXPECT_EQ(Tree(f.target), (std::set<std::string>{"Maps/", "Maps/TXT/", "Maps/TXT/a.txt"}));
}

TEST(PackNames, StemAndExtension) {
    EXPECT_EQ(PackStem("/d/Maps.rpq"), "Maps");
    EXPECT_EQ(PackStem("/d.x/a.b.rpq"), "a");
    EXPECT_EQ(PackStem("/d.x/Maps"), "");
    EXPECT_EQ(PackStem("/d/.rpq"), "");
    EXPECT_EQ(EntryExtension("tree.tga"), ".tga");
    EXPECT_EQ(EntryExtension("a.b.c"), ".c");
    EXPECT_EQ(EntryExtension("readme"), "");
    EXPECT_EQ(EntryExtension("a.b/c"), "");
    EXPECT_EQ(EntryPath("/T", "/d/Maps.rpq", "tree.tga"), "/T/Maps/TGA/tree.tga");
    EXPECT_EQ(EntryPath("/T", "/d/Maps", "readme"), "/T///readme");
}

TEST(PackFormat, EntryNameStopsAtFirstNul) {
    TPackEntry e;
    const char field[] = "abc\0def";
    std::copy(field, field + sizeof field, e.Name.begin());
    EXPECT_EQ(e.EntryName(), "abc");
    e.Name.fill('z');
    EXPECT_EQ(e.EntryName(), std::string(200, 'z'));
}

TEST(PackFormat, HeadRoundTripsLittleEndian) {
    TPackEntry e;
    e.Offset = 0x01020304;
    e.Opaque = 0xA1B2C3D4;
    e.PackedSize = -2;
    e.UnpackedSize = 0x7FFFFFFF;
    uint8_t head[16];
    EncodeHead(e, head);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(head), 16),
              Bytes({4, 3, 2, 1, 0xD4, 0xC3, 0xB2, 0xA1, 0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
                     0x7F}));
    TPackEntry back;
    DecodeHead(head, back);
    EXPECT_EQ(back.Offset, e.Offset);
    EXPECT_EQ(back.Opaque, e.Opaque);
    EXPECT_EQ(back.PackedSize, e.PackedSize);
    EXPECT_EQ(back.UnpackedSize, e.UnpackedSize);
}

// A write that fails part way (here the file-size limit; a full disk behaves alike) leaves no
// truncated file under the entry's name and no temporary file beside it.
class FileSizeLimit {
  public:
    explicit FileSizeLimit(rlim_t bytes) {
        ::getrlimit(RLIMIT_FSIZE, &saved_);
        previous_ = ::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = saved_;
        limit.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &saved_);
        ::signal(SIGXFSZ, previous_);
    }

  private:
    rlimit saved_{};
    void (*previous_)(int) = nullptr;
};

TEST(ExtractPack, FailedWriteLeavesNoPartialFile) {
    PackBuilder pack;
    const std::string big = test::MakeContent(test::ContentKind::Random, 300000, 4);
    pack.Add("small.txt", "fine").Add("big.bin", big);
    Fixture f(pack);
    fs::create_directories(f.target + "/Maps/BIN");
    WriteFile(f.target + "/Maps/BIN/big.bin", "the previous extraction");
    std::string text;
    {
        FileSizeLimit limit(100000);
        text = ErrorText<Error>([&] { f.Extract(); });
    }
    EXPECT_EQ(text, "Stream write error");
    EXPECT_EQ(ReadFile(f.target + "/Maps/BIN/big.bin"), "the previous extraction");
    EXPECT_EQ(Tree(f.target), (std::set<std::string>{"Maps/", "Maps/TXT/", "Maps/TXT/small.txt",
                                                     "Maps/BIN/", "Maps/BIN/big.bin"}));
    EXPECT_THAT(f.feedback.results, ElementsAre("small.txt decompressed sucessfully."));
    EXPECT_EQ(f.log.Count(), 1);
}

}  // namespace
}  // namespace rpq
