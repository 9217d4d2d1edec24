// The shared 32-bit (type 11), Firefox (14) and Waterfox (16) plugin
// enumerators on 64-bit Windows over 600 plugin files with version
// resources (200 in the user's Mozilla\Plugins folder, half i386 and half
// x64, 100 in Firefox's and 100 in Waterfox's install folders, 200 named by
// registrations) and 200 MozillaPlugins registrations (100 of the machine,
// 100 of the user). Target: each run under 150 ms.
#include <benchmark/benchmark.h>

#include <string>

#include "app/core/comcalls.h"
#include "app/enumerators/cffpluginsenumerator.h"
#include "app/enumerators/cshared32pluginsenum.h"
#include "app/enumerators/cwf64pluginenum.h"
#include "bench/bench_machine.h"

namespace {

constexpr int kPerFolder = 100;
constexpr int kRegistrations = 200;
const std::string kMozilla = "C:\\users\\tester\\AppData\\Roaming\\Mozilla\\Plugins\\";
const std::string kFirefox = "C:\\Program Files (x86)\\Mozilla Firefox";
const std::string kWaterfox = "C:\\Program Files\\Waterfox";

struct Machine : bench::BenchMachine {
    Machine() {
        std::string t = "Windows Registry Editor Version 5.00\n";
        const std::string mozilla = "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\Mozilla\\";
        t += mozilla + "Mozilla Firefox\\24.0\\Main]\n\"Install Directory\"=\"" + testsupport::regText(kFirefox) + "\"\n";
        t += mozilla + "Waterfox\\56.0\\Main]\n\"Install Directory\"=\"" + testsupport::regText(kWaterfox) + "\"\n";
        for (int n = 0; n < kRegistrations; ++n) {
            const std::string root =
                n % 2 ? "HKEY_CURRENT_USER\\SOFTWARE" : "HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node";
            t += "[" + root + "\\MozillaPlugins\\@vendor" + std::to_string(n) + "/plugin]\n\"Path\"=\"" +
                 testsupport::regText(registered(n)) + "\"\n";
        }
        prefix.importReg(t);
        for (int n = 0; n < kPerFolder; ++n) {
            write(kMozilla + "np32_" + std::to_string(n) + ".dll", win::IMAGE_FILE_MACHINE_I386, n);
            write(kMozilla + "np64_" + std::to_string(n) + ".dll", win::IMAGE_FILE_MACHINE_AMD64, n);
            write(kFirefox + "\\plugins\\npff" + std::to_string(n) + ".dll", win::IMAGE_FILE_MACHINE_I386, n);
            write(kWaterfox + "\\Plugins\\npwf" + std::to_string(n) + ".dll", win::IMAGE_FILE_MACHINE_AMD64, n);
        }
        for (int n = 0; n < kRegistrations; ++n)
            write(registered(n), n % 4 == 1 ? win::IMAGE_FILE_MACHINE_AMD64 : win::IMAGE_FILE_MACHINE_I386, n);
    }
    static std::string registered(int n) { return "C:\\Registered\\np" + std::to_string(n) + ".dll"; }
    void write(const std::string& path, win::WORD machine, int n) const { bench::writePlugin(prefix, path, machine, n); }
};

Machine& machine() {
    static Machine m;
    return m;
}

template <class Run>
void measure(benchmark::State& state, Run run) {
    Machine& m = machine();
    win::LONG listed = 0;
    for (auto _ : state) {
        const auto result = run();
        if (!result) {
            state.SkipWithError("the run failed");
            return;
        }
        result->get_Count(&listed);
    }
    state.counters["plugins"] = listed;
    if (!m.program.log->lines.empty()) state.SkipWithError(m.program.log->lines.front().description.c_str());
}

void BM_Shared32Plugins(benchmark::State& state) {
    measure(state, [] { return sorlix::CShared32PluginsEnum().EnumerateShared32Plugins(); });
}
void BM_FirefoxPlugins(benchmark::State& state) {
    measure(state, [] { return sorlix::CFFPluginsEnumerator().EnumFirefoxPlugins(); });
}
void BM_Waterfox64Plugins(benchmark::State& state) {
    measure(state, [] { return sorlix::CWF64PluginEnum().EnumWaterfox64Plugins(); });
}
BENCHMARK(BM_Shared32Plugins)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FirefoxPlugins)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Waterfox64Plugins)->Unit(benchmark::kMillisecond);

} // namespace
