// rpq list / rpq verify: look into packs without writing anything.
#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "cli/commands.h"
#include "packs/pack_format.h"
#include "packs/verify.h"
#include "toolkit/errors.h"

namespace rpq::cli {

namespace {

bool HasControlCharacter(std::string_view s) {
    return std::any_of(s.begin(), s.end(), [](char c) {
        const auto b = static_cast<unsigned char>(c);
        return b < 0x20 || b == 0x7F;
    });
}

// A name for a terminal: as it is, or quoted with escapes when it holds control characters.
std::string DisplayName(std::string_view name) {
    return HasControlCharacter(name) ? QuotedName(name) : std::string(name);
}

// Length of the well-formed UTF-8 sequence at s[i], or 0 when there is none.
size_t Utf8SequenceLength(std::string_view s, size_t i) {
    const auto b = static_cast<unsigned char>(s[i]);
    size_t length = 0;
    uint32_t min = 0;
    uint32_t cp = 0;
    if (b >= 0xC2 && b <= 0xDF) {
        length = 2, min = 0x80, cp = b & 0x1F;
    } else if (b >= 0xE0 && b <= 0xEF) {
        length = 3, min = 0x800, cp = b & 0x0F;
    } else if (b >= 0xF0 && b <= 0xF4) {
        length = 4, min = 0x10000, cp = b & 0x07;
    } else {
        return 0;
    }
    if (i + length > s.size())
        return 0;
    for (size_t k = 1; k < length; ++k) {
        const auto c = static_cast<unsigned char>(s[i + k]);
        if ((c & 0xC0) != 0x80)
            return 0;
        cp = cp << 6 | (c & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return 0;
    return length;
}

// A JSON string literal. Names are 8-bit text of unknown code page: well-formed UTF-8 passes
// unchanged, and every other byte above 0x7F is read as Latin-1 (\u00XX), so the output is
// always valid JSON.
std::string JsonString(std::string_view s) {
    std::string out = "\"";
    for (size_t i = 0; i < s.size();) {
        const auto b = static_cast<unsigned char>(s[i]);
        if (b >= 0x80) {
            if (const size_t n = Utf8SequenceLength(s, i)) {
                out.append(s.substr(i, n));
                i += n;
                continue;
            }
        }
        char escape[8];
        switch (b) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (b < 0x20 || b >= 0x7F) {
                    std::snprintf(escape, sizeof escape, "\\u%04x", b);
                    out += escape;
                } else {
                    out += static_cast<char>(b);
                }
        }
        ++i;
    }
    return out + "\"";
}

void PrintTable(const PackListing& listing) {
    struct Row {
        std::string index, offset, packed, unpacked, name;
    };
    std::vector<Row> rows;
    rows.reserve(listing.Entries.size() + 1);
    rows.push_back({"Index", "Offset", "Packed", "Unpacked", "Name"});
    for (size_t i = 0; i < listing.Entries.size(); ++i) {
        const TPackEntry& e = listing.Entries[i];
        rows.push_back({std::to_string(i), std::to_string(e.Offset), std::to_string(e.PackedSize),
                        std::to_string(e.UnpackedSize), DisplayName(e.EntryName())});
    }
    size_t w[4] = {0, 0, 0, 0};
    for (const Row& r : rows) {
        w[0] = std::max(w[0], r.index.size());
        w[1] = std::max(w[1], r.offset.size());
        w[2] = std::max(w[2], r.packed.size());
        w[3] = std::max(w[3], r.unpacked.size());
    }
    for (const Row& r : rows) {
        std::printf("%*s  %*s  %*s  %*s  %s\n", static_cast<int>(w[0]), r.index.c_str(),
                    static_cast<int>(w[1]), r.offset.c_str(), static_cast<int>(w[2]),
                    r.packed.c_str(), static_cast<int>(w[3]), r.unpacked.c_str(), r.name.c_str());
    }
}

void PrintJson(const PackListing& listing) {
    if (listing.Entries.empty()) {
        std::printf("[]\n");
        return;
    }
    std::printf("[\n");
    for (size_t i = 0; i < listing.Entries.size(); ++i) {
        const TPackEntry& e = listing.Entries[i];
        std::printf(
            "  {\"index\": %zu, \"name\": %s, \"offset\": %d, \"packed_size\": %d, "
            "\"unpacked_size\": %d}%s\n",
            i, JsonString(e.EntryName()).c_str(), e.Offset, e.PackedSize, e.UnpackedSize,
            i + 1 < listing.Entries.size() ? "," : "");
    }
    std::printf("]\n");
}

std::string Counted(size_t n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

struct ListOptions {
    bool json = false;
    std::string pack;
};

struct VerifyOptions {
    std::vector<std::string> packs;
};

}  // namespace

void AddPackCommands(CLI::App& app) {
    auto listOptions = std::make_shared<ListOptions>();
    CLI::App* list =
        app.add_subcommand("list", "Show the directory of a pack: index, offset, sizes, name");
    list->add_flag("--json", listOptions->json, "Print a JSON array instead of a table");
    list->add_option("pack", listOptions->pack, "Resource pack (.rpq)")
        ->required()
        ->type_name("PACK");
    list->callback([listOptions] {
        PackListing listing;
        try {
            listing = ListPack(listOptions->pack);
        } catch (const Error& e) {
            std::fprintf(stderr, "%s\n", e.what());
            throw CommandExit{kExitError};
        }
        if (listOptions->json) {
            PrintJson(listing);
        } else {
            PrintTable(listing);
        }
        throw CommandExit{kExitOk};
    });

    auto verifyOptions = std::make_shared<VerifyOptions>();
    CLI::App* verify = app.add_subcommand(
        "verify", "Decode every entry in memory and report damaged or wrongly sized ones");
    verify->add_option("packs", verifyOptions->packs, "Resource packs (.rpq)")
        ->required()
        ->type_name("PACK");
    verify->callback([verifyOptions] {
        bool bad = false;
        for (const std::string& pack : verifyOptions->packs) {
            try {
                uint32_t count = 0;
                const std::vector<EntryProblem> problems = VerifyPackFile(pack, &count);
                for (const EntryProblem& p : problems) {
                    std::printf("%s: entry %u %s: %s\n", pack.c_str(), p.Index,
                                QuotedName(p.Name).c_str(), p.Problem.c_str());
                }
                std::printf(
                    "%s: %s, %s\n", pack.c_str(), Counted(count, "entry", "entries").c_str(),
                    problems.empty() ? "no problems"
                                     : Counted(problems.size(), "problem", "problems").c_str());
                bad = bad || !problems.empty();
            } catch (const EFOpenError& e) {
                std::fflush(stdout);
                std::fprintf(stderr, "%s\n", e.what());  // the message names the pack
                bad = true;
            } catch (const Error& e) {
                std::fflush(stdout);
                std::fprintf(stderr, "%s: %s\n", pack.c_str(), e.what());
                bad = true;
            }
        }
        throw CommandExit{bad ? kExitError : kExitOk};
    });
}

}  // namespace rpq::cli
