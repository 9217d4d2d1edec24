// Browser files written by a stranger, parsed or collected as the program
// meets them: an element of 100,000 attributes, property lists of 100,000
// and 200,000 keys, a JSON key of 100,010 bytes, a manifest.json and an
// Info.plist of 200 MB, a sparse install.rdf of 256 MB, an Info.plist whose
// failing line is 5.2 MB, a package of 3,000 entries extracted whole, and
// 20,000 extensions of each browser collected; and the demo machine's whole
// collection with crafted registry entries and folders beside it (last, as
// it installs machines of its own). Target: each crafted input under 1 s
// and under 100 MB of peak memory, each collection under 2 s, each crafted
// entry on the demo machine at most 1 s and 100 MB above its floor.
//
// Every case has a floor measured in the same run, a benign input of the
// same size or a tenth of the count ("floor" benchmarks); the counter
// "peak MB" is the peak resident memory of one run above what the process
// held before it.
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <stdlib.h>
#include <malloc.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/core/minfocollector.h"
#include "app/core/mmain.h"
#include "app/core/mmainhelpers.h"
#include "app/core/msgbox.h"
#include "app/enumerators/cchromeextenumerator.h"
#include "app/enumerators/cmozillaextenum.h"
#include "app/enumerators/coperaextenum.h"
#include "app/enumerators/cplistparser.h"
#include "app/enumerators/csafariextenum.h"
#include "app/enumerators/json.h"
#include "bench/bench_machine.h"
#include "bench/thread_times.h"
#include "platform/com/class_registry.h"
#include "platform/core/machine.h"
#include "platform/files/paths.h"
#include "platform/unzip/unzip.h"
#include "platform/xml/dom.h"

namespace {

namespace fs = std::filesystem;

const std::string kLocal = "C:\\users\\tester\\AppData\\Local";
const std::string kProfile = "C:\\users\\tester\\AppData\\Roaming\\Mozilla\\Firefox\\Profiles\\b.default";

// ---- Memory ----------------------------------------------------------------

// A /proc/self/status field in kB ("VmRSS", "VmHWM").
double statusKilobytes(const char* field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind(field, 0) == 0) return std::stod(line.substr(std::strlen(field) + 1));
    return 0;
}

// Peak resident memory of one run of `f` above what the process holds when
// it starts: free heap is handed back first, so that nothing `f` allocates
// hides in pages already resident, and the peak is reset to the present.
double peakMegabytes(const std::function<void()>& f) {
    ::malloc_trim(0);
    std::ofstream("/proc/self/clear_refs") << "5";
    const double before = statusKilobytes("VmRSS");
    f();
    return (statusKilobytes("VmHWM") - before) / 1024.0;
}

// The benchmarks' machine: one at a time, made again when another is asked
// for (a prefix installs itself as the machine of the process).
template <class M, class Make>
M& machineFor(const std::string& kind, Make make) {
    static std::shared_ptr<bench::BenchMachine> machine;
    static std::string current;
    if (current != kind) {
        machine.reset();
        machine = make();
        current = kind;
    }
    return static_cast<M&>(*machine);
}

// ---- Crafted inputs, parsed ---------------------------------------------------

std::string elementWithAttributes(int count) {
    std::string t = "<r";
    for (int i = 0; i < count; ++i) t += " a" + std::to_string(i) + "=\"\"";
    return t + "/>";
}
// The floor: as many attributes, one on each of as many elements.
std::string elementsWithOneAttribute(int count) {
    std::string t = "<r>";
    for (int i = 0; i < count; ++i) t += "<e a" + std::to_string(i) + "=\"\"/>";
    return t + "</r>";
}

void BM_XmlAttributes(benchmark::State& state) {
    const std::string text = elementWithAttributes(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        winsys::xml::Document doc;
        if (!doc.loadXML(text)) state.SkipWithError("the document does not load");
    }
    state.counters["bytes"] = static_cast<double>(text.size());
    state.counters["peak MB"] = peakMegabytes([&] { winsys::xml::Document().loadXML(text); });
}
BENCHMARK(BM_XmlAttributes)->Arg(40000)->Arg(100000)->Unit(benchmark::kMillisecond);

