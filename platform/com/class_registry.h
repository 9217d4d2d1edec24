#pragma once
// Creating objects of registered classes. The class id is looked up under
// HKEY_CLASSES_ROOT\CLSID\{...}\InprocServer32 (the merged view of the
// user's and the machine's classes); its Windows path is mapped to the host
// path, the library is loaded once for the process and its class factory
// is asked for the object. Failures are Windows' own HRESULTs, with error
// info naming the class or library:
//   REGDB_E_CLASSNOTREG     the class (or its InprocServer32) is not registered
//   CO_E_DLLNOTFOUND        the registered library file does not exist
//   CO_E_ERRORINDLL         it cannot be loaded, or has no DllGetClassObject
//   CO_E_CLASSSTRING        a ProgID that is not registered, or bad class-id text
//   CLASS_E_CLASSNOTAVAILABLE, E_NOINTERFACE  from the library itself
// Libraries stay loaded until the process ends.

#include <filesystem>
#include <string>

#include "platform/com/com_ptr.h"
#include "platform/com/types.h"

namespace win {

HRESULT CoCreateInstance(REFCLSID clsid, IUnknown* outer, DWORD clsctx, REFIID riid, void** ppv);
HRESULT CoGetClassObject(REFCLSID clsid, DWORD clsctx, void* reserved, REFIID riid, void** ppv);
// "Lib.Class" -> class id; a version-independent ProgID without its own
// CLSID key is followed through its CurVer.
HRESULT CLSIDFromProgID(const std::string& progId, CLSID* clsid);
// "{...}" text or a ProgID.
HRESULT CLSIDFromString(const std::string& text, CLSID* clsid);
HRESULT ProgIDFromCLSID(REFCLSID clsid, std::string* progId);

} // namespace win

namespace winsys::com {

// Creation by ProgID.
win::HRESULT createByProgId(const std::string& progId, win::REFIID riid, void** ppv);

template <class I>
win::HRESULT createInstance(win::REFCLSID clsid, ComPtr<I>* out) {
    return win::CoCreateInstance(clsid, nullptr, win::CLSCTX_INPROC_SERVER, I::iid, out->putVoid());
}

// The implicit instance of an application object: made on first use and
// kept for the process, so every use reaches the same object.
win::HRESULT getApplicationObject(win::REFCLSID clsid, win::REFIID riid, void** ppv);
// Releases the application objects (at the end of the program).
void releaseApplicationObjects();

// Loads the library at a host path and runs its DllRegisterServer (or
// DllUnregisterServer). On failure `message` says what went wrong.
win::HRESULT runSelfRegistration(const std::filesystem::path& library, bool unregister, std::string* message);

} // namespace winsys::com
