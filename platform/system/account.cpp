#include "platform/system/account.h"

#include <cstdint>
#include <cstdio>

#include "platform/core/lasterror.h"
#include "platform/core/machine.h"
#include "platform/core/text.h"
#include "platform/system/layout.h"
#include "platform/system/regread.h"

namespace {

using namespace win;

struct WellKnown {
    const char* sid;
    const char* name;
    const char* domain;
    SID_NAME_USE use;
};

constexpr WellKnown kWellKnown[] = {
    {"S-1-0-0", "NULL SID", "", SidTypeWellKnownGroup},
    {"S-1-1-0", "Everyone", "", SidTypeWellKnownGroup},
    {"S-1-2-0", "LOCAL", "", SidTypeWellKnownGroup},
    {"S-1-3-0", "CREATOR OWNER", "", SidTypeWellKnownGroup},
    {"S-1-3-1", "CREATOR GROUP", "", SidTypeWellKnownGroup},
    {"S-1-5-1", "DIALUP", "NT AUTHORITY", SidTypeWellKnownGroup},
    {"S-1-5-2", "NETWORK", "NT AUTHORITY", SidTypeWellKnownGroup},
    {"S-1-5-3", "BATCH", "NT AUTHORITY", SidTypeWellKnownGroup},
    {"S-1-5-4", "INTERACTIVE", "NT AUTHORITY", SidTypeWellKnownGroup},
    {"S-1-5-6", "SERVICE", "NT AUTHORITY", SidTypeWellKnownGroup},
    {"S-1-5-7", "ANONYMOUS LOGON", "NT AUTHORITY", SidTypeWellKnownGroup},
    {"S-1-5-11", "Authenticated Users", "NT AUTHORITY", SidTypeWellKnownGroup},
    {"S-1-5-18", "SYSTEM", "NT AUTHORITY", SidTypeWellKnownGroup},
    {"S-1-5-19", "LOCAL SERVICE", "NT AUTHORITY", SidTypeWellKnownGroup},
    {"S-1-5-20", "NETWORK SERVICE", "NT AUTHORITY", SidTypeWellKnownGroup},
    {"S-1-5-32", "BUILTIN", "BUILTIN", SidTypeDomain},
    {"S-1-5-32-544", "Administrators", "BUILTIN", SidTypeAlias},
    {"S-1-5-32-545", "Users", "BUILTIN", SidTypeAlias},
    {"S-1-5-32-546", "Guests", "BUILTIN", SidTypeAlias},
    {"S-1-5-32-547", "Power Users", "BUILTIN", SidTypeAlias},
};

constexpr const char* kProfileList = "Software\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList";

bool valid(const SID& sid) {
    return sid.Revision == SID_REVISION && sid.SubAuthorityCount <= SID_MAX_SUB_AUTHORITIES;
}

// The last folder of a profile path, "" when it names none.
std::string lastFolder(std::string path) {
    while (!path.empty() && (path.back() == '\\' || path.back() == '/')) path.pop_back();
    const auto slash = path.find_last_of("\\/");
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    if (name.size() == 2 && name[1] == ':') return {};
    return name;
}

} // namespace

namespace win {

DWORD GetSidLengthRequired(BYTE subAuthorityCount) { return 8 + 4 * static_cast<DWORD>(subAuthorityCount); }

BOOL InitializeSid(SID* sid, const SID_IDENTIFIER_AUTHORITY& authority, BYTE subAuthorityCount) {
    if (!sid || subAuthorityCount > SID_MAX_SUB_AUTHORITIES) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    *sid = SID{};
    sid->Revision = SID_REVISION;
    sid->SubAuthorityCount = subAuthorityCount;
    sid->IdentifierAuthority = authority;
    return 1;
}

DWORD* GetSidSubAuthority(SID* sid, DWORD n) {
    if (!sid || n >= sid->SubAuthorityCount || n >= SID_MAX_SUB_AUTHORITIES) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return &sid->SubAuthority[n];
}

BOOL ConvertSidToStringSid(const SID& sid, std::string* text) {
    if (!valid(sid)) {
        SetLastError(ERROR_INVALID_SID);
        return 0;
    }
    std::uint64_t authority = 0;
    for (BYTE b : sid.IdentifierAuthority.Value) authority = (authority << 8) | b;
    std::string s = "S-" + std::to_string(sid.Revision) + "-";
    if (authority >> 32) {
        char hex[20];
        std::snprintf(hex, sizeof hex, "0x%012llX", static_cast<unsigned long long>(authority));
        s += hex;
    } else {
        s += std::to_string(authority);
    }
    for (BYTE k = 0; k < sid.SubAuthorityCount; ++k) s += "-" + std::to_string(sid.SubAuthority[k]);
    if (text) *text = std::move(s);
    return 1;
}

BOOL LookupAccountSid(const std::string* systemName, const SID& sid, std::string* name, std::string* domain,
                      SID_NAME_USE* use) {
    std::string text;
    if (!ConvertSidToStringSid(sid, &text)) return 0;
    const std::string computer = winsys::computerName();
    if (systemName && !systemName->empty() && !winsys::equalsNoCase(*systemName, computer)) {
        SetLastError(ERROR_NONE_MAPPED);
        return 0;
    }
    auto answer = [&](std::string n, std::string d, SID_NAME_USE u) -> BOOL {
        if (name) *name = std::move(n);
        if (domain) *domain = std::move(d);
        if (use) *use = u;
        return 1;
    };
    for (const WellKnown& w : kWellKnown) {
        if (text == w.sid) return answer(w.name, w.domain, w.use);
    }
    if (auto image = winsys::sysreg::readText(HKEY_LOCAL_MACHINE, std::string(kProfileList) + "\\" + text,
                                              "ProfileImagePath", KEY_WOW64_64KEY)) {
        std::string account = lastFolder(image->text);
        if (!account.empty()) return answer(std::move(account), computer, SidTypeUser);
    }
    const winsys::Machine& m = winsys::machine();
    if (winsys::equalsNoCase(text, m.userSid())) return answer(m.userName(), computer, SidTypeUser);
    SetLastError(ERROR_NONE_MAPPED);
    return 0;
}

} // namespace win
