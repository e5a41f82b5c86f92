#include "codecs/codec.h"

#include "codecs/lzss.h"
#include "codecs/rle.h"

namespace rpq {

namespace {

enum class Direction { Compress, Decompress };

}  // namespace

// Both operations code the stream into FWork and then hand FWork's bytes to the stream. The
// hand-over swaps the two buffers instead of copying: the stream ends up holding exactly the
// coder's output with its position at its end, and FWork keeps the stream's old memory (emptied)
// for the next call. When a coder fails, the stream has not been touched apart from its position.
static void Code(TTCodec& codec, MemoryStream& stream, MemoryStream& work, Direction direction) {
    // Emptied, but the memory is kept for this call's output.
    work.Reset();
    switch (codec.Algorithm) {
        case algLZSS:
            if (direction == Direction::Compress)
                LZSSEncode(stream, work);
            else
                LZSSDecode(stream, work);
            break;
        case algRLE:
            if (direction == Direction::Compress)
                RLEEncode(stream, work, codec.RLEChunk, codec.RLELow);
            else
                RLEDecode(stream, work, codec.RLEChunk, codec.RLELow);
            break;
        default:
            break;  // no coder: the coded stream is empty
    }
    stream.Swap(work);
    stream.Seek(stream.Size());
    work.Reset();
}

void TTCodec::Compress(MemoryStream& stream) {
    Code(*this, stream, FWork, Direction::Compress);
}

void TTCodec::Decompress(MemoryStream& stream) {
    Code(*this, stream, FWork, Direction::Decompress);
}

}  // namespace rpq
