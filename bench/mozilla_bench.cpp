// Firefox extensions in three profiles: 300 packages of 40 entries each and
// 100 extension folders. Target: under 200 ms, at most two archive opens
// per package and nothing inflated but the install manifests (counters
// "opens per package" and "inflated bytes" beside the manifests' size).
#include <benchmark/benchmark.h>

#include <string>

#include "app/enumerators/cmozillaextenum.h"
#include "bench/bench_machine.h"
#include "platform/unzip/unzip.h"

namespace {

constexpr int kProfiles = 3;
constexpr int kPackages = 300;
constexpr int kFolders = 100;
constexpr int kEntries = 40;

struct Machine : bench::BenchMachine {
    std::size_t manifestBytes = 0;

    Machine() {
        const std::string profiles = "C:\\users\\tester\\AppData\\Roaming\\Mozilla\\Firefox\\Profiles\\p";
        for (int n = 0; n < kPackages; ++n)
            manifestBytes += bench::writeXpi(prefix,
                                             profiles + std::to_string(n % kProfiles) + ".default\\extensions\\ext" +
                                                 std::to_string(n) + ".xpi",
                                             n, kEntries);
        for (int n = 0; n < kFolders; ++n)
            bench::writeExtensionFolder(
                prefix, profiles + std::to_string(n % kProfiles) + ".default\\extensions\\folder" + std::to_string(n),
                kPackages + n);
    }
};

void BM_EnumFirefoxExtensions(benchmark::State& state) {
    static Machine m;
    win::LONG found = 0;
    winsys::resetUnzipCounters();
    for (auto _ : state) {
        const auto result = sorlix::CFFextEnumerator().EnumFirefoxExtensions();
        if (!result || result->get_Count(&found) != win::S_OK) state.SkipWithError("no result");
    }
    const winsys::UnzipCounters counters = winsys::unzipCounters();
    const double runs = static_cast<double>(state.iterations());
    state.counters["extensions"] = found;
    state.counters["opens per package"] = static_cast<double>(counters.archiveOpens) / runs / kPackages;
    state.counters["inflated bytes"] = static_cast<double>(counters.inflatedBytes) / runs;
    state.counters["manifest bytes"] = static_cast<double>(m.manifestBytes);
    if (!m.program.log->lines.empty()) state.SkipWithError(m.program.log->lines.front().description.c_str());
}
BENCHMARK(BM_EnumFirefoxExtensions)->Unit(benchmark::kMillisecond);

} // namespace
