// The run-length coder of pack entries.
//
// Stream: records, then one 0x00. A control byte c in 1..chunk is followed by c literal bytes;
// c above chunk is followed by one value byte repeated (c - low) mod 256 times. The system always
// uses chunk 127 and low 125: literals of 1..127 bytes, runs of 3..130 bytes.
#pragma once

#include <cstdint>

#include "toolkit/streams.h"

namespace rpq {

inline constexpr uint8_t kRLEChunk = 127;
inline constexpr uint8_t kRLELow = 125;

// Encodes `input` from its position to its end and appends the stream at `output`'s position.
// Afterwards `input` is at its end and `output` just past what was written.
void RLEEncode(MemoryStream& input, MemoryStream& output, uint8_t chunk, uint8_t low);

// Decodes `input` from its position to its end into `output` at its position. A literal record
// that claims more bytes than remain raises EReadError after the records before it were written.
// Afterwards `input` is at its end.
void RLEDecode(MemoryStream& input, MemoryStream& output, uint8_t chunk, uint8_t low);

// The exact number of bytes that RLEDecode would produce from `size` bytes at `data`, found from
// the control bytes alone; EReadError where RLEDecode would fail. Lets a caller size (or refuse)
// the output before decoding.
int64_t RLEDecodedSize(const uint8_t* data, size_t size, uint8_t chunk, uint8_t low);

}  // namespace rpq
