// A pack checked in memory, as `rpq verify` does: any bytes give a list of problems or
// "Stream read error" for a cut count or directory, and nothing else.
#include <cstdint>

#include "fuzz/fuzz_support.h"
#include "packs/pack_format.h"
#include "packs/verify.h"
#include "toolkit/errors.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    rpq::MemoryStream pack;
    pack.Write(data, size);
    uint32_t count = 0;
    try {
        const auto problems = rpq::VerifyPack(pack, &count);
        if (size < 4 || rpq::RecordPosition(count) > static_cast<int64_t>(size))
            rpq::fuzz::Fail("VerifyPack accepted a cut directory");
        for (const auto& p : problems) {
            if (p.Index >= count || p.Problem.empty())
                rpq::fuzz::Fail("VerifyPack reported a problem without an entry");
        }
    } catch (const rpq::EReadError&) {
        if (size >= 4 && rpq::RecordPosition(count) <= static_cast<int64_t>(size))
            rpq::fuzz::Fail("VerifyPack raised a read error for a whole directory");
    }
    return 0;
}
