#pragma once
// Small registry reads shared by the system queries: one text or DWORD
// value, or every text value of a key. Nothing here writes.

#include <optional>
#include <string>
#include <vector>

#include "platform/core/wintypes.h"
#include "platform/registry/registry.h"

namespace winsys::sysreg {

struct TextValue {
    std::string name;
    win::DWORD type = win::REG_SZ; // REG_SZ or REG_EXPAND_SZ
    std::string text;              // up to the first NUL
};

// A REG_SZ or REG_EXPAND_SZ value; nothing when the key or value is missing
// or the value has another type.
std::optional<TextValue> readText(win::HKEY root, const std::string& subKey, const std::string& name,
                                  win::REGSAM view = 0);
// A REG_DWORD value (four bytes or more, little-endian).
std::optional<win::DWORD> readDword(win::HKEY root, const std::string& subKey, const std::string& name,
                                    win::REGSAM view = 0);
// The text values of a key in their stored order; other types are skipped.
std::vector<TextValue> readTextValues(win::HKEY root, const std::string& subKey, win::REGSAM view = 0);

} // namespace winsys::sysreg
