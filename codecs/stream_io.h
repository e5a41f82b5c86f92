// Direct access to memory streams for the coders' inner loops: the input as a pointer range, the
// output as a block of writable bytes at the output's position. Internal to codecs/.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "toolkit/streams.h"

namespace rpq::codecs {

// The bytes of `stream` from its position to its end (none when the position is at or past it).
struct InputRange {
    const uint8_t* data = nullptr;
    size_t size = 0;
};

inline InputRange RemainingBytes(MemoryStream& stream) {
    const int64_t size = stream.Size();
    const int64_t position = stream.Position();
    if (position < 0 || position >= size)
        return {};
    return {stream.Data() + position, static_cast<size_t>(size - position)};
}

// Marks the input as read to its end.
inline void ConsumeAll(MemoryStream& stream) {
    if (stream.Position() < stream.Size())
        stream.Seek(stream.Size());
}

// A write of at most `limit` bytes at the output's position, filled through a raw pointer and
// then committed with the number of bytes actually written. Bytes of the stream beyond the
// written ones are kept, as a sequence of ordinary writes would keep them. `slack` extra bytes
// of capacity are made available past the block when the block ends at the stream's end, so a
// writer may store whole 16-byte words that overshoot the block (SlackEnd() says where they
// must stop).
class OutputBlock {
  public:
    OutputBlock(MemoryStream& stream, size_t limit, size_t slack = 0)
        : stream_(stream),
          position_(static_cast<size_t>(std::max<int64_t>(stream.Position(), 0))),
          oldSize_(static_cast<size_t>(stream.Size())) {
        const size_t end = position_ + limit;
        if (end > oldSize_) {
            if (slack != 0)
                stream_.Reserve(end + slack);
            stream_.SetSize(end);
            // A write past the end leaves zeros in the gap, as a stream write does.
            if (position_ > oldSize_)
                std::memset(stream_.Data() + oldSize_, 0, position_ - oldSize_);
        }
        begin_ = stream_.Data() + position_;
        const size_t size = static_cast<size_t>(stream_.Size());
        slackEnd_ = stream_.Data() + (end >= size ? std::max(stream_.Capacity(), size) : end);
    }
    OutputBlock(const OutputBlock&) = delete;
    OutputBlock& operator=(const OutputBlock&) = delete;

    uint8_t* Begin() const { return begin_; }
    // Where stores that overshoot the block must end: the allocation's end when the block ends
    // at the stream's end, the block's end otherwise.
    uint8_t* SlackEnd() const { return slackEnd_; }

    // Makes the block `limit` bytes long, keeping the bytes already written; returns the block's
    // new start (the memory may move).
    uint8_t* Grow(size_t limit, size_t slack = 0) {
        const size_t end = position_ + limit;
        if (end > static_cast<size_t>(stream_.Size())) {
            if (slack != 0)
                stream_.Reserve(end + slack);
            stream_.SetSize(end);
        }
        begin_ = stream_.Data() + position_;
        const size_t size = static_cast<size_t>(stream_.Size());
        slackEnd_ = stream_.Data() + (end >= size ? std::max(stream_.Capacity(), size) : end);
        return begin_;
    }

    // Sets the stream's size to cover exactly what was written and its position just past it.
    void Commit(size_t written) {
        const size_t end = position_ + written;
        size_t size = oldSize_;
        if (written != 0)
            size = std::max(oldSize_, end);
        stream_.SetSize(size);
        stream_.Seek(static_cast<int64_t>(written != 0 ? end : position_));
    }

  private:
    MemoryStream& stream_;
    size_t position_;
    size_t oldSize_;
    uint8_t* begin_ = nullptr;
    uint8_t* slackEnd_ = nullptr;
};

}  // namespace rpq::codecs
