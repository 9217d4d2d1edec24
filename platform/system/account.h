#pragma once
// Security identifiers in their binary form and the account lookup, as
// InitializeSid and LookupAccountSid offer them. Accounts are the machine's:
// the well-known SIDs under their English names, and the profiles of
//   HKLM\Software\Microsoft\Windows NT\CurrentVersion\ProfileList\<SID>
// (the account is the last folder of "ProfileImagePath", the domain the
// computer's name); the current user is known even without a profile entry.
// There is no domain controller and no remote computer to ask.

#include <string>

#include "platform/core/wintypes.h"

namespace win {

inline constexpr BYTE SID_REVISION = 1;
inline constexpr BYTE SID_MAX_SUB_AUTHORITIES = 15;

struct SID_IDENTIFIER_AUTHORITY {
    BYTE Value[6] = {};
};

// Room for the most sub-authorities a SID can have, so a SID value never
// needs memory of its own.
struct SID {
    BYTE Revision = 0;
    BYTE SubAuthorityCount = 0;
    SID_IDENTIFIER_AUTHORITY IdentifierAuthority;
    DWORD SubAuthority[SID_MAX_SUB_AUTHORITIES] = {};
};

enum SID_NAME_USE {
    SidTypeUser = 1,
    SidTypeGroup,
    SidTypeDomain,
    SidTypeAlias,
    SidTypeWellKnownGroup,
    SidTypeDeletedAccount,
    SidTypeInvalid,
    SidTypeUnknown,
    SidTypeComputer,
    SidTypeLabel,
};

// 8 bytes of header and 4 a sub-authority.
DWORD GetSidLengthRequired(BYTE subAuthorityCount);
// Revision 1, the authority and `subAuthorityCount` zero sub-authorities;
// more than SID_MAX_SUB_AUTHORITIES is ERROR_INVALID_PARAMETER.
BOOL InitializeSid(SID* sid, const SID_IDENTIFIER_AUTHORITY& authority, BYTE subAuthorityCount);
// Sub-authority `n`, or null (ERROR_INVALID_PARAMETER) past the SID's count.
DWORD* GetSidSubAuthority(SID* sid, DWORD n);
// "S-1-5-32-544"; the authority in hexadecimal ("0x...") when it needs more
// than 32 bits, as Windows writes it. ERROR_INVALID_SID for a bad SID.
BOOL ConvertSidToStringSid(const SID& sid, std::string* text);
// The account and domain of `sid` on this computer (`systemName` null, empty
// or the computer's name; another is ERROR_NONE_MAPPED too).
// ERROR_NONE_MAPPED when no account has that SID, ERROR_INVALID_SID for a
// bad SID.
BOOL LookupAccountSid(const std::string* systemName, const SID& sid, std::string* name, std::string* domain,
                      SID_NAME_USE* use);

} // namespace win
