#include "platform/com/class_registry.h"

#include <dlfcn.h>

#include <cstdio>
#include <map>
#include <mutex>
#include <string>

#include "platform/com/error_info.h"
#include "platform/core/guid.h"
#include "platform/core/machine.h"
#include "platform/core/text.h"
#include "platform/files/paths.h"
#include "platform/registry/registry.h"

namespace fs = std::filesystem;

namespace winsys::com {

using namespace win;

namespace {

using GetClassObjectFn = HRESULT (*)(REFCLSID, REFIID, void**);
using SelfRegFn = HRESULT (*)();

// Loads a library, never to close it: objects of a library may live until
// the process ends. The loader hands back the same handle for a library it
// holds already.
void* loadModule(const fs::path& host, std::string* error) {
    std::error_code ec;
    const fs::path file = fs::absolute(host, ec);
    void* handle = ::dlopen((ec ? host : file).c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const char* e = ::dlerror();
        *error = e ? e : "unknown loader error";
    }
    return handle;
}

// Libraries already loaded, by the machine and the path their class names:
// as on Windows, a library once loaded is not looked for on disk again.
std::mutex& loadedMutex() {
    static std::mutex m;
    return m;
}
std::map<std::string, void*>& loadedLibraries() {
    static auto* loaded = new std::map<std::string, void*>;
    return *loaded;
}
std::string loadedKey(const std::string& path) { return std::to_string(winsys::machine().serial()) + '\n' + path; }

void* loadedLibrary(const std::string& path) {
    std::lock_guard lock(loadedMutex());
    auto it = loadedLibraries().find(loadedKey(path));
    return it == loadedLibraries().end() ? nullptr : it->second;
}

void noteLoadedLibrary(const std::string& path, void* handle) {
    std::lock_guard lock(loadedMutex());
    loadedLibraries()[loadedKey(path)] = handle;
}

std::optional<std::string> readText(HKEY root, const std::string& subKey, const std::string& valueName) {
    UniqueHKey key;
    if (RegOpenKeyEx(root, subKey, 0, KEY_READ, key.put()) != ERROR_SUCCESS) return std::nullopt;
    DWORD type = 0;
    std::vector<BYTE> data;
    if (RegQueryValueEx(key.get(), valueName, &type, &data) != ERROR_SUCCESS) return std::nullopt;
    if (type != REG_SZ && type != REG_EXPAND_SZ) return std::nullopt;
    std::string text = fromUtf16leBytes(data);
    while (!text.empty() && text.back() == '\0') text.pop_back();
    return text;
}

// The library a class names in the registry, remembered beside the
// registry's change stamp: creating many objects of one class reads its key
// once.
std::optional<std::string> serverOf(REFCLSID clsid) {
    struct Known {
        std::uint64_t stamp;
        std::optional<std::string> path;
    };
    static std::mutex lock;
    static auto* known = new std::map<CLSID, Known>;
    const std::uint64_t stamp = winsys::registryChangeStamp();
    {
        std::lock_guard guard(lock);
        if (auto it = known->find(clsid); it != known->end() && it->second.stamp == stamp) return it->second.path;
    }
    auto path = readText(HKEY_CLASSES_ROOT, "CLSID\\" + winsys::guidToString(clsid) + "\\InprocServer32", "");
    std::lock_guard guard(lock);
    (*known)[clsid] = Known{stamp, path};
    return path;
}

// The factory of a class, remembered beside the registry's change stamp:
// creating many objects of one class asks its library once. Libraries stay
// loaded, so a factory stays usable; any change of the registry (the class
// registered elsewhere or no more, another machine) makes it asked again.
struct KnownFactory {
    std::uint64_t stamp;
    ComPtr<IClassFactory> factory;
};
std::mutex& factoriesMutex() {
    static std::mutex m;
    return m;
}
std::map<CLSID, KnownFactory>& knownFactories() {
    static auto* known = new std::map<CLSID, KnownFactory>; // outlives every static of the process
    return *known;
}

ComPtr<IClassFactory> rememberedFactory(REFCLSID clsid, std::uint64_t stamp) {
    std::lock_guard guard(factoriesMutex());
    auto it = knownFactories().find(clsid);
    if (it == knownFactories().end() || it->second.stamp != stamp) return {};
    return it->second.factory;
}

void rememberFactory(REFCLSID clsid, std::uint64_t stamp, const ComPtr<IClassFactory>& factory) {
    std::lock_guard guard(factoriesMutex());
    knownFactories()[clsid] = KnownFactory{stamp, factory};
}

HRESULT fail(HRESULT h, std::string description) {
    SetErrorInfo(0, createErrorInfo(std::move(description), "").get());
    return h;
}

std::string hex(HRESULT h) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%08X", static_cast<unsigned>(h));
    return buf;
}

std::recursive_mutex& appMutex() {
    static std::recursive_mutex m;
    return m;
}
std::map<CLSID, ComPtr<IUnknown>>& appObjects() {
    static auto* objects = new std::map<CLSID, ComPtr<IUnknown>>; // outlives every static of the process
    return *objects;
}

} // namespace

