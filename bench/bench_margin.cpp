// tvx-bench-margin: the recognition margin of one frame against a teach table of 15 active rows,
// as the recorder computes it for every frame of every sensor. Prints ns per frame; asserts
// nothing.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "recognition_margin.h"

namespace {

using namespace tvx;

ParameterSet FifteenRows() {
    ParameterSet p;
    p.maxcolno = 15;
    for (int r = 0; r < kTeachRows; ++r) {
        const auto u = static_cast<std::uint16_t>(r);
        p.ctt[static_cast<std::size_t>(r)] = {static_cast<std::uint16_t>(400 + 200 * u),
                                              static_cast<std::uint16_t>(3000 - 150 * u), 120,
                                              static_cast<std::uint16_t>(1000 + 50 * u), 100};
    }
    return p;
}

// Frames around the rows, some recognised, some not (C-No 255), so that neither branch is
// always taken.
std::vector<LiveValues> Frames() {
    std::vector<LiveValues> frames;
    for (int i = 0; i < 256; ++i) {
        LiveValues live;
        const int row = i % kTeachRows;
        live.dataX = static_cast<std::uint16_t>(400 + 200 * row + (i * 37) % 150 - 75);
        live.dataY = static_cast<std::uint16_t>(3000 - 150 * row + (i * 53) % 150 - 75);
        live.dataINT = static_cast<std::uint16_t>(1000 + 50 * row + (i * 11) % 100 - 50);
        live.dataCOL = i % 4 == 3 ? 255 : row;
        frames.push_back(live);
    }
    return frames;
}

void MarginOfAFrame(benchmark::State& state) {
    const MarginTable table(FifteenRows());
    const std::vector<LiveValues> frames = Frames();
    std::size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(table.Evaluate(frames[i]));
        i = (i + 1) % frames.size();
    }
    state.SetLabel("15 active rows, ns per frame");
}
BENCHMARK(MarginOfAFrame);

void PrepareTheTable(benchmark::State& state) {
    const ParameterSet params = FifteenRows();
    for (auto _ : state) benchmark::DoNotOptimize(MarginTable(params));
    state.SetLabel("once per parameter set");
}
BENCHMARK(PrepareTheTable);

}  // namespace

BENCHMARK_MAIN();
