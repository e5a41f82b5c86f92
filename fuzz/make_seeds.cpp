// make_seeds: writes the seed corpus of every fuzz target with the test pack builder.
//
//   make_seeds DIR     writes DIR/<target>/<seed> (DIR is fuzz/corpus in the repository)
//
// The output depends on nothing but this program, so the committed corpus can be made again.
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "codecs/codec.h"
#include "tests/support/pack_builder.h"
#include "toolkit/streams.h"

namespace {

namespace fs = std::filesystem;
using rpq::test::ContentKind;
using rpq::test::MakeContent;
using rpq::test::PackBuilder;
using rpq::test::PackEntrySpec;
using rpq::test::RleEncode;

std::string Lzss(const std::string& raw) {
    rpq::TTCodec codec;
    codec.Algorithm = rpq::algLZSS;
    rpq::MemoryStream s;
    s.Write(raw.data(), raw.size());
    s.Seek(0);
    codec.Compress(s);
    return std::string(reinterpret_cast<const char*>(s.Data()), static_cast<size_t>(s.Size()));
}

std::string Hex(std::initializer_list<int> bytes) {
    std::string s;
    for (int b : bytes)
        s.push_back(static_cast<char>(b));
    return s;
}

struct Seeds {
    std::string root;
    void Put(const std::string& target, const std::string& name, const std::string& bytes) {
        fs::create_directories(root + "/" + target);
        rpq::test::WriteFile(root + "/" + target + "/" + name, bytes);
    }
};

std::vector<std::pair<std::string, std::string>> Contents() {
    return {
        {"empty", ""},
        {"one", "A"},
        {"pair", "AA"},
        {"run3", "AAA"},
        {"run131", std::string(131, 'A')},
        {"run300", std::string(300, 'A')},
        {"literals128", MakeContent(ContentKind::Random, 128, 1)},
        {"asset", MakeContent(ContentKind::AssetLike, 600, 2)},
        {"short_records", MakeContent(ContentKind::ShortRecords, 400, 3)},
        {"mixed", "BC" + std::string(5, 'A') + "ABBC" + std::string(126, 'x') + "yy"},
    };
}

std::vector<std::pair<std::string, PackBuilder>> Packs() {
    std::vector<std::pair<std::string, PackBuilder>> packs;
    PackBuilder plain;
    plain.Add("tree.tga", MakeContent(ContentKind::AssetLike, 300, 4))
        .AddEmpty("shadow.tga")
        .Add("readme", "plain text\r\n")
        .Add("ROCK.TGA", std::string(200, 'r'));
    packs.emplace_back("plain", plain);
    PackBuilder scrambled = plain;
    scrambled.Scrambled(5);
    packs.emplace_back("scrambled", scrambled);
    packs.emplace_back("empty", PackBuilder());
    PackBuilder zero;
    zero.Add("zero.bin", "");
    packs.emplace_back("zero_entry", zero);
    PackBuilder noNul;
    PackEntrySpec e;
    e.name = "long";
    e.raw = "data";
    e.nameWithoutNul = true;
    noNul.Add(e);
    packs.emplace_back("name_without_nul", noNul);
    PackBuilder shared;
    PackEntrySpec a;
    a.name = "a.txt";
    a.raw = "shared block";
    shared.Add(a);
    PackEntrySpec b = a;
    b.name = "b.txt";
    b.offset = static_cast<int32_t>(4 + 2 * 216);
    b.stored = std::string();  // no block of its own: it points at a's
    b.packedSize = static_cast<int32_t>(RleEncode("shared block").size());
    shared.Add(b);
    packs.emplace_back("shared_block", shared);
    PackBuilder wrong;
    wrong.AddStored("wrong.dat", RleEncode("12345"), 3);
    packs.emplace_back("wrong_size", wrong);
    return packs;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_seeds DIR\n");
        return 2;
    }
    Seeds seeds{argv[1]};
    for (const auto& [name, raw] : Contents()) {
        seeds.Put("rle_roundtrip", name, raw);
        seeds.Put("lzss_roundtrip", name, raw);
        seeds.Put("rle_decode", name, RleEncode(raw));
        seeds.Put("lzss_decode", name, Lzss(raw));
    }
    // The decoder's edge cases: no terminator, a cut literal, a run byte at the end, a 0x00 in
    // the middle.
    seeds.Put("rle_decode", "no_terminator", Hex({0x03, 'A', 'B', 'C'}));
    seeds.Put("rle_decode", "cut_literal", Hex({0x05, 'A', 'B'}));
    seeds.Put("rle_decode", "run_at_end", Hex({0x02, 'A', 'A', 0x80}));
    seeds.Put("rle_decode", "zero_inside", Hex({0x01, 'A', 0x00, 0x80, 'B', 0x00}));
    seeds.Put("lzss_decode", "cut_match", Hex({0x00, 0x10}));

    for (const auto& [name, pack] : Packs()) {
        seeds.Put("verify", name, pack.Build());
        seeds.Put("extract", name, pack.Build());
    }

    const std::string log =
        "#Format: RPQ\r\n#Source: src.rpq\r\n#Target ARC(RLE): a.tga\r\n"
        "#Target ARC(RLE): gone.txt\r\n#Target ARC(RLE): z\r\n";
    seeds.Put("log_lines", "result_log", log);
    seeds.Put("log_lines", "project_list", "one.log\r\ntwo.log\r\n\r\nthree.log");
    seeds.Put("log_lines", "cr_only", "#Format: RPQ\r#Source: x.rpq\r#Target ARC(RLE): a\r");
    seeds.Put("log_lines", "lf_only", "#Format:   RPQ 1999\n#Source: C:\\My Packs\\x.rpq\n");
    seeds.Put("log_lines", "long_word", "#Source: " + std::string(300, 'p') + "\r\n");
    seeds.Put("replay", "rebuild", log);
    seeds.Put("replay", "two_groups",
              log + "#Format: RPQ\r\n#Source: src.rpq\r\n#Target ARC(RLE): d\r\n");
    seeds.Put("replay", "too_few_lines",
              "#Format: RPQ\r\n#Source: src.rpq\r\n#Target x: b.txt\r\n");
    seeds.Put("replay", "no_format", "#Source: src.rpq\r\n#Target ARC(RLE): a.tga\r\n");
    seeds.Put("replay", "missing_pack", "#Format: RPQ\r\n#Source: gone.rpq\r\n");
    // An odd last byte makes the fixture directory the target: the rebuild must refuse it.
    seeds.Put("replay", "target_is_source", log + "#Source: src.rpq");
    return 0;
}