HRESULT createByProgId(const std::string& progId, REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    CLSID clsid;
    if (HRESULT h = CLSIDFromProgID(progId, &clsid); FAILED(h)) return h;
    return CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, riid, ppv);
}

HRESULT getApplicationObject(REFCLSID clsid, REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    std::lock_guard lock(appMutex());
    auto& objects = appObjects();
    auto it = objects.find(clsid);
    if (it == objects.end()) {
        ComPtr<IUnknown> object;
        if (HRESULT h = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IUnknown::iid, object.putVoid());
            FAILED(h))
            return h;
        it = objects.emplace(clsid, std::move(object)).first;
    }
    return it->second->QueryInterface(riid, ppv);
}

void releaseApplicationObjects() {
    std::map<CLSID, ComPtr<IUnknown>> released;
    {
        std::lock_guard lock(appMutex());
        released.swap(appObjects());
    }
}

HRESULT runSelfRegistration(const fs::path& library, bool unregister, std::string* message) {
    std::string ignored;
    std::string& msg = message ? *message : ignored;
    const char* entry = unregister ? "DllUnregisterServer" : "DllRegisterServer";
    std::error_code ec;
    if (!fs::is_regular_file(library, ec)) {
        msg = "'" + library.string() + "' does not exist";
        return CO_E_DLLNOTFOUND;
    }
    std::string error;
    void* handle = loadModule(library, &error);
    if (!handle) {
        msg = "'" + library.string() + "' cannot be loaded: " + error;
        return CO_E_ERRORINDLL;
    }
    auto fn = reinterpret_cast<SelfRegFn>(::dlsym(handle, entry));
    if (!fn) {
        msg = "'" + library.string() + "' has no entry point " + entry;
        return CO_E_ERRORINDLL;
    }
    clearErrorInfo();
    const HRESULT h = fn();
    if (FAILED(h)) {
        msg = std::string(entry) + " in '" + library.string() + "' failed with " + hex(h);
        ComPtr<IErrorInfo> info;
        std::string description;
        if (GetErrorInfo(0, info.put()) == S_OK && info && SUCCEEDED(info->GetDescription(&description)) &&
            !description.empty())
            msg += ": " + description;
    }
    return h;
}

} // namespace winsys::com

