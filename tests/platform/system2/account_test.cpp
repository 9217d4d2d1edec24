// Binary SIDs (their size, building, text form) and the account lookup over
// the well-known SIDs, the ProfileList and the current user.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/system/account.h"

#include "platform/core/lasterror.h"
#include "platform/system/layout.h"
#include "tests/support/test_prefix.h"

namespace {

win::SID makeSid(win::BYTE authority, const std::vector<win::DWORD>& subs) {
    win::SID_IDENTIFIER_AUTHORITY a;
    a.Value[5] = authority;
    win::SID sid;
    EXPECT_TRUE(win::InitializeSid(&sid, a, static_cast<win::BYTE>(subs.size())));
    for (win::DWORD k = 0; k < subs.size(); ++k) *win::GetSidSubAuthority(&sid, k) = subs[k];
    return sid;
}

TEST(Sid, BuildsWithinItsCount) {
    EXPECT_EQ(win::GetSidLengthRequired(0), 8u);
    EXPECT_EQ(win::GetSidLengthRequired(5), 28u);
    win::SID sid;
    win::SID_IDENTIFIER_AUTHORITY a;
    EXPECT_FALSE(win::InitializeSid(&sid, a, 16));
    EXPECT_EQ(win::GetLastError(), win::ERROR_INVALID_PARAMETER);
    ASSERT_TRUE(win::InitializeSid(&sid, a, 2));
    EXPECT_NE(win::GetSidSubAuthority(&sid, 1), nullptr);
    EXPECT_EQ(win::GetSidSubAuthority(&sid, 2), nullptr);

    std::string text;
    ASSERT_TRUE(win::ConvertSidToStringSid(makeSid(5, {21, 1, 2, 3, 4294967295u}), &text));
    EXPECT_EQ(text, "S-1-5-21-1-2-3-4294967295");
    win::SID wide = makeSid(0, {7});
    wide.IdentifierAuthority.Value[0] = 1;
    ASSERT_TRUE(win::ConvertSidToStringSid(wide, &text));
    EXPECT_EQ(text, "S-1-0x010000000000-7");
    wide.Revision = 2;
    EXPECT_FALSE(win::ConvertSidToStringSid(wide, &text));
    EXPECT_EQ(win::GetLastError(), win::ERROR_INVALID_SID);
}

TEST(LookupAccountSid, KnownAccounts) {
    testsupport::TestPrefix prefix;
    prefix.importReg(R"(Windows Registry Editor Version 5.00

[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows NT\CurrentVersion\ProfileList\S-1-5-21-7-8-9-1001]
"ProfileImagePath"=hex(2):25,00,53,00,79,00,73,00,74,00,65,00,6d,00,44,00,72,00,69,00,76,00,65,00,25,00,\
  5c,00,75,00,73,00,65,00,72,00,73,00,5c,00,61,00,6c,00,69,00,63,00,65,00,00,00

[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows NT\CurrentVersion\ProfileList\S-1-5-21-7-8-9-1002]
"ProfileImagePath"="C:\\"
)");
    const std::string computer = winsys::computerName();
    struct Case {
        const char* label;
        win::BYTE authority;
        std::vector<win::DWORD> subs;
        const char* name; // null: not mapped
        std::string domain;
        win::SID_NAME_USE use;
    } cases[] = {
        {"Everyone", 1, {0}, "Everyone", "", win::SidTypeWellKnownGroup},
        {"SYSTEM", 5, {18}, "SYSTEM", "NT AUTHORITY", win::SidTypeWellKnownGroup},
        {"NETWORK SERVICE", 5, {20}, "NETWORK SERVICE", "NT AUTHORITY", win::SidTypeWellKnownGroup},
        {"Administrators", 5, {32, 544}, "Administrators", "BUILTIN", win::SidTypeAlias},
        {"Users", 5, {32, 545}, "Users", "BUILTIN", win::SidTypeAlias},
        {"profile list", 5, {21, 7, 8, 9, 1001}, "alice", computer, win::SidTypeUser},
        {"current user", 5, {21, 1111111111, 2222222222u, 3333333333u, 1000}, "tester", computer, win::SidTypeUser},
        {"profile without a folder name", 5, {21, 7, 8, 9, 1002}, nullptr, "", win::SidTypeUser},
        {"unknown", 5, {21, 7, 8, 9, 1003}, nullptr, "", win::SidTypeUser},
        {"authority 5 alone", 5, {}, nullptr, "", win::SidTypeUser},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        std::string name = "sentinel", domain = "sentinel";
        win::SID_NAME_USE use = win::SidTypeInvalid;
        const win::BOOL ok = win::LookupAccountSid(nullptr, makeSid(c.authority, c.subs), &name, &domain, &use);
        if (c.name) {
            ASSERT_TRUE(ok);
            EXPECT_EQ(name, c.name);
            EXPECT_EQ(domain, c.domain);
            EXPECT_EQ(use, c.use);
        } else {
            EXPECT_FALSE(ok);
            EXPECT_EQ(win::GetLastError(), win::ERROR_NONE_MAPPED);
            EXPECT_EQ(name, "sentinel");
        }
    }
    const std::string other = "ELSEWHERE";
    std::string name, domain;
    EXPECT_TRUE(win::LookupAccountSid(&computer, makeSid(5, {18}), &name, &domain, nullptr));
    EXPECT_FALSE(win::LookupAccountSid(&other, makeSid(5, {18}), &name, &domain, nullptr));
}

} // namespace
