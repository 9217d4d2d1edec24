// A full collection of a 64-bit machine with 42 add-ons of each of the 24
// types, 1,008 in all: Internet Explorer's five kinds in both registry
// views (among 1,000 registered classes; collection_bench has 20,000), the
// machine's 32-bit and 64-bit Mozilla plugin registrations, Firefox's and
// Waterfox's extensions (half packages, half folders) and plugins, Chrome's
// extensions (half named through "_locales") and plugins, Safari's
// extensions and plugins, and both Opera builds' widget packages and
// plugins (each plugin folder with one more file that its ignore list
// names). Targets: the full collection under 800 ms and at most 3 times its
// parsing floor, which lists each folder and reads each file the collection
// lists and reads (once each, by host path, as recorded from one
// collection), parses each with the program's own parser, walks the same
// registry classes and fills one plain record per add-on; re-collecting
// types 21 to 24, as a refresh of the Opera set does, under 150 ms. The
// plain reader (the same reads without parsing) shows the file system's part.
#include <benchmark/benchmark.h>

#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <set>
#include <string>
#include <tuple>
#include <unistd.h>
#include <vector>

#include <zip.h>

#include "app/core/minfocollector.h"
#include "app/core/mmain.h"
#include "app/enumerators/cplistparser.h"
#include "app/enumerators/json.h"
#include "bench/bench_machine.h"
#include "bench/thread_times.h"
#include "platform/core/text.h"
#include "platform/files/hostfile.h"
#include "platform/pe/pe.h"
#include "platform/pe/version.h"
#include "platform/registry/registry.h"
#include "platform/xml/dom.h"

