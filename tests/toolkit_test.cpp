// The platform layer: streams, string lists, file helpers and the exact error texts.
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "tests/support/pack_builder.h"
#include "tests/support/test_util.h"
#include "toolkit/errors.h"
#include "toolkit/files.h"
#include "toolkit/streams.h"
#include "toolkit/string_list.h"

namespace rpq {
namespace {

using test::ErrorText;
using test::ReadFile;
using test::TempDir;
using test::WriteFile;
using ::testing::ElementsAre;

// The names directly in `dir`.
std::vector<std::string> List(const TempDir& dir) {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(dir.path()))
        names.push_back(e.path().filename().string());
    return names;
}

// ---- string list ----------------------------------------------------------------------------

struct SplitCase {
    std::string text;
    std::vector<std::string> lines;
};

class StringListSplit : public ::testing::TestWithParam<SplitCase> {};

TEST_P(StringListSplit, SplitsAtEveryLineEnd) {
    StringList list;
    list.SetText(GetParam().text);
    EXPECT_EQ(list.Lines(), GetParam().lines);
}

INSTANTIATE_TEST_SUITE_P(
    LineEnds, StringListSplit,
    ::testing::Values(SplitCase{"", {}}, SplitCase{"a\r\nb\r\n", {"a", "b"}},
                      SplitCase{"a\r\nb", {"a", "b"}},  // no line end after the last line
                      SplitCase{"a\nb\n", {"a", "b"}}, SplitCase{"a\rb\r", {"a", "b"}},
                      SplitCase{"a\r\n\r\nb\r\n", {"a", "", "b"}},  // empty lines are kept
                      SplitCase{"a\n\rb", {"a", "", "b"}},          // LF then a lone CR: two ends
                      SplitCase{"\r\n", {""}},
                      SplitCase{std::string("a\r\nb\0c\r\nd", 9), {"a", "b"}}));  // stops at NUL

TEST(StringList, SavesEveryLineWithCrLfAndLoadsItBack) {
    TempDir dir;
    StringList list{"#Format: ", "", "x y"};
    list.SaveToFile(dir / "l.lst");
    EXPECT_EQ(ReadFile(dir / "l.lst"), "#Format: \r\n\r\nx y\r\n");
    StringList back;
    back.LoadFromFile(dir / "l.lst");
    EXPECT_EQ(back, list);
    // Saving replaces the file and leaves no temporary file beside it.
    StringList{"one"}.SaveToFile(dir / "l.lst");
    EXPECT_EQ(ReadFile(dir / "l.lst"), "one\r\n");
    EXPECT_THAT(List(dir), ElementsAre("l.lst"));
}

TEST(StringList, ErrorsCarryTheirExactTexts) {
    StringList list{"a", "b"};
    EXPECT_EQ(ErrorText<EListError>([&] { list.Get(2); }), "List index out of bounds (2)");
    EXPECT_EQ(ErrorText<EListError>([&] { list.Put(-1, "x"); }), "List index out of bounds (-1)");
    EXPECT_EQ(ErrorText<EFOpenError>([&] { list.LoadFromFile("/nonexistent/r.log"); }),
              "Cannot open file /nonexistent/r.log");
    EXPECT_EQ(ErrorText<EFCreateError>([&] { list.SaveToFile("/nonexistent/r.log"); }),
              "Cannot create file /nonexistent/r.log");
}

TEST(StringList, FindsCaselessOrExact) {
    StringList list{".tga", ".Wav"};
    EXPECT_EQ(list.IndexOf(".TGA"), -1);
    EXPECT_EQ(list.IndexOfCaseless(".TGA"), 0);
    EXPECT_EQ(list.IndexOfCaseless(".wav"), 1);
    EXPECT_EQ(list.IndexOfCaseless(".txt"), -1);
}

// ---- memory stream --------------------------------------------------------------------------

TEST(MemoryStream, ReadPastTheEndFailsWithoutConsuming) {
    MemoryStream s;
    s.Write("abc", 3);
    s.Seek(1);
    char buf[8];
    EXPECT_EQ(ErrorText<EReadError>([&] { s.ReadBuffer(buf, 3); }), "Stream read error");
    EXPECT_EQ(s.Position(), 1);
    s.ReadBuffer(buf, 2);
    EXPECT_EQ(std::string(buf, 2), "bc");
    EXPECT_THROW(s.ReadByte(), EReadError);
}

TEST(MemoryStream, CopyFromAShortSourceAllocatesNothing) {
    MemoryStream src, dst;
    src.Write("hello", 5);
    src.Seek(0);
    EXPECT_THROW(dst.CopyFrom(src, int64_t{1} << 40), EReadError);
    EXPECT_EQ(dst.Capacity(), 0u);
    EXPECT_EQ(src.Position(), 0);
    dst.CopyFrom(src, 5);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(dst.Data()), 5), "hello");
}

TEST(MemoryStream, WritePastTheEndFillsTheGapWithZeros) {
    MemoryStream s;
    s.Write("a", 1);
    s.Seek(4);
    s.Write("b", 1);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(s.Data()), 5), std::string("a\0\0\0b", 5));
    s.Clear();
    EXPECT_EQ(s.Size(), 0);
    EXPECT_EQ(s.Capacity(), 0u);
}

// ---- file stream ----------------------------------------------------------------------------

TEST(FileStream, OpenAndCreateErrorsNameThePath) {
    TempDir dir;
    EXPECT_EQ(ErrorText<EFOpenError>([&] { FileStream(dir / "none", FileStream::Mode::OpenRead); }),
              "Cannot open file " + (dir / "none"));
    EXPECT_EQ(ErrorText<EFCreateError>([&] { FileStream(dir / "no/x", FileStream::Mode::Create); }),
              "Cannot create file " + (dir / "no/x"));
    // A directory is not a file, in any mode.
    EXPECT_THROW(FileStream(dir.path(), FileStream::Mode::OpenRead), EFOpenError);
}

