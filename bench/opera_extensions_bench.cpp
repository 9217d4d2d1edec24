// Re-collecting the Opera extensions of both builds (types 21 and 23) on a
// 64-bit machine with 42 widget packages in each widgets folder, as a
// refresh of the Opera set runs it: every package listed, its configuration
// unpacked into the work folder and read. Part of the 150 ms that
// re-collecting types 21 to 24 may take.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>

#include "app/core/minfocollector.h"
#include "bench/bench_machine.h"

namespace {

constexpr int kPackagesPerBuild = 42;

struct Machine : bench::BenchMachine {
    Machine() {
        for (const char* build : {"Opera", "Opera x64"}) {
            const std::filesystem::path widgets =
                prefix.host(std::string("C:\\users\\tester\\AppData\\Local\\Opera\\") + build + "\\widgets");
            std::filesystem::create_directories(widgets);
            for (int n = 0; n < kPackagesPerBuild; ++n)
                bench::writeWidget(widgets / ("ext" + std::to_string(n) + ".oex"), n);
        }
    }
};

Machine& machine() {
    static Machine m;
    return m;
}

void BM_RecollectOperaExtensions(benchmark::State& state) {
    Machine& m = machine();
    for (auto _ : state) {
        sorlix::MInfoCollector::RecollectAddonInfo(21);
        sorlix::MInfoCollector::RecollectAddonInfo(23);
    }
    const win::LONG listed = bench::listed(21) + bench::listed(23);
    state.counters["addons"] = listed;
    if (listed != 2 * kPackagesPerBuild) state.SkipWithError("not every package was listed");
    if (!m.program.log->lines.empty()) state.SkipWithError(m.program.log->lines.front().description.c_str());
}
BENCHMARK(BM_RecollectOperaExtensions)->Unit(benchmark::kMillisecond);

} // namespace
