#pragma once
// What the benchmarks build their test machines from: the program's objects
// on a fresh 64-bit prefix, and the add-ons' files and registry texts of
// each browser, numbered so that a benchmark can lay out as many as it
// wants.

#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>

#include "app/core/cdb.h"
#include "app/core/mmain.h"
#include "tests/support/com_library.h"
#include "tests/support/pe_writer.h"
#include "tests/support/program_objects.h"
#include "tests/support/test_prefix.h"
#include "tests/support/zip_writer.h"

namespace bench {

// A 64-bit test machine with both component libraries registered and the
// program-wide objects made, as start-up leaves them.
struct BenchMachine {
    testsupport::TestPrefix prefix;
    testsupport::ComLibrary common{HALVENLIB_PATH}, product{QUARNCUST_PATH};
    testsupport::ProgramObjects program;
};

// How many add-ons the collection lists under `type`.
inline win::LONG listed(win::LONG type) {
    win::LONG rows = 0;
    if (const auto t = sorlix::DB->TypeObjects(type)) t->get_RowsCount(&rows);
    return rows;
}

// ---- Internet Explorer -----------------------------------------------------

// The add-ons' DLLs; add-on n uses file n % files.
inline std::string ieAddonFile(int n, int files) {
    return "C:\\Program Files\\Vendor" + std::to_string(n % files) + "\\addon.dll";
}

inline std::string ieClsid(int n, int view) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "{%08X-%04X-0000-0000-000000000000}", n, view);
    return buf;
}

// Registry text for both views of 64-bit Windows: `classesPerView`
// registered classes in each, the first 5 * perKindAndView of them add-ons
// (toolbars, then helper objects, explorer bars, buttons and menus).
inline std::string ieAddonRegistry(int perKindAndView, int classesPerView, int files) {
    constexpr const char* kVerticalBar = "{00021493-0000-0000-C000-000000000046}";
    std::string t;
    for (int view = 0; view < 2; ++view) {
        const std::string software =
            view ? "HKEY_LOCAL_MACHINE\\Software" : "HKEY_LOCAL_MACHINE\\Software\\Wow6432Node";
        const std::string classes = view ? "HKEY_LOCAL_MACHINE\\Software\\Classes\\CLSID\\"
                                         : "HKEY_LOCAL_MACHINE\\Software\\Classes\\Wow6432Node\\CLSID\\";
        const std::string ie = software + "\\Microsoft\\Internet Explorer";
        for (int n = 0; n < classesPerView; ++n) {
            t += "[" + classes + ieClsid(n, view) + "]\n@=\"Class " + std::to_string(n) + "\"\n";
            t += "[" + classes + ieClsid(n, view) + "\\InProcServer32]\n@=\"" + testsupport::regText(ieAddonFile(n, files)) +
                 "\"\n";
            if (n >= 2 * perKindAndView && n < 3 * perKindAndView)
                t += "[" + classes + ieClsid(n, view) + "\\Implemented Categories\\" + kVerticalBar + "]\n";
        }
        t += "[" + ie + "\\Toolbar]\n";
        for (int n = 0; n < perKindAndView; ++n) t += "\"" + ieClsid(n, view) + "\"=\"\"\n";
        for (int n = perKindAndView; n < 2 * perKindAndView; ++n)
            t += "[" + software + "\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Browser Helper Objects\\" +
                 ieClsid(n, view) + "]\n@=\"Helper " + std::to_string(n) + "\"\n";
        for (int n = 3 * perKindAndView; n < 4 * perKindAndView; ++n)
            t += "[" + ie + "\\Extensions\\" + ieClsid(n, view) + "]\n\"ButtonText\"=\"Button " + std::to_string(n) +
                 "\"\n\"Exec\"=\"" + testsupport::regText(ieAddonFile(n, files)) + "\"\n";
        for (int n = 4 * perKindAndView; n < 5 * perKindAndView; ++n)
            t += "[" + ie + "\\MenuExt\\Menu " + std::to_string(n) + "]\n@=\"" + testsupport::regText(ieAddonFile(n, files)) +
                 "\"\n";
    }
    return t;
}

