#include "platform/core/guid.h"

#include <gtest/gtest.h>
#include <set>

using namespace winsys;

TEST(Guid, TextFormRoundTrips) {
    win::GUID g{0x0000ABCD, 0x00EF, 0x0A12, {0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF}};
    EXPECT_EQ(guidToString(g), "{0000ABCD-00EF-0A12-0123-456789ABCDEF}");
    EXPECT_EQ(guidToString({0xFEDCBA98, 0xF00F, 0x10A0, {0xFF, 0x00, 0xA5, 0x5A, 0x0F, 0xF0, 0x12, 0x21}}),
              "{FEDCBA98-F00F-10A0-FF00-A55A0FF01221}");
    auto back = guidFromString("{0000abcd-00ef-0a12-0123-456789abcdef}");
    ASSERT_TRUE(back);
    EXPECT_EQ(*back, g);
}

TEST(Guid, BadTextIsRefused) {
    for (const char* bad : {"", "{}", "0000ABCD-00EF-0A12-0123-456789ABCDEF", "{0000ABCD-00EF-0A12-0123-456789ABCDEG}",
                            "{0000ABCD00EF-0A12-0123-456789ABCDEF0}", "{0000ABCD-00EF-0A12-0123-456789ABCDEF"}) {
        SCOPED_TRACE(bad);
        EXPECT_FALSE(guidFromString(bad));
    }
}

TEST(Guid, NewGuidsAreVersion4AndDistinct) {
    std::set<std::string> seen;
    for (int i = 0; i < 1000; ++i) {
        auto g = newGuid();
        std::string t = guidToString(g);
        EXPECT_EQ(t.size(), 38u);
        EXPECT_EQ(t[15], '4');
        EXPECT_NE(t.find_first_of("89AB", 20), std::string::npos);
        EXPECT_TRUE(seen.insert(t).second);
    }
}
