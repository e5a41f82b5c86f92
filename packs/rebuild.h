// Rebuild of a pack from a source pack and the target lines of a result log.
#pragma once

#include <string>
#include <string_view>

#include "codecs/codec.h"
#include "toolkit/feedback.h"
#include "toolkit/streams.h"
#include "toolkit/string_list.h"

namespace rpq {

// The replacement path of a target line: the text after its first ':' and the one character
// behind it (a line without ':' loses only its first character).
std::string ReplacementPath(std::string_view line);

// Writes the new pack `NewPackPath` from `SourcePack` (open, at position 0). For each record with
// data it takes the next line of `ReplayLines` from `FirstLine` on: when the line's replacement
// path exists, the entry is re-compressed from that file ("<name> compressed succesfull."),
// otherwise the source's stored data is copied ("<name> inserted from source."). Returns the
// index of the first line not consumed.
//
// The pack is written under a temporary name in its directory and takes its final name only when
// complete; on any error nothing is left and an existing file of that name is untouched.
// Errors: EFCreateError (cannot create, or NewPackPath is the source pack itself under any
// spelling), EReadError (source directory or data past its end), EListError (too few lines),
// EFOpenError (a present replacement path that cannot be read), EPackError (the new pack would
// pass 2^31-1 bytes), EStopped.
int RebuildPack(const std::string& NewPackPath, int FirstLine, FileStream& SourcePack,
                const StringList& ReplayLines, TTCodec& codec, Feedback& feedback);

}  // namespace rpq
