// Extraction of one pack into <TargetDir>/<stem>/<EXT>/<name>.
#pragma once

#include <string>
#include <string_view>

#include "codecs/codec.h"
#include "toolkit/feedback.h"
#include "toolkit/string_list.h"

namespace rpq {

// The pack's file name up to its first '.': "Maps.rpq" gives "Maps", "a.b.rpq" gives "a"; a name
// without '.' or starting with one gives "" (the pack's entries then land in TargetDir itself).
std::string PackStem(std::string_view PackPath);
// The part of an entry name from its last '.' on, dot included ("a.b.c" gives ".c"), or "" when
// there is no '.' or a '/' follows it.
std::string EntryExtension(std::string_view Name);
// TargetDir + "/" + stem + "/" + upper-cased extension without its dot + "/" + Name, joined by
// plain concatenation (no extension or no stem gives "//").
std::string EntryPath(std::string_view TargetDir, std::string_view PackPath, std::string_view Name);

// Unpacks every entry of the pack at `PackPath` under `TargetDir` (an existing directory),
// decoding with `codec`. For each file written it reports "<name> decompressed sucessfully." or
// "<name> wrong size." and appends "#Target ARC(RLE): <path>" to `ResultLog`. Each file is
// written whole under a temporary name first, so no truncated file is left under a final name.
// Errors: EFOpenError (the pack), EReadError (directory or data past the end of the pack),
// EFCreateError (an entry file), EPackError (an entry name that would leave its directory, or
// data that decodes past the format's 2^31-1 bytes), EStopped (a stop request, between entries).
void ExtractPack(const std::string& PackPath, const std::string& TargetDir, TTCodec& codec,
                 StringList& ResultLog, Feedback& feedback);

}  // namespace rpq
