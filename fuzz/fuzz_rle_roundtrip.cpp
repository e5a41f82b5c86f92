// RLE encode then decode gives back the input; the stream keeps within its size bound and ends
// with its one terminator, and RLEDecodedSize knows the size before decoding.
#include <cstdint>
#include <cstring>

#include "codecs/rle.h"
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using rpq::fuzz::Fail;
    rpq::MemoryStream raw, coded, decoded;
    raw.Write(data, size);
    raw.Seek(0);
    rpq::RLEEncode(raw, coded, rpq::kRLEChunk, rpq::kRLELow);
    const size_t codedSize = static_cast<size_t>(coded.Size());
    if (raw.Position() != raw.Size() || coded.Position() != coded.Size())
        Fail("RLEEncode left a stream short of its end");
    if (codedSize > size + size / rpq::kRLEChunk + 2)
        Fail("RLE stream longer than its bound");
    if (codedSize == 0 || coded.Data()[codedSize - 1] != 0)
        Fail("RLE stream does not end with 0x00");
    if (rpq::RLEDecodedSize(coded.Data(), codedSize, rpq::kRLEChunk, rpq::kRLELow) !=
        static_cast<int64_t>(size))
        Fail("RLEDecodedSize of the encoder's stream is not the input's size");
    coded.Seek(0);
    rpq::RLEDecode(coded, decoded, rpq::kRLEChunk, rpq::kRLELow);
    if (decoded.Size() != static_cast<int64_t>(size) ||
        (size != 0 && std::memcmp(decoded.Data(), data, size) != 0))
        Fail("RLE round trip changed the data");
    return 0;
}
