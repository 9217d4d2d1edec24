// A full collection on 64-bit Windows with 200 Internet Explorer add-ons
// (20 of each kind in each registry view) among 20,000 registered classes,
// as start-up and refresh run it. Target: under 500 ms.
#include <benchmark/benchmark.h>

#include "app/core/minfocollector.h"
#include "app/core/mmain.h"
#include "bench/bench_machine.h"

namespace {

constexpr int kClasses = 20000; // in both views together
constexpr int kPerKindAndView = 20;
constexpr int kFiles = 10;

struct Machine : bench::BenchMachine {
    Machine() {
        prefix.importReg("Windows Registry Editor Version 5.00\n" +
                         bench::ieAddonRegistry(kPerKindAndView, kClasses / 2, kFiles));
        bench::writeIeAddonFiles(prefix, kFiles);
    }
};

Machine& machine() {
    static Machine m;
    return m;
}

void BM_CollectAllAddonInfo(benchmark::State& state) {
    Machine& m = machine();
    for (auto _ : state) sorlix::MInfoCollector::CollectAllAddonInfo();
    win::LONG listed = 0;
    for (win::LONG type = 1; type <= 24; ++type) listed += bench::listed(type);
    state.counters["addons"] = listed;
    if (!m.program.log->lines.empty()) state.SkipWithError(m.program.log->lines.front().description.c_str());
}
BENCHMARK(BM_CollectAllAddonInfo)->Unit(benchmark::kMillisecond);

} // namespace
