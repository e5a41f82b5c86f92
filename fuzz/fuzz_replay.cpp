// Replay of an arbitrary result log against a small fixture: a source pack, replacement files, an
// empty file and a directory in the current directory. Paths in the log stay relative to that
// directory (inputs with '/' or ".." are passed over, so the fuzzer does not wander through the
// host's files). The target is either a fresh folder or, when the last byte is odd, the fixture
// directory itself, where every rebuild must be refused because it would write over its own
// source. Afterwards nothing outside the target has changed, and every pack in the target is
// whole: its directory and every block lie inside the file.
#include <unistd.h>

#include <cstdint>
#include <string>

#include "batch/replay.h"
#include "batch/run_state.h"
#include "fuzz/fuzz_support.h"
#include "packs/pack_format.h"
#include "packs/verify.h"
#include "tests/support/pack_builder.h"
#include "toolkit/errors.h"
#include "toolkit/feedback.h"

namespace {

namespace fs = std::filesystem;
using rpq::fuzz::Fail;

const std::string& Fixture() {
    static const std::string dir = [] {
        const std::string d = rpq::fuzz::ScratchRoot() + "/replay";
        fs::create_directories(d + "/d");
        rpq::test::PackBuilder pack;
        pack.Add("a.tga", std::string(300, 'a') + "tree")
            .AddEmpty("shadow.tga")
            .Add("b.txt", "hello hello")
            .Add("noext", "");
        pack.Write(d + "/src.rpq");
        rpq::fuzz::WriteAll(d + "/a.tga", std::string(1000, 'x') + "edited");
        rpq::fuzz::WriteAll(d + "/b.txt", "new text\r\n");
        rpq::fuzz::WriteAll(d + "/z", "");
        rpq::fuzz::WriteAll(rpq::fuzz::ScratchRoot() + "/sentinel", "beside the fixture\n");
        if (::chdir(d.c_str()) != 0)
            Fail("chdir");
        return d;
    }();
    return dir;
}

// A rebuilt pack must be whole: the directory and every block inside the file, and the file
// exactly as long as the directory and the blocks.
void CheckPack(const std::string& path) {
    const std::string bytes = rpq::fuzz::ReadAll(path);
    rpq::MemoryStream s;
    s.Write(bytes.data(), bytes.size());
    s.Seek(0);
    uint32_t count = 0;
    std::vector<rpq::TPackEntry> entries;
    try {
        count = rpq::ReadEntryCount(s);
        entries = rpq::ReadDirectory(s, count);
    } catch (const rpq::EReadError&) {
        Fail("rebuilt pack with a cut directory: " + path);
    }
    int64_t total = rpq::RecordPosition(count);
    for (const auto& e : entries) {
        if (!rpq::DataInside(e, static_cast<int64_t>(bytes.size())))
            Fail("rebuilt pack with a block outside the file: " + path);
        total += e.PackedSize;
    }
    if (total != static_cast<int64_t>(bytes.size()))
        Fail("rebuilt pack longer or shorter than its blocks: " + path);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    if (text.find('/') != std::string_view::npos || text.find("..") != std::string_view::npos)
        return -1;  // not added to the corpus
    const std::string& dir = Fixture();
    const std::string out = rpq::fuzz::ScratchRoot() + "/out";
    std::error_code ec;
    fs::remove_all(out, ec);
    fs::create_directories(out);
    rpq::fuzz::WriteAll(dir + "/in.log", text);
    const bool intoFixture = size != 0 && (data[size - 1] & 1) != 0;
    const rpq::fuzz::Snapshot before = rpq::fuzz::Snap(rpq::fuzz::ScratchRoot(), "out");

    rpq::RunState state;
    state.TargetDir = intoFixture ? dir : out;
    rpq::NullFeedback feedback;
    try {
        rpq::ReplayLog(state, feedback, dir + "/in.log");
    } catch (const rpq::Error&) {
    }
    if (state.SourcePack)
        Fail("source pack still open after the replay");

    rpq::fuzz::ExpectSame(before, rpq::fuzz::Snap(rpq::fuzz::ScratchRoot(), "out"),
                          rpq::fuzz::ScratchRoot());
    for (const auto& e : fs::directory_iterator(out)) {
        const std::string name = e.path().filename().string();
        if (!e.is_regular_file() || !fs::exists(dir + "/" + name))
            Fail("unexpected entry in the target: " + name);
        CheckPack(e.path().string());
    }
    return 0;
}
