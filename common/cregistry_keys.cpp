#include "common/cregistry_keys.h"

#include "common/interfaces/registry.h"
#include "common/mcommon.h"

namespace halvenlib::regkeys {

namespace {

// What the compatibility open and create calls ask for.
constexpr win::REGSAM kMaximumAllowed = 0x02000000;

const char* boolText(bool b) { return b ? "True" : "False"; }

} // namespace

std::string GetKeyName(win::LONG key) {
    switch (key) {
    case halvenlib::HKEY_CLASSES_ROOT: return "HKEY_CLASSES_ROOT";
    case halvenlib::HKEY_CURRENT_USER: return "HKEY_CURRENT_USER";
    case halvenlib::HKEY_LOCAL_MACHINE: return "HKEY_LOCAL_MACHINE";
    case halvenlib::HKEY_USERS: return "HKEY_USERS";
    case halvenlib::HKEY_PERFORMANCE_DATA: return "HKEY_PERFORMANCE_DATA";
    case halvenlib::HKEY_CURRENT_CONFIG: return "HKEY_CURRENT_CONFIG";
    case halvenlib::HKEY_DYN_DATA: return "HKEY_DYN_DATA";
    case halvenlib::HKEY_LOCAL_MACHINE_64BIT: return "HKEY_LOCAL_MACHINE_64BIT";
    case halvenlib::HKEY_CLASSES_ROOT_64BIT: return "HKEY_CLASSES_ROOT_64BIT";
    default: return std::to_string(key);
    }
}

bool isPseudoRoot(win::LONG key) {
    return key == halvenlib::HKEY_LOCAL_MACHINE_64BIT || key == halvenlib::HKEY_CLASSES_ROOT_64BIT;
}

Root rootOf(win::LONG key) {
    if (key == halvenlib::HKEY_LOCAL_MACHINE_64BIT) return {win::HKEY_LOCAL_MACHINE, true};
    if (key == halvenlib::HKEY_CLASSES_ROOT_64BIT) return {win::HKEY_CLASSES_ROOT, true};
    return {win::predefinedKey(static_cast<std::uint32_t>(key)), false};
}

win::LSTATUS OpenKey(win::LONG key, const std::string& subKey, bool readOnly, win::UniqueHKey* out,
                     std::string* falseCause) {
    falseCause->clear();
    const Root root = rootOf(key);
    if (root.view64 && !IsWow64()) {
        *falseCause = ReplacePlaceholders("Invalid key %1 on 32 bit Windows", {GetKeyName(key)});
        return win::ERROR_FILE_NOT_FOUND;
    }
    const win::REGSAM sam =
        root.view64 ? (readOnly ? win::KEY_READ : win::KEY_ALL_ACCESS) | win::KEY_WOW64_64KEY : kMaximumAllowed;
    const win::LSTATUS s = win::RegOpenKeyEx(root.handle, subKey, 0, sam, out->put());
    if (s != win::ERROR_SUCCESS)
        *falseCause = ReplacePlaceholders("OpenKey failed('%1\\%2', ReadOnly=%3)",
                                          {GetKeyName(key), subKey, boolText(readOnly)});
    return s;
}

win::LSTATUS CreateKeyAnyOS(win::LONG key, const std::string& subKey, win::UniqueHKey* out, std::string* falseCause) {
    falseCause->clear();
    const Root root = rootOf(key);
    if (root.view64 && !IsWow64()) {
        *falseCause = ReplacePlaceholders("Invalid key %1 on 32 bit Windows", {GetKeyName(key)});
        return win::ERROR_FILE_NOT_FOUND;
    }
    const win::REGSAM sam = root.view64 ? win::KEY_ALL_ACCESS | win::KEY_WOW64_64KEY : kMaximumAllowed;
    const win::LSTATUS s = win::RegCreateKeyEx(root.handle, subKey, 0, sam, out->put(), nullptr);
    if (s != win::ERROR_SUCCESS)
        *falseCause = ReplacePlaceholders("CreateKeyAnyOS failed('%1\\%2')", {GetKeyName(key), subKey});
    return s;
}

win::LSTATUS subKeyNames(win::HKEY key, std::vector<std::string>* names) {
    names->clear();
    std::string name;
    for (win::DWORD i = 0;; ++i) {
        const win::LSTATUS s = win::RegEnumKeyEx(key, i, &name);
        if (s == static_cast<win::LSTATUS>(win::ERROR_NO_MORE_ITEMS)) return win::ERROR_SUCCESS;
        if (s != win::ERROR_SUCCESS) return s;
        names->push_back(name);
    }
}

std::string childPath(const std::string& path, const std::string& name) {
    return path.empty() ? name : path + "\\" + name;
}

} // namespace halvenlib::regkeys
