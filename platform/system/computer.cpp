#include "platform/system/computer.h"

#include "platform/core/lasterror.h"
#include "platform/core/text.h"
#include "platform/files/files.h"
#include "platform/system/environment.h"
#include "platform/system/layout.h"

namespace win {

namespace {

UINT give(const std::string& text, std::string* out) {
    if (out) *out = text;
    return static_cast<UINT>(winsys::utf16Length(text));
}

} // namespace

BOOL GetComputerName(std::string* name) {
    if (!name) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    *name = winsys::computerName();
    return 1;
}

DWORD GetTempPath(std::string* path) {
    const DWORD lastError = GetLastError(); // the misses below are no failure of ours
    std::string folder;
    for (const char* name : {"TMP", "TEMP", "USERPROFILE"}) {
        if (GetEnvironmentVariable(name, &folder) > 0) break;
        folder.clear();
    }
    if (folder.empty()) GetWindowsDirectory(&folder);
    // A full path when it is one; a relative text is left as set.
    if (std::string full; GetFullPathName(folder, &full) > 0) folder = full;
    if (folder.back() != '\\') folder += '\\';
    SetLastError(lastError);
    return give(folder, path);
}

UINT GetWindowsDirectory(std::string* path) { return give(winsys::machineLayout().windows, path); }

UINT GetSystemDirectory(std::string* path) { return give(winsys::machineLayout().system32, path); }

UINT GetSystemWow64Directory(std::string* path) {
    const std::string dir = winsys::machineLayout().syswow64;
    if (dir.empty()) {
        SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
        return 0;
    }
    return give(dir, path);
}

} // namespace win
