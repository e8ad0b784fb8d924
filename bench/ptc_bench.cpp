// Cost of one frame of the pattern protection with a checker at work: a stop pattern and a
// limit ahead, a limit in force, the train running at speed.
#include "ats_pt/ptc.h"
#include "tests/support/ptc_rig.h"

#include <benchmark/benchmark.h>

#include <cstdint>

namespace {

struct Bound : velqa3::test::PtcRig {
    explicit Bound(std::uint8_t mode) {
        atsMode = mode;
        speed = 72.0f;
        frameMs = 16;
        powerNotch = 2;
        reverser = 1;
        aspect = 2;
    }

    // Puts the road ahead back before the train has used it up, so every frame does the
    // whole work: count down, three roots, the checker.
    void Rearm() {
        ptc.sigDis = 900.0f;
        ptc.limDis = 600.0f;
        ptc.limSpd = 45.0f;
        ptc.limLength = 400.0f;
        ptc.limDoDis = 300.0f;
        ptc.limDoSpd = 95.0f;
    }
};

void BM_PtcUpdate(benchmark::State& state) {
    Bound bound(static_cast<std::uint8_t>(state.range(0)));
    bound.Rearm();
    int frame = 0;
    for (auto _ : state) {
        if (++frame == 1000) {
            frame = 0;
            bound.Rearm();
        }
        bound.speed = 70.0f + static_cast<float>(frame % 8); // keeps the compiler honest
        bound.ptc.Update(bound.Frame());
        benchmark::DoNotOptimize(bound.ptc.patternSpd);
    }
}
// The emergency variant (4), the service variant (7) and the aspect variant (133).
BENCHMARK(BM_PtcUpdate)->Arg(4)->Arg(7)->Arg(133);

void BM_PtcBeaconIn(benchmark::State& state) {
    Bound bound(4);
    for (auto _ : state) {
        bound.ptc.BeaconIn(bound.Frame(), 70, 0, 0.0f, 9'062'999, false);
        bound.ptc.BeaconIn(bound.Frame(), 60, 3, 300.0f, 2'003, false);
        benchmark::DoNotOptimize(bound.ptc.sigDis);
    }
}
BENCHMARK(BM_PtcBeaconIn);

} // namespace

BENCHMARK_MAIN();
