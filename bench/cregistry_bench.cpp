// CRegistry's speed on large registries, called by slot through COM as the
// program calls it: listing the classes of a component category among
// 20,000 registered classes in each view, and copying a key tree of 10,000
// values (the backup engine's CopySubKey). Target: under 100 ms each.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>
#include <string>

#include "common/interfaces/registry.h"
#include "platform/com/class_registry.h"
#include "platform/com/com_error.h"
#include "platform/registry/registry.h"
#include "tests/support/com_library.h"
#include "tests/support/test_prefix.h"

namespace {

using halvenlib::_CCollection;
using halvenlib::_CRegistry;
using winsys::com::ComPtr;

constexpr int kClasses = 20000;
constexpr int kTreeValues = 10000;
constexpr const char* kCat = "{00021493-0000-0000-C000-000000000046}";

std::string clsid(int n, int view) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "{%08X-%04X-0000-0000-000000000000}", n, view);
    return buf;
}

// One machine for the whole run: 20,000 classes in each view (every second
// one in the category) and trees of 10,000 values: 10 keys of 1,000 values
// and 100 keys of 100 values.
struct Machine {
    testsupport::TestPrefix prefix;
    testsupport::ComLibrary lib{HALVENLIB_PATH};
    ComPtr<_CRegistry> reg;

    Machine() {
        std::string text = "Windows Registry Editor Version 5.00\n";
        for (int view = 0; view < 2; ++view) {
            const std::string base = view ? "[HKEY_LOCAL_MACHINE\\Software\\Classes\\CLSID\\"
                                          : "[HKEY_LOCAL_MACHINE\\Software\\Classes\\Wow6432Node\\CLSID\\";
            for (int n = 0; n < kClasses; ++n) {
                text += base + clsid(n, view) + "]\n@=\"class\"\n";
                if (n % 2 == 0) text += base + clsid(n, view) + "\\Implemented Categories\\" + kCat + "]\n";
            }
        }
        for (int keys : {10, 100})
            for (int k = 0; k < keys; ++k) {
                text += "[HKEY_CURRENT_USER\\Software\\Source\\Keys" + std::to_string(keys) + "\\Part" +
                        std::to_string(k) + "]\n";
                for (int v = 0; v < kTreeValues / keys; ++v)
                    text += "\"value" + std::to_string(v) + "\"=hex:01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10\n";
            }
        prefix.importReg(text);
        winsys::com::check(winsys::com::createInstance(halvenlib::CLSID_CRegistry, &reg));
    }
};

Machine& machine() {
    static Machine m;
    return m;
}

void BM_EnumClassesOfCategory(benchmark::State& state) {
    Machine& m = machine();
    const bool with32 = state.range(0) & 1, with64 = state.range(0) & 2;
    win::LONG count = 0;
    for (auto _ : state) {
        ComPtr<_CCollection> c;
        winsys::com::check(m.reg->EnumClassesOfCategory(kCat, win::toVariantBool(with32),
                                                        win::toVariantBool(with64), c.put()));
        c->get_Count(&count);
    }
    state.counters["classes"] = count;
}
BENCHMARK(BM_EnumClassesOfCategory)->Arg(1)->Arg(2)->Arg(3)->ArgNames({"views"})->Unit(benchmark::kMillisecond);

void BM_CopySubKey(benchmark::State& state) {
    Machine& m = machine();
    const std::string source = "Software\\Source\\Keys" + std::to_string(state.range(0));
    for (auto _ : state) {
        std::string reason;
        win::VARIANT_BOOL ok{};
        winsys::com::check(m.reg->CopySubKey(halvenlib::HKEY_CURRENT_USER, source,
                                             halvenlib::HKEY_CURRENT_USER, "Software\\Backup", &reason, &ok));
        if (!ok) state.SkipWithError(("CopySubKey failed: " + reason).c_str());
        state.PauseTiming();
        win::RegDeleteTree(win::HKEY_CURRENT_USER, "Software\\Backup");
        state.ResumeTiming();
    }
    state.counters["values"] = kTreeValues;
}
BENCHMARK(BM_CopySubKey)->Arg(10)->Arg(100)->ArgNames({"keys"})->Unit(benchmark::kMillisecond);

} // namespace
