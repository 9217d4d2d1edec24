#pragma once
// The user's regional settings for dates and times, as Windows keeps them
// in HKCU\Control Panel\International, and the pictures they hold turned
// into text as GetDateFormat and GetTimeFormat turn them:
//   date  d dd (day)  ddd dddd (day name)  M MM (month)  MMM MMMM (month
//         name)  y yy yyyy (year)  g gg (era)
//   time  h hh (12-hour)  H HH (24-hour)  m mm  s ss  t (first character of
//         the AM/PM symbol)  tt (the whole symbol)
// Text between single quotes is kept as it is ('' is one quote); every
// other character is copied. Day and month names are English, the only
// locale data this layer has.

#include <ctime>
#include <string>
#include <string_view>

namespace winsys {

struct RegionalFormats {
    std::string shortDate = "M/d/yyyy";   // sShortDate
    std::string timeFormat = "h:mm:ss tt"; // sTimeFormat, the long time
    std::string am = "AM";                 // s1159
    std::string pm = "PM";                 // s2359
    std::string longDate = "dddd, MMMM d, yyyy"; // sLongDate
    std::string decimal = ".";             // sDecimal
    std::string thousand = ",";            // sThousand
};

// The current user's settings; the US form for each one that is missing.
RegionalFormats userRegionalFormats();

std::string formatDate(const std::tm& t, std::string_view picture);
std::string formatTime(const std::tm& t, std::string_view picture, std::string_view am, std::string_view pm);

// Local date and time as the user's settings write a date with a time:
// the short date, a blank, the long time ("3/7/2026 4:05:09 PM").
std::string localDateTimeText(const std::tm& t, const RegionalFormats& formats);

// A count with the user's digit grouping in threes ("1,234,567").
std::string groupedNumber(unsigned long long n, const RegionalFormats& formats);

} // namespace winsys
