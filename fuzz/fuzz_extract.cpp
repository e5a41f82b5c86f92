// A full extraction of arbitrary bytes into a fresh folder. Beside the target lie the pack itself
// and a sentinel file: if anything outside the target appears, changes or goes, the target
// aborts. Inside the target every file must be one that the result log names (no temporary file
// left behind), also when the extraction ends with an error.
#include <cstdint>
#include <set>
#include <string>

#include "codecs/codec.h"
#include "fuzz/fuzz_support.h"
#include "packs/extract.h"
#include "toolkit/errors.h"
#include "toolkit/feedback.h"
#include "toolkit/string_list.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    namespace fs = std::filesystem;
    using rpq::fuzz::Fail;
    const std::string dir = rpq::fuzz::ScratchRoot() + "/extract";
    std::error_code ec;
    fs::remove_all(dir, ec);
    fs::create_directories(dir + "/in");
    fs::create_directories(dir + "/out");
    rpq::fuzz::WriteAll(dir + "/sentinel", "sentinel: must never change\n");
    // A pack name without '.' puts the extension directories straight into the target.
    const bool noStem = size != 0 && (data[size - 1] & 0x80) != 0;
    const std::string packPath = dir + "/in/" + (noStem ? "Maps" : "Maps.rpq");
    rpq::fuzz::WriteAll(packPath, std::string_view(reinterpret_cast<const char*>(data), size));
    const rpq::fuzz::Snapshot before = rpq::fuzz::Snap(dir, "out");

    rpq::TTCodec codec;
    rpq::StringList log;
    rpq::NullFeedback feedback;
    try {
        rpq::ExtractPack(packPath, dir + "/out", codec, log, feedback);
    } catch (const rpq::Error&) {
    }

    rpq::fuzz::ExpectSame(before, rpq::fuzz::Snap(dir, "out"), dir);
    std::set<std::string> named;
    for (const std::string& line : log.Lines()) {
        const std::string prefix = "#Target ARC(RLE): ";
        if (line.rfind(prefix, 0) != 0)
            Fail("result log line without its prefix: " + line);
        named.insert(fs::path(line.substr(prefix.size())).lexically_normal().string());
    }
    for (const auto& e : fs::recursive_directory_iterator(dir + "/out")) {
        if (e.is_symlink())
            Fail("symbolic link in the target: " + e.path().string());
        if (e.is_directory())
            continue;
        if (!named.count(e.path().lexically_normal().string()))
            Fail("file in the target that the log does not name: " + e.path().string());
    }
    return 0;
}
