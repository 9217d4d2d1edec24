#include "platform/system/token.h"

#include <gtest/gtest.h>

#include <functional>

#include "platform/core/lasterror.h"
#include "platform/core/machine.h"
#include "platform/system/version.h"
#include "tests/platform/system/system_fixture.h"

using winsys::ElevationType;

namespace {

const win::SID_AND_ATTRIBUTES* findGroup(const std::vector<win::SID_AND_ATTRIBUTES>& groups, const std::string& sid) {
    for (const auto& g : groups)
        if (g.sid == sid) return &g;
    return nullptr;
}

} // namespace

TEST(ProcessToken, QueriesFollowTheMachinesToken) {
    constexpr win::DWORD kEnabled = win::SE_GROUP_MANDATORY | win::SE_GROUP_ENABLED_BY_DEFAULT | win::SE_GROUP_ENABLED;
    struct Row {
        const char* label;
        bool elevated;
        ElevationType type;
        bool administrator;
        win::DWORD elevationType, elevation;
        bool adminListed;
        win::DWORD adminAttributes;
        bool isAdmin;
    } rows[] = {
        {"Wine's default: elevated administrator", true, ElevationType::Full, true, 2, 1, true, kEnabled, true},
        {"UAC's filtered administrator", false, ElevationType::Limited, true, 3, 0, true,
         win::SE_GROUP_USE_FOR_DENY_ONLY, false},
        {"administrator without a split token", true, ElevationType::Default, true, 1, 1, true, kEnabled, true},
        {"standard user", false, ElevationType::Default, false, 1, 0, false, 0, false},
    };
    for (const auto& r : rows) {
        auto p = systest::machineWith(winsys::Arch::Win64);
        winsys::ProcessToken& t = winsys::machine().token();
        t.elevated = r.elevated;
        t.elevationType = r.type;
        t.administrator = r.administrator;

        win::HANDLE token = nullptr;
        ASSERT_TRUE(win::OpenProcessToken(win::GetCurrentProcess(), win::TOKEN_QUERY, &token)) << r.label;
        win::DWORD value = 0xDEAD;
        ASSERT_TRUE(win::GetTokenInformation(token, win::TokenElevationType, &value)) << r.label;
        EXPECT_EQ(value, r.elevationType) << r.label;
        ASSERT_TRUE(win::GetTokenInformation(token, win::TokenElevation, &value)) << r.label;
        EXPECT_EQ(value, r.elevation) << r.label;

        std::vector<win::SID_AND_ATTRIBUTES> groups;
        ASSERT_TRUE(win::GetTokenInformation(token, win::TokenGroups, &groups)) << r.label;
        const auto* admin = findGroup(groups, "S-1-5-32-544");
        ASSERT_EQ(admin != nullptr, r.adminListed) << r.label;
        if (admin) {
            EXPECT_EQ(admin->attributes, r.adminAttributes) << r.label;
        }
        const auto* users = findGroup(groups, "S-1-5-32-545");
        ASSERT_NE(users, nullptr) << r.label;
        EXPECT_EQ(users->attributes, kEnabled) << r.label;

        EXPECT_EQ(win::IsUserAnAdmin() != 0, r.isAdmin) << r.label;
        win::BOOL member = 7;
        ASSERT_TRUE(win::CheckTokenMembership(nullptr, "S-1-5-32-544", &member)) << r.label;
        EXPECT_EQ(member != 0, r.isAdmin) << r.label;
        ASSERT_TRUE(win::CheckTokenMembership(token, "s-1-5-32-545", &member)) << r.label;
        EXPECT_EQ(member, 1) << r.label << ": Users, SID letters in either case";
    }
}