namespace {

constexpr int kPerType = 42;
constexpr int kClasses = 1000; // in both views together

const std::string kRoaming = "C:\\users\\tester\\AppData\\Roaming";
const std::string kLocal = "C:\\users\\tester\\AppData\\Local";
const std::string kFirefox = "C:\\Program Files (x86)\\Mozilla Firefox";
const std::string kWaterfox = "C:\\Program Files\\Waterfox";
const std::string kChromeApp = "C:\\Program Files\\Google\\Chrome\\Application";
const std::string kSafari = "C:\\Program Files (x86)\\Safari";
const std::string kOpera32 = "C:\\Program Files (x86)\\Opera\\";
const std::string kOpera64 = "C:\\Program Files\\Opera\\";

constexpr win::WORD kI386 = win::IMAGE_FILE_MACHINE_I386;
constexpr win::WORD kAmd64 = win::IMAGE_FILE_MACHINE_AMD64;

std::string dll(const std::string& folder, const std::string& stem, int n) {
    return folder + "\\" + stem + std::to_string(n) + ".dll";
}

struct Machine : bench::BenchMachine {
    Machine() {
        std::string reg = "Windows Registry Editor Version 5.00\n" +
                          bench::ieAddonRegistry(kPerType, kClasses / 2, kPerType);
        bench::writeIeAddonFiles(prefix, kPerType);

        // Types 11 and 12: the machine's plugin registrations of each view.
        for (int n = 0; n < kPerType; ++n) {
            const std::string id = "@vendor" + std::to_string(n) + "/plugin]\n\"Path\"=\"";
            const std::string file32 = dll("C:\\Registered", "np32_", n);
            const std::string file64 = dll("C:\\Program Files\\Registered", "np64_", n);
            reg += "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\MozillaPlugins\\" + id +
                   testsupport::regText(file32) + "\"\n";
            reg += "[HKEY_LOCAL_MACHINE\\SOFTWARE\\MozillaPlugins\\" + id + testsupport::regText(file64) + "\"\n";
            bench::writePlugin(prefix, file32, kI386, n);
            bench::writePlugin(prefix, file64, kAmd64, n);
        }

        // Types 13 to 16: each browser's extensions in its install folder,
        // Firefox's plugins in its profile, Waterfox's in its install folder.
        const std::string mozilla = "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\Mozilla\\";
        reg += mozilla + "Mozilla Firefox\\24.0\\Main]\n\"Install Directory\"=\"" + testsupport::regText(kFirefox) +
               "\"\n";
        reg += mozilla + "Waterfox\\56.0\\Main]\n\"Install Directory\"=\"" + testsupport::regText(kWaterfox) + "\"\n";
        const std::string profile = kRoaming + "\\Mozilla\\Firefox\\Profiles\\p0.default";
        prefix.makeDir(profile + "\\extensions");
        for (int n = 0; n < kPerType; ++n) {
            for (const std::string& install : {kFirefox, kWaterfox}) {
                const std::string extension = install + "\\extensions\\ext" + std::to_string(n);
                if (n % 2) bench::writeXpi(prefix, extension + ".xpi", n, 10);
                else bench::writeExtensionFolder(prefix, extension, n);
            }
            bench::writePlugin(prefix, dll(profile + "\\Plugins", "npff", n), kI386, n);
            bench::writePlugin(prefix, dll(kWaterfox + "\\Plugins", "npwf", n), kAmd64, n);
        }

        // Types 17 and 18: Chrome's extensions in one profile, its plugins.
        reg += "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\ChromeHTML\\shell\\open\\command]\n"
               "@=\"\\\"" + testsupport::regText(kChromeApp + "\\chrome.exe") + "\\\" --single-argument %1\"\n";
        prefix.writeFile(kChromeApp + "\\chrome.exe", "MZ");
        const std::string userData = kLocal + "\\Google\\Chrome\\User Data";
        prefix.writeFile(userData + "\\Local State", "{}");
        for (int n = 0; n < kPerType; ++n) {
            bench::writeChromeExtension(prefix, userData + "\\Default", n, n % 2 == 0);
            bench::writePlugin(prefix, dll(kChromeApp + "\\plugins", "np", n), kI386, n);
        }

        // Types 19 and 20: Safari's extension folders beside its list of
        // them, and the plugins of its install folder.
        reg += "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\Apple Computer, Inc.\\Safari]\n\"InstallDir\"=\"" +
               testsupport::regText(kSafari) + "\"\n";
        const std::string safariExtensions = kLocal + "\\Apple Computer\\Safari\\Extensions";
        prefix.writeFile(safariExtensions + "\\Extensions.plist", "<?xml version=\"1.0\"?><plist/>");
        for (int n = 0; n < kPerType; ++n) {
            const std::string folder = safariExtensions + "\\Ext" + std::to_string(n) + ".safariextension";
            prefix.writeFile(folder + "\\Info.plist", bench::safariInfoPlist(n));
            prefix.writeFile(folder + "\\global.html", "<html></html>");
            bench::writePlugin(prefix, dll(kSafari + "\\Plugins", "npSafari", n), kI386, n);
        }

        // Types 21 to 24: each Opera build's widgets and its plugins, one
        // more of them named by its ignore list.
        reg += "[HKEY_CURRENT_USER\\Software\\Opera Software]\n\"Last Install Path\"=\"" +
               testsupport::regText(kOpera32) + "\"\n\"Last Install Path x64\"=\"" + testsupport::regText(kOpera64) +
               "\"\n";
        for (const auto& [build, install, machineType] :
             {std::tuple{"Opera", kOpera32, kI386}, std::tuple{"Opera x64", kOpera64, kAmd64}}) {
            const std::filesystem::path widgets = prefix.host(kLocal + "\\Opera\\" + build + "\\widgets");
            std::filesystem::create_directories(widgets);
            for (int n = 0; n < kPerType; ++n) bench::writeWidget(widgets / ("ext" + std::to_string(n) + ".oex"), n);
            for (int n = 0; n <= kPerType; ++n)
                bench::writePlugin(prefix, dll(install + "program\\plugins", "npOpera", n), machineType, n);
            prefix.writeFile(install + "defaults\\plugin-ignore.ini",
                             "[Plugins To Ignore]\r\nnpOpera" + std::to_string(kPerType) + ".dll=1\r\n");
        }
        prefix.importReg(reg);
    }
};

Machine& machine() {
    static Machine m;
    return m;
}

// Every type of [first, last] lists kPerType add-ons and nothing was logged.
void check(benchmark::State& state, const Machine& m, win::LONG first, win::LONG last) {
    win::LONG all = 0;
    for (win::LONG type = first; type <= last; ++type) {
        all += bench::listed(type);
        if (bench::listed(type) != kPerType) {
            state.SkipWithError(("type " + std::to_string(type) + " lists " + std::to_string(bench::listed(type)) +
                                 " add-ons").c_str());
            return;
        }
    }
    state.counters["addons"] = all;
    if (!m.program.log->lines.empty()) state.SkipWithError(m.program.log->lines.front().description.c_str());
}

void BM_CollectAllAddonInfo1000(benchmark::State& state) {
    Machine& m = machine();
    const bench::ThreadTimes times;
    for (auto _ : state) sorlix::MInfoCollector::CollectAllAddonInfo();
    times.report(state);
    check(state, m, 1, 24);
}
BENCHMARK(BM_CollectAllAddonInfo1000)->Unit(benchmark::kMillisecond);

// The folders and files of one collection, each once, in the order first
// met; not what it made and removed itself (packages unpacked into its work
// folders: the reader reads the package).
struct Floor {
    std::vector<std::filesystem::path> folders, files;
};

const Floor& floorOf(Machine&) {
    static const Floor floor = [] {
        winsys::HostAccessLog log;
        winsys::recordHostAccess(&log);
        sorlix::MInfoCollector::CollectAllAddonInfo();
        winsys::recordHostAccess(nullptr);
        Floor f;
        auto once = [](const std::vector<std::filesystem::path>& all, std::vector<std::filesystem::path>& out) {
            std::set<std::filesystem::path> seen;
            for (const auto& p : all)
                if (seen.insert(p).second && std::filesystem::exists(p)) out.push_back(p);
        };
        once(log.listed, f.folders);
        once(log.read, f.files);
        return f;
    }();
    return floor;
}

void BM_PlainReaderFloor(benchmark::State& state) {
    const Floor& f = floorOf(machine());
    std::size_t entries = 0, bytes = 0;
    char buffer[1 << 16];
    const bench::ThreadTimes times;
    for (auto _ : state) {
        for (const auto& folder : f.folders) {
            DIR* d = ::opendir(folder.c_str());
            if (!d) {
                state.SkipWithError(("cannot list " + folder.string()).c_str());
                return;
            }
            while (::readdir(d)) ++entries;
            ::closedir(d);
        }
        for (const auto& file : f.files) {
            const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
            if (fd < 0) {
                state.SkipWithError(("cannot read " + file.string()).c_str());
                return;
            }
            for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) > 0;) bytes += static_cast<std::size_t>(n);
            ::close(fd);
        }
    }
    times.report(state);
    benchmark::DoNotOptimize(entries);
    benchmark::DoNotOptimize(bytes);
    state.counters["folders"] = static_cast<double>(f.folders.size());
    state.counters["files"] = static_cast<double>(f.files.size());
}
BENCHMARK(BM_PlainReaderFloor)->Unit(benchmark::kMillisecond);