void BM_XmlAttributesFloor(benchmark::State& state) {
    const std::string text = elementsWithOneAttribute(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        winsys::xml::Document doc;
        if (!doc.loadXML(text)) state.SkipWithError("the document does not load");
    }
    state.counters["bytes"] = static_cast<double>(text.size());
}
BENCHMARK(BM_XmlAttributesFloor)->Arg(100000)->Unit(benchmark::kMillisecond);

// 100,000 keys take 2.4 MB.
std::string plistWithKeys(int count) {
    std::string t = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n<dict>\n";
    for (int i = 0; i < count; ++i) t += "<key>k" + std::to_string(i) + "</key><string/>\n";
    return t + "</dict>\n</plist>\n";
}

void BM_PlistKeys(benchmark::State& state) {
    const std::string text = plistWithKeys(static_cast<int>(state.range(0)));
    for (auto _ : state)
        if (!sorlix::CPlistParser().Parse(text)) state.SkipWithError("no dictionary");
    state.counters["bytes"] = static_cast<double>(text.size());
    state.counters["peak MB"] = peakMegabytes([&] { sorlix::CPlistParser().Parse(text); });
}
BENCHMARK(BM_PlistKeys)->Arg(100000)->Arg(200000)->Unit(benchmark::kMillisecond);

// The floor: the same document loaded by the DOM alone, no dictionary built.
void BM_PlistKeysFloor(benchmark::State& state) {
    const std::string text = plistWithKeys(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        winsys::xml::Document doc;
        if (!doc.loadBytes(text)) state.SkipWithError("the document does not load");
    }
}
BENCHMARK(BM_PlistKeysFloor)->Arg(200000)->Unit(benchmark::kMillisecond);

// A repeated key of 100,010 bytes: its failure line quotes 20 characters.
void BM_JsonLongKey(benchmark::State& state) {
    const std::string key(100010, 'k');
    const std::string text = "{\"" + key + "\":1,\r\n\"" + key + "\":2}";
    for (auto _ : state) sorlix::JSON::Parse(text);
    state.counters["failure bytes"] = static_cast<double>(sorlix::JSON::GetParserErrors().size());
}
BENCHMARK(BM_JsonLongKey)->Unit(benchmark::kMillisecond);

// ---- Crafted files, through the enumerators ---------------------------------

// A machine with one crafted file of each kind, and one good extension of
// each browser beside it.
struct CraftedMachine : bench::BenchMachine {
    CraftedMachine() {
        sorlix::SetMsgBoxHook([this](const std::string& prompt) { boxBytes = prompt.size(); });
        bench::writeChromeExtension(prefix, kLocal + "\\Google\\Chrome\\User Data\\Default", 1, false);
        bench::writeExtensionFolder(prefix, kProfile + "\\extensions\\good@example.org", 1);
        prefix.writeFile(kLocal + "\\Apple Computer\\Safari\\Extensions\\Good.safariextension\\Info.plist",
                         bench::safariInfoPlist(1));
    }
    // A file of `size` bytes that begins with `head`, written whole or sparse.
    void write(const std::string& path, const std::string& head, std::uintmax_t size, bool sparse) {
        prefix.writeFile(path, head);
        if (sparse) {
            fs::resize_file(prefix.host(path), size);
            return;
        }
        std::FILE* f = std::fopen(prefix.host(path).c_str(), "ab");
        const std::string block(1 << 20, ' ');
        for (std::uintmax_t left = size - head.size(); left > 0;) {
            const std::size_t n = static_cast<std::size_t>(std::min<std::uintmax_t>(left, block.size()));
            std::fwrite(block.data(), 1, n, f);
            left -= n;
        }
        std::fclose(f);
    }
    void clear(const std::string& folder) { fs::remove_all(prefix.host(folder)); }
    std::size_t boxBytes = 0;
};

CraftedMachine& crafted() {
    return machineFor<CraftedMachine>("crafted", [] { return std::make_shared<CraftedMachine>(); });
}

struct CraftedCase {
    const char* label;
    std::function<void(CraftedMachine&)> lay;
    std::string folder; // taken away again after the case
    win::LONG listed;   // records the enumerator gives: the good one
    std::function<win::LONG()> run;
};

