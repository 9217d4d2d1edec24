// Firefox extensions in three profiles: 300 packages of 40 entries each and
// 100 extension folders. Target: under 200 ms, at most two archive opens
// per package and nothing inflated but the install manifests (counters
// "opens per package" and "inflated bytes" beside the manifests' size).
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "app/enumerators/cmozillaextenum.h"
#include "platform/unzip/unzip.h"
#include "tests/support/com_library.h"
#include "tests/support/program_objects.h"
#include "tests/support/test_prefix.h"
#include "tests/support/zip_writer.h"

namespace {

constexpr int kProfiles = 3;
constexpr int kPackages = 300;
constexpr int kFolders = 100;
constexpr int kEntries = 40;

std::string manifest(int n) {
    return "<?xml version=\"1.0\"?>\n<RDF xmlns=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\" "
           "xmlns:em=\"http://www.mozilla.org/2004/em-rdf#\"><Description about=\"urn:mozilla:install-manifest\">"
           "<em:id>ext" + std::to_string(n) + "@example.org</em:id><em:name>Extension " + std::to_string(n) +
           "</em:name><em:creator>Maker</em:creator><em:description>Benchmark extension</em:description>"
           "</Description></RDF>\n";
}

struct Machine {
    testsupport::TestPrefix prefix;
    testsupport::ComLibrary common{HALVENLIB_PATH}, product{QUARNCUST_PATH};
    testsupport::ProgramObjects program;
    std::size_t manifestBytes = 0;

    Machine() {
        const std::string profiles = "C:\\users\\tester\\AppData\\Roaming\\Mozilla\\Firefox\\Profiles\\p";
        for (int n = 0; n < kPackages; ++n) {
            std::vector<testsupport::ZipEntry> entries;
            for (int e = 0; e < kEntries - 1; ++e)
                entries.emplace_back("content/file" + std::to_string(e) + ".js", std::string(2000, 'a' + e % 26));
            entries.emplace_back("install.rdf", manifest(n));
            manifestBytes += entries.back().data.size();
            const std::string path =
                profiles + std::to_string(n % kProfiles) + ".default\\extensions\\ext" + std::to_string(n) + ".xpi";
            std::filesystem::create_directories(prefix.host(path).parent_path());
            testsupport::writeZip(prefix.host(path), entries);
        }
        for (int n = 0; n < kFolders; ++n) {
            const std::string folder = profiles + std::to_string(n % kProfiles) + ".default\\extensions\\folder" +
                                       std::to_string(n);
            prefix.writeFile(folder + "\\install.rdf", manifest(kPackages + n));
            prefix.writeFile(folder + "\\chrome.manifest", "content x content/\n");
        }
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