// ---- The parsing floor ------------------------------------------------------

// What the floor keeps of an add-on: plain texts, no objects, no keyed lists.
struct PlainAddon {
    std::string name, file, maker, version, description;
};

std::string readAll(const std::filesystem::path& file) {
    std::string bytes;
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return bytes;
    char buffer[1 << 16];
    for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) > 0;) bytes.append(buffer, static_cast<std::size_t>(n));
    ::close(fd);
    return bytes;
}

std::string jsonText(const sorlix::JsonObject& o, std::string_view key) {
    const sorlix::JsonValue* v = o.find(key);
    const std::string* t = v ? v->text() : nullptr;
    return t ? *t : std::string();
}

std::string plistText(const sorlix::PlistDict& d, std::string_view key) {
    const sorlix::PlistValue* v = d.find(key);
    const std::string* t = v ? std::get_if<std::string>(&v->v) : nullptr;
    return t ? *t : std::string();
}

// The text of the first element of that base name below `n`.
std::string xmlText(const winsys::xml::Node& n, std::string_view baseName) {
    for (const winsys::xml::Node& c : n.childNodes()) {
        if (c.type() != winsys::xml::NodeType::Element) continue;
        if (c.baseName() == baseName) return c.text();
        if (std::string t = xmlText(c, baseName); !t.empty()) return t;
    }
    return {};
}

void parseXml(std::string_view bytes, const std::string& file, std::vector<PlainAddon>& out) {
    winsys::xml::Document doc;
    if (!doc.loadBytes(bytes)) return;
    const winsys::xml::Node root = doc.documentElement();
    out.push_back({xmlText(root, "name"), file, xmlText(root, "creator") + xmlText(root, "author"),
                   xmlText(root, "version"), xmlText(root, "description")});
}

