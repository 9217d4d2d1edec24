#include "app/enumerators/cmozillaextenum.h"

#include <exception>
#include <optional>

#include "app/core/comcalls.h"
#include "app/core/cunzip.h"
#include "app/core/globals.h"
#include "app/core/mmain.h"
#include "app/core/mmainhelpers.h"
#include "app/core/resume_next.h"
#include "app/enumerators/enumcalls.h"
#include "common/interfaces/fileops.h"
#include "common/interfaces/global.h"
#include "common/interfaces/registry.h"
#include "platform/com/variant.h"
#include "platform/core/text.h"
#include "platform/files/inside_prefix.h"
#include "platform/files/paths.h"
#include "platform/system/layout.h"
#include "platform/system/shfolder.h"

namespace sorlix {

namespace {

using halvenlib::_CCollection;
using halvenlib::_CNodes;
using halvenlib::_CParams;
using win::LONG;
using winsys::com::call;
using winsys::com::ComPtr;

constexpr const char* kExtensionsValuesKey = "Software\\Mozilla\\Firefox\\Extensions";
constexpr const char* kManifest = "install.rdf";

// Shell folders a registry value may not name nor lie above.
constexpr int kShellFolders[] = {
    win::CSIDL_DESKTOP,          win::CSIDL_PERSONAL,       win::CSIDL_STARTMENU,
    win::CSIDL_DESKTOPDIRECTORY, win::CSIDL_COMMON_DESKTOPDIRECTORY, win::CSIDL_APPDATA,
    win::CSIDL_LOCAL_APPDATA,    win::CSIDL_COMMON_APPDATA, win::CSIDL_WINDOWS,
    win::CSIDL_SYSTEM,           win::CSIDL_PROGRAM_FILES,  win::CSIDL_PROFILE,
    win::CSIDL_SYSTEMX86,        win::CSIDL_PROGRAM_FILESX86, win::CSIDL_PROGRAM_FILES_COMMON,
    win::CSIDL_PROGRAM_FILES_COMMONX86, win::CSIDL_COMMON_DOCUMENTS, win::CSIDL_COMMON_STARTMENU,
};

std::string withoutTrailingBackslash(std::string s) {
    if (!s.empty() && s.back() == '\\') s.pop_back();
    return s;
}
std::string withTrailingBackslash(std::string s) {
    if (s.empty() || s.back() != '\\') s += '\\';
    return s;
}

// The host place a folder path names, with drive mapping, "." and "..",
// and every link resolved, so that two spellings of one folder (C: or Z:,
// through a link or not) compare equal. Lower case: on Windows both name it.
std::optional<std::string> folded(const std::string& path) {
    const auto place = winsys::resolvedPlace(path);
    if (!place) return std::nullopt;
    std::string s = place->string();
    while (s.size() > 1 && s.back() == '/') s.pop_back();
    return winsys::lowerCase(s);
}

// Whether `folder` lists a folder (or a link to one) named `name`, in any case.
bool holdsFolder(const std::string& folder, std::string_view name) {
    for (const Enum::FolderEntry& entry : Enum::FolderEntries(folder))
        if (entry.folder && winsys::equalsNoCase(entry.name, name)) return true;
    return false;
}

} // namespace

// ---- Lists ----

std::string CMozillaExtEnum::MozillaAppDataFolder() { return MMain::JoinPath(MMain::ShellFolder(win::CSIDL_APPDATA), "Mozilla\\"); }

std::vector<std::string> CMozillaExtEnum::FirefoxProfileFolders() {
    std::vector<std::string> folders;
    for (Profile& p : profileFolders()) folders.push_back(std::move(p.path));
    return folders;
}

std::vector<CMozillaExtEnum::Profile> CMozillaExtEnum::profileFolders() {
    std::vector<Profile> folders;
    Enum::Trapped(std::string(variant_.className) + ".FirefoxProfileFolders", halvenlib::sevError, [&] {
        const std::string root = MozillaAppDataFolder() + "Firefox\\Profiles\\";
        for (const Enum::FolderEntry& entry : Enum::FolderEntries(root))
            if (entry.folder) folders.push_back({root + entry.name, entry.link});
    });
    return folders;
}

std::vector<std::string> CMozillaExtEnum::installFolders() {
    std::vector<std::string> folders;
    LONG root = halvenlib::HKEY_LOCAL_MACHINE;
    std::string key = variant_.installKey;
    ComPtr<_CCollection> versions;
    call([&] { return required(Registry)->EnumKey(&root, &key, versions.put()); });
    for (const std::string& version : Enum::Texts(versions.get())) {
        const std::string main = key + "\\" + version + "\\Main";
        win::VARIANT_BOOL exists = win::VARIANT_FALSE;
        call([&] { return required(Registry)->IsKeyExist(root, main, &exists); });
        if (exists == win::VARIANT_FALSE) continue;
        std::string folder = Enum::QueryString(root, main, "Install Directory");
        if (variant_.singleBackslashes)
            for (std::size_t at = 0; (at = folder.find("\\\\", at)) != std::string::npos; ++at) folder.replace(at, 2, "\\");
        if (!folder.empty()) folders.push_back(folder);
    }
    return folders;
}

std::vector<std::string> CMozillaExtEnum::EnumExtensionsThatAreFolders() {
    foldersOnly_ = true;
    Enum::Trapped(std::string(variant_.className) + ".EnumExtensionsThatAreFolders", halvenlib::sevError,
                  [&] { EnumExtensions(); });
    return items_.items();
}

// ---- Queues ----

void CMozillaExtEnum::QueueExtensionsFolder(std::string folder) {
    if (winsys::utf16Length(folder) < 4) return;
    folder = withoutTrailingBackslash(std::move(folder));
    parents_.add(folder);
}

void CMozillaExtEnum::QueueExtension(std::string path, std::optional<bool> listedAsFolder) {
    if (winsys::utf16Length(path) < 4) return;
    path = withoutTrailingBackslash(std::move(path));
    // An entry of a listing is there, its kind told: no look-up of its own.
    if (listedAsFolder) {
        if (foldersOnly_ && !*listedAsFolder) return;
    } else if (foldersOnly_ ? Enum::KindOf(path) != Enum::PathKind::Folder : !Enum::FileExists(path)) {
        return;
    }
    items_.add(path);
}

void CMozillaExtEnum::EnumExtensionsFolder(std::string folder) {
    Enum::Trapped(std::string(variant_.className) + ".EnumExtensionsFolder", halvenlib::sevError, [&] {
        folder = withTrailingBackslash(std::move(folder));
        // A profile's "extensions\staged" is listed in "extensions" but holds
        // extensions itself; only its "Plugins" is asked for, by the folder list.
        for (const Enum::FolderEntry& entry : Enum::FolderEntries(folder))
            if (foldersOnly_ || !parents_.holds(folder + entry.name)) QueueExtension(folder + entry.name, entry.folder);
    });
}

void CMozillaExtEnum::collectProtectedFolders(const std::vector<std::string>& installs,
                                              const std::vector<Profile>& profiles) {
    protected_.clear();
    auto add = [&](const std::string& path) {
        if (const auto f = folded(path)) protected_.push_back(*f);
    };
    // A profile that is no link lies where the root does, under the name
    // the listing gave: one resolution serves thousands of profiles.
    const std::optional<std::string> root = profiles.empty() ? std::nullopt : folded(MozillaAppDataFolder() + "Firefox\\Profiles");
    for (const int csidl : kShellFolders) add(MMain::ShellFolder(csidl));
    // A 32-bit program's shell folders give the 32-bit program files only.
    const winsys::MachineLayout layout = winsys::machineLayout();
    for (const std::string* f : {&layout.programFiles, &layout.commonFiles, &layout.programData,
                                 &layout.publicFolder, &layout.syswow64})
        add(*f);
    add(TempFolder);
    add(MozillaAppDataFolder());
    for (const std::string& f : installs) add(f);
    for (const Profile& p : profiles) {
        if (p.link || !root) add(p.path);
        else protected_.push_back(*root + "/" + winsys::lowerCase(p.path.substr(p.path.rfind('\\') + 1)));
    }
    for (const std::string& p : parents_) add(p);
}

bool CMozillaExtEnum::isProtectedFolder(const std::string& path) const {
    const auto p = folded(path);
    if (!p) return false; // names nothing the file layer can reach
    for (const std::string& f : protected_)
        if (f == *p || (f.size() > p->size() && f.starts_with(*p) && (f[p->size()] == '/' || *p == "/"))) return true;
    const auto parsed = winsys::parseWindowsPath(path);
    return parsed && parsed->parts.empty(); // a drive root
}

void CMozillaExtEnum::EnumExtensions() {
    parents_.clear();
    items_.clear();
    refused_.clear();
    // A failure ends the filling; the run goes on with what was queued.
    Enum::Trapped(std::string(variant_.className) + ".EnumExtensions", halvenlib::sevError, [&] { fillQueues(); });
}

void CMozillaExtEnum::fillQueues() {
    const std::vector<std::string> installs = installFolders();
    const std::vector<Profile> profiles = profileFolders();
    const std::string mozilla = MozillaAppDataFolder();
    for (const std::string& f : installs) QueueExtensionsFolder(MMain::JoinPath(f, "Extensions"));
    QueueExtensionsFolder(mozilla + "Extensions");
    for (const Profile& p : profiles) {
        // A profile without "extensions" has nothing to list below it: its
        // one listing says so, and an empty profile costs no more.
        if (!holdsFolder(p.path, "extensions")) continue;
        QueueExtensionsFolder(p.path + "\\extensions\\");
        QueueExtensionsFolder(p.path + "\\extensions\\staged\\");
    }

    // Only registry values are held against the protected folders, so these
    // (each resolved on disk, every profile among them) are worked out when
    // the first value comes, not for a machine without any.
    bool protectedKnown = false;
    for (const LONG root : {variant_.extensionsRoot, static_cast<LONG>(halvenlib::HKEY_CURRENT_USER)}) {
        std::vector<std::string> names;
        if (!Enum::ValueNames(root, kExtensionsValuesKey, names)) continue;
        for (const std::string& name : names) {
            const std::string value = Enum::QueryString(root, kExtensionsValuesKey, name);
            if (winsys::utf16Length(value) >= 4) {
                if (!protectedKnown) collectProtectedFolders(installs, profiles);
                protectedKnown = true;
                if (isProtectedFolder(value)) {
                    refused_.add(value);
                    continue;
                }
            }
            QueueExtension(value);
        }
    }

    for (const std::string& parent : parents_) EnumExtensionsFolder(parent);
}

// ---- Items ----

namespace {

// Empties the work folder when a package is done, however it ends.
struct WorkFolderEmptier {
    const std::string& folder;
    ~WorkFolderEmptier() {
        try {
            std::string cause;
            win::VARIANT_BOOL ok = win::VARIANT_FALSE;
            FileOps()->DeleteFilesByMask2(folder, "*.*", &cause, &ok);
        } catch (...) {
            // The next package checks the folder before it is unpacked.
        }
    }
};

} // namespace

bool CMozillaExtEnum::unpackManifest(const std::string& package, std::string& errorText) {
    const std::string manifest = workFolder_ + "\\" + kManifest;
    if (Enum::FileExists(manifest)) {
        std::string cause;
        win::VARIANT_BOOL ok = win::VARIANT_FALSE;
        call([&] { return FileOps()->RemoveFile(manifest, &cause, &ok); });
        if (Enum::FileExists(manifest)) {
            errorText = "An earlier install.rdf cannot be removed from the work folder. " + cause;
            return false;
        }
    }
    cUnzip zip;
    zip.ZipFile(package);
    zip.UnzipFolder(workFolder_);
    zip.UseFolderNames(false);
    if (!zip.Directory()) {
        errorText = "The file cannot be read as a zip package.";
        return false;
    }
    bool wanted = false;
    for (LONG i = 1; i <= zip.FileCount(); ++i) {
        const bool isManifest = winsys::lowerCase(zip.Filename(i)) == kManifest;
        zip.FileSelected(i, isManifest);
        wanted = wanted || isManifest;
    }
    if (!wanted) {
        errorText = "The package holds no install.rdf.";
        return false;
    }
    if (!zip.Unzip() || !Enum::FileExists(manifest)) {
        errorText = "The package's install.rdf cannot be extracted.";
        return false;
    }
    return true;
}

bool CMozillaExtEnum::EnumerateExtensionFileOrFolder(const std::string& path, std::string& errorText) {
    errorText.clear();
    try {
        const Enum::PathKind kind = Enum::KindOf(path);
        if (kind == Enum::PathKind::Missing) return true;
        if (kind == Enum::PathKind::Folder) {
            const std::string folder = withTrailingBackslash(path);
            return EnumerateExtension(folder + kManifest, folder, errorText);
        }
        const WorkFolderEmptier emptier{workFolder_};
        if (!unpackManifest(path, errorText)) return false;
        return EnumerateExtension(workFolder_ + "\\" + kManifest, path, errorText);
    } catch (const std::exception& e) {
        const ErrorText error = DescribeError(e);
        LogLine(error.number, FormatString("%1. ExtensionFileOrFolder:'%2'", {error.text, path}), halvenlib::sevError,
                std::string(variant_.className) + ".EnumerateExtensionFileOrFolder");
        errorText = error.text;
        return false;
    }
}

bool CMozillaExtEnum::EnumerateExtension(const std::string& manifest, const std::string& extensionPath,
                                         std::string& errorText) {
    if (!parser_.Parse(manifest, errorText)) return false;
    // A failure while filling the record keeps its node with the keys added
    // so far, is logged, and fails the item, so that its line follows.
    try {
        const ComPtr<_CParams> record = Enum::NewRecord(result_.get());
        auto optional = [&](const char* name, const std::string& value) {
            if (!value.empty()) Enum::AddText(record.get(), name, value);
        };
        Enum::AddText(record.get(), "dLL", extensionPath);
        optional("manufacturer", parser_.Creator);
        optional("description", parser_.Description);
        optional("homepageURL", parser_.HomepageURL);
        optional("originalName", parser_.Name);
        optional("iD", parser_.id);
        optional("updateInfoURL", parser_.UpdateinfoURL);

        Enum::AddObject(record.get(), "backupCfg",
                        Enum::FileOrFolderConfig(extensionPath, variant_.x64bitSystem32).get());

        std::string search = extensionPath;
        for (const std::string* s : {&parser_.Name, &parser_.Description, &parser_.Creator})
            if (!s->empty()) {
                search = *s;
                break;
            }
        Enum::AddText(record.get(), "websearchName", search);
        return true;
    } catch (const std::exception& e) {
        const ErrorText error = DescribeError(e);
        LogLine(error.number, error.text, halvenlib::sevError, std::string(variant_.className) + ".EnumerateExtension");
        errorText = error.text;
        return false;
    }
}

// ---- Entry ----

ComPtr<_CNodes> CMozillaExtEnum::enumerate() {
    const std::string source = std::string(variant_.className) + "." + variant_.entryName;
    const MMain::Wow64RedirectionOff redirection(source, variant_.switchRedirection);
    ComPtr<_CNodes> result;
    Enum::Trapped(source, halvenlib::sevError, [&] {
        foldersOnly_ = false;
        workFolder_ = MMain::JoinPath(TempFolder, "FFExtTemp");
        win::VARIANT_BOOL withSubFolders = win::VARIANT_TRUE;
        call([&] { return FileOps()->RemoveFolder(workFolder_, &withSubFolders); });
        call([&] { return FileOps()->EnsureFolderExist(workFolder_); });
        EnumExtensions();
        result_ = Enum::NewNodes();

        auto cannot = [&](const std::string& path, const std::string& why) {
            LogLine(0, FormatString("Cannot enumerate extension: '%1'. %2", {path, why}), halvenlib::sevInternalError,
                    source);
        };
        for (const std::string& value : refused_)
            cannot(value, "The registry value names a folder that is no single extension.");
        for (const std::string& item : items_) {
            std::string errorText;
            if (!EnumerateExtensionFileOrFolder(item, errorText)) cannot(item, errorText);
        }
        call([&] { return FileOps()->RemoveFolder(workFolder_, &withSubFolders); });
        result = result_;
    });
    return result;
}

CFFextEnumerator::CFFextEnumerator()
    : CMozillaExtEnum({"CFFextEnumerator", "EnumFirefoxExtensions", "SOFTWARE\\Mozilla\\Mozilla Firefox", false,
                       halvenlib::HKEY_LOCAL_MACHINE, false, false}) {}

CWF64ExtEnum::CWF64ExtEnum()
    : CMozillaExtEnum({"CWF64ExtEnum", "EnumWaterfox64Extensions", "SOFTWARE\\Mozilla\\Waterfox", true,
                       halvenlib::HKEY_LOCAL_MACHINE_64BIT, true, true}) {}

} // namespace sorlix
