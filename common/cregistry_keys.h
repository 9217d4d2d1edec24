#pragma once
// How CRegistry reaches the registry: enRegistryKey values turned into root
// handles and views, keys opened or created with the failure reason the
// class reports, and whole listings of subkeys and values. Listings have no
// buffer limits and end only at ERROR_NO_MORE_ITEMS; any other code is a
// failure returned to the caller.

#include <string>
#include <vector>

#include "platform/registry/registry.h"

namespace halvenlib::regkeys {

// The root's name as enRegistryKey lists it; other values give their decimal text.
std::string GetKeyName(win::LONG key);

// The Windows root behind a key value and whether it names the 64-bit view.
struct Root {
    win::HKEY handle;
    bool view64;
};
Root rootOf(win::LONG key);
bool isPseudoRoot(win::LONG key);

// Opens `subKey` (read-only or with all access on the 64-bit view; plain
// roots get the most access allowed). On failure `falseCause` holds the
// reason and the result is the system's code (ERROR_FILE_NOT_FOUND for a
// pseudo-root where the process does not run under WOW64: that view does
// not exist there).
win::LSTATUS OpenKey(win::LONG key, const std::string& subKey, bool readOnly, win::UniqueHKey* out,
                     std::string* falseCause);
// Opens `subKey` for writing, creating the missing keys along its path.
win::LSTATUS CreateKeyAnyOS(win::LONG key, const std::string& subKey, win::UniqueHKey* out, std::string* falseCause);

// Every subkey name of an open key, in enumeration order.
win::LSTATUS subKeyNames(win::HKEY key, std::vector<std::string>* names);

struct Value {
    std::string name;
    win::DWORD type = 0;
    std::vector<win::BYTE> data;
};
// Calls `each` for every value of an open key in enumeration order; stops
// with the code `each` returns when that is non-zero.
template <class F>
win::LSTATUS forEachValue(win::HKEY key, F&& each) {
    Value v;
    for (win::DWORD i = 0;; ++i) {
        const win::LSTATUS s = win::RegEnumValue(key, i, &v.name, &v.type, &v.data);
        if (s == static_cast<win::LSTATUS>(win::ERROR_NO_MORE_ITEMS)) return win::ERROR_SUCCESS;
        if (s != win::ERROR_SUCCESS) return s;
        if (const win::LSTATUS r = each(v)) return r;
    }
}

// "\" then `name`, or `name` alone under an empty path.
std::string childPath(const std::string& path, const std::string& name);

} // namespace halvenlib::regkeys
