// The coders against memcpy of the same number of bytes, on generated data of four kinds:
// asset-like (literal stretches and runs of 1..63 bytes), short records (1..15 bytes), random
// (all literals) and constant (all runs). Every coder benchmark reports bytes/s of raw (decoded)
// data and "x_memcpy": its speed divided by memcpy's on the same size, measured in this run.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "codecs/lzss.h"
#include "codecs/rle.h"
#include "tests/support/pack_builder.h"
#include "toolkit/streams.h"

namespace {

using rpq::MemoryStream;
using rpq::test::ContentKind;

constexpr size_t kRleSize = 8 << 20;
constexpr size_t kLzssSize = 1 << 20;  // the tree search is slow; a smaller input suffices

const ContentKind kKinds[] = {ContentKind::AssetLike, ContentKind::ShortRecords,
                              ContentKind::Random, ContentKind::Constant};
const char* const kKindNames[] = {"asset", "short", "random", "constant"};

const std::string& Content(int kind, size_t size) {
    static std::map<std::pair<int, size_t>, std::string> cache;
    auto& s = cache[{kind, size}];
    if (s.empty())
        s = rpq::test::MakeContent(kKinds[kind], size, 42 + kind);
    return s;
}

void Fill(MemoryStream& stream, const std::string& bytes) {
    stream.Reset();
    stream.Write(bytes.data(), bytes.size());
    stream.Seek(0);
}

// Times every iteration's coding and, right after it, a memcpy of the same number of raw bytes
// between two warm buffers, so both see the same machine load. The benchmark's time is the
// coder's; "x_memcpy" is memcpy's total time divided by the coder's.
class SideBySide {
  public:
    explicit SideBySide(size_t size) : from_(size, 1), to_(size, 2) {}

    template <typename Code>
    void Iterate(benchmark::State& state, Code&& code) {
        using Clock = std::chrono::steady_clock;
        const auto t0 = Clock::now();
        code();
        const auto t1 = Clock::now();
        std::memcpy(to_.data(), from_.data(), from_.size());
        benchmark::ClobberMemory();
        const auto t2 = Clock::now();
        const double coding = std::chrono::duration<double>(t1 - t0).count();
        coding_ += coding;
        copying_ += std::chrono::duration<double>(t2 - t1).count();
        state.SetIterationTime(coding);
    }

    void Report(benchmark::State& state) const {
        state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * from_.size()));
        state.counters["x_memcpy"] = coding_ > 0 ? copying_ / coding_ : 0;
        state.counters["memcpy_GBps"] =
            copying_ > 0 ? 1e-9 * static_cast<double>(state.iterations() * from_.size()) / copying_
                         : 0;
    }

  private:
    std::vector<uint8_t> from_, to_;
    double coding_ = 0, copying_ = 0;
};

void BM_Memcpy(benchmark::State& state) {
    const size_t size = static_cast<size_t>(state.range(0));
    std::vector<uint8_t> a(size, 1), b(size, 2);
    for (auto _ : state) {
        std::memcpy(b.data(), a.data(), size);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * size));
}
BENCHMARK(BM_Memcpy)->Arg(kRleSize)->Arg(kLzssSize)->UseRealTime();

void BM_RleEncode(benchmark::State& state) {
    const int kind = static_cast<int>(state.range(0));
    const std::string& raw = Content(kind, kRleSize);
    MemoryStream input, output;
    Fill(input, raw);
    SideBySide timing(raw.size());
    for (auto _ : state) {
        timing.Iterate(state, [&] {
            input.Seek(0);
            output.Reset();
            rpq::RLEEncode(input, output, rpq::kRLEChunk, rpq::kRLELow);
            benchmark::DoNotOptimize(output.Data());
        });
    }
    state.SetLabel(kKindNames[kind]);
    timing.Report(state);
    state.counters["ratio"] = static_cast<double>(output.Size()) / static_cast<double>(raw.size());
}
BENCHMARK(BM_RleEncode)->DenseRange(0, 3)->UseManualTime();

// Decoding into a reused buffer, as extraction does between entries.
void BM_RleDecode(benchmark::State& state) {
    const int kind = static_cast<int>(state.range(0));
    const std::string& raw = Content(kind, kRleSize);
    MemoryStream input, output;
    Fill(input, rpq::test::RleEncode(raw));
    SideBySide timing(raw.size());
    for (auto _ : state) {
        timing.Iterate(state, [&] {
            input.Seek(0);
            output.Reset();
            rpq::RLEDecode(input, output, rpq::kRLEChunk, rpq::kRLELow);
            benchmark::DoNotOptimize(output.Data());
        });
    }
    if (output.Size() != static_cast<int64_t>(raw.size()) ||
        std::memcmp(output.Data(), raw.data(), raw.size()) != 0)
        state.SkipWithError("decoded bytes differ");
    state.SetLabel(kKindNames[kind]);
    timing.Report(state);
}
BENCHMARK(BM_RleDecode)->DenseRange(0, 3)->UseManualTime();

void BM_LzssEncode(benchmark::State& state) {
    const int kind = static_cast<int>(state.range(0));
    const std::string& raw = Content(kind, kLzssSize);
    MemoryStream input, output;
    Fill(input, raw);
    SideBySide timing(raw.size());
    for (auto _ : state) {
        timing.Iterate(state, [&] {
            input.Seek(0);
            output.Reset();
            rpq::LZSSEncode(input, output);
            benchmark::DoNotOptimize(output.Data());
        });
    }
    state.SetLabel(kKindNames[kind]);
    timing.Report(state);
    state.counters["ratio"] = static_cast<double>(output.Size()) / static_cast<double>(raw.size());
}
BENCHMARK(BM_LzssEncode)->DenseRange(0, 3)->UseManualTime()->Unit(benchmark::kMillisecond);

void BM_LzssDecode(benchmark::State& state) {
    const int kind = static_cast<int>(state.range(0));
    const std::string& raw = Content(kind, kLzssSize);
    MemoryStream input, output;
    Fill(input, raw);
    MemoryStream coded;
    rpq::LZSSEncode(input, coded);
    coded.Seek(0);
    SideBySide timing(raw.size());
    for (auto _ : state) {
        timing.Iterate(state, [&] {
            coded.Seek(0);
            output.Reset();
            rpq::LZSSDecode(coded, output);
            benchmark::DoNotOptimize(output.Data());
        });
    }
    if (output.Size() != static_cast<int64_t>(raw.size()) ||
        std::memcmp(output.Data(), raw.data(), raw.size()) != 0)
        state.SkipWithError("decoded bytes differ");
    state.SetLabel(kKindNames[kind]);
    timing.Report(state);
}
BENCHMARK(BM_LzssDecode)->DenseRange(0, 3)->UseManualTime();

}  // namespace