inline void writeIeAddonFiles(const testsupport::TestPrefix& prefix, int files) {
    for (int n = 0; n < files; ++n) {
        testsupport::PeSpec spec;
        const std::string maker = "Vendor " + std::to_string(n);
        spec.version =
            testsupport::PeVersion{.tables = {{0x0409, 1200, {{"CompanyName", maker}, {"ProductVersion", "1.0"}}}}};
        testsupport::writePe(prefix.host(ieAddonFile(n, files)), spec);
    }
}

// ---- Plugins ---------------------------------------------------------------

// A plugin DLL of the machine type, with a version resource naming plugin
// n and its maker unless `withVersion` is false.
inline void writePlugin(const testsupport::TestPrefix& prefix, const std::string& path, win::WORD machine, int n,
                        bool withVersion = true) {
    testsupport::PeSpec spec;
    spec.machine = machine;
    const std::string name = "Plugin " + std::to_string(n);
    if (withVersion)
        spec.version = testsupport::PeVersion{.tables = {{0x0409, 1200,
                                                          {{"CompanyName", "Vendor " + std::to_string(n)},
                                                           {"ProductName", name},
                                                           {"FileDescription", name + " for browsers"},
                                                           {"LegalCopyright", "(c) Vendor"}}}}};
    testsupport::writePe(prefix.host(path), spec);
}

// ---- Firefox and Waterfox --------------------------------------------------

inline std::string installManifest(int n) {
    return "<?xml version=\"1.0\"?>\n<RDF xmlns=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\" "
           "xmlns:em=\"http://www.mozilla.org/2004/em-rdf#\"><Description about=\"urn:mozilla:install-manifest\">"
           "<em:id>ext" + std::to_string(n) + "@example.org</em:id><em:name>Extension " + std::to_string(n) +
           "</em:name><em:creator>Maker</em:creator><em:description>Benchmark extension</em:description>"
           "</Description></RDF>\n";
}

// An extension package (.xpi) of `entries` entries, the install manifest
// last; answers the manifest's size.
inline std::size_t writeXpi(const testsupport::TestPrefix& prefix, const std::string& path, int n, int entries) {
    std::vector<testsupport::ZipEntry> files;
    for (int e = 0; e < entries - 1; ++e)
        files.emplace_back("content/file" + std::to_string(e) + ".js", std::string(2000, 'a' + e % 26));
    files.emplace_back("install.rdf", installManifest(n));
    std::filesystem::create_directories(prefix.host(path).parent_path());
    testsupport::writeZip(prefix.host(path), files);
    return files.back().data.size();
}

// An extension unpacked into a folder.
inline void writeExtensionFolder(const testsupport::TestPrefix& prefix, const std::string& folder, int n) {
    prefix.writeFile(folder + "\\install.rdf", installManifest(n));
    prefix.writeFile(folder + "\\chrome.manifest", "content x content/\n");
}

// ---- Chrome ----------------------------------------------------------------

// 32 letters a-p, as the browser names extension folders.
inline std::string chromeExtensionId(int n) {
    std::string id(32, 'a');
    for (int i = 31; n > 0; --i, n /= 16) id[i] = static_cast<char>('a' + n % 16);
    return id;
}