win::LONG count(const winsys::com::ComPtr<halvenlib::_CNodes>& nodes) {
    win::LONG n = -1;
    if (nodes) nodes->get_Count(&n);
    return n;
}

const std::string kChromeBig = kLocal + "\\Google\\Chrome\\User Data\\Default\\Extensions\\bigbigbigbigbigbigbigbigbigbigbi";
const std::string kSafariBig = kLocal + "\\Apple Computer\\Safari\\Extensions\\Big.safariextension";
const std::string kFirefoxBig = kProfile + "\\extensions\\big@example.org";

const CraftedCase kCrafted[] = {
    {"manifest.json of 200 MB",
     [](CraftedMachine& m) { m.write(kChromeBig + "\\1_0\\manifest.json", "{\"name\":\"Big\"", 200u << 20, false); },
     kChromeBig, 1, [] { return count(sorlix::CChromeExtEnumerator().EnumChromeExtensions()); }},
    {"Info.plist of 200 MB",
     [](CraftedMachine& m) { m.write(kSafariBig + "\\Info.plist", "<plist><dict>", 200u << 20, false); },
     kSafariBig, 1, [] { return count(sorlix::CSafariExtEnum().EnumSafariExtensions()); }},
    {"sparse install.rdf of 256 MB",
     [](CraftedMachine& m) { m.write(kFirefoxBig + "\\install.rdf", "<RDF>", 256u << 20, true); },
     kFirefoxBig, 1, [] { return count(sorlix::CFFextEnumerator().EnumFirefoxExtensions()); }},
    // A list that does not parse costs only its own extension.
    {"Info.plist failing in a line of 5.2 MB",
     [](CraftedMachine& m) {
         m.prefix.writeFile(kSafariBig + "\\Info.plist",
                            "<plist><dict><key>" + std::string(5200000, 'k') + "</dict></plist>");
     },
     kSafariBig, 1, [] { return count(sorlix::CSafariExtEnum().EnumSafariExtensions()); }},
};

void BM_CraftedFile(benchmark::State& state) {
    CraftedMachine& m = crafted();
    const CraftedCase& c = kCrafted[state.range(0)];
    state.SetLabel(c.label);
    c.lay(m);
    win::LONG listed = 0;
    for (auto _ : state) listed = c.run();
    if (listed != c.listed) state.SkipWithError("not the records expected");
    state.counters["peak MB"] = peakMegabytes([&] { c.run(); });
    state.counters["log lines"] = static_cast<double>(m.program.log->lines.size()) / static_cast<double>(state.iterations());
    state.counters["box bytes"] = static_cast<double>(m.boxBytes);
    m.program.log->lines.clear();
    m.clear(c.folder);
}
BENCHMARK(BM_CraftedFile)->DenseRange(0, std::size(kCrafted) - 1)->Unit(benchmark::kMillisecond);

// The floor of the file cases: the same enumerators with the good extension alone.
void BM_CraftedFileFloor(benchmark::State& state) {
    crafted();
    for (auto _ : state) {
        benchmark::DoNotOptimize(sorlix::CChromeExtEnumerator().EnumChromeExtensions());
        benchmark::DoNotOptimize(sorlix::CSafariExtEnum().EnumSafariExtensions());
        benchmark::DoNotOptimize(sorlix::CFFextEnumerator().EnumFirefoxExtensions());
    }
}
BENCHMARK(BM_CraftedFileFloor)->Unit(benchmark::kMillisecond);

