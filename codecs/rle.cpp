#include "codecs/rle.h"

#include <algorithm>
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
bool BlockEncoderApplies(uint8_t chunk, uint8_t low) {
    return chunk >= 1 && RunLimit(low) >= 3;
}

// Writes the literal bytes [begin, end) as records of `chunk` bytes and one shorter record for
// what is left.
inline uint8_t* WriteLiterals(uint8_t* out, const uint8_t* begin, const uint8_t* end,
                              uint8_t chunk) {
    size_t left = static_cast<size_t>(end - begin);
    while (left >= chunk) {
        *out++ = chunk;
        std::memcpy(out, begin, chunk);
        out += chunk;
        begin += chunk;
        left -= chunk;
    }
    if (left != 0) {
        *out++ = static_cast<uint8_t>(left);
        std::memcpy(out, begin, left);
        out += left;
    }
    return out;
}

inline uint64_t Load64(const uint8_t* p) {
    uint64_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

// True when one of the eight bytes of `v` is zero.
inline bool HasZeroByte(uint64_t v) {
    return ((v - 0x0101010101010101ull) & ~v & 0x8080808080808080ull) != 0;
}

// The stream as a sequence of tokens: every maximal run of three or more equal bytes (cut at the
// run limit, after which the rest of the run is coded afresh) becomes a run record, and the bytes
// between runs, pairs included, form one literal stretch that is cut into records of `chunk`
// bytes. Writing a stretch as a whole before the run record that ends it gives the same bytes
// as a literal buffer that is written whenever it fills and closed when a run begins.
size_t EncodeBlocks(const uint8_t* in, size_t size, uint8_t* out, uint8_t chunk, uint8_t low) {
    uint8_t* const outBegin = out;
    const size_t runLimit = RunLimit(low);
    const uint8_t* p = in;
    const uint8_t* const end = in + size;
    const uint8_t* literals = in;
    while (end - p >= 3) {
        // A run can only start at a byte equal to its neighbour: skip eight bytes at a time
        // while no two neighbours are equal.
        while (end - p >= 9 && !HasZeroByte(Load64(p) ^ Load64(p + 1)))
            p += 8;
        if (end - p < 3)
            break;
        const uint8_t x = p[0];
        if (p[1] != x) {
            ++p;
            continue;
        }
        if (p[2] != x) {
            p += 2;  // a pair stays with the literals
            continue;
        }
        out = WriteLiterals(out, literals, p, chunk);
        const size_t limit = std::min(runLimit, static_cast<size_t>(end - p));
        size_t run = 3;
        while (run < limit && p[run] == x)
            ++run;
        *out++ = static_cast<uint8_t>(run + low);
        *out++ = x;
        p += run;
        literals = p;
    }
    out = WriteLiterals(out, literals, end, chunk);
    *out++ = 0;
    return static_cast<size_t>(out - outBegin);
}

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
// Room the fast paths need past a record: a record of up to 255 bytes rounded up to whole words.
constexpr size_t kFastMargin = 256 + kWord;

inline void Copy16(uint8_t* dst, const uint8_t* src) {
    std::memcpy(dst, src, kWord);
}

inline void Fill16(uint8_t* dst, uint8_t v) {
    std::memset(dst, v, kWord);
}

// Decodes whole records of [in, in + size) into out. `inLimit` is the end of the readable input
// and `outLimit` the end of the writable output; records far enough from both are copied in
// whole 16-byte words that may overshoot the record (the overshoot is overwritten by the next
// record or lies past the output's size).
uint8_t* DecodeRecords(const uint8_t* in, size_t size, const uint8_t* inLimit, uint8_t* out,
                       const uint8_t* outLimit, uint8_t chunk, uint8_t low) {
    const uint8_t* p = in;
    const uint8_t* const end = in + size;
    const uint8_t* const inFast =
        inLimit - in > static_cast<ptrdiff_t>(kFastMargin) ? inLimit - kFastMargin : in;
    const uint8_t* const outFast =
        outLimit - out > static_cast<ptrdiff_t>(kFastMargin) ? outLimit - kFastMargin : out;
    while (p < end) {
        const uint8_t c = *p++;
        if (c > chunk) {
            const size_t n = static_cast<uint8_t>(c - low);
            const uint8_t v = *p++;
            if (out < outFast) {
                Fill16(out, v);
                for (size_t k = kWord; k < n; k += kWord)
                    Fill16(out + k, v);
            } else if (n != 0) {
                std::memset(out, v, n);
            }
            out += n;
        } else {
            if (p == end)
                break;  // a literal control byte at the very end: nothing follows
            const size_t n = c;
            if (out < outFast && p < inFast) {
                Copy16(out, p);
                for (size_t k = kWord; k < n; k += kWord)
                    Copy16(out + k, p + k);
            } else if (n != 0) {
                std::memcpy(out, p, n);
            }
            out += n;
            p += n;
        }
    }
    return out;
}

}  // namespace

void RLEEncode(MemoryStream& input, MemoryStream& output, uint8_t chunk, uint8_t low) {
    const codecs::InputRange in = codecs::RemainingBytes(input);
    const bool blocks = BlockEncoderApplies(chunk, low);
    // Each literal record adds one byte per `chunk` bytes, plus at most one shorter record per
    // run record (which saves at least one byte) and one at the end; then the terminator.
    const size_t limit = blocks ? in.size + in.size / chunk + 2 : 2 * in.size + 2;
    codecs::OutputBlock block(output, limit);
    const size_t written = blocks ? EncodeBlocks(in.data, in.size, block.Begin(), chunk, low)
                                  : EncodeByteWise(in.data, in.size, block.Begin(), chunk, low);
    block.Commit(written);
    codecs::ConsumeAll(input);
}

void RLEDecode(MemoryStream& input, MemoryStream& output, uint8_t chunk, uint8_t low) {
    const codecs::InputRange in = codecs::RemainingBytes(input);
    const RecordScan scan = ScanRecords(in.data, in.size, chunk, low);
    codecs::OutputBlock block(output, static_cast<size_t>(scan.produced), kFastMargin);
    uint8_t* const end = DecodeRecords(in.data, scan.end, in.data + in.size, block.Begin(),
                                       block.SlackEnd(), chunk, low);
    block.Commit(static_cast<size_t>(end - block.Begin()));
    if (scan.failed) {
        // The records before the bad one are written; the input stays just past its control byte.
        input.Seek(input.Position() + static_cast<int64_t>(scan.end) + 1);
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
