// A full collection on 64-bit Windows with Chrome installed by its 64-bit
// installer: three profiles holding 300 extension versions (half of them
// named through "_locales\en\messages.json"), 20 policy values naming some
// of them, and 40 plugin files in Chrome's program and version folders.
// Target: under 150 ms.
#include <benchmark/benchmark.h>

#include <string>

#include "app/core/minfocollector.h"
#include "app/core/mmain.h"
#include "bench/bench_machine.h"

namespace {

constexpr int kVersions = 300; // 100 per profile
constexpr int kPolicies = 20;  // 10 in each registry view
constexpr int kPlugins = 40;   // half with a version resource

const std::string kUserData = "C:\\users\\tester\\AppData\\Local\\Google\\Chrome\\User Data";
const std::string kApp = "C:\\Program Files\\Google\\Chrome\\Application";
const char* const kProfiles[] = {"Default", "Profile 1", "Profile 2"};

struct Machine : bench::BenchMachine {
    Machine() {
        std::string reg = "Windows Registry Editor Version 5.00\n"
                          "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\ChromeHTML\\shell\\open\\command]\n"
                          "@=\"\\\"C:\\\\Program Files\\\\Google\\\\Chrome\\\\Application\\\\chrome.exe\\\" "
                          "--single-argument %1\"\n"
                          // Present on every Windows machine, empty here.
                          "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Internet Explorer\\Toolbar]\n"
                          "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\Microsoft\\Internet Explorer\\Toolbar]\n";
        for (int view = 0; view < 2; ++view) {
            reg += view ? "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Policies\\Google\\Chrome\\ExtensionInstallForcelist]\n"
                        : "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\Policies\\Google\\Chrome\\"
                          "ExtensionInstallForcelist]\n";
            for (int i = 0; i < kPolicies / 2; ++i)
                reg += "\"" + std::to_string(i + 1) + "\"=\"" + bench::chromeExtensionId(view * 7 + i * 3) +
                       ";https://clients2.google.com/service/update2/crx\"\n";
        }
        prefix.importReg(reg);
        prefix.writeFile(kApp + "\\chrome.exe", "MZ");
        prefix.writeFile(kUserData + "\\Local State", "{}");

        for (int n = 0; n < kVersions; ++n)
            bench::writeChromeExtension(prefix, kUserData + "\\" + kProfiles[n % 3], n, n % 2 == 0);

        for (int n = 0; n < kPlugins; ++n) {
            const std::string folder = n < kPlugins / 2 ? kApp + "\\plugins" : kApp + "\\31.0.1650.57\\plugins";
            bench::writePlugin(prefix, folder + "\\np" + std::to_string(n) + ".dll", win::IMAGE_FILE_MACHINE_I386,
                               n, n % 2 == 0);
        }
    }
};

Machine& machine() {
    static Machine m;
    return m;
}

void BM_CollectAllAddonInfoWithChrome(benchmark::State& state) {
    Machine& m = machine();
    for (auto _ : state) sorlix::MInfoCollector::CollectAllAddonInfo();
    state.counters["extensions"] = bench::listed(sorlix::atChromeExtension);
    state.counters["plugins"] = bench::listed(sorlix::atChromePlugin);
    if (bench::listed(sorlix::atChromeExtension) != kVersions || bench::listed(sorlix::atChromePlugin) != kPlugins)
        state.SkipWithError("not every add-on was listed");
    if (!m.program.log->lines.empty()) state.SkipWithError(m.program.log->lines.front().description.c_str());
}
BENCHMARK(BM_CollectAllAddonInfoWithChrome)->Unit(benchmark::kMillisecond);

} // namespace