TEST(FileStream, ReadWriteOpenIsExclusive) {
    TempDir dir;
    WriteFile(dir / "p.rpq", "data");
    FileStream first(dir / "p.rpq", FileStream::Mode::OpenReadWrite);
    EXPECT_THROW(FileStream(dir / "p.rpq", FileStream::Mode::OpenReadWrite), EFOpenError);
    FileStream reader(dir / "p.rpq", FileStream::Mode::OpenRead);  // readers are admitted
    EXPECT_EQ(reader.Size(), 4);
}

TEST(FileStream, ReadsAndWritesAtItsPosition) {
    TempDir dir;
    FileStream f(dir / "f", FileStream::Mode::Create);
    f.Write("0123456789", 10);
    f.Seek(4);
    f.Write("ab", 2);
    EXPECT_EQ(f.Position(), 6);
    f.Seek(8);
    char buf[4];
    EXPECT_THROW(f.ReadBuffer(buf, 3), EReadError);
    EXPECT_EQ(f.Position(), 8);
    EXPECT_EQ(ErrorText<EReadError>([&] { f.ReadExact(buf, 3); }), "Stream read error");
    f.Seek(8);
    EXPECT_EQ(f.Read(buf, 4), 2u);
    f.Close();
    EXPECT_EQ(ReadFile(dir / "f"), "0123ab6789");
}

// ---- file helpers ---------------------------------------------------------------------------

TEST(Files, NamesAndCase) {
    EXPECT_EQ(ExtractFileName("/a/b/Maps.rpq"), "Maps.rpq");
    EXPECT_EQ(ExtractFileName("Maps.rpq"), "Maps.rpq");
    EXPECT_EQ(ExtractFileName("/a/b/"), "");
    EXPECT_EQ(ExtractFileDir("/a/b/Maps.rpq"), "/a/b");
    EXPECT_EQ(ExpandFileName("/a/./b//../c"), "/a/c");
    EXPECT_EQ(ExpandFileName("/.."), "/");
    EXPECT_EQ(ExpandFileName("x/y"), GetCurrentDir() + "/x/y");
    EXPECT_EQ(AnsiUpperCase("tga.Wav"), "TGA.WAV");
    EXPECT_EQ(AnsiUpperCase("\xC3\xA9t\xC3\xA9"), "\xC3\xA9T\xC3\xA9");  // UTF-8 bytes unchanged
}

TEST(Files, DirectoriesAndExistence) {
    TempDir dir;
    EXPECT_TRUE(ForceDirectories(dir / "a/b/c/"));
    EXPECT_TRUE(DirectoryExists(dir / "a/b/c"));
    EXPECT_FALSE(CreateDir(dir / "a"));    // exists already: reported, harmless
    EXPECT_FALSE(CreateDir(dir / "x/y"));  // missing parent
    WriteFile(dir / "f", "");
    EXPECT_FALSE(ForceDirectories(dir / "f/g"));
    ASSERT_EQ(::symlink((dir / "gone").c_str(), (dir / "dangling").c_str()), 0);
    EXPECT_TRUE(FileExists(dir / "dangling"));
    EXPECT_TRUE(FileExists(dir / "a"));
    EXPECT_FALSE(FileExists(dir / "gone"));
}

TEST(Files, SameFileSeesThroughEverySpelling) {
    TempDir dir;
    WriteFile(dir / "p.rpq", "x");
    WriteFile(dir / "q.rpq", "x");
    ASSERT_EQ(::symlink((dir / "p.rpq").c_str(), (dir / "sym.rpq").c_str()), 0);
    ASSERT_EQ(::link((dir / "p.rpq").c_str(), (dir / "hard.rpq").c_str()), 0);
    EXPECT_TRUE(SameFile(dir / "p.rpq", dir.path() + "/./p.rpq"));
    EXPECT_TRUE(SameFile(dir / "p.rpq", dir / "sym.rpq"));
    EXPECT_TRUE(SameFile(dir / "p.rpq", dir / "hard.rpq"));
    EXPECT_FALSE(SameFile(dir / "p.rpq", dir / "q.rpq"));
    EXPECT_FALSE(SameFile(dir / "p.rpq", dir / "missing"));
    FileStream open(dir / "hard.rpq", FileStream::Mode::OpenRead);
    EXPECT_TRUE(SameFile(dir / "sym.rpq", open.Handle()));
}

TEST(AtomicFile, FinalNameChangesOnlyOnCommit) {
    TempDir dir;
    WriteFile(dir / "out.rpq", "old");
    {
        AtomicFile f(dir / "out.rpq");
        f.File().Write("new data", 8);
        EXPECT_EQ(ReadFile(dir / "out.rpq"), "old");
    }  // destroyed without Commit: the temporary file goes, the old file stays
    EXPECT_EQ(ReadFile(dir / "out.rpq"), "old");
    EXPECT_THAT(List(dir), ElementsAre("out.rpq"));

    AtomicFile f(dir / "out.rpq");
    f.File().Write("new data", 8);
    f.Commit();
    EXPECT_EQ(ReadFile(dir / "out.rpq"), "new data");
    EXPECT_THAT(List(dir), ElementsAre("out.rpq"));
    struct stat st;
    ASSERT_EQ(::stat((dir / "out.rpq").c_str(), &st), 0);
    EXPECT_NE(st.st_mode & 0044, 0u);  // readable by others, like a plainly created file
    EXPECT_THROW(AtomicFile(dir / "missing/x"), EFCreateError);
}

}  // namespace
}  // namespace rpq
