// LZSS encode then decode gives back the input, through the codec component as its callers use
// it.
#include <cstdint>
#include <cstring>

#include "codecs/codec.h"
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    rpq::TTCodec codec;
    codec.Algorithm = rpq::algLZSS;
    rpq::MemoryStream s;
    s.Write(data, size);
    s.Seek(0);
    codec.Compress(s);
    if (size == 0 && s.Size() != 0)
        rpq::fuzz::Fail("LZSS of empty input is not empty");
    s.Seek(0);
    codec.Decompress(s);
    if (s.Size() != static_cast<int64_t>(size) ||
        (size != 0 && std::memcmp(s.Data(), data, size) != 0))
        rpq::fuzz::Fail("LZSS round trip changed the data");
    return 0;
}
