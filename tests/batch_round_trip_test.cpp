// Extract, edit, insert, extract again: what a modder does with the tool.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "packs/pack_format.h"
#include "tests/batch_fixture.h"
#include "toolkit/streams.h"

namespace rpq::test {
namespace {

class RoundTripTest : public BatchTest {};

struct Entry {
    std::string name;
    std::string raw;  // empty: no data
    uint32_t opaque;
    std::string dir;  // extension directory
};

std::vector<TPackEntry> Directory(const std::string& path) {
    FileStream pack(path, FileStream::Mode::OpenRead);
    const uint32_t count = ReadEntryCount(pack);
    return ReadDirectory(pack, count);
}

TEST_F(RoundTripTest, EditedFilesComeBackAndUntouchedEntriesKeepTheirBytes) {
    const std::vector<Entry> entries = {
        {"tree.tga", MakeContent(ContentKind::AssetLike, 3000, 1), 11, "TGA"},
        {"rock.TGA", MakeContent(ContentKind::ShortRecords, 500, 2), 12, "TGA"},
        {"readme.txt", "Read me.\r\n", 13, "TXT"},
        {"blank.dat", "", 14, "DAT"},
        {"credits", MakeContent(ContentKind::Random, 300, 3), 15, ""},
        {"click.wav", MakeContent(ContentKind::Constant, 900, 4), 16, "WAV"},
    };
    PackBuilder builder;
    for (const Entry& e : entries) {
        if (e.raw.empty()) {
            builder.AddEmpty(e.name, e.opaque);
        } else {
            builder.Add(e.name, e.raw, e.opaque);
        }
    }
    const std::string source = Path("Data/Sample.rpq");
    builder.Write(source);

    const std::string out = Path("Out");
    ASSERT_EQ(Run({source}, ikPack, out), RunOutcome::Completed);
    const auto fileOf = [](const std::string& dir, const Entry& e) {
        return dir + "/Sample/" + e.dir + (e.dir.empty() ? "" : "/") + e.name;
    };

    // Edit one file (new length too), empty another, delete a third.
    const std::string editedTree = MakeContent(ContentKind::AssetLike, 4500, 99);
    WriteFile(fileOf(out, entries[0]), editedTree);
    WriteFile(fileOf(out, entries[1]), "");
    std::filesystem::remove(fileOf(out, entries[2]));

    const std::string insert = Path("New");
    ASSERT_EQ(Run({out + "/result.log"}, ikLog, insert), RunOutcome::Completed);
    EXPECT_EQ(recorder_.results,
              (std::vector<std::string>{
                  "tree.tga compressed succesfull.", "rock.TGA compressed succesfull.",
                  "readme.txt inserted from source.", "credits compressed succesfull.",
                  "click.wav compressed succesfull."}));

    const std::string rebuilt = insert + "/Sample.rpq";
    const std::vector<TPackEntry> before = Directory(source), after = Directory(rebuilt);
    ASSERT_EQ(after.size(), entries.size());
    for (size_t i = 0; i < entries.size(); ++i) {
        SCOPED_TRACE(entries[i].name);
        EXPECT_EQ(after[i].EntryName(), entries[i].name);
        EXPECT_EQ(after[i].Name, before[i].Name);
        EXPECT_EQ(after[i].Opaque, entries[i].opaque);
    }
    EXPECT_EQ(after[3].PackedSize, 0);
    // The deleted file's entry keeps the source's stored block, byte for byte.
    const std::string sourceBytes = ReadFile(source), rebuiltBytes = ReadFile(rebuilt);
    EXPECT_EQ(rebuiltBytes.substr(after[2].Offset, after[2].PackedSize),
              sourceBytes.substr(before[2].Offset, before[2].PackedSize));

    const std::string again = Path("Again");
    ASSERT_EQ(Run({rebuilt}, ikPack, again), RunOutcome::Completed);
    EXPECT_EQ(ReadFile(fileOf(again, entries[0])), editedTree);
    EXPECT_EQ(ReadFile(fileOf(again, entries[1])), "");
    EXPECT_EQ(ReadFile(fileOf(again, entries[2])), entries[2].raw);
    EXPECT_EQ(ReadFile(fileOf(again, entries[4])), entries[4].raw);
    EXPECT_EQ(ReadFile(fileOf(again, entries[5])), entries[5].raw);
    EXPECT_FALSE(std::filesystem::exists(fileOf(again, entries[3])));
    for (const std::string& line : recorder_.results) {
        EXPECT_TRUE(line.ends_with(" decompressed sucessfully.")) << line;
    }
}

}  // namespace
}  // namespace rpq::test