// A package's manifest, read from the package's bytes in memory.
void parsePackage(const std::string& bytes, const std::string& file, std::vector<PlainAddon>& out) {
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* source = zip_source_buffer_create(bytes.data(), bytes.size(), 0, &error);
    zip_t* archive = source ? zip_open_from_source(source, ZIP_RDONLY, &error) : nullptr;
    if (!archive) {
        if (source) zip_source_free(source);
        zip_error_fini(&error);
        return;
    }
    for (const char* manifest : {"install.rdf", "config.xml"}) {
        zip_stat_t st;
        if (zip_stat(archive, manifest, ZIP_FL_NOCASE, &st) != 0) continue;
        zip_file_t* f = zip_fopen_index(archive, st.index, 0);
        if (!f) continue;
        std::string text(st.size, '\0');
        const zip_int64_t n = zip_fread(f, text.data(), st.size);
        zip_fclose(f);
        if (n == static_cast<zip_int64_t>(st.size)) parseXml(text, file, out);
    }
    zip_close(archive);
    zip_error_fini(&error);
}

void parsePe(const std::string& bytes, const std::string& file, std::vector<PlainAddon>& out) {
    const winsys::ByteSpan span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    auto image = winsys::PeImage::parse(span);
    if (!image) return;
    auto block = image.value().findResource(winsys::ResourceId::number(win::RT_VERSION),
                                            winsys::ResourceId::number(win::VS_VERSION_INFO));
    if (!block) return;
    auto info = winsys::parseVersionInfo(block.value());
    if (!info || info.value().translations.empty()) return;
    const winsys::VersionInfo& v = info.value();
    const std::string key = winsys::translationKey(v.translations.front());
    auto text = [&](std::string_view name) {
        const std::string* t = v.find(key, name);
        return t ? *t : std::string();
    };
    out.push_back({text("ProductName"), file, text("CompanyName"), text("ProductVersion"), text("FileDescription")});
}

// One file by its name: each kind through the program's parser of it.
void parseFile(const std::filesystem::path& path, std::vector<PlainAddon>& out) {
    const std::string bytes = readAll(path);
    const std::string file = path.string();
    const std::string ext = winsys::lowerCase(path.extension().string());
    if (ext == ".json") {
        const auto tree = sorlix::JSON::Parse(bytes);
        if (const sorlix::JsonObject* o = tree ? tree->object() : nullptr)
            out.push_back({jsonText(*o, "name"), file, {}, jsonText(*o, "version"), jsonText(*o, "description")});
    } else if (ext == ".rdf" || ext == ".xml") {
        parseXml(bytes, file, out);
    } else if (ext == ".plist") {
        if (const auto d = sorlix::CPlistParser().Parse(bytes))
            out.push_back({plistText(*d, "CFBundleDisplayName"), file, plistText(*d, "Author"),
                           plistText(*d, "CFBundleShortVersionString"), plistText(*d, "Description")});
    } else if (ext == ".dll" || ext == ".exe") {
        parsePe(bytes, file, out);
    } else if (ext == ".xpi" || ext == ".oex") {
        parsePackage(bytes, file, out);
    }
}

std::string queryText(win::HKEY key, const std::string& subKey, win::REGSAM view) {
    win::UniqueHKey k;
    if (win::RegOpenKeyEx(key, subKey, 0, win::KEY_READ | view, k.put()) != win::ERROR_SUCCESS) return {};
    win::DWORD type = 0;
    std::vector<win::BYTE> data;
    if (win::RegQueryValueEx(k.get(), "", &type, &data) != win::ERROR_SUCCESS) return {};
    return winsys::fromUtf16leBytes(data);
}

// The registered classes of both views, walked as the explorer bars'
// categories are looked for; each class of a category gives a record.
void walkClasses(std::vector<PlainAddon>& out) {
    for (const char* category : {"{00021493-0000-0000-C000-000000000046}", "{00021494-0000-0000-C000-000000000046}"})
        for (const win::REGSAM view : {win::KEY_WOW64_32KEY, win::KEY_WOW64_64KEY}) {
            win::UniqueHKey clsids;
            if (win::RegOpenKeyEx(win::HKEY_CLASSES_ROOT, "CLSID", 0, win::KEY_READ | view, clsids.put()) !=
                win::ERROR_SUCCESS)
                continue;
            const std::string below = std::string("\\Implemented Categories\\") + category;
            std::string name;
            for (win::DWORD i = 0; win::RegEnumKeyEx(clsids.get(), i, &name) == win::ERROR_SUCCESS; ++i) {
                win::UniqueHKey k;
                if (win::RegOpenKeyEx(clsids.get(), name + below, 0, win::KEY_READ | view, k.put()) !=
                    win::ERROR_SUCCESS)
                    continue;
                out.push_back({queryText(clsids.get(), name, view), queryText(clsids.get(), name + "\\InProcServer32", view),
                               {}, {}, {}});
            }
        }
}

