// LZSS decoding of arbitrary bytes, checked against the classic decoder written out plainly.
#include <cstdint>
#include <cstring>
#include <string>

#include "codecs/lzss.h"
#include "fuzz/fuzz_support.h"

namespace {

std::string ReferenceDecode(const uint8_t* data, size_t size) {
    uint8_t ring[4096];
    // A fresh ring: spaces before the start position, zeros from it on (the classic coder's
    // static buffer on its first run).
    std::memset(ring, 0, sizeof ring);
    std::memset(ring, ' ', 4078);
    unsigned r = 4078;
    unsigned flags = 0;
    size_t i = 0;
    std::string out;
    for (;;) {
        flags >>= 1;
        if ((flags & 0x100) == 0) {
            if (i == size)
                break;
            flags = data[i++] | 0xFF00u;
        }
        if (flags & 1) {
            if (i == size)
                break;
            const uint8_t c = data[i++];
            out.push_back(static_cast<char>(c));
            ring[r] = c;
            r = (r + 1) & 4095;
        } else {
            if (size - i < 2)
                break;
            const unsigned position = data[i] | ((data[i + 1] & 0xF0u) << 4);
            const unsigned length = (data[i + 1] & 0x0Fu) + 3;
            i += 2;
            for (unsigned k = 0; k < length; ++k) {
                const uint8_t c = ring[(position + k) & 4095];
                out.push_back(static_cast<char>(c));
                ring[r] = c;
                r = (r + 1) & 4095;
            }
        }
    }
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    rpq::MemoryStream in, out;
    in.Write(data, size);
    in.Seek(0);
    rpq::LZSSDecode(in, out);
    if (rpq::fuzz::Bytes(out) != ReferenceDecode(data, size))
        rpq::fuzz::Fail("LZSSDecode differs from the classic decoder");
    if (in.Position() != in.Size())
        rpq::fuzz::Fail("LZSSDecode did not consume its input");
    return 0;
}
