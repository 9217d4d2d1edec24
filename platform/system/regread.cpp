#include "platform/system/regread.h"

#include "platform/core/text.h"

namespace winsys::sysreg {

namespace {

win::UniqueHKey openKey(win::HKEY root, const std::string& subKey, win::REGSAM view) {
    win::UniqueHKey key;
    if (win::RegOpenKeyEx(root, subKey, 0, win::KEY_READ | view, key.put()) != 0) key.reset();
    return key;
}

std::string decodeText(const std::vector<win::BYTE>& data) {
    std::string text = fromUtf16leBytes(data);
    if (auto nul = text.find('\0'); nul != std::string::npos) text.resize(nul);
    return text;
}

bool isText(win::DWORD type) { return type == win::REG_SZ || type == win::REG_EXPAND_SZ; }

} // namespace

std::optional<TextValue> readText(win::HKEY root, const std::string& subKey, const std::string& name,
                                  win::REGSAM view) {
    win::UniqueHKey key = openKey(root, subKey, view);
    if (!key) return std::nullopt;
    win::DWORD type = 0;
    std::vector<win::BYTE> data;
    if (win::RegQueryValueEx(key.get(), name, &type, &data) != 0 || !isText(type)) return std::nullopt;
    return TextValue{name, type, decodeText(data)};
}

std::optional<win::DWORD> readDword(win::HKEY root, const std::string& subKey, const std::string& name,
                                    win::REGSAM view) {
    win::UniqueHKey key = openKey(root, subKey, view);
    if (!key) return std::nullopt;
    win::DWORD type = 0;
    std::vector<win::BYTE> data;
    if (win::RegQueryValueEx(key.get(), name, &type, &data) != 0 || type != win::REG_DWORD || data.size() < 4)
        return std::nullopt;
    return win::DWORD(data[0]) | win::DWORD(data[1]) << 8 | win::DWORD(data[2]) << 16 | win::DWORD(data[3]) << 24;
}

std::vector<TextValue> readTextValues(win::HKEY root, const std::string& subKey, win::REGSAM view) {
    std::vector<TextValue> out;
    win::UniqueHKey key = openKey(root, subKey, view);
    if (!key) return out;
    for (win::DWORD i = 0;; ++i) {
        TextValue v;
        std::vector<win::BYTE> data;
        if (win::RegEnumValue(key.get(), i, &v.name, &v.type, &data) != 0) break;
        if (!isText(v.type)) continue;
        v.text = decodeText(data);
        out.push_back(std::move(v));
    }
    return out;
}

} // namespace winsys::sysreg
