// One add-on backed up, removed and restored, as the delete and restore
// commands run it, on a prefix holding the real Wine 8 hives (system.reg is
// about 3 MB): its folder of files, 10 subkeys of 5 values each and 10
// single values, every change written before its call returns. Target:
// under 300 ms for the three steps. The counter gives the hive files
// written per round; each layer call writes each hive it changed once.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>

#include "app/core/caxbackuper.h"
#include "common/interfaces/registry.h"
#include "platform/com/class_registry.h"
#include "platform/registry/store.h"
#include "tests/support/com_library.h"
#include "tests/support/program_objects.h"
#include "tests/support/test_prefix.h"

namespace fs = std::filesystem;
using winsys::com::ComPtr;

namespace {

const fs::path kWine8 = fs::path(SORLIX_FIXTURES_DIR) / "wine8";
constexpr int kSubkeys = 10, kValues = 10;
constexpr const char* kFolder = "C:\\Program Files\\Bench Addon";

// Puts Wine's hives in place before the libraries register themselves.
struct WineHives {
    explicit WineHives(testsupport::TestPrefix& p) {
        for (const char* name : {"system.reg", "user.reg", "userdef.reg"})
            fs::copy_file(kWine8 / name, p.root() / name, fs::copy_options::overwrite_existing);
        p.reopen();
    }
};

struct Machine {
    testsupport::TestPrefix prefix;
    WineHives hives{prefix};
    testsupport::ComLibrary common{HALVENLIB_PATH}, product{QUARNCUST_PATH};
    testsupport::ProgramObjects program;
    ComPtr<quarncust::_CLittleConfig> record;

    Machine() {
        std::string t = "Windows Registry Editor Version 5.00\n";
        for (int k = 0; k < kSubkeys; ++k) {
            t += "[HKEY_LOCAL_MACHINE\\Software\\Wow6432Node\\Bench Addon\\Part" + std::to_string(k) + "]\n";
            for (int v = 0; v < 5; ++v) t += "\"v" + std::to_string(v) + "\"=\"data " + std::to_string(v) + "\"\n";
        }
        t += "[HKEY_CURRENT_USER\\Software\\Bench Addon]\n";
        for (int v = 0; v < kValues; ++v) t += "\"Setting" + std::to_string(v) + "\"=dword:0000000" + std::to_string(v) + "\n";
        prefix.importReg(t);
        for (int f = 0; f < 5; ++f) prefix.writeFile(std::string(kFolder) + "\\file" + std::to_string(f) + ".dll", "x");

        winsys::com::check(winsys::com::createInstance(quarncust::CLSID_CLittleConfig, &record));
        win::VARIANT no = winsys::com::makeBool(false);
        winsys::com::check(record->AddFileOrFolder(kFolder, &no));
        for (int k = 0; k < kSubkeys; ++k)
            winsys::com::check(record->AddRegistrySubkey(halvenlib::HKEY_LOCAL_MACHINE,
                                                         "Software\\Bench Addon\\Part" + std::to_string(k)));
        for (int v = 0; v < kValues; ++v)
            winsys::com::check(record->AddRegistryValue(halvenlib::HKEY_CURRENT_USER, "Software\\Bench Addon",
                                                        "Setting" + std::to_string(v)));
    }
};

Machine& machine() {
    static Machine m;
    return m;
}

void BM_BackupRemoveRestore(benchmark::State& state) {
    Machine& m = machine();
    sorlix::CAxBackuper engine;
    std::string cause;
    if (!engine.Init(testsupport::ProgramObjects::kDataFolder, sorlix::kProductRegistryKey, "IE", cause))
        return state.SkipWithError(cause.c_str());
    const std::uint64_t writesBefore = winsys::testing::hiveWritesDone();
    for (auto _ : state) {
        if (!engine.Backup("Bench Addon", "", m.record.get(), cause)) return state.SkipWithError(cause.c_str());
        if (!engine.RemoveByLittleConfig(m.record.get())) return state.SkipWithError("the removal failed");
        win::LONG count = 0;
        std::vector<sorlix::CAxBackuper::BackupRow> rows;
        if (!engine.ListBackups(count, rows, cause) || count != 1) return state.SkipWithError("no backup listed");
        if (!engine.Restore(rows[0].id, cause)) return state.SkipWithError(cause.c_str());
    }
    state.counters["hive_writes"] = benchmark::Counter(
        static_cast<double>(winsys::testing::hiveWritesDone() - writesBefore), benchmark::Counter::kAvgIterations);
    if (!fs::exists(m.prefix.host(std::string(kFolder) + "\\file0.dll"))) state.SkipWithError("not restored");
}
BENCHMARK(BM_BackupRemoveRestore)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
