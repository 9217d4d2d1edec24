#pragma once
// Small helpers for the registry tests: open or create keys, list names,
// make REG_SZ data.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/core/text.h"
#include "platform/registry/registry.h"

namespace regtest {

inline std::vector<win::BYTE> sz(const std::string& text) { return winsys::toUtf16leBytes(text, true); }

inline win::UniqueHKey createKey(win::HKEY root, const std::string& path, win::REGSAM sam = win::KEY_ALL_ACCESS) {
    win::UniqueHKey k;
    EXPECT_EQ(win::RegCreateKeyEx(root, path, 0, sam, k.put(), nullptr), win::ERROR_SUCCESS) << path;
    return k;
}

inline win::LSTATUS openKey(win::HKEY root, const std::string& path, win::REGSAM sam, win::UniqueHKey& out) {
    return win::RegOpenKeyEx(root, path, 0, sam, out.put());
}

inline void setText(win::HKEY key, const std::string& name, const std::string& text) {
    EXPECT_EQ(win::RegSetValueEx(key, name, win::REG_SZ, sz(text)), win::ERROR_SUCCESS) << name;
}

// The text of a REG_SZ value, "<missing>" when it cannot be read.
inline std::string textOf(win::HKEY root, const std::string& path, const std::string& name,
                          win::REGSAM sam = win::KEY_READ) {
    win::UniqueHKey k;
    if (openKey(root, path, sam, k) != win::ERROR_SUCCESS) return "<missing>";
    std::vector<win::BYTE> data;
    if (win::RegQueryValueEx(k.get(), name, nullptr, &data) != win::ERROR_SUCCESS) return "<missing>";
    std::string s = winsys::fromUtf16leBytes(data);
    if (!s.empty() && s.back() == '\0') s.pop_back();
    return s;
}

inline std::vector<std::string> subkeyNames(win::HKEY key) {
    std::vector<std::string> names;
    std::string name;
    for (win::DWORD i = 0; win::RegEnumKeyEx(key, i, &name) == win::ERROR_SUCCESS; ++i) names.push_back(name);
    return names;
}

inline std::vector<std::string> valueNames(win::HKEY key) {
    std::vector<std::string> names;
    std::string name;
    for (win::DWORD i = 0; win::RegEnumValue(key, i, &name, nullptr, nullptr) == win::ERROR_SUCCESS; ++i)
        names.push_back(name);
    return names;
}

inline bool keyExists(win::HKEY root, const std::string& path, win::REGSAM sam = win::KEY_READ) {
    win::UniqueHKey k;
    return openKey(root, path, sam, k) == win::ERROR_SUCCESS;
}

} // namespace regtest
