#include "app/enumerators/cchromeextenumerator.h"

// Extensions live in "<profile>\Extensions\<id>\<version>" below Chrome's
// user data folder, and in the folders next to the program files the
// registry names. Manifests and messages files are read as bytes and
// decoded as UTF-8, as the browser reads them (a leading byte-order mark
// allowed). Every member but the small helpers is an error trap that logs
// with sevError and lets its caller go on.

#include <charconv>
#include <cstring>

#include "app/core/comcalls.h"
#include "app/core/mmainhelpers.h"
#include "app/core/resume_next.h"
#include "app/enumerators/enumcalls.h"
#include "common/interfaces/fileops.h"
#include "common/interfaces/global.h"
#include "common/interfaces/registry.h"
#include "platform/com/com_error.h"
#include "platform/com/error_info.h"
#include "platform/com/variant.h"
#include "platform/core/text.h"
#include "platform/files/paths.h"

namespace sorlix {

namespace {

using halvenlib::_CCollection;
using halvenlib::_CNodes;
using win::LONG;
using winsys::com::call;
using winsys::com::ComPtr;
using Enum::Trapped;

constexpr const char* kForcelistKey = "SOFTWARE\\Policies\\Google\\Chrome\\ExtensionInstallForcelist";
constexpr const char* kRecommendedKey = "SOFTWARE\\Policies\\Google\\Chrome\\Recommended\\ExtensionInstallForcelist";
constexpr const char* kCommandKey = "SOFTWARE\\Classes\\ChromeHTML\\shell\\open\\command";
constexpr const char* kAppPathsKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\chrome.exe";
constexpr const char* kUninstallKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Google Chrome";

std::string source(const char* member) { return std::string("CChromeExtEnumerator.") + member; }

[[noreturn]] void raise(LONG number, const char* member) {
    const win::HRESULT hr = winsys::com::hresultFromNumber(number);
    throw winsys::com::ComError(hr, winsys::com::describeHresult(hr), source(member));
}

// The encoding that a byte-order mark other than UTF-8's announces, or null.
const char* foreignEncoding(std::string_view bytes) {
    using namespace std::string_view_literals;
    if (bytes.starts_with("\xFF\xFE\0\0"sv)) return "UTF-32LE"; // before UTF-16LE, which begins alike
    if (bytes.starts_with("\0\0\xFE\xFF"sv)) return "UTF-32BE";
    if (bytes.starts_with("\xFF\xFE"sv)) return "UTF-16LE";
    if (bytes.starts_with("\xFE\xFF"sv)) return "UTF-16BE";
    return nullptr;
}

// The file's text: at most kMaxInputFileBytes bytes, without a leading
// byte-order mark, decoded as UTF-8 (bytes that are not become U+FFFD). A
// missing file is error 53. A file in another encoding is not read, as the
// browser does not read it, with one log line naming it when `report`: the
// text is then empty, which parses to nothing.
std::string readJsonFile(const std::string& path, bool report) {
    const std::string bytes = Enum::ReadInputFile(path);
    std::string_view text(bytes);
    if (const char* encoding = foreignEncoding(text)) {
        if (report)
            LogLine(0, FormatString("'%1' is encoded in %2, not in UTF-8; it is not read.", {path, encoding}),
                    halvenlib::sevInternalError, source("ProcessManifestJson"));
        return {};
    }
    if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
    return winsys::toUtf8(winsys::toUtf16(text));
}

// A member as text, as the runtime converts it; a missing member is "".
std::string textOf(const JsonObject& object, std::string_view key, const char* member) {
    const JsonValue* v = object.find(key);
    if (!v) return {};
    if (const std::string* s = v->text()) return *s;
    if (const bool* b = std::get_if<bool>(&v->v)) return *b ? "True" : "False";
    if (const double* d = std::get_if<double>(&v->v)) {
        char buffer[32];
        return std::string(buffer, std::to_chars(buffer, buffer + sizeof buffer, *d).ptr);
    }
    if (std::holds_alternative<JsonEmpty>(v->v)) return {};
    raise(13, member); // Null, a list or an object
}

// The texts of a list joined with ", "; other elements are left out, so
// that an app's {"socket": [...]} entry does not hide the extension.
std::string JoinCollection(const JsonList& list) {
    std::string joined;
    for (const JsonValue& element : list) {
        const std::string* s = element.text();
        if (!s) continue;
        if (!joined.empty()) joined += ", ";
        joined += *s;
    }
    return joined;
}

const JsonObject* objectMember(const JsonObject& object, std::string_view key) {
    const JsonValue* v = object.find(key);
    return v ? v->object() : nullptr;
}

bool hasControlCharacter(std::string_view s) {
    for (const char c : s)
        if (static_cast<unsigned char>(c) < 0x20) return true;
    return false;
}

// Whether a declared plugin path names a file inside the version folder:
// relative, without a drive or stream (":") or control character, and
// inside once "." and ".." are folded as the file layer folds them.
bool staysInside(const std::string& dir, const std::string& relative) {
    if (relative.front() == '\\' || relative.front() == '/') return false;
    if (relative.find(':') != std::string::npos || hasControlCharacter(relative)) return false;
    const auto folder = winsys::parseWindowsPath(dir);
    const auto joined = winsys::parseWindowsPath(MMain::JoinPath(dir, relative));
    if (!folder || !joined || joined->drive != folder->drive) return false;
    if (joined->parts.size() <= folder->parts.size()) return false;
    for (std::size_t i = 0; i < folder->parts.size(); ++i)
        if (!winsys::equalsNoCase(joined->parts[i], folder->parts[i])) return false;
    return true;
}

std::string slashesToBackslashes(std::string s) {
    for (char& c : s)
        if (c == '/') c = '\\';
    return s;
}

// LCase(Right(path, 11)) = "\chrome.exe".
bool endsInChromeExe(const std::string& path) {
    constexpr std::string_view tail = "\\chrome.exe";
    return path.size() >= tail.size() && winsys::equalsNoCase(std::string_view(path).substr(path.size() - tail.size()), tail);
}

void AddChromeExe(const std::string& path, _CCollection* list) {
    if (path.empty() || !endsInChromeExe(path)) return;
    Enum::AddKeyedText(list, path);
}

// The quoted program of a "ChromeHTML" command line: from after the
// opening quote to the first chrome.exe" (any case).
std::string quotedChromeExe(const std::string& command) {
    if (command.empty() || command[0] != '"') return {};
    constexpr std::string_view needle = "chrome.exe\"";
    for (std::size_t at = 1; at + needle.size() <= command.size(); ++at)
        if (winsys::equalsNoCase(std::string_view(command).substr(at, needle.size()), needle))
            return command.substr(1, at + needle.size() - 2);
    return {};
}

} // namespace

ComPtr<_CNodes> CChromeExtEnumerator::EnumChromeExtensions() {
    ComPtr<_CNodes> result;
    Trapped(source("EnumChromeExtensions"), halvenlib::sevError, [&] {
        pluginMode_ = false;
        result_ = Enum::NewNodes();
        FindExtensionsFolders();
        EnumerateExtensionInstallForcelist();
        for (const std::string& folder : Enum::Texts(folders_.get())) ProcessExtensionsFolder(folder);
        result = result_;
    });
    return result;
}

ComPtr<_CCollection> CChromeExtEnumerator::FindPluginsInExtensions() {
    ComPtr<_CCollection> result;
    Trapped(source("FindPluginsInExtensions"), halvenlib::sevError, [&] {
        pluginMode_ = true;
        plugins_ = NewCollection();
        FindExtensionsFolders();
        for (const std::string& folder : Enum::Texts(folders_.get())) ProcessExtensionsFolder(folder);
        result = plugins_;
    });
    return result;
}

ComPtr<_CCollection> CChromeExtEnumerator::FindChromeExeFiles() {
    ComPtr<_CCollection> result;
    Trapped(source("FindChromeExeFiles"), halvenlib::sevError, [&] {
        ComPtr<_CCollection> list = NewCollection();
        for (const LONG root : {halvenlib::HKEY_LOCAL_MACHINE, halvenlib::HKEY_CURRENT_USER})
            AddChromeExe(quotedChromeExe(Enum::QueryString(root, kCommandKey, "")), list.get());
        AddChromeExe(Enum::QueryString(halvenlib::HKEY_LOCAL_MACHINE, kAppPathsKey, ""), list.get());
        for (const LONG root : {halvenlib::HKEY_LOCAL_MACHINE, halvenlib::HKEY_CURRENT_USER}) {
            const std::string location = Enum::QueryString(root, kUninstallKey, "InstallLocation");
            if (!location.empty()) AddChromeExe(MMain::JoinPath(location, "chrome.exe"), list.get());
        }
        result = std::move(list);
    });
    return result;
}

void CChromeExtEnumerator::EnumerateExtensionInstallForcelist() {
    Trapped(source("EnumerateExtensionInstallForcelist"), halvenlib::sevError, [&] {
        forcelist_.clear();
        ReadForcelistKey(halvenlib::HKEY_CURRENT_USER, kForcelistKey);
        ReadForcelistKey(halvenlib::HKEY_LOCAL_MACHINE, kForcelistKey);
        ReadForcelistKey(halvenlib::HKEY_CURRENT_USER, kRecommendedKey);
        ReadForcelistKey(halvenlib::HKEY_LOCAL_MACHINE, kRecommendedKey);
        if (MMain::IsWindows64bit()) {
            ReadForcelistKey(halvenlib::HKEY_LOCAL_MACHINE_64BIT, kForcelistKey);
            ReadForcelistKey(halvenlib::HKEY_LOCAL_MACHINE_64BIT, kRecommendedKey);
        }
    });
}

// Values "<id>;<update address>"; a text without ";" or beginning with it names no extension.
void CChromeExtEnumerator::ReadForcelistKey(LONG root, const std::string& subkey) {
    std::vector<std::string> names;
    if (!Enum::ValueNames(root, subkey, names)) return;
    for (const std::string& name : names) {
        const std::string text = Enum::QueryString(root, subkey, name);
        const std::size_t semicolon = text.find(';');
        if (semicolon == std::string::npos || semicolon == 0) continue;
        forcelist_.push_back({text.substr(0, semicolon), root, subkey, name});
    }
}

void CChromeExtEnumerator::FindExtensionsFolders() {
    Trapped(source("FindExtensionsFolders"), halvenlib::sevError, [&] {
        folders_ = NewCollection();
        exeFiles_ = NewCollection();
        const ComPtr<_CCollection> programs = FindChromeExeFiles();
        for (const std::string& exe : Enum::Texts(programs.get())) FindExtensionsFoldersByChromeExeLocation(exe);
        std::string local;
        call([&] { return Global()->LocalApplicationDataFolder(&local); });
        const std::string userData = MMain::JoinPath(local, "Google\\Chrome\\User Data");
        for (const std::string& profile : Enum::DirectoryContents(userData))
            QueueExtensionsFolder(userData + "\\" + profile + "\\Extensions");
    });
}

void CChromeExtEnumerator::FindExtensionsFoldersByChromeExeLocation(const std::string& exe) {
    Trapped(source("FindExtensionsFoldersByChromeExeLocation"), halvenlib::sevError, [&] {
        if (exe.empty() || !Enum::FileExists(exe) || HasItem(exeFiles_.get(), exe)) return;
        Enum::AddKeyedText(exeFiles_.get(), exe);
        const std::size_t slash = exe.rfind('\\');
        if (slash == std::string::npos) return;
        const std::string folder = exe.substr(0, slash);
        for (const std::string& entry : Enum::DirectoryContents(folder))
            QueueExtensionsFolder(folder + "\\" + entry + "\\Extensions");
    });
}

void CChromeExtEnumerator::QueueExtensionsFolder(const std::string& folder) {
    Trapped(source("QueueExtensionsFolder"), halvenlib::sevError, [&] {
        if (Enum::FileExists(folder)) Enum::AddKeyedText(folders_.get(), folder);
    });
}

void CChromeExtEnumerator::ProcessExtensionsFolder(const std::string& folder) {
    Trapped(source("ProcessExtensionsFolder"), halvenlib::sevError, [&] {
        for (const std::string& id : Enum::DirectoryContents(folder)) {
            const std::string idFolder = MMain::JoinPath(folder, id);
            // Listed, so there: no test of each version's existence.
            for (const std::string& version : Enum::DirectoryContents(idFolder))
                ProcessManifestJson(id, MMain::JoinPath(idFolder, version));
        }
    });
}

void CChromeExtEnumerator::ProcessManifestJson(const std::string& id, const std::string& dir) {
    const std::string where = source("ProcessManifestJson");
    Trapped(where, halvenlib::sevError, [&] {
        std::string text;
        try {
            text = readJsonFile(MMain::JoinPath(dir, "manifest.json"), !pluginMode_);
        } catch (const winsys::com::ComError& e) {
            // A version folder without a manifest, like a manifest in another
            // encoding, is logged by the extensions' run; the plugins' run
            // over the same folders passes it by, so that each costs one line.
            if (pluginMode_ && e.hresult() == winsys::com::hresultFromNumber(53)) return;
            throw;
        }
        const auto json = JSON::Parse(text);
        if (!json) return;
        if (!JSON::GetParserErrors().empty()) {
            LogLine(0, FormatString("Parsing Error(s) occured. '%1'", {dir}), halvenlib::sevInternalError, where);
            return;
        }
        const JsonObject* manifest = json->object();
        if (!manifest) raise(5, "ProcessManifestJson"); // a list has no named members
        if (pluginMode_) AddDeclaredPlugins(dir, *manifest);
        else AddExtensionRecord(id, dir, *manifest);
    });
}

void CChromeExtEnumerator::AddExtensionRecord(const std::string& id, const std::string& dir,
                                              const JsonObject& manifest) {
    constexpr const char* member = "ProcessManifestJson";
    std::string name = textOf(manifest, "name", member);
    std::string description = textOf(manifest, "description", member);
    std::string permissions;
    if (const JsonValue* p = manifest.find("permissions"); p && p->list()) permissions = JoinCollection(*p->list());

    // The messages file is read only for a name placeholder; the description's
    // placeholder is then resolved too, whatever "appName" holds.
    if (name == "__MSG_appName__") {
        const std::string messagesFile = MMain::JoinPath(dir, "_locales\\en\\messages.json");
        if (Enum::FileExists(messagesFile)) {
            const auto messages = JSON::Parse(readJsonFile(messagesFile, true));
            if (messages && messages->object() && JSON::GetParserErrors().empty()) {
                if (const JsonObject* appName = objectMember(*messages->object(), "appName"))
                    name = textOf(*appName, "message", member);
                const JsonObject* appDesc = objectMember(*messages->object(), "appDesc");
                if (description == "__MSG_appDesc__" && appDesc) description = textOf(*appDesc, "message", member);
            }
        }
    }

    const auto removal = Enum::FileOrFolderConfig(dir, false);
    for (const ForcelistEntry& e : forcelist_)
        if (e.id == id) call([&] { return removal->AddRegistryValue(e.root, e.subkey, e.valueName); });

    const std::string originalName = name.empty() ? id : name;
    const auto record = Enum::NewRecord(result_.get());
    Enum::AddText(record.get(), "dLL", dir);
    Enum::AddText(record.get(), "iD", id);
    if (!description.empty()) Enum::AddText(record.get(), "description", description);
    if (!permissions.empty()) Enum::AddText(record.get(), "permissions", permissions);
    Enum::AddObject(record.get(), "backupCfg", removal.get());
    Enum::AddText(record.get(), "originalName", originalName);
    Enum::AddText(record.get(), "websearchName", originalName.empty() ? description : originalName);
}

void CChromeExtEnumerator::AddDeclaredPlugins(const std::string& dir, const JsonObject& manifest) {
    const JsonValue* plugins = manifest.find("plugins");
    if (!plugins || !plugins->list()) return;
    for (const JsonValue& plugin : *plugins->list()) {
        if (!plugin.object() || !plugin.object()->contains("path")) continue;
        const std::string path = textOf(*plugin.object(), "path", "ProcessManifestJson");
        if (path.empty()) continue;
        if (!staysInside(dir, path)) {
            LogLine(0, FormatString("Plugin path '%1' does not name a file inside '%2'; it is not listed.", {path, dir}),
                    halvenlib::sevInternalError, source("ProcessManifestJson"));
            continue;
        }
        Enum::AddKeyedText(plugins_.get(), MMain::JoinPath(dir, slashesToBackslashes(path)));
    }
}

} // namespace sorlix
