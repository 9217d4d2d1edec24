#pragma once
// A test machine for the Mozilla extension enumerators: the user's Mozilla
// folder, Firefox profiles, small install manifests, and packages written
// with libzip; and the real Firefox and Waterfox data of the fixtures with
// the registry entries that point at it.

#include <filesystem>
#include <string>
#include <vector>

#include "tests/app/enumerators/ie_fixture.h"
#include "tests/support/zip_writer.h"

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
    void package(const std::string& path, const std::vector<testsupport::ZipEntry>& entries) const {
        fs::create_directories(prefix.host(path).parent_path());
        testsupport::writeZip(prefix.host(path), entries);
    }
    // Copies a folder of the real data (a path below drive_c) to the same place on C:.
    void copyReal(const std::string& belowDriveC) const {
        const fs::path from = kRealDriveC / belowDriveC;
        const fs::path to = prefix.root() / "drive_c" / belowDriveC;
        fs::create_directories(to);
        fs::copy(from, to, fs::copy_options::recursive | fs::copy_options::overwrite_existing);
        // The fixtures are read-only; the copies must be removable.
        for (const auto& e : fs::recursive_directory_iterator(to))
            fs::permissions(e.path(), fs::perms::owner_write, fs::perm_options::add);
        fs::permissions(to, fs::perms::owner_write, fs::perm_options::add);
    }
    bool workFolderExists() const { return fs::exists(prefix.host(kWorkFolder)); }
};

} // namespace moztest
