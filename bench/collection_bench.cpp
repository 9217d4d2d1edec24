// A full collection on 64-bit Windows with 200 Internet Explorer add-ons
// (20 of each kind in each registry view) among 20,000 registered classes,
// as start-up and refresh run it. Target: under 500 ms.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>

#include "app/core/minfocollector.h"
#include "app/core/mmain.h"
#include "tests/support/com_library.h"
#include "tests/support/pe_writer.h"
#include "tests/support/program_objects.h"
#include "tests/support/test_prefix.h"

namespace {

constexpr int kClasses = 20000; // in both views together
constexpr int kPerKindAndView = 20;
constexpr int kFiles = 10;
constexpr const char* kVerticalBar = "{00021493-0000-0000-C000-000000000046}";

std::string clsid(int n, int view) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "{%08X-%04X-0000-0000-000000000000}", n, view);
    return buf;
}

std::string file(int n) { return "C:\\Program Files\\Vendor" + std::to_string(n % kFiles) + "\\addon.dll"; }
std::string regFile(int n) { return "C:\\\\Program Files\\\\Vendor" + std::to_string(n % kFiles) + "\\\\addon.dll"; }

// Class n of a view is an add-on's class when n < 5 * kPerKindAndView: the
// first block toolbars, then helper objects, explorer bars, buttons, menus.
struct Machine {
    testsupport::TestPrefix prefix;
    testsupport::ComLibrary common{HALVENLIB_PATH}, product{QUARNCUST_PATH};
    testsupport::ProgramObjects program;

    Machine() {
        std::string t = "Windows Registry Editor Version 5.00\n";
        for (int view = 0; view < 2; ++view) {
            const std::string software =
                view ? "HKEY_LOCAL_MACHINE\\Software" : "HKEY_LOCAL_MACHINE\\Software\\Wow6432Node";
            const std::string classes = view ? "HKEY_LOCAL_MACHINE\\Software\\Classes\\CLSID\\"
                                             : "HKEY_LOCAL_MACHINE\\Software\\Classes\\Wow6432Node\\CLSID\\";
            const std::string ie = software + "\\Microsoft\\Internet Explorer";
            for (int n = 0; n < kClasses / 2; ++n) {
                t += "[" + classes + clsid(n, view) + "]\n@=\"Class " + std::to_string(n) + "\"\n";
                t += "[" + classes + clsid(n, view) + "\\InProcServer32]\n@=\"" + regFile(n) + "\"\n";
                if (n >= 2 * kPerKindAndView && n < 3 * kPerKindAndView)
                    t += "[" + classes + clsid(n, view) + "\\Implemented Categories\\" + kVerticalBar + "]\n";
            }
            t += "[" + ie + "\\Toolbar]\n";
            for (int n = 0; n < kPerKindAndView; ++n) t += "\"" + clsid(n, view) + "\"=\"\"\n";
            for (int n = kPerKindAndView; n < 2 * kPerKindAndView; ++n)
                t += "[" + software + "\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Browser Helper Objects\\" +
                     clsid(n, view) + "]\n@=\"Helper " + std::to_string(n) + "\"\n";
            for (int n = 3 * kPerKindAndView; n < 4 * kPerKindAndView; ++n)
                t += "[" + ie + "\\Extensions\\" + clsid(n, view) + "]\n\"ButtonText\"=\"Button " + std::to_string(n) +
                     "\"\n\"Exec\"=\"" + regFile(n) + "\"\n";
            for (int n = 4 * kPerKindAndView; n < 5 * kPerKindAndView; ++n)
                t += "[" + ie + "\\MenuExt\\Menu " + std::to_string(n) + "]\n@=\"" + regFile(n) + "\"\n";
        }
        prefix.importReg(t);
        for (int n = 0; n < kFiles; ++n) {
            testsupport::PeSpec spec;
            const std::string maker = "Vendor " + std::to_string(n);
            spec.version =
                testsupport::PeVersion{.tables = {{0x0409, 1200, {{"CompanyName", maker}, {"ProductVersion", "1.0"}}}}};
            testsupport::writePe(prefix.host(file(n)), spec);
        }
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
    for (win::LONG type = 1; type <= 24; ++type)
        if (const auto t = sorlix::DB->TypeObjects(type)) {
            win::LONG rows = 0;
            t->get_RowsCount(&rows);
            listed += rows;
        }
    state.counters["addons"] = listed;
    if (!m.program.log->lines.empty()) state.SkipWithError(m.program.log->lines.front().description.c_str());
}
BENCHMARK(BM_CollectAllAddonInfo)->Unit(benchmark::kMillisecond);

} // namespace
