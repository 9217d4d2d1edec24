// A full collection on 64-bit Windows with Chrome installed by its 64-bit
// installer: three profiles holding 300 extension versions (half of them
// named through "_locales\en\messages.json"), 20 policy values naming some
// of them, and 40 plugin files in Chrome's program and version folders.
// Target: under 150 ms.
#include <benchmark/benchmark.h>

#include <string>

#include "app/core/minfocollector.h"
#include "app/core/mmain.h"
#include "tests/support/com_library.h"
#include "tests/support/pe_writer.h"
#include "tests/support/program_objects.h"
#include "tests/support/test_prefix.h"

namespace {

constexpr int kVersions = 300; // 100 per profile
constexpr int kPolicies = 20;  // 10 in each registry view
constexpr int kPlugins = 40;   // half with a version resource

const std::string kUserData = "C:\\users\\tester\\AppData\\Local\\Google\\Chrome\\User Data";
const std::string kApp = "C:\\Program Files\\Google\\Chrome\\Application";
const char* const kProfiles[] = {"Default", "Profile 1", "Profile 2"};

// 32 letters a-p, as the browser names extension folders.
std::string extensionId(int n) {
    std::string id(32, 'a');
    for (int i = 31; n > 0; --i, n /= 16) id[i] = static_cast<char>('a' + n % 16);
    return id;
}

std::string manifest(int n, bool localised) {
    const std::string name = localised ? "__MSG_appName__" : "Extension " + std::to_string(n);
    const std::string description = localised ? "__MSG_appDesc__" : "Does thing " + std::to_string(n);
    return "{\n  \"manifest_version\": 3,\n  \"name\": \"" + name + "\",\n  \"description\": \"" + description +
           "\",\n  \"version\": \"1." + std::to_string(n) + "\",\n" +
           (localised ? "  \"default_locale\": \"en\",\n" : "") +
           "  \"icons\": {\"16\": \"icon-16.png\", \"48\": \"icon-48.png\", \"128\": \"icon-128.png\"},\n"
           "  \"action\": {\"default_popup\": \"popup.html\", \"default_title\": \"" +
           name +
           "\"},\n"
           "  \"background\": {\"service_worker\": \"background.js\"},\n"
           "  \"permissions\": [\"storage\", \"tabs\", \"contextMenus\", \"notifications\"],\n"
           "  \"host_permissions\": [\"https://*/*\"],\n"
           "  \"content_scripts\": [{\"matches\": [\"<all_urls>\"], \"js\": [\"content.js\"], \"run_at\": "
           "\"document_idle\"}]\n}\n";
}

std::string messages(int n) {
    return "{\n  \"appName\": {\n    \"message\": \"Extension " + std::to_string(n) +
           "\",\n    \"description\": \"The name of the extension.\"\n  },\n"
           "  \"appDesc\": {\n    \"message\": \"Does thing " +
           std::to_string(n) +
           " in every tab.\",\n    \"description\": \"The description of the extension.\"\n  },\n"
           "  \"popupTitle\": {\n    \"message\": \"Settings\"\n  }\n}\n";
}

struct Machine {
    testsupport::TestPrefix prefix;
    testsupport::ComLibrary common{HALVENLIB_PATH}, product{QUARNCUST_PATH};
    testsupport::ProgramObjects program;

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
                reg += "\"" + std::to_string(i + 1) + "\"=\"" + extensionId(view * 7 + i * 3) +
                       ";https://clients2.google.com/service/update2/crx\"\n";
        }
        prefix.importReg(reg);
        prefix.writeFile(kApp + "\\chrome.exe", "MZ");
        prefix.writeFile(kUserData + "\\Local State", "{}");

        for (int n = 0; n < kVersions; ++n) {
            const std::string folder = kUserData + "\\" + kProfiles[n % 3] + "\\Extensions\\" +
                                       extensionId(n) + "\\1." + std::to_string(n) + "_0";
            const bool localised = n % 2 == 0;
            prefix.writeFile(folder + "\\manifest.json", manifest(n, localised));
            if (localised) prefix.writeFile(folder + "\\_locales\\en\\messages.json", messages(n));
        }

        for (int n = 0; n < kPlugins; ++n) {
            testsupport::PeSpec spec;
            if (n % 2 == 0)
                spec.version = testsupport::PeVersion{
                    .tables = {{0x0409, 1200,
                                {{"CompanyName", "Maker " + std::to_string(n)},
                                 {"ProductName", "Plugin " + std::to_string(n)},
                                 {"FileDescription", "Plugin " + std::to_string(n)},
                                 {"LegalCopyright", "(c) Maker"}}}}};
            const std::string folder = n < kPlugins / 2 ? kApp + "\\plugins" : kApp + "\\31.0.1650.57\\plugins";
            testsupport::writePe(prefix.host(folder + "\\np" + std::to_string(n) + ".dll"), spec);
        }
    }
};

Machine& machine() {
    static Machine m;
    return m;
}

win::LONG listed(win::LONG type) {
    win::LONG rows = 0;
    if (const auto t = sorlix::DB->TypeObjects(type)) t->get_RowsCount(&rows);
    return rows;
}

void BM_CollectAllAddonInfoWithChrome(benchmark::State& state) {
    Machine& m = machine();
    for (auto _ : state) sorlix::MInfoCollector::CollectAllAddonInfo();
    state.counters["extensions"] = listed(sorlix::atChromeExtension);
    state.counters["plugins"] = listed(sorlix::atChromePlugin);
    if (listed(sorlix::atChromeExtension) != kVersions || listed(sorlix::atChromePlugin) != kPlugins)
        state.SkipWithError("not every add-on was listed");
    if (!m.program.log->lines.empty()) state.SkipWithError(m.program.log->lines.front().description.c_str());
}
BENCHMARK(BM_CollectAllAddonInfoWithChrome)->Unit(benchmark::kMillisecond);

} // namespace