std::string queryNamed(win::HKEY key, const std::string& subKey, const std::string& name, win::REGSAM view) {
    win::UniqueHKey k;
    if (win::RegOpenKeyEx(key, subKey, 0, win::KEY_READ | view, k.put()) != win::ERROR_SUCCESS) return {};
    win::DWORD type = 0;
    std::vector<win::BYTE> data;
    if (win::RegQueryValueEx(k.get(), name, &type, &data) != win::ERROR_SUCCESS) return {};
    return winsys::fromUtf16leBytes(data);
}

// Internet Explorer's lists of toolbars, helper objects, buttons and menu
// extensions in both views, each entry a record (named by its class where
// it has one).
void walkInternetExplorer(std::vector<PlainAddon>& out) {
    const std::string ie = "Software\\Microsoft\\Internet Explorer";
    const std::string helpers = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Browser Helper Objects";
    for (const win::REGSAM view : {win::KEY_WOW64_32KEY, win::KEY_WOW64_64KEY}) {
        const auto byClass = [&](const std::string& id) {
            out.push_back({queryText(win::HKEY_CLASSES_ROOT, "CLSID\\" + id, view),
                           queryText(win::HKEY_CLASSES_ROOT, "CLSID\\" + id + "\\InProcServer32", view), {}, {}, {}});
        };
        win::UniqueHKey k;
        if (win::RegOpenKeyEx(win::HKEY_LOCAL_MACHINE, ie + "\\Toolbar", 0, win::KEY_READ | view, k.put()) ==
            win::ERROR_SUCCESS) {
            std::string name;
            win::DWORD type = 0;
            std::vector<win::BYTE> data;
            for (win::DWORD i = 0; win::RegEnumValue(k.get(), i, &name, &type, &data) == win::ERROR_SUCCESS; ++i)
                byClass(name);
        }
        for (const std::string& list : {helpers, ie + "\\Extensions", ie + "\\MenuExt"}) {
            if (win::RegOpenKeyEx(win::HKEY_LOCAL_MACHINE, list, 0, win::KEY_READ | view, k.put()) != win::ERROR_SUCCESS)
                continue;
            std::string name;
            for (win::DWORD i = 0; win::RegEnumKeyEx(k.get(), i, &name) == win::ERROR_SUCCESS; ++i) {
                if (list == helpers) byClass(name);
                else out.push_back({queryNamed(k.get(), name, "ButtonText", view) + queryText(k.get(), name, view),
                                    queryNamed(k.get(), name, "Exec", view), {}, {}, {}});
            }
        }
    }
}

void BM_ParsingFloor(benchmark::State& state) {
    const Floor& f = floorOf(machine());
    std::size_t entries = 0, records = 0;
    const bench::ThreadTimes times;
    for (auto _ : state) {
        std::vector<PlainAddon> addons;
        std::vector<winsys::FolderEntry> listing;
        for (const auto& folder : f.folders) {
            const winsys::UniqueFd fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
            listing.clear();
            if (!fd || !winsys::listFolder(fd.get(), &listing)) {
                state.SkipWithError(("cannot list " + folder.string()).c_str());
                return;
            }
            entries += listing.size();
        }
        for (const auto& file : f.files) parseFile(file, addons);
        walkClasses(addons);
        walkInternetExplorer(addons);
        records = addons.size();
        benchmark::DoNotOptimize(addons.data());
    }
    times.report(state);
    benchmark::DoNotOptimize(entries);
    state.counters["records"] = static_cast<double>(records);
    state.counters["files"] = static_cast<double>(f.files.size());
}
BENCHMARK(BM_ParsingFloor)->Unit(benchmark::kMillisecond);

void BM_RecollectTypes21To24(benchmark::State& state) {
    Machine& m = machine();
    for (auto _ : state)
        for (win::LONG type = 21; type <= 24; ++type) sorlix::MInfoCollector::RecollectAddonInfo(type);
    check(state, m, 21, 24);
}
BENCHMARK(BM_RecollectTypes21To24)->Unit(benchmark::kMillisecond);

} // namespace
