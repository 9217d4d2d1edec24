#include "app/core/cappvisor.h"

// Unreadable values and missing keys are not errors: they only leave their
// row (or folder) out. The Java, Adobe Reader and QuickTime lookups are
// error traps that log with sevError and give no table (QuickTime: "").

#include <exception>
#include <vector>

#include "app/core/comcalls.h"
#include "app/core/mapi.h"
#include "app/core/mmain.h"
#include "app/core/mmainhelpers.h"
#include "app/core/resume_next.h"
#include "common/interfaces/registry.h"
#include "platform/com/class_registry.h"
#include "platform/com/safearray.h"
#include "platform/com/variant.h"
#include "platform/core/text.h"

namespace sorlix {

namespace {

using halvenlib::_CCollection;
using halvenlib::_CGumArray;
using win::LONG;
using winsys::com::call;
using winsys::com::check;
using winsys::com::ComPtr;

constexpr LONG CSIDL_SYSTEM = 37;
constexpr LONG CSIDL_SYSTEMX86 = 41;

constexpr const char* kOperaKey = "Software\\Opera Software";
constexpr const char* kQuickTimeUninstall =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{57752979-A1C9-4C02-856B-FBB27AC4E02C}";
constexpr const char* kQuickTimeAppPath =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\QuickTimePlayer.exe";
constexpr const char* kJavaKeys[] = {"SOFTWARE\\JavaSoft\\Java Plug-in",
                                     "SOFTWARE\\JavaSoft\\Java Runtime Environment"};
constexpr const char* kReaderKey = "SOFTWARE\\Adobe\\Acrobat Reader";
constexpr const char* kReaderUninstall =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{AC76BA86-7AD7-1033-7B44-AA0000000001}";

bool queryString(LONG root, std::string subkey, std::string valueName, std::string& value) {
    win::VARIANT_BOOL ok = win::VARIANT_FALSE;
    call([&] { return required(Registry)->QuerySTRING(&root, &subkey, &valueName, &value, &ok); });
    return ok != win::VARIANT_FALSE;
}

std::string stringOrEmpty(LONG root, const std::string& subkey, const std::string& valueName) {
    std::string value;
    return queryString(root, subkey, valueName, value) ? value : std::string();
}

bool queryDWORD(LONG root, std::string subkey, std::string valueName, LONG& value) {
    win::VARIANT_BOOL ok = win::VARIANT_FALSE;
    call([&] { return required(Registry)->QueryDWORD(&root, &subkey, &valueName, &value, &ok); });
    return ok != win::VARIANT_FALSE;
}

std::vector<std::string> subkeyNames(LONG root, std::string subkey) {
    ComPtr<_CCollection> names;
    call([&] { return required(Registry)->EnumKey(&root, &subkey, names.put()); });
    LONG n = 0;
    call([&] { return names->get_Count(&n); });
    std::vector<std::string> r;
    for (LONG i = 1; i <= n; ++i) r.push_back(ItemText(names.get(), i));
    return r;
}

ComPtr<_CGumArray> newTable() {
    ComPtr<_CGumArray> table;
    check(winsys::com::createInstance(halvenlib::CLSID_CGumArray, &table));
    call([&] { return table->Init(2); });
    return table;
}

void addRow(_CGumArray* table, const std::string& folder, const std::string& version) {
    using namespace winsys::com;
    const win::VARIANT cells = makeArray(makeVariantArray({makeText(folder), makeText(version)}, 1));
    call([&] { return table->AddRow(cells.parray); });
}

std::string lowerTrimmed(const std::string& s) { return winsys::lowerCase(MAPI::Trim(s)); }

bool sameFolder(const std::string& a, const std::string& b) {
    std::string x = lowerTrimmed(a), y = lowerTrimmed(b);
    if (x.empty() || y.empty()) return false;
    if (x.back() == '\\') x.pop_back();
    if (y.back() == '\\') y.pop_back();
    return x == y;
}

std::vector<std::string> splitAtDots(const std::string& s) {
    std::vector<std::string> parts(1);
    for (char c : s) {
        if (c == '.') parts.emplace_back();
        else parts.back() += c;
    }
    return parts;
}

// Equal over the parts both have, so "11.0" and "11.0.16" are one version.
bool sameVersion(const std::string& a, const std::string& b) {
    const std::string x = MAPI::Trim(a), y = MAPI::Trim(b);
    if (x.empty() || y.empty()) return false;
    const std::vector<std::string> p = splitAtDots(x), q = splitAtDots(y);
    for (std::size_t i = 0; i < p.size() && i < q.size(); ++i)
        if (p[i] != q[i]) return false;
    return true;
}

// Major, minor and build packed as 8, 8 and 16 bits; the arithmetic is
// that of a signed 32-bit value, as the registry hands it over.
std::string packedVersion(LONG v) {
    const LONG major = v / 16777216;
    const LONG rest = v % 16777216;
    return std::to_string(major) + "." + std::to_string(rest / 65536) + "." + std::to_string(rest % 65536);
}

template <class F>
auto trapped(const char* source, F&& f) -> decltype(f()) {
    try {
        return f();
    } catch (const std::exception& e) {
        LogError(e, source);
        return {};
    }
}

ComPtr<_CGumArray> javaRuntimeEnvironment() {
    return trapped("CAppVisor.JavaRuntimeEnvironment", [] {
        ComPtr<_CGumArray> table = newTable();
        for (const char* key : kJavaKeys)
            for (const std::string& name : subkeyNames(halvenlib::HKEY_LOCAL_MACHINE, key)) {
                std::string home;
                if (queryString(halvenlib::HKEY_LOCAL_MACHINE, std::string(key) + "\\" + name, "JavaHome", home))
                    addRow(table.get(), home, name);
            }
        return table;
    });
}

ComPtr<_CGumArray> adobeReaderInstallFolders() {
    return trapped("CAppVisor.AdobeReaderInstallFolders", [] {
        ComPtr<_CGumArray> table = newTable();
        for (const std::string& version : subkeyNames(halvenlib::HKEY_LOCAL_MACHINE, kReaderKey)) {
            std::string folder;
            if (queryString(halvenlib::HKEY_LOCAL_MACHINE, std::string(kReaderKey) + "\\" + version + "\\InstallPath",
                            "", folder))
                addRow(table.get(), folder, version);
        }
        std::string location;
        LONG packed = 0;
        if (!queryString(halvenlib::HKEY_LOCAL_MACHINE, kReaderUninstall, "InstallLocation", location) ||
            !queryDWORD(halvenlib::HKEY_LOCAL_MACHINE, kReaderUninstall, "Version", packed))
            return table;
        const std::string version = packedVersion(packed);
        const LONG rows = RowCount(table.get());
        for (LONG r = 1; r <= rows; ++r)
            if (sameFolder(CellText(table.get(), r, 1), location) && sameVersion(CellText(table.get(), r, 2), version))
                return table;
        addRow(table.get(), location, version);
        return table;
    });
}

std::string quickTimeInstallFolders() {
    return trapped("CAppVisor.QuickTimeInstallFolders", [] {
        std::string folder;
        if (queryString(halvenlib::HKEY_LOCAL_MACHINE, kQuickTimeUninstall, "InstallLocation", folder)) return folder;
        const LONG root = MMain::IsWindows64bit() ? halvenlib::HKEY_LOCAL_MACHINE_64BIT : halvenlib::HKEY_LOCAL_MACHINE;
        if (queryString(root, kQuickTimeAppPath, "Path", folder)) return folder;
        return std::string();
    });
}

} // namespace

std::string CAppVisor::InstallFolder(LONG Application) const {
    switch (Application) {
    case FolderFlash32: return MMain::JoinPath(MMain::ShellFolder(CSIDL_SYSTEMX86), "Macromed\\Flash");
    case FolderFlash64: return MMain::JoinPath(MMain::ShellFolder(CSIDL_SYSTEM), "Macromed\\Flash");
    case FolderQuickTime: return quickTimeInstallFolders();
    case FolderOpera: return stringOrEmpty(halvenlib::HKEY_CURRENT_USER, kOperaKey, "Last Install Path");
    case FolderOpera64: return stringOrEmpty(halvenlib::HKEY_CURRENT_USER, kOperaKey, "Last Install Path x64");
    case FolderMediaPlayer:
        return stringOrEmpty(halvenlib::HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\MediaPlayer",
                             "Installation Directory");
    default: return {};
    }
}

ComPtr<_CGumArray> CAppVisor::InstallFoldersAndVersions(LONG Application) const {
    switch (Application) {
    case ProductJava: return javaRuntimeEnvironment();
    case ProductAdobeReader: return adobeReaderInstallFolders();
    default: return nullptr;
    }
}

bool CAppVisor::IsInstalled(LONG Application) const { return Application == ProductJava && MMain::IsWindows64bit(); }

} // namespace sorlix
