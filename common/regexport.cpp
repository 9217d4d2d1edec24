#include "common/regexport.h"

#include <cstdio>

#include "common/cregistry_keys.h"
#include "common/interfaces/registry.h"
#include "platform/core/text.h"
#include "platform/registry/registry.h"

namespace halvenlib::regexport {

namespace {

constexpr const char* kCrLf = "\r\n";

void removeTrailingBackslash(std::string& path) {
    if (!path.empty() && path.back() == '\\') path.pop_back();
}

std::string hexByte(win::BYTE b) {
    char buf[3];
    std::snprintf(buf, sizeof buf, "%02x", static_cast<unsigned>(b));
    return buf;
}

// Bytes as "01,02,...", with a continuation before byte 21, 46, 71 ...
// unless that byte is the last.
std::string byteList(const std::vector<win::BYTE>& data) {
    std::string out;
    const std::size_t n = data.size();
    for (std::size_t i = 1; i <= n; ++i) {
        if (i > 1) out += ',';
        if (i >= 21 && (i - 21) % 25 == 0 && i != n) out += "\\\r\n  ";
        out += hexByte(data[i - 1]);
    }
    return out;
}

std::string textOf(const std::vector<win::BYTE>& data) {
    std::size_t size = data.size() & ~std::size_t{1};
    if (size >= 2 && data[size - 2] == 0 && data[size - 1] == 0) size -= 2; // the terminating NUL
    std::string text = winsys::fromUtf16leBytes(data.data(), size);
    std::string out;
    for (char c : text) {
        if (c == '\\') out += "\\\\";
        else if (c == '"') out += "\\\"";
        else out += c;
    }
    return out;
}

std::string header(const std::string& headerName, const std::string& subKey) {
    return kCrLf + headerName + "\\" + subKey + "]" + kCrLf;
}

} // namespace

std::optional<std::string> headerName(win::LONG key) {
    switch (key) {
    case halvenlib::HKEY_CLASSES_ROOT:
    case halvenlib::HKEY_CLASSES_ROOT_64BIT: return "[HKEY_CLASSES_ROOT";
    case halvenlib::HKEY_LOCAL_MACHINE:
    case halvenlib::HKEY_LOCAL_MACHINE_64BIT: return "[HKEY_LOCAL_MACHINE";
    case halvenlib::HKEY_CURRENT_USER: return "[HKEY_CURRENT_USER";
    case halvenlib::HKEY_USERS: return "[HKEY_USERS";
    case halvenlib::HKEY_PERFORMANCE_DATA: return "[HKEY_PERFORMANCE_DATA";
    case halvenlib::HKEY_CURRENT_CONFIG: return "[HKEY_CURRENT_CONFIG";
    case halvenlib::HKEY_DYN_DATA: return "[HKEY_DYN_DATA";
    default: return std::nullopt;
    }
}

std::string dataPart(win::DWORD type, const std::vector<win::BYTE>& data) {
    if (type == win::REG_SZ) return "\"" + textOf(data) + "\"";
    if (type == win::REG_DWORD && data.size() == 4)
        return "dword:" + hexByte(data[3]) + hexByte(data[2]) + hexByte(data[1]) + hexByte(data[0]);
    if (type == win::REG_BINARY) return "hex:" + byteList(data);
    char typeHex[16];
    std::snprintf(typeHex, sizeof typeHex, "%X", static_cast<unsigned>(type));
    const std::string part = "hex(" + std::string(typeHex) + "):" + byteList(data);
    return data.empty() ? part : winsys::lowerCase(part);
}

std::string valueLine(const std::string& name, win::DWORD type, const std::vector<win::BYTE>& data) {
    return (name.empty() ? std::string("@") : "\"" + name + "\"") + "=" + dataPart(type, data) + kCrLf;
}

namespace {

// `above` holds the full names of the keys written on the way down: a
// subkey that is a link back to one of them is left out, as going through
// it again would never end.
std::optional<ListingError> exportBelow(win::LONG key, std::string subKey, std::string* text,
                                        std::vector<std::string>& above) {
    removeTrailingBackslash(subKey);
    const std::optional<std::string> name = headerName(key);
    win::UniqueHKey k;
    std::string reason;
    if (!name || regkeys::OpenKey(key, subKey, true, &k, &reason) != win::ERROR_SUCCESS) return std::nullopt;
    auto fullName = winsys::registryKeyName(k.get());
    if (!fullName) return ListingError{static_cast<win::LSTATUS>(fullName.error().code)};
    for (const std::string& up : above)
        if (up == *fullName) return std::nullopt;
    std::string out = header(*name, subKey);
    win::LSTATUS s = regkeys::forEachValue(k.get(), [&](const regkeys::Value& v) {
        out += valueLine(v.name, v.type, v.data);
        return win::LSTATUS{0};
    });
    std::vector<std::string> children;
    if (s == win::ERROR_SUCCESS) s = regkeys::subKeyNames(k.get(), &children);
    if (s != win::ERROR_SUCCESS) return ListingError{s};
    k.reset();
    above.push_back(std::move(*fullName));
    for (const std::string& child : children) {
        std::string below;
        if (auto e = exportBelow(key, regkeys::childPath(subKey, child), &below, above)) return e;
        out += below;
    }
    above.pop_back();
    *text += out;
    return std::nullopt;
}

} // namespace

std::optional<ListingError> exportTree(win::LONG key, std::string subKey, std::string* text) {
    std::vector<std::string> above;
    return exportBelow(key, std::move(subKey), text, above);
}

std::optional<ListingError> exportSingleValue(win::LONG key, std::string subKey, const std::string& valueName,
                                              std::string* text) {
    removeTrailingBackslash(subKey);
    const std::optional<std::string> name = headerName(key);
    win::UniqueHKey k;
    std::string reason;
    if (!name || regkeys::OpenKey(key, subKey, true, &k, &reason) != win::ERROR_SUCCESS) return std::nullopt;
    const std::string wanted = winsys::lowerCase(valueName);
    std::string line;
    const win::LSTATUS s = regkeys::forEachValue(k.get(), [&](const regkeys::Value& v) {
        if (winsys::lowerCase(v.name) != wanted) return win::LSTATUS{0};
        line = valueLine(v.name, v.type, v.data);
        return static_cast<win::LSTATUS>(win::ERROR_NO_MORE_ITEMS); // found: stop here
    });
    if (s != win::ERROR_SUCCESS && s != static_cast<win::LSTATUS>(win::ERROR_NO_MORE_ITEMS)) return ListingError{s};
    if (!line.empty()) *text += header(*name, subKey) + line;
    return std::nullopt;
}

} // namespace halvenlib::regexport
