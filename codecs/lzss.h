// The LZSS coder: a 4096-byte ring, matches of 3..18 bytes, a flag byte for every eight items and
// binary search trees for the matches; byte for byte the output of the classic 1989
// public-domain coder. The ring and trees are process-wide: one coding at a time.
#pragma once

#include "toolkit/streams.h"

namespace rpq {

// Compresses `input` from its position to its end, appending to `output` at its position.
void LZSSEncode(MemoryStream& input, MemoryStream& output);
// Decompresses `input` from its position to its end, appending to `output` at its position.
// Data that ends inside an item ends after the last whole item.
void LZSSDecode(MemoryStream& input, MemoryStream& output);

}  // namespace rpq