inline std::string chromeManifest(int n, bool localised) {
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

inline std::string chromeMessages(int n) {
    return "{\n  \"appName\": {\n    \"message\": \"Extension " + std::to_string(n) +
           "\",\n    \"description\": \"The name of the extension.\"\n  },\n"
           "  \"appDesc\": {\n    \"message\": \"Does thing " +
           std::to_string(n) +
           " in every tab.\",\n    \"description\": \"The description of the extension.\"\n  },\n"
           "  \"popupTitle\": {\n    \"message\": \"Settings\"\n  }\n}\n";
}

// Version folder "1.n_0" of extension n in a profile folder, named through
// "_locales\en\messages.json" when `localised`.
inline void writeChromeExtension(const testsupport::TestPrefix& prefix, const std::string& profile, int n,
                                 bool localised) {
    const std::string folder =
        profile + "\\Extensions\\" + chromeExtensionId(n) + "\\1." + std::to_string(n) + "_0";
    prefix.writeFile(folder + "\\manifest.json", chromeManifest(n, localised));
    if (localised) prefix.writeFile(folder + "\\_locales\\en\\messages.json", chromeMessages(n));
}

// ---- Safari ----------------------------------------------------------------

// "Info.plist" as Safari's extension builder writes it.
inline std::string safariInfoPlist(int n) {
    const std::string id = std::to_string(n);
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
           "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
           "<plist version=\"1.0\">\n<dict>\n"
           "\t<key>Author</key>\n\t<string>Maker " + id + "</string>\n"
           "\t<key>Builder Version</key>\n\t<string>8536.30.1</string>\n"
           "\t<key>CFBundleDisplayName</key>\n\t<string>Extension " + id + "</string>\n"
           "\t<key>CFBundleIdentifier</key>\n\t<string>org.example.ext" + id + "</string>\n"
           "\t<key>CFBundleInfoDictionaryVersion</key>\n\t<string>6.0</string>\n"
           "\t<key>CFBundleShortVersionString</key>\n\t<string>1." + id + "</string>\n"
           "\t<key>CFBundleVersion</key>\n\t<integer>" + id + "</integer>\n"
           "\t<key>Chrome</key>\n\t<dict>\n"
           "\t\t<key>Global Page</key>\n\t\t<string>global.html</string>\n"
           "\t\t<key>Toolbar Items</key>\n\t\t<array>\n\t\t\t<dict>\n"
           "\t\t\t\t<key>Command</key>\n\t\t\t\t<string>open</string>\n"
           "\t\t\t\t<key>Identifier</key>\n\t\t\t\t<string>button</string>\n"
           "\t\t\t\t<key>Image</key>\n\t\t\t\t<string>icon.png</string>\n"
           "\t\t\t</dict>\n\t\t</array>\n\t</dict>\n"
           "\t<key>Content</key>\n\t<dict>\n"
           "\t\t<key>Scripts</key>\n\t\t<dict>\n\t\t\t<key>End</key>\n\t\t\t<array>\n"
           "\t\t\t\t<string>content.js</string>\n\t\t\t</array>\n\t\t</dict>\n\t</dict>\n"
           "\t<key>Description</key>\n\t<string>Does thing " + id + "</string>\n"
           "\t<key>ExtensionInfoDictionaryVersion</key>\n\t<string>1.0</string>\n"
           "\t<key>Permissions</key>\n\t<dict>\n"
           "\t\t<key>Website Access</key>\n\t\t<dict>\n"
           "\t\t\t<key>Include Secure Pages</key>\n\t\t\t<true/>\n"
           "\t\t\t<key>Level</key>\n\t\t\t<string>All</string>\n\t\t</dict>\n\t</dict>\n"
           "\t<key>Update Manifest URL</key>\n\t<string>https://updates.example.org/" + id + ".plist</string>\n"
           "\t<key>Website</key>\n\t<string>https://example.org/" + id + "</string>\n"
           "</dict>\n</plist>\n";
}

// ---- Opera -----------------------------------------------------------------

inline std::string widgetConfig(int n) {
    const std::string id = std::to_string(n);
    return "<?xml version='1.0' encoding='utf-8'?>\n"
           "<widget xmlns=\"http://www.w3.org/ns/widgets\" id=\"http://example.org/ext" + id + "\" version=\"1.0\">\n"
           "  <name short=\"Ext " + id + "\">Extension " + id + "</name>\n"
           "  <description xml:lang=\"de\">Erweiterung " + id + "</description>\n"
           "  <description xml:lang=\"en\">Extension number " + id + "</description>\n"
           "  <author href=\"http://example.org/\">Maker " + id + "</author>\n"
           "  <license>MIT</license>\n"
           "  <update-description href=\"https://updates.example.org/" + id + "\"/>\n"
           "  <icon src=\"icons/64.png\"/>\n"
           "  <preference name=\"interval\" value=\"30\"/>\n"
           "</widget>\n";
}

// Widget package n (.oex) at a host path.
inline void writeWidget(const std::filesystem::path& file, int n) {
    testsupport::writeZip(file, {{"config.xml", widgetConfig(n)},
                                 {"index.html", std::string(4000, 'h')},
                                 {"scripts/background.js", std::string(20000, 'j')},
                                 {"icons/64.png", std::string(3000, 'p')}});
}

} // namespace bench
