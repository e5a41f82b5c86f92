// RLE decoding of arbitrary bytes, checked against a plain record-by-record decoder: the same
// bytes, the same failures, and RLEDecodedSize agreeing with both. The first pass uses the
// parameters the packs use; a second pass takes chunk and low from the first two bytes.
#include <cstdint>
#include <string>

#include "codecs/codec.h"
#include "codecs/rle.h"
#include "fuzz/fuzz_support.h"
#include "toolkit/errors.h"

namespace {

using rpq::fuzz::Fail;

// The records as the format describes them, one byte at a time. Returns false where a record
// cannot be decoded; `out` then holds what the records before it produced.
bool ReferenceDecode(const uint8_t* data, size_t size, uint8_t chunk, uint8_t low,
                     std::string& out) {
    size_t i = 0;
    while (i < size) {
        const uint8_t c = data[i++];
        if (c > chunk) {
            if (i == size)
                return false;
            const uint8_t v = data[i++];
            out.append(static_cast<uint8_t>(c - low), static_cast<char>(v));
        } else if (i < size) {
            if (size - i < c)
                return false;
            out.append(reinterpret_cast<const char*>(data + i), c);
            i += c;
        }
    }
    return true;
}

void Check(const uint8_t* data, size_t size, uint8_t chunk, uint8_t low) {
    std::string expected;
    const bool ok = ReferenceDecode(data, size, chunk, low, expected);

    bool sizeOk = true;
    int64_t decodedSize = -1;
    try {
        decodedSize = rpq::RLEDecodedSize(data, size, chunk, low);
    } catch (const rpq::EReadError&) {
        sizeOk = false;
    }
    if (sizeOk != ok)
        Fail("RLEDecodedSize and the records disagree about failure");
    if (ok && decodedSize != static_cast<int64_t>(expected.size()))
        Fail("RLEDecodedSize differs from the decoded size");

    // Into an output that already holds bytes, at a position inside them: the decoder must
    // write at the position and keep what lies past what it writes.
    rpq::MemoryStream in, out;
    in.Write(data, size);
    in.Seek(0);
    const std::string prefix = "0123456789";
    out.Write(prefix.data(), prefix.size());
    out.Seek(4);
    bool decodeOk = true;
    try {
        rpq::RLEDecode(in, out, chunk, low);
    } catch (const rpq::EReadError&) {
        decodeOk = false;
    }
    if (decodeOk != ok)
        Fail("RLEDecode and the records disagree about failure");
    std::string want = prefix.substr(0, 4) + expected;
    if (want.size() < prefix.size())
        want += prefix.substr(want.size());
    if (rpq::fuzz::Bytes(out) != want)
        Fail("RLEDecode output differs from the records");
    if (ok && in.Position() != in.Size())
        Fail("RLEDecode did not consume its input");

    // The codec component: on failure the stream keeps its content.
    rpq::TTCodec codec;
    codec.Algorithm = rpq::algRLE;
    codec.RLEChunk = chunk;
    codec.RLELow = low;
    rpq::MemoryStream s;
    s.Write(data, size);
    s.Seek(0);
    try {
        codec.Decompress(s);
        if (!ok)
            Fail("Decompress succeeded on undecodable data");
        if (rpq::fuzz::Bytes(s) != expected || s.Position() != s.Size())
            Fail("Decompress output differs");
    } catch (const rpq::EReadError&) {
        if (ok)
            Fail("Decompress failed on decodable data");
        if (rpq::fuzz::Bytes(s) != std::string(reinterpret_cast<const char*>(data), size))
            Fail("a failed Decompress changed its stream");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Check(data, size, rpq::kRLEChunk, rpq::kRLELow);
    if (size >= 2)
        Check(data + 2, size - 2, data[0], data[1]);
    return 0;
}
