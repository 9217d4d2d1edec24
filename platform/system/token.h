#pragma once
// The process token, as GetTokenInformation and CheckTokenMembership read
// it, from winsys::machine().token().
//
// The token's groups are its group SIDs, each mandatory and enabled, with
// the Administrators group (S-1-5-32-544) present exactly when the token's
// user is an administrator. In a limited (filtered) token that group is
// marked for deny only, as UAC marks it: it is listed, but membership
// checks do not count it. The token's user SID counts as a membership too.
// The token handle is a pseudo-handle and needs no closing.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/core/wintypes.h"

namespace win {

enum TOKEN_INFORMATION_CLASS {
    TokenUser = 1,
    TokenGroups = 2,
    TokenElevationType = 18,
    TokenElevation = 20,
};

// TokenElevationType values.
inline constexpr DWORD TokenElevationTypeDefault = 1;
inline constexpr DWORD TokenElevationTypeFull = 2;
inline constexpr DWORD TokenElevationTypeLimited = 3;

inline constexpr DWORD TOKEN_QUERY = 0x0008;

inline constexpr DWORD SE_GROUP_MANDATORY = 0x01;
inline constexpr DWORD SE_GROUP_ENABLED_BY_DEFAULT = 0x02;
inline constexpr DWORD SE_GROUP_ENABLED = 0x04;
inline constexpr DWORD SE_GROUP_USE_FOR_DENY_ONLY = 0x10;

inline constexpr const char* SID_BUILTIN_ADMINISTRATORS = "S-1-5-32-544";

struct SID_AND_ATTRIBUTES {
    std::string sid; // text form, "S-1-5-32-544"
    DWORD attributes = 0;
};

// The current process's token (pseudo-handle).
HANDLE GetCurrentProcessToken();
// Gives GetCurrentProcessToken() for GetCurrentProcess(); another process
// handle is ERROR_INVALID_HANDLE.
BOOL OpenProcessToken(HANDLE process, DWORD desiredAccess, HANDLE* token);

// TokenElevationType (1 default, 2 full, 3 limited) and TokenElevation (the
// elevated flag, 1 or 0). Another class is ERROR_INVALID_PARAMETER, a
// handle other than the token's ERROR_INVALID_HANDLE.
BOOL GetTokenInformation(HANDLE token, TOKEN_INFORMATION_CLASS infoClass, DWORD* value);
// TokenGroups; TokenUser gives the one user SID (attributes 0).
BOOL GetTokenInformation(HANDLE token, TOKEN_INFORMATION_CLASS infoClass, std::vector<SID_AND_ATTRIBUTES>* groups);

// Whether `sid` is the token's user or one of its enabled groups. A null
// token means the process's own. A malformed SID text is ERROR_INVALID_SID.
BOOL CheckTokenMembership(HANDLE token, const std::string& sid, BOOL* isMember);

// True when the token counts as a member of Administrators (an elevated
// administrator, or an administrator without UAC's split token).
BOOL IsUserAnAdmin();

} // namespace win

namespace winsys {

// The numbers of a SID text ("S-1-5-32-544" -> 1, 5, 32, 544), or nothing
// when it is malformed: revision 1, an authority below 2^48 (decimal, or
// hexadecimal with 0x), up to 15 sub-authorities each below 2^32. Letters in
// either case.
std::optional<std::vector<std::uint64_t>> parseSid(std::string_view text);

} // namespace winsys
