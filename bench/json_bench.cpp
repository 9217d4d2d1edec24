// The JSON reader over a 5 MB corpus of real-shaped files: every
// "manifest.json" and "messages.json" of the fixtures' Chrome profiles, taken
// in turn until the corpus holds 5 MB, each parsed on its own as the Chrome
// enumerator does. Target: at least 150 MB/s on one core.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "app/enumerators/json.h"

namespace {

constexpr std::size_t kCorpusBytes = 5u << 20;

std::vector<std::string> corpus() {
    namespace fs = std::filesystem;
    const fs::path userData =
        fs::path(REAL_BROWSER_DATA) / "drive_c/users/root/AppData/Local/Google/Chrome/User Data";
    std::vector<std::string> files;
    if (!fs::is_directory(userData)) return {};
    for (const auto& e : fs::recursive_directory_iterator(userData)) {
        if (e.path().extension() != ".json") continue;
        std::ifstream in(e.path(), std::ios::binary);
        std::ostringstream bytes;
        bytes << in.rdbuf();
        std::string text = bytes.str();
        if (text.starts_with("\xEF\xBB\xBF")) text.erase(0, 3);
        files.push_back(std::move(text));
    }
    std::vector<std::string> texts;
    std::size_t total = 0;
    for (std::size_t i = 0; !files.empty() && total < kCorpusBytes; ++i) {
        texts.push_back(files[i % files.size()]);
        total += texts.back().size();
    }
    return texts;
}

void BM_ParseManifestsAndMessages(benchmark::State& state) {
    const std::vector<std::string> texts = corpus();
    if (texts.empty()) {
        const std::string why = "no real browser data in " +
                                std::filesystem::path(REAL_BROWSER_DATA).lexically_normal().string();
        return state.SkipWithError(why.c_str());
    }
    std::size_t bytes = 0;
    for (const std::string& t : texts) bytes += t.size();
    for (auto _ : state) {
        for (const std::string& t : texts) {
            auto tree = sorlix::JSON::Parse(t);
            if (!tree || !sorlix::JSON::GetParserErrors().empty()) return state.SkipWithError("a file failed");
            benchmark::DoNotOptimize(tree);
        }
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
    state.counters["files"] = static_cast<double>(texts.size());
}
BENCHMARK(BM_ParseManifestsAndMessages)->Unit(benchmark::kMillisecond);

} // namespace
