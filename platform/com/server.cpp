#include "platform/com/server.h"

#include <dlfcn.h>

#include <cstdio>

#include "platform/com/error_info.h"
#include "platform/com/object.h"
#include "platform/core/guid.h"
#include "platform/core/text.h"
#include "platform/files/paths.h"
#include "platform/registry/registry.h"

namespace fs = std::filesystem;

namespace winsys::com {

using namespace win;

namespace {

class ClassFactory final : public Object<IClassFactory> {
public:
    explicit ClassFactory(CreateFn create) : create_(create) {}
    HRESULT CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        *ppv = nullptr;
        if (outer) return CLASS_E_NOAGGREGATION;
        return create_(riid, ppv);
    }
    HRESULT LockServer(BOOL) override { return S_OK; } // libraries are never unloaded

private:
    CreateFn create_;
};

const std::string kClasses = "Software\\Classes\\";
// The standard marshaller of dual interfaces.
const char* const kProxyStub = "{00020424-0000-0000-C000-000000000046}";

// Collects the first registry failure of a registration run.
struct Writer {
    LSTATUS status = ERROR_SUCCESS;
    std::string where;

    void note(LSTATUS s, const std::string& key) {
        if (s != ERROR_SUCCESS && status == ERROR_SUCCESS) {
            status = s;
            where = key;
        }
    }
    void key(const std::string& path) {
        UniqueHKey k;
        note(RegCreateKeyEx(HKEY_CURRENT_USER, kClasses + path, 0, KEY_WRITE, k.put(), nullptr), path);
    }
    void text(const std::string& path, const std::string& name, const std::string& value) {
        UniqueHKey k;
        LSTATUS s = RegCreateKeyEx(HKEY_CURRENT_USER, kClasses + path, 0, KEY_WRITE, k.put(), nullptr);
        if (s == ERROR_SUCCESS) s = RegSetValueEx(k.get(), name, REG_SZ, toUtf16leBytes(value, true));
        note(s, path);
    }
    void removeTree(const std::string& path) {
        const LSTATUS s = RegDeleteTree(HKEY_CURRENT_USER, kClasses + path);
        if (s != ERROR_FILE_NOT_FOUND) note(s, path);
    }
    HRESULT finish(const char* what) {
        if (auto flushed = flushRegistry(); !flushed && status == ERROR_SUCCESS) {
            SetErrorInfo(0, createErrorInfo(std::string(what) + ": " + flushed.error().message, "").get());
            return SELFREG_E_CLASS;
        }
        if (status == ERROR_SUCCESS) return S_OK;
        SetErrorInfo(0, createErrorInfo(std::string(what) + ": registry error " + std::to_string(status) + " at HKCU\\" +
                                            kClasses + where,
                                        "")
                            .get());
        return SELFREG_E_CLASS;
    }
};

std::optional<std::string> readText(const std::string& path) {
    UniqueHKey k;
    if (RegOpenKeyEx(HKEY_CURRENT_USER, kClasses + path, 0, KEY_READ, k.put()) != ERROR_SUCCESS) return std::nullopt;
    DWORD type = 0;
    std::vector<BYTE> data;
    if (RegQueryValueEx(k.get(), "", &type, &data) != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ))
        return std::nullopt;
    std::string t = fromUtf16leBytes(data);
    while (!t.empty() && t.back() == '\0') t.pop_back();
    return t;
}

std::string versionText(const ServerInfo& info) {
    char buf[24];
    std::snprintf(buf, sizeof buf, "%x.%x", info.major, info.minor); // type library versions are hexadecimal
    return buf;
}

std::string versionedProgId(const ClassEntry& c) {
    return c.progIdVersion > 0 ? c.progId + "." + std::to_string(c.progIdVersion) : c.progId;
}

} // namespace

std::optional<fs::path> modulePathOf(const void* address) {
    Dl_info dl{};
    if (!::dladdr(address, &dl) || !dl.dli_fname || !*dl.dli_fname) return std::nullopt;
    std::error_code ec;
    fs::path p = fs::weakly_canonical(fs::absolute(dl.dli_fname, ec), ec);
    if (ec) return std::nullopt;
    return p;
}

