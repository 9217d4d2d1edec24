// SidToSam: well-known SIDs, profile-list accounts, the current user, and
// texts that make no SID we can hold, which give empty outputs.

#include <gtest/gtest.h>

#include <string>

#include "app/core/msid.h"

#include "platform/system/layout.h"
#include "tests/support/test_prefix.h"

using sorlix::MSidToSam::SidToSam;

namespace {

TEST(SidToSam, AccountsAndMalformedTexts) {
    testsupport::TestPrefix prefix;
    prefix.importReg(R"(Windows Registry Editor Version 5.00

[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows NT\CurrentVersion\ProfileList\S-1-5-21-1-2-3-500]
"ProfileImagePath"="C:\\users\\  admin  "

[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows NT\CurrentVersion\ProfileList\S-1-5-21-4294967295-2-3-4-5-6-7-8-9-10-11-12]
"ProfileImagePath"="C:\\users\\thirteen"

[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows NT\CurrentVersion\ProfileList\S-1-5-21-1-2-3-4-5-6-7-8-9-10-11-12-13]
"ProfileImagePath"="C:\\users\\fourteen"

)");
    const std::string computer = winsys::computerName();
    struct Case {
        const char* sid;
        std::string domain, account;
    } cases[] = {
        {"S-1-5-18", "NT AUTHORITY", "SYSTEM"},
        {"S-1-5-19", "NT AUTHORITY", "LOCAL SERVICE"},
        {"S-1-5-32-544", "BUILTIN", "Administrators"},
        {"S-1-1-0", "", "Everyone"},
        {"S-1-5--18", "NT AUTHORITY", "SYSTEM"},        // empty pieces are skipped
        {"S-1-005-00000000000000000018", "NT AUTHORITY", "SYSTEM"},
        {"S-1-5-99999999999999999999999", "", ""},
        {"S-1-5-21-1-2-3-500", computer, "admin"},      // five sub-authorities, name trimmed
        {"S-1-5-21-1111111111-2222222222-3333333333-1000", computer, "tester"},
        {"S-1-5-21-4294967295-2-3-4-5-6-7-8-9-10-11-12", computer, "thirteen"},
        {"S-1-5-21-1-2-3-4-5-6-7-8-9-10-11-12-13", "", ""}, // 14 sub-authorities
        {"S-1-5-21-1-2-3-4-5-6-7-8-9-10-11-12-13-14-15-16-17-18-19-20", "", ""},
        {"S-1-256-18", "", ""},                         // authority above one byte
        {"S-1-261-21-1-2-3-500", "", ""},               // would wrap to authority 5
        {"S-1-5-4294967296", "", ""},                   // sub-authority above 32 bits
        {"S-1-5-21-1-2-3-500x", "", ""},
        {"S-1-5-+18", "", ""},
        {"S-x-5-18", "", ""},
        {"S-1-5-18 ", "", ""},
        {"S-1", "", ""},
        {"S-1-5-21-9-9-9-9", "", ""},                   // no such account
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.sid);
        std::string domain = "sentinel", account = "sentinel";
        SidToSam(c.sid, domain, account);
        EXPECT_EQ(domain, c.domain);
        EXPECT_EQ(account, c.account);
    }
}

} // namespace
