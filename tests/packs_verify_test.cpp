// Looking into packs without writing: the listing and the check of every entry.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "packs/verify.h"
#include "tests/support/pack_builder.h"
#include "toolkit/errors.h"
#include "toolkit/streams.h"

namespace rpq {
namespace {

using test::PackBuilder;

MemoryStream InMemory(const std::string& bytes) {
    MemoryStream s;
    s.Write(bytes.data(), bytes.size());
    s.Seek(0);
    return s;
}

std::vector<std::string> Problems(const std::string& pack, uint32_t* count = nullptr) {
    MemoryStream s = InMemory(pack);
    std::vector<std::string> out;
    for (const EntryProblem& p : VerifyPack(s, count)) {
        out.push_back(std::to_string(p.Index) + " " + p.Name + ": " + p.Problem);
    }
    return out;
}

TEST(VerifyPack, WellFormedPackHasNoProblems) {
    PackBuilder pack;
    pack.Add("a.tga", test::MakeContent(test::ContentKind::AssetLike, 4000, 5));
    pack.AddEmpty("none").Add("b.txt", "").Add("c.wav", "sound").Scrambled(4);
    uint32_t count = 0;
    EXPECT_TRUE(Problems(pack.Build(), &count).empty());
    EXPECT_EQ(count, 4u);
}

TEST(VerifyPack, ReportsEveryDamagedEntryAndGoesOn) {
    PackBuilder pack;
    pack.Add("good.txt", "fine");
    pack.AddStored("cut.bin",
                   "\x05"
                   "ab",
                   5);
    pack.AddStored("long.bin",
                   "\x80"
                   "A",
                   2);
    test::PackEntrySpec past;
    past.name = "past.bin";
    past.raw = "x";
    past.offset = 9000;
    pack.Add(past);
    test::PackEntrySpec negative;
    negative.name = "neg.bin";
    negative.raw = "x";
    negative.packedSize = -4;
    pack.Add(negative);
    pack.Add("../up.txt", "escape");
    pack.Add("", "nameless");
    pack.AddEmpty("../harmless");  // no data: nothing would be written for it
    pack.Add("also good.txt", "fine too");
    const std::string bytes = pack.Build();
    const std::string size = std::to_string(bytes.size());
    // neg.bin's block follows those of good.txt, cut.bin, long.bin and past.bin.
    const std::string negOffset = std::to_string(4 + 9 * 216 + 6 + 3 + 2 + 3);
    EXPECT_THAT(
        Problems(bytes),
        ::testing::ElementsAre(
            "1 cut.bin: damaged data: Stream read error", "2 long.bin: decodes to 3 bytes, not 2",
            "3 past.bin: data past the end of the pack (offset 9000, packed size 3, pack " + size +
                " bytes)",
            "4 neg.bin: data past the end of the pack (offset " + negOffset +
                ", packed size -4, pack " + size + " bytes)",
            "5 ../up.txt: unsafe entry name", "6 : unsafe entry name"));
}

TEST(VerifyPack, EntryDecodingPast2To31IsReportedWithoutDecoding) {
    std::string stored;
    for (size_t i = 0; i < 16519105; ++i)
        stored += "\xFF\x41";
    PackBuilder pack;
    pack.AddStored("huge.bin", stored, 0x7FFFFFFF);
    EXPECT_THAT(Problems(pack.Build()),
                ::testing::ElementsAre("0 huge.bin: decodes to more than 2147483647 bytes"));
}

TEST(VerifyPack, CutCountOrDirectoryIsAReadError) {
    std::string cut = PackBuilder().Add("a", "1").Add("b", "2").Build();
    cut.resize(300);
    for (const std::string& bytes :
         {std::string(), std::string(3, '\0'), std::string(4, '\xFF'), cut}) {
        MemoryStream s = InMemory(bytes);
        EXPECT_THROW(VerifyPack(s), EReadError) << bytes.size();
    }
}

TEST(ListPack, GivesCountAndEveryRecord) {
    char tmpl[] = "/tmp/rpq-list-XXXXXX";
    const std::string dir = ::mkdtemp(tmpl);
    const std::string path = dir + "/Maps.rpq";
    PackBuilder pack;
    pack.Add("a.txt", "aaaaaa", 5).AddEmpty("b").Add("c.tga", "ccc");
    pack.Write(path);
    const PackListing listing = ListPack(path);
    EXPECT_EQ(listing.EntryCount, 3u);
    ASSERT_EQ(listing.Entries.size(), 3u);
    EXPECT_EQ(listing.Entries[0].EntryName(), "a.txt");
    EXPECT_EQ(listing.Entries[0].Offset, 652);
    EXPECT_EQ(listing.Entries[0].PackedSize, 3);  // 83 61 00
    EXPECT_EQ(listing.Entries[0].UnpackedSize, 6);
    EXPECT_EQ(listing.Entries[0].Opaque, 5u);
    EXPECT_EQ(listing.Entries[1].PackedSize, 0);
    EXPECT_EQ(listing.Entries[2].Offset, 652 + listing.Entries[0].PackedSize);
    EXPECT_THROW(ListPack(dir + "/missing.rpq"), EFOpenError);
    std::remove(path.c_str());
    ::rmdir(dir.c_str());
}

}  // namespace
}  // namespace rpq
