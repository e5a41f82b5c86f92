// The codec component: one pair of in-place operations on a memory stream behind which the
// RLE and LZSS coders sit.
#pragma once

#include <cstdint>

#include "toolkit/streams.h"

namespace rpq {

// The coder the component uses; stored in one byte.
enum TCAlg : uint8_t {
    algLZSS = 0,
    algRLE = 1,
    algDefault = 2,  // no coder: the coded stream comes out empty
};

class TTCodec {
  public:
    TTCodec() = default;
    TTCodec(const TTCodec&) = delete;
    TTCodec& operator=(const TTCodec&) = delete;

    // A new component has algLZSS, 0 and 0: callers set all three before use.
    TCAlg Algorithm = algLZSS;
    uint8_t RLEChunk = 0;
    uint8_t RLELow = 0;

    // Replace the whole content of `stream` by the coded form of its bytes from the current
    // position to the end; afterwards the position is at the end. When a coder fails, the
    // error passes on unchanged and `stream` still holds what it held before the call.
    void Compress(MemoryStream& stream);
    void Decompress(MemoryStream& stream);

    // The scratch stream that receives each coder's output. After a failed call it holds the
    // output the coder had produced; after a successful one it is empty (the output was handed
    // to the stream by swapping buffers) and keeps memory for the next call.
    const MemoryStream& Work() const { return FWork; }

  private:
    MemoryStream FWork;
};

}  // namespace rpq