namespace win {

using winsys::com::fail;

HRESULT CoGetClassObject(REFCLSID clsid, DWORD clsctx, void*, REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    const auto text = [&] { return winsys::guidToString(clsid); }; // for messages only
    if (!(clsctx & CLSCTX_INPROC_SERVER))
        return fail(REGDB_E_CLASSNOTREG, "Class " + text() + " has no in-process server");
    const auto path = winsys::com::serverOf(clsid);
    if (!path || path->empty()) return fail(REGDB_E_CLASSNOTREG, "Class " + text() + " is not registered");
    void* handle = winsys::com::loadedLibrary(*path);
    if (!handle) {
        auto host = winsys::toHostPath(*path);
        std::error_code ec;
        if (!host || !std::filesystem::is_regular_file(*host, ec))
            return fail(CO_E_DLLNOTFOUND, "Library '" + *path + "' of class " + text() + " not found");
        std::string error;
        handle = winsys::com::loadModule(*host, &error);
        if (!handle)
            return fail(CO_E_ERRORINDLL, "Library '" + *path + "' of class " + text() + " cannot be loaded: " + error);
        winsys::com::noteLoadedLibrary(*path, handle);
    }
    auto fn = reinterpret_cast<winsys::com::GetClassObjectFn>(::dlsym(handle, "DllGetClassObject"));
    if (!fn) return fail(CO_E_ERRORINDLL, "Library '" + *path + "' has no entry point DllGetClassObject");
    winsys::com::clearErrorInfo();
    const HRESULT h = fn(clsid, riid, ppv);
    if (h == CLASS_E_CLASSNOTAVAILABLE) return fail(h, "Library '" + *path + "' does not offer class " + text());
    return h;
}

HRESULT CoCreateInstance(REFCLSID clsid, IUnknown* outer, DWORD clsctx, REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    const std::uint64_t stamp = winsys::registryChangeStamp();
    winsys::com::ComPtr<IClassFactory> factory;
    if (clsctx & CLSCTX_INPROC_SERVER) factory = winsys::com::rememberedFactory(clsid, stamp);
    if (!factory) {
        if (HRESULT h = CoGetClassObject(clsid, clsctx, nullptr, IClassFactory::iid, factory.putVoid()); FAILED(h))
            return h;
        winsys::com::rememberFactory(clsid, stamp, factory);
    }
    const HRESULT h = factory->CreateInstance(outer, riid, ppv);
    if (h == E_NOINTERFACE)
        return fail(h, "Class " + winsys::guidToString(clsid) + " does not offer interface " + winsys::guidToString(riid));
    return h;
}

HRESULT CLSIDFromProgID(const std::string& progId, CLSID* clsid) {
    if (!clsid) return E_POINTER;
    *clsid = GUID_NULL;
    if (progId.empty() || progId.find('\\') != std::string::npos)
        return fail(CO_E_CLASSSTRING, "Invalid ProgID '" + progId + "'");
    auto text = winsys::com::readText(HKEY_CLASSES_ROOT, progId + "\\CLSID", "");
    if (!text) {
        auto current = winsys::com::readText(HKEY_CLASSES_ROOT, progId + "\\CurVer", "");
        if (current && !current->empty() && current->find('\\') == std::string::npos)
            text = winsys::com::readText(HKEY_CLASSES_ROOT, *current + "\\CLSID", "");
    }
    if (!text) return fail(CO_E_CLASSSTRING, "ProgID '" + progId + "' is not registered");
    auto g = winsys::guidFromString(*text);
    if (!g) return fail(CO_E_CLASSSTRING, "ProgID '" + progId + "' names a bad class id '" + *text + "'");
    *clsid = *g;
    return S_OK;
}

HRESULT CLSIDFromString(const std::string& text, CLSID* clsid) {
    if (!clsid) return E_POINTER;
    if (!text.empty() && text.front() == '{') {
        auto g = winsys::guidFromString(text);
        if (!g) return CO_E_CLASSSTRING;
        *clsid = *g;
        return S_OK;
    }
    return CLSIDFromProgID(text, clsid);
}

HRESULT ProgIDFromCLSID(REFCLSID clsid, std::string* progId) {
    if (!progId) return E_POINTER;
    auto p = winsys::com::readText(HKEY_CLASSES_ROOT, "CLSID\\" + winsys::guidToString(clsid) + "\\ProgID", "");
    if (!p || p->empty()) return REGDB_E_CLASSNOTREG;
    *progId = *p;
    return S_OK;
}

} // namespace win
