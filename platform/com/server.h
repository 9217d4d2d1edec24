#pragma once
// The server side of a COM library: one table of the library's classes
// that DllGetClassObject, DllRegisterServer and DllUnregisterServer all
// read, and one generic class factory fed by each class's creation function.
//
//   const winsys::com::ServerInfo kServer{"Halvenlib", kLibId, 1, 3,
//       {{CLSID_CCollection, "CCollection", "Halvenlib.CCollection", 0, &createCollection}},
//       {{_CCollection::iid, "_CCollection"}}};
//   WINSYS_COM_SERVER_EXPORTS(kServer)
//
// Registration writes under HKEY_CURRENT_USER\Software\Classes:
//   CLSID\{clsid}                 name; InprocServer32 (the library's Windows
//                                 path, ThreadingModel Apartment), ProgID,
//                                 VersionIndependentProgID, TypeLib, VERSION, Programmable
//   <ProgID>                      CLSID; with a version also CurVer -> <ProgID>.<n>,
//                                 and <ProgID>.<n>\CLSID
//   Interface\{iid}               name, ProxyStubClsid32, TypeLib (+ Version)
//   TypeLib\{libid}\<maj>.<min>   name, 0\win32 (the library), FLAGS, HELPDIR
// The library finds its own path from the address of its table, so the
// table must be an object defined in the library.

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "platform/com/types.h"
#include "platform/com/unknown.h"

namespace winsys::com {

using CreateFn = win::HRESULT (*)(win::REFIID riid, void** ppv);

struct ClassEntry {
    win::CLSID clsid;
    std::string name;       // the class name ("CCustom2")
    std::string progId;     // "Quarncust.CCustom2"; empty: none
    int progIdVersion = 0;  // above 0: registered as <progId>.<n> with CurVer
    CreateFn create = nullptr;
};

struct InterfaceEntry {
    win::IID iid;
    std::string name;
};

struct ServerInfo {
    std::string name; // the type library's name
    win::GUID libid;
    win::WORD major = 1;
    win::WORD minor = 0;
    std::vector<ClassEntry> classes;
    std::vector<InterfaceEntry> interfaces;
};

win::HRESULT serverGetClassObject(const ServerInfo& info, win::REFCLSID clsid, win::REFIID riid, void** ppv);
win::HRESULT serverRegister(const ServerInfo& info);
// Removes what serverRegister wrote; a ProgID now naming another class stays.
win::HRESULT serverUnregister(const ServerInfo& info);

// For libraries whose classes add themselves to the table from their own
// source files: the library keeps its ServerInfo in a function-local static
// (so it exists before any registration runs), and each class file has one
// static ClassRegistration naming that table.
struct ClassRegistration {
    ClassRegistration(ServerInfo& table, ClassEntry cls, std::vector<InterfaceEntry> interfaces);
    // Interfaces without a class of their own (event interfaces, enumerations).
    ClassRegistration(ServerInfo& table, std::vector<InterfaceEntry> interfaces);
};

// A ClassRegistration bound to one library's table function, so that the
// library's class files need not name the table:
//   using ClassRegistration = winsys::com::TableRegistration<&server>;
template <ServerInfo& (*Table)()>
struct TableRegistration : ClassRegistration {
    TableRegistration(ClassEntry cls, std::vector<InterfaceEntry> interfaces)
        : ClassRegistration(Table(), std::move(cls), std::move(interfaces)) {}
    explicit TableRegistration(std::vector<InterfaceEntry> interfaces)
        : ClassRegistration(Table(), std::move(interfaces)) {}
};

// The host path of the loaded library that holds `address`.
std::optional<std::filesystem::path> modulePathOf(const void* address);

} // namespace winsys::com

#define WINSYS_COM_SERVER_EXPORTS(info)                                                                          \
    extern "C" __attribute__((visibility("default"))) win::HRESULT DllGetClassObject(const win::CLSID& clsid,  \
                                                                                     const win::IID& riid,     \
                                                                                     void** ppv) {             \
        return winsys::com::serverGetClassObject(info, clsid, riid, ppv);                                      \
    }                                                                                                          \
    extern "C" __attribute__((visibility("default"))) win::HRESULT DllRegisterServer() {                       \
        return winsys::com::serverRegister(info);                                                              \
    }                                                                                                          \
    extern "C" __attribute__((visibility("default"))) win::HRESULT DllUnregisterServer() {                     \
        return winsys::com::serverUnregister(info);                                                            \
    }