TEST(ProcessToken, GroupListAndMembership) {
    auto p = systest::machineWith(winsys::Arch::Win64);
    winsys::ProcessToken& t = winsys::machine().token();
    // The administrator flag decides about the Administrators entry, whatever the list says.
    t.administrator = false;
    t.groupSids = {"S-1-1-0", "S-1-5-32-544"};
    std::vector<win::SID_AND_ATTRIBUTES> groups;
    ASSERT_TRUE(win::GetTokenInformation(win::GetCurrentProcessToken(), win::TokenGroups, &groups));
    ASSERT_EQ(groups.size(), 1u);
    EXPECT_EQ(groups[0].sid, "S-1-1-0");
    t.administrator = true;
    t.groupSids = {"S-1-1-0"};
    ASSERT_TRUE(win::GetTokenInformation(win::GetCurrentProcessToken(), win::TokenGroups, &groups));
    EXPECT_NE(findGroup(groups, "S-1-5-32-544"), nullptr);

    struct Row {
        const char* label;
        std::string sid;
        int member;
    } rows[] = {
        {"the token's user", winsys::machine().userSid(), 1},
        {"a listed group", "S-1-1-0", 1},
        {"a group not listed", "S-1-5-32-555", 0},
        {"hexadecimal authority", "S-1-0x5-32-544", 1},
    };
    for (const auto& r : rows) {
        win::BOOL member = 7;
        ASSERT_TRUE(win::CheckTokenMembership(nullptr, r.sid, &member)) << r.label;
        EXPECT_EQ(member, r.member) << r.label;
    }

    std::vector<win::SID_AND_ATTRIBUTES> user;
    ASSERT_TRUE(win::GetTokenInformation(win::GetCurrentProcessToken(), win::TokenUser, &user));
    ASSERT_EQ(user.size(), 1u);
    EXPECT_EQ(user[0].sid, winsys::machine().userSid());
}

TEST(ProcessToken, Failures) {
    auto p = systest::machineWith(winsys::Arch::Win64);
    const win::HANDLE bogus = reinterpret_cast<win::HANDLE>(0x1234);
    const win::HANDLE self = win::GetCurrentProcessToken();
    win::DWORD value = 0;
    win::BOOL member = 0;
    std::vector<win::SID_AND_ATTRIBUTES> groups;
    win::HANDLE token = nullptr;
    struct Row {
        const char* label;
        std::function<win::BOOL()> call;
        win::DWORD error;
    } rows[] = {
        {"token of another process", [&] { return win::OpenProcessToken(bogus, win::TOKEN_QUERY, &token); },
         win::ERROR_INVALID_HANDLE},
        {"query through a bad handle", [&] { return win::GetTokenInformation(bogus, win::TokenElevation, &value); },
         win::ERROR_INVALID_HANDLE},
        {"a class that is no number", [&] { return win::GetTokenInformation(self, win::TokenGroups, &value); },
         win::ERROR_INVALID_PARAMETER},
        {"a class that is no list", [&] { return win::GetTokenInformation(self, win::TokenElevation, &groups); },
         win::ERROR_INVALID_PARAMETER},
        {"malformed SID", [&] { return win::CheckTokenMembership(nullptr, "S-1-5-x", &member); },
         win::ERROR_INVALID_SID},
        {"membership through a bad handle", [&] { return win::CheckTokenMembership(bogus, "S-1-1-0", &member); },
         win::ERROR_INVALID_HANDLE},
    };
    for (const auto& r : rows) {
        win::SetLastError(0);
        EXPECT_FALSE(r.call()) << r.label;
        EXPECT_EQ(win::GetLastError(), r.error) << r.label;
    }
    EXPECT_EQ(token, nullptr);
}

TEST(ParseSid, Table) {
    using V = std::vector<std::uint64_t>;
    struct Row {
        const char* text;
        std::optional<V> parts;
    } rows[] = {
        {"S-1-5-32-544", V{1, 5, 32, 544}},
        {"s-1-5-18", V{1, 5, 18}},
        {"S-1-0x5-32-544", V{1, 5, 32, 544}},
        {"S-1-5", V{1, 5}},
        {"S-1-5-4294967295", V{1, 5, 4294967295u}},
        {"S-1-5-4294967296", std::nullopt},
        {"S-2-5-32", std::nullopt},
        {"S-1-281474976710656-1", std::nullopt},
        {"S-1-5-1-2-3-4-5-6-7-8-9-10-11-12-13-14-15", V{1, 5, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15}},
        {"S-1-5-1-2-3-4-5-6-7-8-9-10-11-12-13-14-15-16", std::nullopt},
        {"S-1-5-", std::nullopt},
        {"S-1--5", std::nullopt},
        {"X-1-5", std::nullopt},
        {"S-1-5-+3", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& r : rows) EXPECT_EQ(winsys::parseSid(r.text), r.parts) << r.text;
}
