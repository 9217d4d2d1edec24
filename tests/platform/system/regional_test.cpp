#include "platform/system/regional.h"

#include <gtest/gtest.h>

#include "tests/platform/system/system_fixture.h"

namespace {

using winsys::formatDate;
using winsys::formatTime;

// Saturday 7 March 2026, 16:05:09; and Monday 12 January 2009, 00:00:00.
std::tm afternoon() {
    std::tm t{};
    t.tm_year = 126, t.tm_mon = 2, t.tm_mday = 7, t.tm_wday = 6;
    t.tm_hour = 16, t.tm_min = 5, t.tm_sec = 9;
    return t;
}
std::tm midnight() {
    std::tm t{};
    t.tm_year = 109, t.tm_mon = 0, t.tm_mday = 12, t.tm_wday = 1;
    return t;
}

TEST(Regional, DatePictures) {
    const struct {
        const char* picture;
        std::tm t;
        const char* text;
    } cases[] = {
        {"M/d/yyyy", afternoon(), "3/7/2026"},
        {"dd.MM.yyyy", afternoon(), "07.03.2026"},
        {"yyyy-MM-dd", midnight(), "2009-01-12"},
        {"d/M/yy", midnight(), "12/1/09"},
        {"y", midnight(), "9"},
        {"ddd, MMM d", afternoon(), "Sat, Mar 7"},
        {"dddd d MMMM yyyy", midnight(), "Monday 12 January 2009"},
        {"d 'de' MMMM", afternoon(), "7 de March"},
        {"'It''s' d", afternoon(), "It's 7"},
        {"yyyy'", afternoon(), "2026"}, // an open quote ends with the picture
        {"gg yyyy", afternoon(), "A.D. 2026"},
    };
    for (const auto& c : cases) EXPECT_EQ(formatDate(c.t, c.picture), c.text) << c.picture;
}

TEST(Regional, TimePictures) {
    const struct {
        const char* picture;
        std::tm t;
        const char* am;
        const char* pm;
        const char* text;
    } cases[] = {
        {"h:mm:ss tt", afternoon(), "AM", "PM", "4:05:09 PM"},
        {"h:mm:ss tt", midnight(), "AM", "PM", "12:00:00 AM"},
        {"HH:mm:ss", afternoon(), "AM", "PM", "16:05:09"},
        {"H:m:s", midnight(), "AM", "PM", "0:0:0"},
        {"hh.mm t", afternoon(), "vm.", "nm.", "04.05 n"},
        {"tt h:mm", afternoon(), "\xE5\x8D\x88\xE5\x89\x8D", "\xE5\x8D\x88\xE5\xBE\x8C", "\xE5\x8D\x88\xE5\xBE\x8C 4:05"},
        {"t h", midnight(), "\xE5\x8D\x88\xE5\x89\x8D", "x", "\xE5\x8D\x88 12"},
        {"HH:mm tt", afternoon(), "", "", "16:05 "},
        {"HH'h'mm", afternoon(), "AM", "PM", "16h05"},
    };
    for (const auto& c : cases) EXPECT_EQ(formatTime(c.t, c.picture, c.am, c.pm), c.text) << c.picture;
}

TEST(Regional, TheUsersSettingsWithTheUsFormWhereOneIsMissing) {
    {
        auto m = systest::machineWith(winsys::Arch::Win64);
        EXPECT_EQ(winsys::localDateTimeText(afternoon(), winsys::userRegionalFormats()), "3/7/2026 4:05:09 PM");
    }
    {
        auto m = systest::machineWith(winsys::Arch::Win64, R"([HKEY_CURRENT_USER\Control Panel\International]
"sShortDate"="dd.MM.yyyy"
"sTimeFormat"="HH:mm:ss"
)");
        EXPECT_EQ(winsys::localDateTimeText(afternoon(), winsys::userRegionalFormats()), "07.03.2026 16:05:09");
    }
    {
        auto m = systest::machineWith(winsys::Arch::Win64, R"([HKEY_CURRENT_USER\Control Panel\International]
"s1159"="vorm."
"s2359"="nachm."
)");
        EXPECT_EQ(winsys::localDateTimeText(afternoon(), winsys::userRegionalFormats()), "3/7/2026 4:05:09 nachm.");
    }
    {
        auto m = systest::machineWith(winsys::Arch::Win64);
        const winsys::RegionalFormats us = winsys::userRegionalFormats();
        EXPECT_EQ(formatDate(afternoon(), us.longDate), "Saturday, March 7, 2026");
        EXPECT_EQ(winsys::groupedNumber(1234567, us), "1,234,567");
    }
    {
        auto m = systest::machineWith(winsys::Arch::Win64, R"([HKEY_CURRENT_USER\Control Panel\International]
"sLongDate"="d. MMMM yyyy"
"sThousand"="."
"sDecimal"=","
)");
        const winsys::RegionalFormats f = winsys::userRegionalFormats();
        EXPECT_EQ(formatDate(afternoon(), f.longDate), "7. March 2026");
        EXPECT_EQ(f.decimal, ",");
        const struct {
            unsigned long long n;
            const char* text;
        } counts[] = {{0, "0"}, {999, "999"}, {1000, "1.000"}, {123456, "123.456"}, {18446744073709551615ull, "18.446.744.073.709.551.615"}};
        for (const auto& c : counts) EXPECT_EQ(winsys::groupedNumber(c.n, f), c.text) << c.n;
    }
}

} // namespace
