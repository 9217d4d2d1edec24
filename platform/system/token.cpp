#include "platform/system/token.h"

#include <algorithm>
#include <charconv>

#include "platform/core/lasterror.h"
#include "platform/core/machine.h"
#include "platform/core/text.h"
#include "platform/system/version.h"

namespace winsys {

std::optional<std::vector<std::uint64_t>> parseSid(std::string_view text) {
    if (text.size() < 2 || (text[0] != 'S' && text[0] != 's') || text[1] != '-') return std::nullopt;
    std::vector<std::uint64_t> parts;
    std::size_t at = 2;
    while (true) {
        const std::size_t end = std::min(text.find('-', at), text.size());
        std::string_view field = text.substr(at, end - at);
        int base = 10;
        if (parts.size() == 1 && field.size() > 2 && field[0] == '0' && (field[1] == 'x' || field[1] == 'X')) {
            field.remove_prefix(2);
            base = 16;
        }
        std::uint64_t v = 0;
        auto [p, ec] = std::from_chars(field.data(), field.data() + field.size(), v, base);
        if (field.empty() || ec != std::errc{} || p != field.data() + field.size()) return std::nullopt;
        parts.push_back(v);
        if (end == text.size()) break;
        at = end + 1;
    }
    if (parts.size() < 2 || parts[0] != 1 || parts[1] >= (std::uint64_t{1} << 48) || parts.size() > 2 + 15)
        return std::nullopt;
    for (std::size_t i = 2; i < parts.size(); ++i)
        if (parts[i] > 0xFFFFFFFFu) return std::nullopt;
    return parts;
}

} // namespace winsys

namespace win {

namespace {

bool isToken(HANDLE h) { return h == GetCurrentProcessToken(); }

bool isAdministratorsSid(const std::string& sid) {
    return winsys::parseSid(sid) == winsys::parseSid(SID_BUILTIN_ADMINISTRATORS);
}

std::vector<SID_AND_ATTRIBUTES> tokenGroups() {
    const winsys::ProcessToken& t = winsys::machine().token();
    constexpr DWORD kEnabled = SE_GROUP_MANDATORY | SE_GROUP_ENABLED_BY_DEFAULT | SE_GROUP_ENABLED;
    const DWORD adminAttributes =
        t.elevationType == winsys::ElevationType::Limited ? SE_GROUP_USE_FOR_DENY_ONLY : kEnabled;
    std::vector<SID_AND_ATTRIBUTES> groups;
    bool adminListed = false;
    for (const auto& sid : t.groupSids) {
        if (isAdministratorsSid(sid)) {
            if (!t.administrator || adminListed) continue;
            adminListed = true;
            groups.push_back({sid, adminAttributes});
        } else {
            groups.push_back({sid, kEnabled});
        }
    }
    if (t.administrator && !adminListed) groups.push_back({SID_BUILTIN_ADMINISTRATORS, adminAttributes});
    return groups;
}

BOOL fail(DWORD error) {
    SetLastError(error);
    return 0;
}

} // namespace

HANDLE GetCurrentProcessToken() { return reinterpret_cast<HANDLE>(~std::uintptr_t{3}); } // -4, as Windows

BOOL OpenProcessToken(HANDLE process, DWORD /*desiredAccess*/, HANDLE* token) {
    if (process != GetCurrentProcess()) return fail(ERROR_INVALID_HANDLE);
    if (!token) return fail(ERROR_INVALID_PARAMETER);
    *token = GetCurrentProcessToken();
    return 1;
}

BOOL GetTokenInformation(HANDLE token, TOKEN_INFORMATION_CLASS infoClass, DWORD* value) {
    if (!isToken(token)) return fail(ERROR_INVALID_HANDLE);
    if (!value) return fail(ERROR_INVALID_PARAMETER);
    const winsys::ProcessToken& t = winsys::machine().token();
    switch (infoClass) {
    case TokenElevationType: *value = static_cast<DWORD>(t.elevationType); return 1;
    case TokenElevation: *value = t.elevated ? 1 : 0; return 1;
    default: return fail(ERROR_INVALID_PARAMETER);
    }
}

BOOL GetTokenInformation(HANDLE token, TOKEN_INFORMATION_CLASS infoClass, std::vector<SID_AND_ATTRIBUTES>* groups) {
    if (!isToken(token)) return fail(ERROR_INVALID_HANDLE);
    if (!groups) return fail(ERROR_INVALID_PARAMETER);
    switch (infoClass) {
    case TokenGroups: *groups = tokenGroups(); return 1;
    case TokenUser: *groups = {{winsys::machine().userSid(), 0}}; return 1;
    default: return fail(ERROR_INVALID_PARAMETER);
    }
}

BOOL CheckTokenMembership(HANDLE token, const std::string& sid, BOOL* isMember) {
    if (token && !isToken(token)) return fail(ERROR_INVALID_HANDLE);
    const auto wanted = winsys::parseSid(sid);
    if (!wanted) return fail(ERROR_INVALID_SID);
    if (!isMember) return fail(ERROR_INVALID_PARAMETER);
    bool member = winsys::parseSid(winsys::machine().userSid()) == wanted;
    for (const auto& g : tokenGroups()) {
        if (member) break;
        member = (g.attributes & SE_GROUP_ENABLED) && winsys::parseSid(g.sid) == wanted;
    }
    *isMember = member ? 1 : 0;
    return 1;
}

BOOL IsUserAnAdmin() {
    BOOL member = 0;
    return CheckTokenMembership(nullptr, SID_BUILTIN_ADMINISTRATORS, &member) && member;
}

} // namespace win
