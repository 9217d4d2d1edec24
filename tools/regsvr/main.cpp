// regsvr: registers a COM library into the Windows machine of the Wine
// prefix named by WINEPREFIX (default ~/.wine), in the manner of regsvr32:
// it loads the library and calls its DllRegisterServer (DllUnregisterServer
// with /u); the library writes its keys and the changed hive is saved.

#include <cstdio>
#include <filesystem>
#include <iostream>
#include <string>
#include <string_view>

#include "platform/com/class_registry.h"
#include "platform/core/machine.h"
#include "platform/core/text.h"
#include "platform/registry/registry.h"

namespace {

const char kUsageText[] = R"(Usage: regsvr [/u] LIBRARY

Registers the COM library LIBRARY (a host path) into the Windows machine in
the Wine prefix named by WINEPREFIX (default ~/.wine), by calling its
DllRegisterServer. With /u it calls DllUnregisterServer instead.
)";

enum Exit { kOk = 0, kUsage = 1, kNoPrefix = 2, kNoLibrary = 3, kFailed = 4 };

} // namespace

int main(int argc, char** argv) {
    bool unregister = false;
    std::string library;
    for (int i = 1; i < argc; ++i) {
        const std::string_view a = argv[i];
        if (winsys::equalsNoCase(a, "/u") || a == "-u") {
            unregister = true;
        } else if (a == "/?" || a == "-h" || a == "--help") {
            std::cout << kUsageText;
            return kOk;
        } else if (library.empty() && !a.empty() && a.front() != '-') {
            library = a; // host paths start with '/': only the switches above are switches
        } else {
            std::cerr << "regsvr: unexpected argument '" << a << "'\n" << kUsageText;
            return kUsage;
        }
    }
    if (library.empty()) {
        std::cerr << "regsvr: no library given\n" << kUsageText;
        return kUsage;
    }
    if (auto opened = winsys::openDefaultMachine(); !opened) {
        std::cerr << "regsvr: " << opened.error().message << "\n";
        return kNoPrefix;
    }
    std::error_code ec;
    const std::filesystem::path path = std::filesystem::absolute(library, ec);
    std::string message;
    const win::HRESULT hr = winsys::com::runSelfRegistration(ec ? std::filesystem::path(library) : path, unregister, &message);
    if (win::FAILED(hr)) {
        std::cerr << "regsvr: " << message << "\n";
        return hr == win::CO_E_DLLNOTFOUND || hr == win::CO_E_ERRORINDLL ? kNoLibrary : kFailed;
    }
    if (auto flushed = winsys::flushRegistry(); !flushed) {
        std::cerr << "regsvr: " << flushed.error().message << "\n";
        return kFailed;
    }
    std::cout << (unregister ? "DllUnregisterServer" : "DllRegisterServer") << " in '" << path.string()
              << "' succeeded.\n";
    return kOk;
}
