#include "codecs/lzss.h"

#include <cstring>

#include "codecs/stream_io.h"

namespace rpq {
namespace {

constexpr int kWindow = 4096;                 // ring size; positions have 12 bits
constexpr int kLookAhead = 18;                // longest match
constexpr int kThreshold = 2;                 // matches longer than this are sent
constexpr int kStart = kWindow - kLookAhead;  // 4078: first write position
constexpr int kNoNode = kWindow;              // a missing child or parent
constexpr uint8_t kFill = 0x20;

// The coder's process-wide state: one coding at a time. The ring has 17 bytes past its end that
// repeat positions 0..16, so an 18-byte comparison never wraps.
uint8_t gRing[kWindow + kLookAhead - 1];
int32_t gLeft[kWindow + 1];
int32_t gRight[kWindow + 257];  // entries 4097..4352: the roots, one per first byte
int32_t gParent[kWindow + 1];
int gMatchPosition = 0;
int gMatchLength = 0;

// Every coding starts on a fresh ring: spaces up to the start position and zeros after it, the
// state a newly started coder has. Output then depends only on the input.
void ResetRing() {
    std::memset(gRing, kFill, kStart);
    std::memset(gRing + kStart, 0, sizeof gRing - kStart);
}

void ResetTrees() {
    for (int i = kWindow + 1; i <= kWindow + 256; ++i)
        gRight[i] = kNoNode;
    for (int i = 0; i < kWindow; ++i)
        gParent[i] = kNoNode;
}

// Inserts the string at r into the tree of its first byte and records the longest match met on
// the way (the first of equally long ones). A string equal in all 18 bytes replaces the older
// node, so only the newer of the two stays in the tree.
void InsertString(int r) {
    const uint8_t* key = &gRing[r];
    int cmp = 1;
    int p = kWindow + 1 + key[0];
    gRight[r] = gLeft[r] = kNoNode;
    gMatchLength = 0;
    for (;;) {
        if (cmp >= 0) {
            if (gRight[p] != kNoNode) {
                p = gRight[p];
            } else {
                gRight[p] = r;
                gParent[r] = p;
                return;
            }
        } else {
            if (gLeft[p] != kNoNode) {
                p = gLeft[p];
            } else {
                gLeft[p] = r;
                gParent[r] = p;
                return;
            }
        }
        const uint8_t* other = &gRing[p];
        int i = 1;
        for (; i < kLookAhead; ++i) {
            cmp = static_cast<int>(key[i]) - static_cast<int>(other[i]);
            if (cmp != 0)
                break;
        }
        if (i == kLookAhead)
            cmp = 0;
        if (i > gMatchLength) {
            gMatchPosition = p;
            gMatchLength = i;
            if (i >= kLookAhead)
                break;
        }
    }
    // r takes the place of p.
    gParent[r] = gParent[p];
    gLeft[r] = gLeft[p];
    gRight[r] = gRight[p];
    gParent[gLeft[p]] = r;
    gParent[gRight[p]] = r;
    if (gRight[gParent[p]] == p)
        gRight[gParent[p]] = r;
    else
        gLeft[gParent[p]] = r;
    gParent[p] = kNoNode;
}

void RemoveString(int p) {
    if (gParent[p] == kNoNode)
        return;
    int q;
    if (gRight[p] == kNoNode) {
        q = gLeft[p];
    } else if (gLeft[p] == kNoNode) {
        q = gRight[p];
    } else {
        q = gLeft[p];
        if (gRight[q] != kNoNode) {
            do
                q = gRight[q];
            while (gRight[q] != kNoNode);
            gRight[gParent[q]] = gLeft[q];
            gParent[gLeft[q]] = gParent[q];
            gLeft[q] = gLeft[p];
            gParent[gLeft[p]] = q;
        }
        gRight[q] = gRight[p];
        gParent[gRight[p]] = q;
    }
    gParent[q] = gParent[p];
    if (gRight[gParent[p]] == p)
        gRight[gParent[p]] = q;
    else
        gLeft[gParent[p]] = q;
    gParent[p] = kNoNode;
}

// Writes one byte of the input into the ring, and into the repeat after the ring's end for the
// first positions.
inline void StoreRingByte(int s, uint8_t c) {
    gRing[s] = c;
    if (s < kLookAhead - 1)
        gRing[s + kWindow] = c;
}

size_t Encode(const uint8_t* in, size_t size, uint8_t* out) {
    uint8_t* const outBegin = out;
    const uint8_t* const end = in + size;
    ResetTrees();
    ResetRing();
    uint8_t code[17];
    code[0] = 0;
    int codeCount = 1;
    uint8_t mask = 1;
    int s = 0;
    int r = kStart;

    int len = 0;
    while (len < kLookAhead && in < end)
        gRing[r + len++] = *in++;
    if (len == 0)
        return 0;
    for (int i = 1; i <= kLookAhead; ++i)
        InsertString(r - i);
    InsertString(r);

    do {
        if (gMatchLength > len)
            gMatchLength = len;
        if (gMatchLength <= kThreshold) {
            gMatchLength = 1;
            code[0] |= mask;
            code[codeCount++] = gRing[r];
        } else {
            code[codeCount++] = static_cast<uint8_t>(gMatchPosition);
            code[codeCount++] = static_cast<uint8_t>(((gMatchPosition >> 4) & 0xF0) |
                                                     (gMatchLength - (kThreshold + 1)));
        }
        mask = static_cast<uint8_t>(mask << 1);
        if (mask == 0) {
            std::memcpy(out, code, codeCount);
            out += codeCount;
            code[0] = 0;
            codeCount = 1;
            mask = 1;
        }
        const int last = gMatchLength;
        int i = 0;
        for (; i < last && in < end; ++i) {
            const uint8_t c = *in++;
            RemoveString(s);
            StoreRingByte(s, c);
            s = (s + 1) & (kWindow - 1);
            r = (r + 1) & (kWindow - 1);
            InsertString(r);
        }
        for (; i < last; ++i) {
            RemoveString(s);
            s = (s + 1) & (kWindow - 1);
            r = (r + 1) & (kWindow - 1);
            if (--len != 0)
                InsertString(r);
        }
    } while (len > 0);

    if (codeCount > 1) {
        std::memcpy(out, code, codeCount);
        out += codeCount;
    }
    return static_cast<size_t>(out - outBegin);
}

}  // namespace

void LZSSEncode(MemoryStream& input, MemoryStream& output) {
    const codecs::InputRange in = codecs::RemainingBytes(input);
    // At worst every byte is a literal: one flag byte for every eight of them.
    codecs::OutputBlock block(output, in.size + in.size / 8 + 1);
    block.Commit(Encode(in.data, in.size, block.Begin()));
    codecs::ConsumeAll(input);
}

void LZSSDecode(MemoryStream& input, MemoryStream& output) {
    const codecs::InputRange in = codecs::RemainingBytes(input);
    ResetRing();
    const uint8_t* p = in.data;
    const uint8_t* const end = in.data + in.size;

    // The output grows in steps; before each item there is room for its longest expansion.
    size_t limit = in.size * 4 + 64;
    size_t written = 0;
    codecs::OutputBlock block(output, limit);
    uint8_t* o = block.Begin();

    int r = kStart;
    unsigned flags = 0;
    for (;;) {
        flags >>= 1;
        if ((flags & 0x100) == 0) {
            if (p == end)
                break;
            flags = *p++ | 0xFF00u;
        }
        if (written + kLookAhead > limit) {
            limit *= 2;
            o = block.Grow(limit);
        }
        if (flags & 1) {
            if (p == end)
                break;
            const uint8_t c = *p++;
            o[written++] = c;
            gRing[r] = c;
            r = (r + 1) & (kWindow - 1);
        } else {
            if (end - p < 2)
                break;
            const int position = p[0] | ((p[1] & 0xF0) << 4);
            const int length = (p[1] & 0x0F) + kThreshold + 1;
            p += 2;
            for (int k = 0; k < length; ++k) {
                const uint8_t c = gRing[(position + k) & (kWindow - 1)];
                o[written++] = c;
                gRing[r] = c;
                r = (r + 1) & (kWindow - 1);
            }
        }
    }
    block.Commit(written);
    codecs::ConsumeAll(input);
}

}  // namespace rpq
