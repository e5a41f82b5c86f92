// make_pack: writes the demo sample pack and benchmark packs with the test pack builder.
//
//   make_pack sample OUT.rpq
//       the demo sample: a small colour-mapped TGA image, a text, a tiny WAV sound, an entry
//       without extension and one entry without data (PackedSize 0)
//   make_pack bench OUT.rpq --entries N --total-bytes B [--seed S]
//       N entries of sprite-like content, B bytes in all before compression
//   make_pack single OUT.rpq --bytes B [--seed S]
//       one entry of B bytes of sprite-like content
//
// The output depends only on the arguments, so a committed sample can be made again byte for byte.
#include <cstdint>
#include <cstdio>
#include <exception>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "tests/support/pack_builder.h"

namespace {

using rpq::test::ContentKind;
using rpq::test::MakeContent;
using rpq::test::PackBuilder;

void PutLE16(std::string& s, uint16_t v) {
    s.push_back(static_cast<char>(v & 0xFF));
    s.push_back(static_cast<char>(v >> 8));
}

void PutLE32(std::string& s, uint32_t v) {
    PutLE16(s, static_cast<uint16_t>(v & 0xFFFF));
    PutLE16(s, static_cast<uint16_t>(v >> 16));
}

// An uncompressed colour-mapped TGA (8-bit indices into a 24-bit palette): a tree on a sky-blue
// background, drawn with long runs of one index, as game sprites are.
std::string MakeTga(int width, int height) {
    std::string s;
    s.push_back(0);   // no image id
    s.push_back(1);   // colour map present
    s.push_back(1);   // uncompressed colour-mapped image
    PutLE16(s, 0);    // first colour map entry
    PutLE16(s, 3);    // colour map length
    s.push_back(24);  // colour map entry size
    PutLE16(s, 0);    // x origin
    PutLE16(s, 0);    // y origin
    PutLE16(s, static_cast<uint16_t>(width));
    PutLE16(s, static_cast<uint16_t>(height));
    s.push_back(8);     // bits per pixel
    s.push_back(0x20);  // top-left origin
    // Palette in B, G, R order: sky, crown, trunk.
    for (uint8_t c : {235, 206, 135, 34, 139, 34, 19, 69, 139})
        s.push_back(static_cast<char>(c));
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const int dx = x - width / 2;
            char index = 0;
            if (y > height * 3 / 4 && dx * dx < 4) {
                index = 2;
            } else if (y < height * 3 / 4 && dx * dx * 4 < (y + 1) * (y + 1)) {
                index = 1;
            }
            s.push_back(index);
        }
    }
    return s;
}

// A mono 8-bit PCM WAV at 8000 Hz: a short square-wave click.
std::string MakeWav(uint32_t samples) {
    std::string data;
    for (uint32_t i = 0; i < samples; ++i) {
        const uint32_t fade = 127 * (samples - i) / samples;
        data.push_back(static_cast<char>((i / 10) % 2 ? 128 + fade : 128 - fade));
    }
    std::string s = "RIFF";
    PutLE32(s, static_cast<uint32_t>(36 + data.size()));
    s += "WAVEfmt ";
    PutLE32(s, 16);
    PutLE16(s, 1);     // PCM
    PutLE16(s, 1);     // mono
    PutLE32(s, 8000);  // sample rate
    PutLE32(s, 8000);  // byte rate
    PutLE16(s, 1);     // block align
    PutLE16(s, 8);     // bits per sample
    s += "data";
    PutLE32(s, static_cast<uint32_t>(data.size()));
    return s + data;
}

PackBuilder SamplePack() {
    PackBuilder pack;
    pack.Add("tree.tga", MakeTga(32, 32));
    pack.Add("readme.txt",
             "Sample pack of the rpq demo.\r\n"
             "Extract it, edit a file, and insert it back:\r\n"
             "  rpq extract -C out sample.rpq\r\n"
             "  rpq insert -C new out/result.log\r\n");
    pack.Add("click.wav", MakeWav(800));
    pack.Add("credits", "Art: the demo team\nSound: the demo team\n");
    pack.AddEmpty("placeholder.dat");
    pack.Add("rock.TGA", MakeTga(16, 16));
    return pack;
}

PackBuilder BenchPack(uint32_t entries, uint64_t totalBytes, uint64_t seed) {
    static constexpr const char* kExtensions[] = {".tga", ".wav", ".txt", ".dat"};
    std::mt19937_64 rng(seed);
    // Entry sizes vary between half and one and a half times the mean and add up to totalBytes.
    std::vector<double> weights(entries);
    double sum = 0;
    for (double& w : weights)
        sum += (w = 0.5 + static_cast<double>(rng() % 1000) / 1000.0);
    PackBuilder pack;
    uint64_t given = 0;
    for (uint32_t i = 0; i < entries; ++i) {
        uint64_t size =
            i + 1 == entries
                ? totalBytes - given
                : static_cast<uint64_t>(static_cast<double>(totalBytes) * weights[i] / sum);
        if (given + size > totalBytes)
            size = totalBytes - given;
        given += size;
        char name[32];
        std::snprintf(name, sizeof name, "asset_%05u%s", i, kExtensions[i % 4]);
        pack.Add(name, MakeContent(ContentKind::AssetLike, size, seed + i));
    }
    return pack;
}

int Usage() {
    std::fprintf(stderr,
                 "usage: make_pack sample OUT.rpq\n"
                 "       make_pack bench OUT.rpq --entries N --total-bytes B [--seed S]\n"
                 "       make_pack single OUT.rpq --bytes B [--seed S]\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3)
        return Usage();
    const std::string_view kind = argv[1];
    const std::string out = argv[2];
    uint64_t entries = 0, totalBytes = 0, bytes = 0, seed = 1;
    try {
        for (int i = 3; i < argc; i += 2) {
            const std::string_view option = argv[i];
            if (i + 1 >= argc)
                return Usage();
            const uint64_t value = std::stoull(argv[i + 1]);
            if (option == "--entries") {
                entries = value;
            } else if (option == "--total-bytes") {
                totalBytes = value;
            } else if (option == "--bytes") {
                bytes = value;
            } else if (option == "--seed") {
                seed = value;
            } else {
                return Usage();
            }
        }
        if (kind == "sample") {
            SamplePack().Write(out);
        } else if (kind == "bench" && entries > 0 && entries <= UINT32_MAX) {
            BenchPack(static_cast<uint32_t>(entries), totalBytes, seed).Write(out);
        } else if (kind == "single") {
            PackBuilder pack;
            pack.Add("single.dat", MakeContent(ContentKind::AssetLike, bytes, seed));
            pack.Write(out);
        } else {
            return Usage();
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "make_pack: %s\n", e.what());
        return 1;
    }
    return 0;
}