// Every entry of a package extracted into an empty folder; per entry, the
// time should not grow with the count.
void BM_ExtractEveryEntry(benchmark::State& state) {
    CraftedMachine& m = crafted();
    const int entries = static_cast<int>(state.range(0));
    const std::string package = "C:\\bench\\entries" + std::to_string(entries) + ".zip";
    std::vector<testsupport::ZipEntry> files;
    for (int e = 0; e < entries; ++e) files.emplace_back("file" + std::to_string(e) + ".txt", "x");
    fs::create_directories(m.prefix.host("C:\\bench"));
    testsupport::writeZip(m.prefix.host(package), files);
    const std::string folder = "C:\\bench\\out";
    for (auto _ : state) {
        state.PauseTiming();
        fs::remove_all(m.prefix.host(folder));
        fs::create_directories(m.prefix.host(folder));
        state.ResumeTiming();
        win::UzpOptions options;
        options.ZipFile = package.c_str();
        options.ExtractFolder = folder.c_str();
        win::UzpCallbacks callbacks;
        if (win::Wiz_SingleEntryUnzip(0, nullptr, 0, nullptr, &options, &callbacks) != win::UZ_OK)
            state.SkipWithError("the package does not extract");
    }
    state.counters["per entry"] = benchmark::Counter(static_cast<double>(entries) * static_cast<double>(state.iterations()),
                                                     benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_ExtractEveryEntry)->Arg(300)->Arg(3000)->Unit(benchmark::kMillisecond);

// ---- 20,000 extensions of each browser, collected ---------------------------

struct Browser {
    const char* name;
    win::LONG type;
    std::function<void(const testsupport::TestPrefix&, int)> write;
    std::function<win::LONG()> enumerate; // the records of the browser's enumerator
};

const Browser kBrowsers[] = {
    {"Chrome", 17,
     [](const testsupport::TestPrefix& p, int n) {
         bench::writeChromeExtension(p, kLocal + "\\Google\\Chrome\\User Data\\Default", n, false);
     },
     [] { return count(sorlix::CChromeExtEnumerator().EnumChromeExtensions()); }},
    {"Firefox", 13,
     [](const testsupport::TestPrefix& p, int n) {
         p.writeFile(kProfile + "\\extensions\\ext" + std::to_string(n) + "@example.org\\install.rdf",
                     bench::installManifest(n));
     },
     [] { return count(sorlix::CFFextEnumerator().EnumFirefoxExtensions()); }},
    {"Safari", 19,
     [](const testsupport::TestPrefix& p, int n) {
         p.writeFile(kLocal + "\\Apple Computer\\Safari\\Extensions\\Ext" + std::to_string(n) + ".safariextension\\Info.plist",
                     bench::safariInfoPlist(n));
     },
     [] { return count(sorlix::CSafariExtEnum().EnumSafariExtensions()); }},
    {"Opera", 21,
     [](const testsupport::TestPrefix& p, int n) {
         const fs::path widgets = p.host(kLocal + "\\Opera\\Opera\\widgets");
         fs::create_directories(widgets);
         testsupport::writeZip(widgets / ("ext" + std::to_string(n) + ".oex"), {{"config.xml", bench::widgetConfig(n)}});
     },
     [] { return count(sorlix::COperaExtEnum().EnumOperaExtensions(false)); }},
};

bench::BenchMachine& collectionMachine(const Browser& b, int extensions) {
    return machineFor<bench::BenchMachine>(std::string(b.name) + std::to_string(extensions), [&] {
        auto made = std::make_shared<bench::BenchMachine>();
        for (int n = 0; n < extensions; ++n) b.write(made->prefix, n);
        return made;
    });
}

// The browser's enumerator alone: its folders listed, its files read and
// parsed, its records made.
void BM_Enumerate(benchmark::State& state) {
    const Browser& b = kBrowsers[state.range(0)];
    const int extensions = static_cast<int>(state.range(1));
    state.SetLabel(b.name);
    bench::BenchMachine& m = collectionMachine(b, extensions);
    win::LONG listed = 0;
    const bench::ThreadTimes times;
    for (auto _ : state) listed = b.enumerate();
    times.report(state);
    state.counters["listed"] = listed;
    state.counters["per extension"] =
        benchmark::Counter(static_cast<double>(extensions) * static_cast<double>(state.iterations()),
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    if (listed != extensions) state.SkipWithError("not every extension was listed");
    if (!m.program.log->lines.empty()) state.SkipWithError(m.program.log->lines.front().description.c_str());
}

// The whole collection of the type: the enumerator, then every record filed
// in the catalogue and the type's listing sorted.
void BM_Collect(benchmark::State& state) {
    const Browser& b = kBrowsers[state.range(0)];
    const int extensions = static_cast<int>(state.range(1));
    state.SetLabel(b.name);
    bench::BenchMachine& m = collectionMachine(b, extensions);
    const bench::ThreadTimes times;
    for (auto _ : state) sorlix::MInfoCollector::RecollectAddonInfo(b.type);
    times.report(state);
    state.counters["listed"] = bench::listed(b.type);
    state.counters["per extension"] =
        benchmark::Counter(static_cast<double>(extensions) * static_cast<double>(state.iterations()),
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    if (bench::listed(b.type) != extensions) state.SkipWithError("not every extension was listed");
    if (!m.program.log->lines.empty()) state.SkipWithError(m.program.log->lines.front().description.c_str());
}
// The count of 2,000 is the floor: per extension, 20,000 should cost the same.
BENCHMARK(BM_Enumerate)
    ->ArgsProduct({{0, 1, 2, 3}, {2000, 20000}})
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Collect)
    ->ArgsProduct({{0, 1, 2, 3}, {2000, 20000}})
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

// The file system's part of the Opera run, which takes each package's
// configuration out into a work folder and reads it there: per package a
// file made under a temporary name, written, renamed to "config.xml", read
// and deleted, by host path, in a folder beside the run's own.
void BM_OperaUnpackFloor(benchmark::State& state) {
    const int packages = static_cast<int>(state.range(0));
    collectionMachine(kBrowsers[3], packages);
    const auto found = winsys::toHostPath(sorlix::MMain::JoinPath(sorlix::TempFolder, "UnpackFloor"));
    if (!found) {
        state.SkipWithError("no temporary folder");
        return;
    }
    const fs::path folder = found.value();
    fs::create_directories(folder);
    const std::string temporary = (folder / "~unpack.tmp").string();
    const std::string configuration = (folder / "config.xml").string();
    const std::string text = bench::widgetConfig(1);
    char buffer[4096];
    const bench::ThreadTimes times;
    for (auto _ : state) {
        for (int n = 0; n < packages; ++n) {
            int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
            if (fd < 0 || ::write(fd, text.data(), text.size()) != static_cast<ssize_t>(text.size())) {
                state.SkipWithError("cannot write");
                return;
            }
            ::close(fd);
            ::rename(temporary.c_str(), configuration.c_str());
            fd = ::open(configuration.c_str(), O_RDONLY | O_CLOEXEC);
            while (fd >= 0 && ::read(fd, buffer, sizeof buffer) > 0) {
            }
            if (fd >= 0) ::close(fd);
            ::unlink(configuration.c_str());
        }
    }
    times.report(state);
    fs::remove_all(folder);
    state.SetLabel("Opera");
}
BENCHMARK(BM_OperaUnpackFloor)->Arg(20000)->Iterations(1)->Unit(benchmark::kMillisecond);

// ---- Crafted entries beside the demo machine, through the whole collection ----
//
// The demo prefix, built once by its script, and collected whole: the
// floor. Each case collects a copy of it with one crafted entry of the kind
// a stranger (malware stalling an add-on remover) may leave: in the
// registry 100,000 values or keys, a 10 MB name, a 50 MB hive line; on
// disk 20,000 empty folders, a bad Info.plist, a manifest in UTF-16. Each
// should add at most 1 s and 100 MB to the floor and lose none of the
// demo's add-ons ("listed" counts them all).

const fs::path& demoPrefix() {
    static const fs::path made = [] {
        char folder[] = "/tmp/sorlix-demo-bench-XXXXXX";
        if (!::mkdtemp(folder)) return fs::path();
        const fs::path prefix = fs::path(folder) / "prefix";
        const std::string command = "bash '" BUILD_PREFIX_SCRIPT "' '" + prefix.string() + "' '" BUILD_DIR "' >'" +
                                    (fs::path(folder) / "build-prefix.out").string() + "' 2>&1";
        return std::system(command.c_str()) == 0 ? prefix : fs::path();
    }();
    return made;
}

const std::string kDemoLocal = "drive_c/users/demo/AppData/Local";
const std::string kDemoProfiles = "drive_c/users/demo/AppData/Roaming/Mozilla/Firefox/Profiles";

// A class id of 38 characters, numbered.
std::string classId(int n) {
    char id[40];
    std::snprintf(id, sizeof id, "{5C0C0A11-0000-4000-8000-%012d}", n);
    return id;
}

void appendToHive(const fs::path& hive, const std::string& text) {
    std::ofstream(hive, std::ios::app | std::ios::binary) << "\n" << text;
}

// Wine's hive text of a key (relative, backslashes doubled).
std::string hiveKey(const std::string& key) {
    std::string k;
    for (const char c : key) k += c == '\\' ? std::string("\\\\") : std::string(1, c);
    return "[" + k + "] 1700000000\n";
}

const std::string kBhoKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Browser Helper Objects\\";

void badPlist(const fs::path& prefix, const std::string& text) {
    const fs::path folder = prefix / kDemoLocal / "Apple Computer/Safari/Extensions/Bad.safariextension";
    fs::create_directories(folder);
    std::ofstream(folder / "Info.plist", std::ios::binary) << text;
}

const char kPlistHead[] = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";

struct DemoCase {
    const char* label;
    std::function<void(const fs::path&)> lay; // on the copy's host folder
};

const DemoCase kDemoCases[] = {
    {"100,000 values under Toolbar",
     [](const fs::path& p) {
         std::string t = hiveKey("Software\\Microsoft\\Internet Explorer\\Toolbar");
         for (int n = 0; n < 100000; ++n) t += "\"" + classId(n) + "\"=hex:00\n";
         appendToHive(p / "system.reg", t);
     }},
    {"100,000 bare keys under Browser Helper Objects",
     [](const fs::path& p) {
         std::string t;
         for (int n = 0; n < 100000; ++n) t += hiveKey(kBhoKey + classId(n));
         appendToHive(p / "system.reg", t);
     }},
    {"100,000 complete helper objects",
     [](const fs::path& p) {
         std::string t;
         for (int n = 0; n < 100000; ++n) {
             t += hiveKey(kBhoKey + classId(n)) + "@=\"Helper " + std::to_string(n) + "\"\n";
             t += hiveKey("Software\\Classes\\CLSID\\" + classId(n) + "\\InProcServer32") +
                  "@=\"C:\\\\helpers\\\\helper" + std::to_string(n % 100) + ".dll\"\n";
         }
         appendToHive(p / "system.reg", t);
     }},
    {"a helper object named by 10 MB",
     [](const fs::path& p) {
         appendToHive(p / "system.reg", hiveKey(kBhoKey + classId(0)) + "@=\"" + std::string(10u << 20, 'n') + "\"\n");
     }},
    {"a hive line of 50 MB",
     [](const fs::path& p) {
         appendToHive(p / "system.reg", hiveKey("Software\\Crafted") + "\"big\"=\"" + std::string(50u << 20, 'b') + "\"\n");
     }},
    {"20,000 empty Firefox profiles",
     [](const fs::path& p) {
         for (int n = 0; n < 20000; ++n) fs::create_directories(p / kDemoProfiles / ("empty" + std::to_string(n) + ".default"));
     }},
    {"20,000 empty version folders of one Chrome extension",
     [](const fs::path& p) {
         const fs::path id = p / kDemoLocal / "Google/Chrome/User Data/Default/Extensions" / std::string(32, 'e');
         for (int n = 0; n < 20000; ++n) fs::create_directories(id / (std::to_string(n) + ".0_0"));
     }},
    {"20,000 empty Firefox extension folders",
     [](const fs::path& p) {
         const fs::path extensions = p / kDemoProfiles / "k3x9wq2m.default/extensions";
         for (int n = 0; n < 20000; ++n) fs::create_directories(extensions / ("empty" + std::to_string(n) + "@example.org"));
     }},
    {"a binary Info.plist",
     [](const fs::path& p) { badPlist(p, std::string("bplist00\xD1\x01\x02QaQb\x08\x0B\x0D\0\0\0\0\0\0\x01\x01", 24)); }},
    {"an Info.plist with a DOCTYPE and an external entity",
     [](const fs::path& p) {
         badPlist(p, std::string(kPlistHead) + "<!DOCTYPE plist [<!ENTITY s SYSTEM \"C:\\windows\\win.ini\">]>"
                                              "<plist><dict><key>Author</key><string>&s;</string></dict></plist>");
     }},
    {"an Info.plist with a parameter entity",
     [](const fs::path& p) {
         badPlist(p, std::string(kPlistHead) + "<!DOCTYPE plist [<!ENTITY % e SYSTEM \"C:\\windows\\win.ini\"> %e;]>"
                                              "<plist><array/></plist>");
     }},
    {"an Info.plist of arrays 100,000 deep",
     [](const fs::path& p) {
         std::string t = std::string(kPlistHead) + "<plist><dict><key>a</key>";
         for (int n = 0; n < 100000; ++n) t += "<array>";
         for (int n = 0; n < 100000; ++n) t += "</array>";
         badPlist(p, t + "</dict></plist>");
     }},
    {"a manifest in UTF-16 with a byte-order mark",
     [](const fs::path& p) {
         const std::string manifest = "{\"name\":\"Wide\",\"version\":\"1\"}";
         std::string wide = "\xFF\xFE";
         for (const char c : manifest) wide += std::string{c, '\0'};
         const fs::path folder =
             p / kDemoLocal / "Google/Chrome/User Data/Default/Extensions" / std::string(32, 'w') / "1_0";
         fs::create_directories(folder);
         std::ofstream(folder / "manifest.json", std::ios::binary) << wide;
     }},
};

win::LONG listedInAll() {
    win::LONG all = 0;
    for (win::LONG type = 1; type <= 24; ++type) all += bench::listed(type);
    return all;
}

// What the floor run lists of each type: a case must list at least as much.
std::vector<win::LONG>& demoListing() {
    static std::vector<win::LONG> listing;
    return listing;
}

// One whole collection of a copy of the demo prefix laid out by `lay`.
void collectDemoCopy(benchmark::State& state, const std::function<void(const fs::path&)>& lay, bool isFloor) {
    if (demoPrefix().empty()) return state.SkipWithError("the demo prefix cannot be built");
    const fs::path copy = demoPrefix().parent_path() / "copy";
    fs::remove_all(copy);
    fs::copy(demoPrefix(), copy, fs::copy_options::recursive | fs::copy_options::copy_symlinks);
    if (lay) lay(copy);
    {
        // The machine is opened, its hives read, inside the measured run.
        std::unique_ptr<testsupport::ProgramObjects> program;
        std::size_t boxes = 0;
        sorlix::SetMsgBoxHook([&](const std::string&) { ++boxes; });
        double peak = 0;
        const bench::ThreadTimes times;
        for (auto _ : state)
            peak = peakMegabytes([&] {
                auto machine = winsys::Machine::open(copy);
                if (!machine) return state.SkipWithError(machine.error().message.c_str());
                winsys::setMachine(std::move(machine).value());
                program = std::make_unique<testsupport::ProgramObjects>();
                sorlix::MInfoCollector::CollectAllAddonInfo();
            });
        times.report(state);
        sorlix::SetMsgBoxHook(nullptr);
        if (!program) return;
        state.counters["peak MB"] = peak;
        state.counters["boxes"] = static_cast<double>(boxes);
        state.counters["log lines"] = static_cast<double>(program->log->lines.size());
        state.counters["listed"] = listedInAll();
        std::vector<win::LONG> listing;
        for (win::LONG type = 1; type <= 24; ++type) listing.push_back(bench::listed(type));
        if (isFloor) demoListing() = listing;
        for (std::size_t t = 0; t < listing.size() && t < demoListing().size(); ++t)
            if (listing[t] < demoListing()[t])
                state.SkipWithError(("type " + std::to_string(t + 1) + " lost add-ons").c_str());
    }
    winsys::com::releaseApplicationObjects();
    winsys::setMachine(nullptr);
    fs::remove_all(copy);
}

void BM_DemoCollectionFloor(benchmark::State& state) { collectDemoCopy(state, nullptr, true); }
BENCHMARK(BM_DemoCollectionFloor)->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_DemoCollectionWith(benchmark::State& state) {
    const DemoCase& c = kDemoCases[state.range(0)];
    state.SetLabel(c.label);
    collectDemoCopy(state, c.lay, false);
}
BENCHMARK(BM_DemoCollectionWith)->DenseRange(0, std::size(kDemoCases) - 1)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace
