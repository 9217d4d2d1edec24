#pragma once
// A test machine for the Mozilla extension enumerators: the user's Mozilla
// folder, Firefox profiles, small install manifests, and packages written
// with libzip; a machine whose program can be restarted; and the real
// Firefox and Waterfox data of the fixtures with the registry entries that
// point at it.

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "tests/app/enumerators/ie_fixture.h"

namespace moztest {

using namespace ietest;
namespace fs = std::filesystem;

inline const std::string kRoaming = "C:\\users\\tester\\AppData\\Roaming";
inline const std::string kMozilla = kRoaming + "\\Mozilla";
inline const std::string kProfiles = kMozilla + "\\Firefox\\Profiles";
inline const std::string kWorkFolder = std::string(testsupport::ProgramObjects::kDataFolder) + "\\Temp\\FFExtTemp";
inline const std::string kFirefoxDir = "C:\\Program Files (x86)\\Mozilla Firefox";

inline const fs::path kRealDriveC = fs::path(REAL_BROWSER_DATA) / "drive_c";

// An install manifest in element form: the id, then the name when given,
// then `more` (further elements of the Description), with em: prefixes.
inline std::string manifest(const std::string& id, const std::string& name, const std::string& more = "") {
    return "<?xml version=\"1.0\"?>\n"
           "<RDF xmlns=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\" "
           "xmlns:em=\"http://www.mozilla.org/2004/em-rdf#\">\n"
           "  <Description about=\"urn:mozilla:install-manifest\">\n"
           "    <em:id>" +
           id + "</em:id>\n" + (name.empty() ? "" : "    <em:name>" + name + "</em:name>\n") + more +
           "  </Description>\n</RDF>\n";
}

struct MozMachine : Machine {
    using Machine::Machine;

    // "<folder>\install.rdf"; returns the folder.
    std::string folderExtension(const std::string& folder, const std::string& rdf) const {
        prefix.writeFile(folder + "\\install.rdf", rdf);
        return folder;
    }
    // A package at `path` with install.rdf holding `rdf` among a few other entries.
    std::string packedExtension(const std::string& path, const std::string& rdf) const {
        package(path, {{"chrome.manifest", "content x content/\n"}, {"install.rdf", rdf}, {"content/x.js", "//"}});
        return path;
    }
    bool workFolderExists() const { return fs::exists(prefix.host(kWorkFolder)); }
};

// Where the registry of the real data points: Firefox's and Waterfox's
// install folders (Waterfox's written with doubled "\"), an extension for
// Firefox machine-wide and one in the 64-bit view...
inline const std::string kRealInstallsRegistry = R"(Windows Registry Editor Version 5.00

[HKEY_LOCAL_MACHINE\SOFTWARE\Wow6432Node\Mozilla\Mozilla Firefox\24.0 (x86 en-US)\Main]
"Install Directory"="C:\\Program Files (x86)\\Mozilla Firefox"

[HKEY_LOCAL_MACHINE\SOFTWARE\Wow6432Node\Mozilla\Waterfox\56.2.0 (x64 en-US)\Main]
"Install Directory"="C:\\\\Program Files\\\\Waterfox"

[HKEY_LOCAL_MACHINE\SOFTWARE\Wow6432Node\Mozilla\Firefox\Extensions]
"ose@baton34dev"="C:\\Program Files (x86)\\Organize Search Engines\\ose@baton34dev"

[HKEY_LOCAL_MACHINE\SOFTWARE\Mozilla\Firefox\Extensions]
"{2B8EFF80-1240-11DB-BF6C-934CD2EFDFE8}"="C:\\Program Files\\AVIM\\{2B8EFF80-1240-11DB-BF6C-934CD2EFDFE8}"
)";
// ...and one per user.
inline const std::string kRealRegistry = kRealInstallsRegistry + R"(
[HKEY_CURRENT_USER\Software\Mozilla\Firefox\Extensions]
"grwatcher@ajnasz.hu"="C:\\users\\root\\AppData\\Roaming\\Google Reader Watcher\\grwatcher@ajnasz.hu"
)";

// A machine whose program can be ended and started again on the same prefix.
struct RestartableMachine {
    explicit RestartableMachine(testsupport::TestPrefixOptions options = {}) : prefix(options) {}
    void restart() {
        program.reset();
        prefix.reopen();
        program.emplace();
    }
    const std::vector<testsupport::LogLine>& log() const { return program->log->lines; }

    testsupport::TestPrefix prefix;
    testsupport::ComLibrary common{HALVENLIB_PATH};
    testsupport::ComLibrary product{QUARNCUST_PATH};
    std::optional<testsupport::ProgramObjects> program{std::in_place};
};

// The Mozilla folders of the real data on C: (user "root") and the registry above.
inline void installRealData(const testsupport::TestPrefix& prefix) {
    for (const char* folder : {"users/root/AppData/Roaming/Mozilla", "users/root/AppData/Roaming/Google Reader Watcher",
                               "Program Files (x86)/Mozilla Firefox", "Program Files (x86)/Organize Search Engines",
                               "Program Files/Waterfox", "Program Files/AVIM"})
        prefix.copyIn(kRealDriveC / folder, std::string("C:\\") + folder);
    prefix.importReg(kRealRegistry);
}

inline const std::string kRealRoaming = "C:\\users\\root\\AppData\\Roaming";
inline const std::string kRealDefault = kRealRoaming + "\\Mozilla\\Firefox\\Profiles\\k3x9wq2m.default";
inline const std::string kRealWork = kRealRoaming + "\\Mozilla\\Firefox\\Profiles\\p7f2d1zc.work";
inline const std::string kRealGreasemonkey = kRealDefault + "\\extensions\\{e4a8a97b-f2ed-450b-b12d-ee082ba24781}\\";
inline const std::string kRealSidebar = kRealDefault + "\\extensions\\{097d3191-e6fa-4728-9826-b533d755359d}.xpi";

} // namespace moztest
