#include "codecs/rle.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "codecs/stream_io.h"
#include "toolkit/errors.h"

namespace rpq {
namespace {

// ---------------------------------------------------------------------------------------------
// Encoding

// The longest run one run record carries.
constexpr unsigned RunLimit(uint8_t low) {
    return 255u - low;
}

// The block encoder below relies on literal records being cut at `chunk` bytes and on runs of
// three or more bytes being closed by the run limit; that holds for chunk >= 1 and a run limit
// of at least 3.
// Room past the encoder's output for one 16-byte store that overshoots a short literal record.
constexpr size_t kEncodeSlack = 16;

bool BlockEncoderApplies(uint8_t chunk, uint8_t low) {
    return chunk >= 1 && RunLimit(low) >= 3;
}

// Writes the literal bytes [begin, end) as records of `chunk` bytes and one shorter record for
// what is left.
inline uint64_t Load64(const uint8_t* p) {
    uint64_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

// Marks every zero byte of `v` by its high bit, and nothing else.
inline uint64_t ZeroBytes(uint64_t v) {
    constexpr uint64_t kLow7 = 0x7F7F7F7F7F7F7F7Full;
    return ~(((v & kLow7) + kLow7) | v | kLow7);
}

// The index, in memory order, of the first byte of an 8-byte load that has a bit set in `mask`.
inline size_t FirstMarkedByte(uint64_t mask) {
    if constexpr (std::endian::native == std::endian::little)
        return static_cast<size_t>(std::countr_zero(mask)) / 8;
    else
        return static_cast<size_t>(std::countl_zero(mask)) / 8;
}

class BlockEncoder {
  public:
    BlockEncoder(const uint8_t* in, size_t size, uint8_t* out, const uint8_t* outSlackEnd,
                 uint8_t chunk, uint8_t low)
        : in_(in),
          end_(in + size),
          out_(out),
          outSlackEnd_(outSlackEnd),
          chunk_(chunk),
          low_(low) {}

    // The stream as a sequence of tokens: every maximal run of three or more equal bytes (cut at
    // the run limit, after which the rest of the run is coded afresh) becomes a run record, and
    // the bytes between runs, pairs included, form one literal stretch cut into records of
    // `chunk` bytes. Writing a stretch as a whole before the run record that ends it gives the
    // same bytes as a literal buffer that is written whenever it fills and closed when a run
    // begins.
    size_t Encode() {
        uint8_t* const outBegin = out_;
        const size_t runLimit = RunLimit(low_);
        const uint8_t* p = in_;
        const uint8_t* const end = end_;
        const uint8_t* literals = in_;
        while (end - p >= 3) {
            // A run can only start at a byte equal to its neighbour: find the first such byte
            // eight at a time.
            if (end - p >= 9) {
                const uint64_t mask = ZeroBytes(Load64(p) ^ Load64(p + 1));
                if (mask == 0) {
                    p += 8;
                    continue;
                }
                p += FirstMarkedByte(mask);
                if (end - p < 3)
                    break;
            }
            const uint8_t x = p[0];
            if (p[1] != x) {
                ++p;
                continue;
            }
            if (p[2] != x) {
                p += 2;  // a pair stays with the literals
                continue;
            }
            WriteLiterals(literals, p);
            const size_t limit = std::min(runLimit, static_cast<size_t>(end - p));
            size_t run = 3;
            const uint64_t spread = x * 0x0101010101010101ull;
            for (;;) {
                if (run + 8 <= limit) {
                    const uint64_t diff = Load64(p + run) ^ spread;
                    if (diff == 0) {
                        run += 8;
                        continue;
                    }
                    run += FirstMarkedByte(diff);
                    break;
                }
                while (run < limit && p[run] == x)
                    ++run;
                break;
            }
            *out_++ = static_cast<uint8_t>(run + low_);
            *out_++ = x;
            p += run;
            literals = p;
        }
        WriteLiterals(literals, end);
        *out_++ = 0;
        return static_cast<size_t>(out_ - outBegin);
    }

  private:
    // Writes the literal bytes [begin, end) as records of `chunk` bytes and one shorter record
    // for what is left; a short record is copied as one 16-byte word where both sides allow it.
    void WriteLiterals(const uint8_t* begin, const uint8_t* end) {
        size_t left = static_cast<size_t>(end - begin);
        if (left == 0)
            return;
        if (left <= 16 && left <= chunk_ && end_ - begin >= 16 && outSlackEnd_ - out_ >= 17) {
            *out_++ = static_cast<uint8_t>(left);
            std::memcpy(out_, begin, 16);
            out_ += left;
            return;
        }
        while (left >= chunk_) {
            *out_++ = chunk_;
            std::memcpy(out_, begin, chunk_);
            out_ += chunk_;
            begin += chunk_;
            left -= chunk_;
        }
        if (left != 0) {
            *out_++ = static_cast<uint8_t>(left);
            std::memcpy(out_, begin, left);
            out_ += left;
        }
    }

    const uint8_t* const in_;
    const uint8_t* const end_;
    uint8_t* out_;
    const uint8_t* const outSlackEnd_;
    const uint8_t chunk_, low_;
};

// The encoder held-byte by held-byte, for parameters the block encoder does not cover (chunk 0
// or a run limit below 3). They never give a sound format; this keeps them within bounds: a
// literal record never exceeds 255 bytes, and a run limit below 2 is never reached, so such
// runs end only at a different byte.
size_t EncodeByteWise(const uint8_t* in, size_t size, uint8_t* out, uint8_t chunk, uint8_t low) {
    uint8_t* const outBegin = out;
    const size_t runLimit = RunLimit(low);
    const size_t literalLimit = chunk == 0 ? 255 : chunk;
    uint8_t buffer[256];
    size_t buffered = 0;
    auto writeLiterals = [&] {
        if (buffered == 0)
            return;
        *out++ = static_cast<uint8_t>(buffered);
        std::memcpy(out, buffer, buffered);
        out += buffered;
        buffered = 0;
    };
    auto append = [&](uint8_t x) {
        buffer[buffered++] = x;
        if (buffered == literalLimit)
            writeLiterals();
    };
    auto writeRun = [&](size_t run, uint8_t x) {
        *out++ = static_cast<uint8_t>(run + low);
        *out++ = x;
    };
    if (size != 0) {
        // Inside the loop a byte is always held: a run record of the run limit is followed by
        // reading the next byte, and when there is none the loop ends.
        size_t i = 0;
        bool held = true;
        uint8_t h = in[i++];
        size_t r = 0;
        while (i < size) {
            const uint8_t b = in[i++];
            if (b == h) {
                r = r == 0 ? 2 : r + 1;
                if (r == 3)
                    writeLiterals();
                if (r == runLimit) {
                    writeRun(r, h);
                    r = 0;
                    held = i < size;
                    if (held)
                        h = in[i++];
                }
            } else {
                if (r >= 3)
                    writeRun(r, h);
                if (r == 2)
                    append(h);
                if (r == 2 || r == 0)
                    append(h);
                h = b;
                r = 0;
            }
        }
        if (r >= 3)
            writeRun(r, h);
        if (r == 2)
            append(h);
        if (r == 2 || (r == 0 && held))
            append(h);
    }
    writeLiterals();
    *out++ = 0;
    return static_cast<size_t>(out - outBegin);
}

// ---------------------------------------------------------------------------------------------
// Decoding

// Where the records of an RLE stream stop and what they produce. `end` is the offset up to which
// the records are whole; when `failed`, the record whose control byte lies at `end` cannot be
// decoded (a literal record longer than the data left, or a run record without its value byte).
struct RecordScan {
    uint64_t produced = 0;
    size_t end = 0;
    bool failed = false;
};

RecordScan ScanRecords(const uint8_t* data, size_t size, uint8_t chunk, uint8_t low) {
    RecordScan scan;
    size_t i = 0;
    while (i < size) {
        const uint8_t c = data[i];
        const size_t left = size - i - 1;
        if (c > chunk) {
            if (left == 0) {
                scan.end = i;
                scan.failed = true;
                return scan;
            }
            scan.produced += static_cast<uint8_t>(c - low);
            i += 2;
        } else {
            // A literal control byte that is the last byte (the terminator, normally) produces
            // nothing; a 0x00 elsewhere is a literal record of no bytes.
            if (left == 0)
                break;
            if (c > left) {
                scan.end = i;
                scan.failed = true;
                return scan;
            }
            scan.produced += c;
            i += 1 + c;
        }
    }
    scan.end = size;
    return scan;
}

constexpr size_t kWord = 16;
// Room the fast path needs past a record's start: a record of up to 255 bytes, rounded up to
// whole words.
constexpr size_t kFastMargin = 256 + kWord;

inline void Copy16(uint8_t* dst, const uint8_t* src) {
    std::memcpy(dst, src, kWord);
}

inline void Fill16(uint8_t* dst, uint8_t v) {
    std::memset(dst, v, kWord);
}

// Stores whole 16-byte words from `src` covering n bytes at `dst`, at least 64 (records of up to
// 64 bytes, the common ones, take no branch on their length).
inline void CopyWords(uint8_t* dst, const uint8_t* src, size_t n) {
    Copy16(dst, src);
    Copy16(dst + 16, src + 16);
    Copy16(dst + 32, src + 32);
    Copy16(dst + 48, src + 48);
    for (size_t k = 64; k < n; k += kWord)
        Copy16(dst + k, src + k);
}

inline void FillWords(uint8_t* dst, uint8_t v, size_t n) {
    Fill16(dst, v);
    Fill16(dst + 16, v);
    Fill16(dst + 32, v);
    Fill16(dst + 48, v);
    for (size_t k = 64; k < n; k += kWord)
        Fill16(dst + k, v);
}

// Decodes in one pass. The output is filled in the room the output stream already has (a buffer
// reused between entries); when a record does not fit, the rest of the input is scanned for the
// exact size it decodes to and the output grows once to that size. Records with at least
// kFastMargin bytes of input after them and as much room after them in the output are copied in
// whole words that may overshoot the record: the overshoot lies inside the allocation and is
// overwritten by the next record or lies past the output's size.
class Decoder {
  public:
    Decoder(MemoryStream& output, const uint8_t* in, size_t size, uint8_t chunk, uint8_t low)
        : Decoder(output, FreeRoom(output), in, size, chunk, low) {}

  private:
    Decoder(MemoryStream& output, size_t room, const uint8_t* in, size_t size, uint8_t chunk,
            uint8_t low)
        : block_(output, room, kFastMargin),
          begin_(in),
          p_(in),
          end_(in + size),
          inFast_(size > kFastMargin ? end_ - kFastMargin : in),
          chunk_(chunk),
          low_(low) {
        out_ = block_.Begin();
        SetLimits(room);
    }

  public:
    // Returns the offset of the record that cannot be decoded, or -1 when all were decoded.
    ptrdiff_t Run() {
        const uint8_t chunk = chunk_, low = low_;
        for (;;) {
            const uint8_t* p = p_;
            uint8_t* out = out_;
            while (p < inFast_ && out < outFast_) {
                const uint8_t c = *p++;
                if (c > chunk) {
                    const size_t n = static_cast<uint8_t>(c - low);
                    FillWords(out, *p++, n);
                    out += n;
                } else {
                    CopyWords(out, p, c);
                    out += c;
                    p += c;
                }
            }
            p_ = p;
            out_ = out;
            if (p == end_)
                return -1;

            // Near the end of the input or of the room: one record with every check.
            const uint8_t c = *p;
            const size_t left = static_cast<size_t>(end_ - p) - 1;
            size_t n;
            if (c > chunk) {
                if (left == 0)
                    return p - begin_;  // the value byte is missing
                n = static_cast<uint8_t>(c - low);
            } else {
                // A literal control byte that is the last byte (normally the terminator)
                // produces nothing; a 0x00 elsewhere is a literal record of no bytes.
                if (left == 0)
                    return -1;
                if (c > left)
                    return p - begin_;
                n = c;
            }
            if (n > static_cast<size_t>(outEnd_ - out)) {
                Grow(p);
                continue;
            }
            if (c > chunk) {
                if (n != 0)
                    std::memset(out, p[1], n);
                p += 2;
            } else {
                if (n != 0)
                    std::memcpy(out, p + 1, n);
                p += 1 + n;
            }
            p_ = p;
            out_ = out + n;
        }
    }

    size_t Written() const { return static_cast<size_t>(out_ - block_.Begin()); }
    void Commit() { block_.Commit(Written()); }

  private:
    // What can be written without growing: the capacity past the position, less the margin for
    // whole-word stores, when the output is appended at its end; nothing otherwise.
    static size_t FreeRoom(const MemoryStream& output) {
        const size_t position = static_cast<size_t>(output.Position());
        if (position != static_cast<size_t>(output.Size()))
            return 0;
        const size_t capacity = output.Capacity();
        return capacity > position + kFastMargin ? capacity - position - kFastMargin : 0;
    }

    void SetLimits(size_t limit) {
        uint8_t* const begin = block_.Begin();
        outEnd_ = begin + limit;
        // Fast records start where a whole record fits before outEnd_ and its word stores end
        // before the allocation's (or the block's) end.
        const size_t room = static_cast<size_t>(block_.SlackEnd() - begin);
        size_t fast = 0;
        if (limit > 255 && room > kFastMargin)
            fast = std::min(limit - 255, room - kFastMargin);
        outFast_ = begin + fast;
    }

    // Makes the output exactly large enough for what the records from `p` on produce.
    void Grow(const uint8_t* p) {
        const RecordScan scan = ScanRecords(p, static_cast<size_t>(end_ - p), chunk_, low_);
        const size_t written = Written();
        const size_t limit = written + static_cast<size_t>(scan.produced);
        uint8_t* const begin = block_.Grow(limit, kFastMargin);
        out_ = begin + written;
        SetLimits(limit);
    }

    codecs::OutputBlock block_;
    const uint8_t* const begin_;
    const uint8_t* p_;
    const uint8_t* const end_;
    const uint8_t* const inFast_;
    uint8_t* out_ = nullptr;
    uint8_t* outEnd_ = nullptr;
    uint8_t* outFast_ = nullptr;
    const uint8_t chunk_, low_;
};

}  // namespace

void RLEEncode(MemoryStream& input, MemoryStream& output, uint8_t chunk, uint8_t low) {
    const codecs::InputRange in = codecs::RemainingBytes(input);
    const bool blocks = BlockEncoderApplies(chunk, low);
    // Each literal record adds one byte per `chunk` bytes, plus at most one shorter record per
    // run record (which saves at least one byte) and one at the end; then the terminator.
    const size_t limit = blocks ? in.size + in.size / chunk + 2 : 2 * in.size + 2;
    codecs::OutputBlock block(output, limit, kEncodeSlack);
    const size_t written =
        blocks
            ? BlockEncoder(in.data, in.size, block.Begin(), block.SlackEnd(), chunk, low).Encode()
            : EncodeByteWise(in.data, in.size, block.Begin(), chunk, low);
    block.Commit(written);
    codecs::ConsumeAll(input);
}

void RLEDecode(MemoryStream& input, MemoryStream& output, uint8_t chunk, uint8_t low) {
    const codecs::InputRange in = codecs::RemainingBytes(input);
    Decoder decoder(output, in.data, in.size, chunk, low);
    const ptrdiff_t bad = decoder.Run();
    decoder.Commit();
    if (bad >= 0) {
        // The records before the bad one are written; the input stays just past its control byte.
        input.Seek(input.Position() + bad + 1);
        throw EReadError();
    }
    codecs::ConsumeAll(input);
}

int64_t RLEDecodedSize(const uint8_t* data, size_t size, uint8_t chunk, uint8_t low) {
    const RecordScan scan = ScanRecords(data, size, chunk, low);
    if (scan.failed)
        throw EReadError();
    return static_cast<int64_t>(scan.produced);
}

}  // namespace rpq
