// The malformed-input catalogue: damaged packs, result logs and project lists, each with the
// outcome it must get. Every row also proves that nothing was written outside the target folder
// and that the target holds exactly the files listed for the row, whole, under their final names
// (no partial file, no temporary file left behind).
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <cctype>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "batch/replay.h"
#include "batch/run.h"
#include "batch/run_state.h"
#include "codecs/codec.h"
#include "packs/extract.h"
#include "packs/pack_format.h"
#include "tests/support/pack_builder.h"
#include "tests/support/recorder.h"
#include "toolkit/errors.h"
#include "toolkit/files.h"
#include "toolkit/string_list.h"

namespace rpq {
namespace {

namespace fs = std::filesystem;
using test::PackBuilder;
using test::PackEntrySpec;
using test::ReadFile;
using test::RleEncode;
using test::WriteFile;

// What a row feeds to the tool: a pack to extract (written as in/Maps.rpq), a result log to
// replay (in/x.log) or a project list to run (in/all.lst, its lines the run's inputs).
enum class Input { Pack, Log, List };

// Every row's folder holds in/src.rpq (tree.tga, an entry without data, note.txt), the
// replacement in/tree.tga, a directory in/dir and a sentinel file; the target is out/. "$D" in
// any text of a row stands for the row's folder.
const std::string kTree = std::string(150, 't') + "rings";
const std::string kNote = "a note\r\n";
const std::string kNewTree = std::string(40, 'n') + "edited tree";

PackBuilder SourcePack() {
    PackBuilder pack;
    pack.Add("tree.tga", kTree, 7).AddEmpty("shadow.tga", 9).Add("note.txt", kNote);
    return pack;
}

// The rebuild of SourcePack() with tree.tga replaced by kNewTree.
std::string RebuiltSource() {
    PackBuilder pack;
    pack.Add("tree.tga", kNewTree, 7).AddEmpty("shadow.tga", 9).Add("note.txt", kNote);
    return pack.Build();
}

PackBuilder OneEntry(PackEntrySpec spec) {
    PackBuilder pack;
    pack.Add(std::move(spec));
    return pack;
}

PackEntrySpec Entry(std::string name, std::string raw) {
    PackEntrySpec e;
    e.name = std::move(name);
    e.raw = std::move(raw);
    return e;
}

PackEntrySpec Stored(std::string name, std::string stored, int32_t unpackedSize) {
    PackEntrySpec e = Entry(std::move(name), "");
    e.stored = std::move(stored);
    e.unpackedSize = unpackedSize;
    return e;
}

PackEntrySpec Head(std::string name, std::string raw, std::optional<int32_t> offset,
                   std::optional<int32_t> packedSize) {
    PackEntrySpec e = Entry(std::move(name), std::move(raw));
    e.offset = offset;
    e.packedSize = packedSize;
    return e;
}

std::string Bytes(std::initializer_list<int> bytes) {
    std::string s;
    for (int b : bytes)
        s.push_back(static_cast<char>(b));
    return s;
}

std::string Cut(const std::string& s, size_t size) {
    return s.substr(0, size);
}

// The stored bytes of a pack whose only entry decodes to `pairs` * 130 bytes of 'x'.
std::string LongRuns(size_t pairs) {
    std::string s(2 * pairs + 1, 'x');
    for (size_t i = 0; i < pairs; ++i)
        s[2 * i] = '\xFF';
    s.back() = '\0';
    return s;
}

std::string Log(const std::string& body) {
    return "#Format: RPQ\r\n#Source: $D/in/src.rpq\r\n" + body;
}

const std::string kLong = std::string(300, 'p');

std::string Expand(std::string text, const std::string& dir) {
    for (size_t at = text.find("$D"); at != std::string::npos; at = text.find("$D", at)) {
        text.replace(at, 2, dir);
        at += dir.size();
    }
    return text;
}

struct Row {
    const char* what;
    Input input;
    std::function<std::string()> make;         // the input's bytes
    std::string error;                         // the exact message, or "" when it must succeed
    std::vector<std::string> results;          // the results pane afterwards
    std::map<std::string, std::string> files;  // every file under out/, with its bytes
};

// Test output names the case by its label, not by its bytes.
void PrintTo(const Row& c, std::ostream* os) {
    *os << c.what;
}

const std::vector<Row>& Catalogue() {
    static const std::vector<Row> rows = {
        // ---- packs: the count, the size of the file, the directory --------------------------
        {"count 0xFFFFFFFF",
         Input::Pack,
         [] { return PackBuilder().Add("a.txt", "abc").Count(0xFFFFFFFF).Build(); },
         "Stream read error",
         {},
         {}},
        {"file of 0 bytes", Input::Pack, [] { return std::string(); }, "Stream read error", {}, {}},
        {"file of 3 bytes",
         Input::Pack,
         [] { return std::string("\x01\x00\x00", 3); },
         "Stream read error",
         {},
         {}},
        {"count 0: the pack directory and nothing else",
         Input::Pack,
         [] { return PackBuilder().Build(); },
         "",
         {},
         {}},
        {"cut inside the directory",
         Input::Pack,
         [] { return Cut(SourcePack().Build(), 4 + 216 + 100); },
         "Stream read error",
         {},
         {}},
        {"cut inside an entry's data: the entries before it stay whole",
         Input::Pack,
         [] {
             const std::string pack = SourcePack().Build();
             return Cut(pack, pack.size() - 3);
         },
         "Stream read error",
         {"tree.tga decompressed sucessfully."},
         {{"Maps/TGA/tree.tga", kTree}}},
        // ---- packs: offsets and sizes --------------------------------------------------------
        {"offset past the end",
         Input::Pack,
         [] { return OneEntry(Head("a.txt", "abc", 5000, std::nullopt)).Build(); },
         "Stream read error",
         {},
         {}},
        {"offset near 2^31",
         Input::Pack,
         [] { return OneEntry(Head("a.txt", "abc", 0x7FFFFFF0, std::nullopt)).Build(); },
         "Stream read error",
         {},
         {}},
        {"size near 2^31",
         Input::Pack,
         [] { return OneEntry(Head("a.txt", "abc", std::nullopt, 0x7FFFFFFF)).Build(); },
         "Stream read error",
         {},
         {}},
        {"size that wraps (negative)",
         Input::Pack,
         [] { return OneEntry(Head("a.txt", "abc", std::nullopt, -1)).Build(); },
         "Stream read error",
         {},
         {}},
        {"offset that wraps (negative)",
         Input::Pack,
         [] { return OneEntry(Head("a.txt", "abc", INT32_MIN, std::nullopt)).Build(); },
         "Stream read error",
         {},
         {}},
        {"offset + size past 2^31",
         Input::Pack,
         [] { return OneEntry(Head("a.txt", "abc", 0x7FFFFFFF, 0x7FFFFFFF)).Build(); },
         "Stream read error",
         {},
         {}},
        {"two entries sharing one block",
         Input::Pack,
         [] {
             PackBuilder pack;
             pack.Add("a.txt", "shared block");
             PackEntrySpec b = Head("b.txt", "shared block", 4 + 2 * 216,
                                    static_cast<int32_t>(RleEncode("shared block").size()));
             b.stored = std::string();
             return pack.Add(b).Build();
         },
         "",
         {"a.txt decompressed sucessfully.", "b.txt decompressed sucessfully."},
         {{"Maps/TXT/a.txt", "shared block"}, {"Maps/TXT/b.txt", "shared block"}}},
        // ---- packs: names --------------------------------------------------------------------
        {"Name without NUL takes all 200 bytes",
         Input::Pack,
         [] {
             PackEntrySpec e = Entry("long", "data");
             e.nameWithoutNul = true;
             return OneEntry(e).Build();
         },
         "",
         {"long" + std::string(196, 'x') + " decompressed sucessfully."},
         {{"Maps/long" + std::string(196, 'x'), "data"}}},
        {"empty name",
         Input::Pack,
         [] { return OneEntry(Entry("", "data")).Build(); },
         "Unsafe entry name \"\" in pack $D/in/Maps.rpq",
         {},
         {}},
        {"name \"..\"",
         Input::Pack,
         [] { return OneEntry(Entry("..", "data")).Build(); },
         "Unsafe entry name \"..\" in pack $D/in/Maps.rpq",
         {},
         {}},
        {"name \".\"",
         Input::Pack,
         [] { return OneEntry(Entry(".", "data")).Build(); },
         "Unsafe entry name \".\" in pack $D/in/Maps.rpq",
         {},
         {}},
        {"name climbing out with ../",
         Input::Pack,
         [] { return OneEntry(Entry("../../sentinel", "evil")).Build(); },
         "Unsafe entry name \"../../sentinel\" in pack $D/in/Maps.rpq",
         {},
         {}},
        {"absolute name",
         Input::Pack,
         [] { return OneEntry(Entry("/tmp/evil.txt", "evil")).Build(); },
         "Unsafe entry name \"/tmp/evil.txt\" in pack $D/in/Maps.rpq",
         {},
         {}},
        {"name with '/' inside",
         Input::Pack,
         [] { return OneEntry(Entry("TXT/a.txt", "data")).Build(); },
         "Unsafe entry name \"TXT/a.txt\" in pack $D/in/Maps.rpq",
         {},
         {}},
        {"name with CR LF (would split its log line)",
         Input::Pack,
         [] { return OneEntry(Entry("a\r\n#Source: x.txt", "data")).Build(); },
         "Unsafe entry name \"a\\r\\n#Source: x.txt\" in pack $D/in/Maps.rpq",
         {},
         {}},
        {"name with a control character",
         Input::Pack,
         [] { return OneEntry(Entry(std::string("bell\x07.txt"), "data")).Build(); },
         "Unsafe entry name \"bell\\x07.txt\" in pack $D/in/Maps.rpq",
         {},
         {}},
        {"unsafe name after a good entry: the good file stays whole",
         Input::Pack,
         [] {
             PackBuilder pack;
             return pack.Add("ok.txt", "fine").Add("..", "evil").Build();
         },
         "Unsafe entry name \"..\" in pack $D/in/Maps.rpq",
         {"ok.txt decompressed sucessfully."},
         {{"Maps/TXT/ok.txt", "fine"}}},
        // ---- packs: damaged data -------------------------------------------------------------
        {"literal record running past the data",
         Input::Pack,
         [] {
             return OneEntry(Stored("a.txt", Bytes({0x05, 'A', 'B'}), 5)).Build();
         },
         "Stream read error",
         {},
         {}},
        {"run control byte at the end",
         Input::Pack,
         [] {
             return OneEntry(Stored("a.txt", Bytes({0x02, 'A', 'A', 0x80}), 5)).Build();
         },
         "Stream read error",
         {},
         {}},
        {"0x00 in the middle is a record of no bytes",
         Input::Pack,
         [] {
             return OneEntry(Stored("z.bin", Bytes({0x01, 'A', 0x00, 0x80, 'B', 0x00}), 4)).Build();
         },
         "",
         {"z.bin decompressed sucessfully."},
         {{"Maps/BIN/z.bin", "ABBB"}}},
        {"data without its terminator",
         Input::Pack,
         [] {
             return OneEntry(Stored("t.txt", Bytes({0x03, 'a', 'b', 'c'}), 3)).Build();
         },
         "",
         {"t.txt decompressed sucessfully."},
         {{"Maps/TXT/t.txt", "abc"}}},
        {"entry that decodes far past its UnpackedSize",
         Input::Pack,
         [] { return OneEntry(Stored("big.bin", LongRuns(2000), 10)).Build(); },
         "",
         {"big.bin wrong size."},
         {{"Maps/BIN/big.bin", std::string(260000, 'x')}}},
        {"entry that decodes past 2^31-1 bytes is refused before decoding",
         Input::Pack,
         [] { return OneEntry(Stored("huge.bin", LongRuns(16519105), 10)).Build(); },
         "Entry \"huge.bin\" in pack $D/in/Maps.rpq decodes to more than 2147483647 bytes",
         {},
         {}},
        // ---- result logs ---------------------------------------------------------------------
        {"log rebuilding a pack (the baseline)",
         Input::Log,
         [] { return Log("#Target ARC(RLE): $D/in/tree.tga\r\n#Target ARC(RLE): $D/gone\r\n"); },
         "",
         {"tree.tga compressed succesfull.", "note.txt inserted from source."},
         {{"src.rpq", RebuiltSource()}}},
        {"log whose target path is a directory",
         Input::Log,
         [] { return Log("#Target ARC(RLE): $D/in/dir\r\n#Target ARC(RLE): $D/gone\r\n"); },
         "Cannot open file $D/in/dir",
         {},
         {}},
        {"log whose new pack's path is a directory",
         Input::Log,
         [] {
             fs::create_directories(fs::path("out") / "src.rpq");
             return Log("#Target ARC(RLE): $D/gone\r\n#Target ARC(RLE): $D/gone\r\n");
         },
         "Cannot create file $D/out/src.rpq",
         {"tree.tga inserted from source.", "note.txt inserted from source."},
         {}},
        {"log that names a missing pack",
         Input::Log,
         [] { return "#Format: RPQ\r\n#Source: $D/in/gone.rpq\r\n"; },
         "Cannot open file $D/in/gone.rpq",
         {},
         {}},
        {"log with too few target lines",
         Input::Log,
         [] { return Log("#Target ARC(RLE): $D/in/tree.tga\r\n"); },
         "List index out of bounds (3)",
         {"tree.tga compressed succesfull."},
         {}},
        {"log naming a damaged source pack",
         Input::Log,
         [] {
             WriteFile("in/cut.rpq", Cut(SourcePack().Build(), 300));
             return "#Format: RPQ\r\n#Source: $D/in/cut.rpq\r\n#Target ARC(RLE): "
                    "$D/in/tree.tga\r\n";
         },
         "Stream read error",
         {},
         {}},
        {"log with CR-only line ends",
         Input::Log,
         [] {
             return "#Format: RPQ\r#Source: $D/in/src.rpq\r#Target ARC(RLE): $D/in/tree.tga\r"
                    "#Target ARC(RLE): $D/gone\r";
         },
         "",
         {"tree.tga compressed succesfull.", "note.txt inserted from source."},
         {{"src.rpq", RebuiltSource()}}},
        {"log with LF-only line ends",
         Input::Log,
         [] {
             return "#Format: RPQ\n#Source: $D/in/src.rpq\n#Target ARC(RLE): $D/in/tree.tga\n"
                    "#Target ARC(RLE): $D/gone";
         },
         "",
         {"tree.tga compressed succesfull.", "note.txt inserted from source."},
         {{"src.rpq", RebuiltSource()}}},
        {"source line over 255 characters: the path is cut at 255",
         Input::Log,
         [] { return "#Format: RPQ\r\n#Source: " + kLong + "\r\n"; },
         "Cannot open file " + kLong.substr(0, 255),
         {},
         {}},
        {"first word over 255 characters is a text line",
         Input::Log,
         [] { return "#Format:" + kLong + "\r\n#Target ARC(RLE): x\r\n"; },
         "",
         {},
         {}},
        {"target line over 255 characters is taken whole",
         Input::Log,
         [] {
             const std::string dir = "in/" + std::string(200, 'd');
             fs::create_directories(dir);
             WriteFile(dir + "/" + std::string(100, 'f'), kNewTree);
             return Log("#Target ARC(RLE): $D/" + dir + "/" + std::string(100, 'f') +
                        "\r\n#Target ARC(RLE): $D/gone\r\n");
         },
         "",
         {"tree.tga compressed succesfull.", "note.txt inserted from source."},
         {{"src.rpq", RebuiltSource()}}},
        // ---- project lists -------------------------------------------------------------------
        {"project list naming itself",
         Input::List,
         [] { return "$D/in/all.lst\r\n"; },
         "",
         {},
         {{"result.log", "#Format: \r\n#Source: $D/in/all.lst\r\n"}}},
        {"project list with CR-only line ends",
         Input::List,
         [] {
             WriteFile("in/x.log", Expand(Log("#Target ARC(RLE): $D/gone\r\n"
                                              "#Target ARC(RLE): $D/gone\r\n"),
                                          fs::current_path().string()));
             return "$D/in/x.log\r$D/in/all.lst\r";
         },
         "",
         {"tree.tga inserted from source.", "note.txt inserted from source."},
         {{"src.rpq", SourcePack().Build()},
          {"result.log",
           "#Format: \r\n#Source: $D/in/x.log\r\n#Format: \r\n#Source: $D/in/all.lst\r\n"}}},
        {"project list with LF-only line ends naming a missing log",
         Input::List,
         [] { return "$D/in/all.lst\n$D/in/gone.log\n"; },
         "Cannot open file $D/in/gone.log",
         {},
         {}},
        {"project list line over 255 characters",
         Input::List,
         [] { return "$D/in/" + kLong + "\r\n"; },
         "Cannot open file $D/in/" + kLong,
         {},
         {}},
    };
    return rows;
}

// Every path under `root` with the bytes of each file ("<dir>" for a directory), leaving out the
// subtree `skip`.
std::map<std::string, std::string> Snapshot(const std::string& root, const std::string& skip) {
    std::map<std::string, std::string> snap;
    for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator();
         ++it) {
        const std::string rel = fs::relative(it->path(), root).string();
        if (rel == skip) {
            it.disable_recursion_pending();
            continue;
        }
        snap[rel] = it->is_directory() ? "<dir>" : ReadFile(it->path().string());
    }
    return snap;
}

// Every file (not directory) under `root`, with its bytes.
std::map<std::string, std::string> Files(const std::string& root) {
    std::map<std::string, std::string> files;
    for (const auto& e : fs::recursive_directory_iterator(root)) {
        if (!e.is_directory())
            files[fs::relative(e.path(), root).string()] = ReadFile(e.path().string());
    }
    return files;
}

class MalformedInput : public ::testing::TestWithParam<Row> {
  protected:
    void SetUp() override {
        savedCwd_ = fs::current_path();
        std::string pattern = (fs::temp_directory_path() / "rpq-malformed-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        dir_ = fs::canonical(pattern).string();
        fs::current_path(dir_);
        fs::create_directories("in/dir");
        fs::create_directories("out");
        SourcePack().Write("in/src.rpq");
        WriteFile("in/tree.tga", kNewTree);
        WriteFile("sentinel", "beside the target\n");
    }
    void TearDown() override {
        fs::current_path(savedCwd_);
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }

    std::string dir_;
    fs::path savedCwd_;
};

TEST_P(MalformedInput, GetsItsOutcomeAndWritesNothingElse) {
    const Row& row = GetParam();
    const std::string out = dir_ + "/out";
    const std::string bytes = Expand(row.make(), dir_);
    test::Recorder feedback;
    RunState state;
    state.TargetDir = out;
    std::string input;
    switch (row.input) {
        case Input::Pack:
            input = dir_ + "/in/Maps.rpq";
            break;
        case Input::Log:
            input = dir_ + "/in/x.log";
            break;
        case Input::List:
            input = dir_ + "/in/all.lst";
            break;
    }
    WriteFile(input, bytes);
    const auto before = Snapshot(dir_, "out");

    std::string error;
    try {
        switch (row.input) {
            case Input::Pack:
                ExtractPack(input, out, state.TCodec, state.ResultLog, feedback);
                break;
            case Input::Log:
                ReplayLog(state, feedback, input);
                break;
            case Input::List: {
                StringList list;
                list.LoadFromFile(input);
                RunRequest request{list.Lines(), ikList, FilterIndexForKind(ikList), out};
                RunBatch(state, feedback, request, [&](TInputKind kind, const std::string& path) {
                    ProcessInput(state, feedback, kind, path);
                });
                break;
            }
        }
    } catch (const Error& e) {
        error = e.what();
    }
    fs::current_path(dir_);

    EXPECT_EQ(error, Expand(row.error, dir_));
    std::vector<std::string> results;
    for (const std::string& line : row.results)
        results.push_back(Expand(line, dir_));
    EXPECT_EQ(feedback.results, results);
    EXPECT_EQ(Snapshot(dir_, "out"), before) << "something outside the target changed";
    std::map<std::string, std::string> files;
    for (const auto& [path, content] : row.files)
        files[path] = Expand(content, dir_);
    const auto got = Files(out);
    EXPECT_EQ(got.size(), files.size());
    for (const auto& [path, content] : got) {
        auto it = files.find(path);
        if (it == files.end()) {
            ADD_FAILURE() << "unexpected file in the target: " << path;
        } else {
            EXPECT_TRUE(content == it->second) << "wrong bytes in " << path;
        }
    }
    // Every target line of the result log names a file that is there, written whole.
    for (const std::string& line : state.ResultLog.Lines()) {
        if (line.rfind("#Target ARC(RLE): ", 0) == 0) {
            EXPECT_TRUE(fs::is_regular_file(line.substr(18))) << line;
        }
    }
}

std::string RowName(const ::testing::TestParamInfo<Row>& info) {
    std::string name;
    for (const char* p = info.param.what; *p; ++p)
        name += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
    return std::to_string(info.index) + "_" + name.substr(0, 60);
}

INSTANTIATE_TEST_SUITE_P(Catalogue, MalformedInput, ::testing::ValuesIn(Catalogue()), RowName);

}  // namespace
}  // namespace rpq
