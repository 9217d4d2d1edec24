// The registry store's speed: reading and writing a real Wine system.reg
// (about 3 MB), finding keys among more and more siblings (binary
// search: the time should grow with the logarithm of the count), and
// filling a wide key with names in random order (n log n overall).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <random>
#include <sstream>

#include "platform/registry/hive.h"
#include "platform/registry/regfile.h"
#include "platform/registry/registry.h"
#include "platform/registry/store.h"
#include "tests/support/test_prefix.h"

namespace fs = std::filesystem;
using namespace winsys::reg;

namespace {

const fs::path kWine8 = fs::path(SORLIX_FIXTURES_DIR) / "wine8";

const std::string& systemReg() {
    static const std::string text = [] {
        std::ifstream in(kWine8 / "system.reg", std::ios::binary);
        std::ostringstream s;
        s << in.rdbuf();
        return s.str();
    }();
    return text;
}

void BM_ParseHive(benchmark::State& state) {
    const std::string& text = systemReg();
    for (auto _ : state) {
        auto parsed = parseHive(text, "system.reg");
        benchmark::DoNotOptimize(parsed);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_ParseHive)->Unit(benchmark::kMillisecond);

void BM_FormatHive(benchmark::State& state) {
    auto parsed = parseHive(systemReg(), "system.reg");
    std::size_t bytes = 0;
    for (auto _ : state) {
        std::string out = formatHive(parsed->tree);
        bytes = out.size();
        benchmark::DoNotOptimize(out);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
}
BENCHMARK(BM_FormatHive)->Unit(benchmark::kMillisecond);

// Formatting plus the atomic write: temporary file, fsync, rename, fsync.
void BM_SaveHive(benchmark::State& state) {
    auto parsed = parseHive(systemReg(), "system.reg");
    const fs::path dir = fs::temp_directory_path() / ("sorlix-bench-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    std::size_t bytes = 0;
    for (auto _ : state) {
        const std::string out = formatHive(parsed->tree);
        bytes = out.size();
        if (!writeFileAtomically(dir / "system.reg", out)) state.SkipWithError("write failed");
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
    fs::remove_all(dir);
}
BENCHMARK(BM_SaveHive)->Unit(benchmark::kMillisecond)->UseRealTime();

std::string keyName(std::size_t i) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "{%08zX-Key}", i * 2654435761u % 100000000u);
    return buf;
}

// One key among state.range(0) siblings.
void BM_FindSubkey(benchmark::State& state) {
    const auto n = static_cast<std::size_t>(state.range(0));
    Key parent("", nullptr);
    for (std::size_t i = 0; i < n; ++i) parent.addSubkey(keyName(i));
    std::vector<std::string> probes;
    std::mt19937 rng(7);
    for (int i = 0; i < 1024; ++i) probes.push_back(keyName(rng() % n));
    std::size_t i = 0;
    for (auto _ : state) benchmark::DoNotOptimize(parent.findSubkey(probes[i++ & 1023]));
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_FindSubkey)->RangeMultiplier(8)->Range(1 << 10, 1 << 19)->Complexity(benchmark::oLogN);

// Siblings made in random order, then listed (which puts them in order).
void BM_AddSubkeysShuffled(benchmark::State& state) {
    const auto n = static_cast<std::size_t>(state.range(0));
    std::vector<std::string> names;
    for (std::size_t i = 0; i < n; ++i) names.push_back(keyName(i));
    std::shuffle(names.begin(), names.end(), std::mt19937(11));
    for (auto _ : state) {
        Key parent("", nullptr);
        for (const std::string& name : names) parent.addSubkey(name);
        benchmark::DoNotOptimize(parent.subkeys().front());
    }
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_AddSubkeysShuffled)->RangeMultiplier(8)->Range(1 << 10, 1 << 19)->Complexity(benchmark::oNLogN)
    ->Unit(benchmark::kMillisecond);

// A .reg file of state.range(0) siblings of HKCU\Software\Big in random
// order, parsed and imported (one batch, the hive written once).
void BM_ImportShuffledRegFile(benchmark::State& state) {
    const auto n = static_cast<std::size_t>(state.range(0));
    std::vector<std::string> names;
    for (std::size_t i = 0; i < n; ++i) names.push_back(keyName(i));
    std::shuffle(names.begin(), names.end(), std::mt19937(13));
    std::string text = "Windows Registry Editor Version 5.00\r\n";
    for (const std::string& name : names)
        text += "\r\n[HKEY_CURRENT_USER\\Software\\Big\\" + name + "]\r\n\"v\"=dword:00000001\r\n";
    for (auto _ : state) {
        state.PauseTiming();
        {
            testsupport::TestPrefix prefix;
            state.ResumeTiming();
            auto ops = winsys::parseRegText(text, "big.reg");
            if (!ops || !winsys::applyRegOperations(ops.value(), winsys::RegView::Bits64, "big.reg"))
                state.SkipWithError("import failed");
            state.PauseTiming();
        }
        state.ResumeTiming();
    }
}
BENCHMARK(BM_ImportShuffledRegFile)->Arg(1 << 16)->Arg(500000)->Iterations(1)->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// The same through the API: open and close "Big\<name>" of HKCU.
void BM_OpenKey(benchmark::State& state) {
    const auto n = static_cast<std::size_t>(state.range(0));
    testsupport::TestPrefix prefix;
    {
        // Written as a hive file: through the API every closed handle that
        // made a key would write the hive again.
        std::ofstream out(prefix.root() / "user.reg", std::ios::binary | std::ios::trunc);
        out << "WINE REGISTRY Version 2\n;; All keys relative to \\\\User\\\\" << prefix.options().userSid
            << "\n\n#arch=win64\n";
        // In order, as Wine writes them.
        std::vector<std::string> names;
        for (std::size_t i = 0; i < n; ++i) names.push_back(keyName(i));
        std::sort(names.begin(), names.end(), LessKeyName());
        for (const std::string& name : names) out << "\n[Big\\\\" << name << "] 0\n";
    }
    prefix.reopen();
    std::vector<std::string> probes;
    std::mt19937 rng(7);
    for (int i = 0; i < 1024; ++i) probes.push_back("Big\\" + keyName(rng() % n));
    win::RegQueryInfoKey(win::HKEY_CURRENT_USER, nullptr, nullptr); // loads the hives
    std::size_t i = 0;
    for (auto _ : state) {
        win::HKEY k = nullptr;
        if (win::RegOpenKeyEx(win::HKEY_CURRENT_USER, probes[i++ & 1023], 0, win::KEY_READ, &k) != 0)
            state.SkipWithError("open failed");
        win::RegCloseKey(k);
    }
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_OpenKey)->RangeMultiplier(8)->Range(1 << 10, 1 << 16)->Complexity(benchmark::oLogN);

} // namespace