HRESULT serverGetClassObject(const ServerInfo& info, REFCLSID clsid, REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    for (const ClassEntry& c : info.classes)
        if (c.clsid == clsid && c.create) return createAs<ClassFactory>(riid, ppv, c.create);
    return CLASS_E_CLASSNOTAVAILABLE;
}

HRESULT serverRegister(const ServerInfo& info) {
    auto host = modulePathOf(&info);
    if (!host) {
        SetErrorInfo(0, createErrorInfo("DllRegisterServer: the library cannot find its own file", "").get());
        return SELFREG_E_CLASS;
    }
    const std::string file = toWindowsPath(*host);
    const std::string folder = toWindowsPath(host->parent_path());
    const std::string libid = guidToString(info.libid);
    const std::string version = versionText(info);
    Writer w;
    for (const ClassEntry& c : info.classes) {
        const std::string key = "CLSID\\" + guidToString(c.clsid);
        const std::string clsid = guidToString(c.clsid);
        w.text(key, "", c.progId.empty() ? c.name : c.progId);
        w.text(key + "\\InprocServer32", "", file);
        w.text(key + "\\InprocServer32", "ThreadingModel", "Apartment");
        w.text(key + "\\TypeLib", "", libid);
        w.text(key + "\\VERSION", "", version);
        w.key(key + "\\Programmable");
        if (c.progId.empty()) continue;
        w.text(key + "\\ProgID", "", versionedProgId(c));
        w.text(c.progId, "", c.name);
        w.text(c.progId + "\\CLSID", "", clsid);
        if (c.progIdVersion > 0) {
            w.text(key + "\\VersionIndependentProgID", "", c.progId);
            w.text(c.progId + "\\CurVer", "", versionedProgId(c));
            w.text(versionedProgId(c), "", c.name);
            w.text(versionedProgId(c) + "\\CLSID", "", clsid);
        }
    }
    for (const InterfaceEntry& i : info.interfaces) {
        const std::string key = "Interface\\" + guidToString(i.iid);
        w.text(key, "", i.name);
        w.text(key + "\\ProxyStubClsid32", "", kProxyStub);
        w.text(key + "\\TypeLib", "", libid);
        w.text(key + "\\TypeLib", "Version", version);
    }
    const std::string lib = "TypeLib\\" + libid + "\\" + version;
    w.text(lib, "", info.name);
    w.text(lib + "\\0\\win32", "", file);
    w.text(lib + "\\FLAGS", "", "0");
    w.text(lib + "\\HELPDIR", "", folder);
    return w.finish("DllRegisterServer");
}

HRESULT serverUnregister(const ServerInfo& info) {
    Writer w;
    for (const ClassEntry& c : info.classes) {
        const std::string clsid = guidToString(c.clsid);
        w.removeTree("CLSID\\" + clsid);
        if (c.progId.empty()) continue;
        for (const std::string& p : {c.progId, versionedProgId(c)}) {
            auto owner = readText(p + "\\CLSID");
            if (owner && equalsNoCase(*owner, clsid)) w.removeTree(p);
        }
    }
    for (const InterfaceEntry& i : info.interfaces) w.removeTree("Interface\\" + guidToString(i.iid));
    const std::string lib = "TypeLib\\" + guidToString(info.libid);
    w.removeTree(lib + "\\" + versionText(info));
    UniqueHKey k;
    DWORD subKeys = 0, values = 0;
    if (RegOpenKeyEx(HKEY_CURRENT_USER, kClasses + lib, 0, KEY_READ, k.put()) == ERROR_SUCCESS &&
        RegQueryInfoKey(k.get(), &subKeys, &values) == ERROR_SUCCESS && subKeys == 0) {
        k.reset();
        w.removeTree(lib);
    }
    return w.finish("DllUnregisterServer");
}

ClassRegistration::ClassRegistration(ServerInfo& table, ClassEntry cls, std::vector<InterfaceEntry> interfaces)
    : ClassRegistration(table, std::move(interfaces)) {
    table.classes.push_back(std::move(cls));
}

ClassRegistration::ClassRegistration(ServerInfo& table, std::vector<InterfaceEntry> interfaces) {
    for (auto& i : interfaces) table.interfaces.push_back(std::move(i));
}

} // namespace winsys::com
