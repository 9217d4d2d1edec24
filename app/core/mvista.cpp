#include "app/core/mvista.h"

// The token comes from the layer (winsys::machine().token()); the
// Administrators group is recognised by comparing SID numbers, so any
// spelling of the same SID counts.

#include <vector>

#include "app/core/comcalls.h"
#include "app/core/resume_next.h"
#include "app/core/strings.h"
#include "platform/com/variant.h"
#include "platform/system/pathnames.h"
#include "platform/system/shell.h"
#include "platform/system/token.h"
#include "platform/system/version.h"

namespace sorlix::MVista {

using win::LONG;
using winsys::com::call;

namespace {

constexpr const char* kSource = "MVista";
constexpr win::DWORD kShortPathRoom = 1000;

} // namespace

bool IsVista() {
    bool vista = false;
    ResumeNext err;
    err.step([&] {
        win::OSVERSIONINFOEX info;
        if (win::GetVersionEx(&info))
            vista = info.dwPlatformId == win::VER_PLATFORM_WIN32_NT && info.dwMajorVersion == 6;
    });
    return vista;
}

bool IsUACEnabled() {
    LONG key = halvenlib::HKEY_LOCAL_MACHINE, value = 0;
    std::string subkey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Policies\\System", name = "EnableLUA";
    win::VARIANT_BOOL ok = win::VARIANT_FALSE;
    call([&] { return required(Registry)->QueryDWORD(&key, &subkey, &name, &value, &ok); });
    return value != 0;
}

bool GetTokenAdminInfo(LONG& ElevationType, LONG& Elevation) {
    ElevationType = -1;
    Elevation = -1;
    win::HANDLE token = nullptr;
    if (!win::OpenProcessToken(win::GetCurrentProcess(), win::TOKEN_QUERY, &token)) return false;
    win::DWORD value = 0;
    if (!win::GetTokenInformation(token, win::TokenElevationType, &value)) return false;
    ElevationType = static_cast<LONG>(value);
    if (!win::GetTokenInformation(token, win::TokenElevation, &value)) return false;
    Elevation = static_cast<LONG>(value);
    std::vector<win::SID_AND_ATTRIBUTES> groups;
    if (!win::GetTokenInformation(token, win::TokenGroups, &groups)) return false;
    const auto admins = winsys::parseSid(win::SID_BUILTIN_ADMINISTRATORS);
    if (!admins) return false;
    for (const auto& g : groups) {
        const auto sid = winsys::parseSid(g.sid); // attributes (deny-only) do not matter here
        if (sid && *sid == *admins) return true;
    }
    return false;
}

std::string GetShortPath(const std::string& Path) {
    const std::string prefixed = "\\\\?\\" + Path;
    std::string answer;
    win::DWORD n = win::GetShortPathName(prefixed, &answer, kShortPathRoom);
    if (n > kShortPathRoom) n = win::GetShortPathName(prefixed, &answer, n); // did not fit: ask again with room
    if (n == 0 || answer.size() < 4) return Path;                            // no short name: the long path serves
    return answer.substr(4);
}

ElevationOutcome CheckElevation(const MessageBoxFn& messageBox, const std::string& programFolder) {
    using winsys::com::makeBool;
    const bool vista = IsVista();
    LogLine(0, FormatString("IsVista=%1", {makeBool(vista)}), halvenlib::sevTrace, kSource);
    if (!vista) return ElevationOutcome::GoOn;

    const bool uac = IsUACEnabled();
    LONG elevationType = -1, elevation = -1;
    const bool isAdmin = GetTokenAdminInfo(elevationType, elevation);
    LogLine(0,
            FormatString("UACEnabled=%1, IsAdmin=%2, ElevationType=%3",
                         {makeBool(uac), makeBool(isAdmin), winsys::com::makeLong(elevationType)}),
            halvenlib::sevTrace, kSource);

    if (!uac && !isAdmin) {
        messageBox("You do not have sufficient permissions to open Vendrel Sorlix. Please logon as administrator to "
                   "open Vendrel Sorlix.",
                   LoadResString(100), MessageIcon::Exclamation);
        return ElevationOutcome::Refused;
    }
    const bool elevated = elevationType == win::TokenElevationTypeFull || elevation == 1;
    if (!uac || elevated) return ElevationOutcome::GoOn;

    const std::string shortFolder = GetShortPath(programFolder);
    std::string winDir;
    call([&] { return Global()->WinDir(&winDir); });
    const std::string file = winDir + "\\system32\\rundll32.exe";
    const std::string parameters = "\"" + shortFolder + "\\Sorlix.dll\", Sorlix " + shortFolder;
    const std::intptr_t started = win::ShellExecute("runas", file, parameters, "", win::SW_SHOWNORMAL);
    if (started <= 32)
        LogLine(static_cast<LONG>(started),
                FormatString("Cannot start '%1' %2 for elevation.", {file, parameters}),
                halvenlib::sevError, "MVista.CheckElevation");
    return ElevationOutcome::HandedOver;
}

} // namespace sorlix::MVista
