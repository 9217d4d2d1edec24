// axLog through COM: identity and slot order, the exact line layout, the cut
// of long descriptions in the main log only, the two logs and their modes,
// appending in the ANSI code page, and LogIt never failing.

#include <gtest/gtest.h>

#include <optional>
#include <regex>
#include <string>
#include <string_view>
#include <vector>

#include "common/interfaces/log.h"
#include "platform/com/class_registry.h"
#include "platform/com/error_info.h"
#include "platform/com/late_bound.h"
#include "platform/core/guid.h"
#include "platform/core/text.h"
#include "platform/files/files.h"
#include "tests/support/com_library.h"
#include "tests/support/test_prefix.h"
#include "tests/support/vtable_check.h"

using namespace win;
using namespace winsys::com;
using namespace halvenlib;

namespace {

constexpr const char* kMain = "C:\\logs\\main.log";
constexpr const char* kShort = "C:\\logs\\short.log";

class Log : public ::testing::Test {
protected:
    Log() { prefix.makeDir("C:\\logs"); }

    ComPtr<_axLog> make() {
        ComPtr<_axLog> log;
        EXPECT_EQ(createInstance(CLSID_axLog, &log), S_OK);
        return log;
    }
    // The file's lines (each without its CR LF) as text; nothing when missing.
    static std::optional<std::vector<std::string>> lines(const char* path) {
        auto bytes = winsys::readFile(path);
        if (!bytes) return std::nullopt;
        const std::string all = winsys::fromCp1252(std::string(bytes.value().begin(), bytes.value().end()));
        std::vector<std::string> out;
        std::size_t at = 0;
        for (std::size_t end; (end = all.find("\r\n", at)) != std::string::npos; at = end + 2)
            out.push_back(all.substr(at, end - at));
        EXPECT_EQ(at, all.size()) << "the file does not end with CR LF";
        return out;
    }
    // True for "3/7/2026 4:05:09 PM": short date, a blank, long time.
    static bool isDateTime(std::string_view f) {
        auto digits = [&f](std::size_t min, std::size_t max, char then) {
            std::size_t n = 0;
            while (n < f.size() && n < max && f[n] >= '0' && f[n] <= '9') ++n;
            if (n < min || n >= f.size() || f[n] != then) return false;
            f.remove_prefix(n + 1);
            return true;
        };
        return digits(1, 2, '/') && digits(1, 2, '/') && digits(4, 4, ' ') && digits(1, 2, ':') &&
               digits(2, 2, ':') && digits(2, 2, ' ') && (f == "AM" || f == "PM");
    }
    // The line after its date field and that field's TAB.
    static std::string afterDate(const std::string& line) {
        const std::size_t tab = line.find('\t');
        if (tab == std::string::npos || !isDateTime(std::string_view(line).substr(0, tab))) {
            ADD_FAILURE() << "no date field in: " << line.substr(0, 80);
            return line;
        }
        return line.substr(tab + 1);
    }

    testsupport::TestPrefix prefix;
    testsupport::ComLibrary lib{HALVENLIB_PATH};
};

TEST(LogIdentity, IdsAndSlotOrder) {
    EXPECT_EQ(winsys::guidToString(CLSID_axLog), "{53CBFB33-311F-4808-BBF3-147B93F8E9C0}");
    EXPECT_EQ(winsys::guidToString(_axLog::iid), "{89E2853C-E406-4B28-AEA6-E80DB25D5971}");
    EXPECT_EQ(winsys::guidToString(GUID_enSeverity), "{F0D28520-9D36-4E40-A6F1-040BC2521BB2}");
    EXPECT_TRUE(testsupport::slotOrderMatches(_axLog::info(), {"FileName (get)", "ShortLogFileName (get)",
                                                               "ShortLogMode (get)", "Init2", "Init", "LogIt"}));
}

// The date field is written as the user's regional settings say.
TEST_F(Log, TheDateFollowsTheUsersRegionalSettings) {
    const struct {
        const char* settings;
        const char* pattern; // of the date field
    } rows[] = {
        {"\"s1159\"=\"vorm.\"\n\"s2359\"=\"nachm.\"\n",
         "^[0-9]{1,2}/[0-9]{1,2}/[0-9]{4} [0-9]{1,2}:[0-9]{2}:[0-9]{2} (vorm\\.|nachm\\.)$"},
        // Added to the settings above: the date and time pictures.
        {"\"sShortDate\"=\"yyyy-MM-dd\"\n\"sTimeFormat\"=\"HH'h'mm\"\n", "^[0-9]{4}-[0-9]{2}-[0-9]{2} [0-9]{2}h[0-9]{2}$"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.settings);
        prefix.importReg(std::string("Windows Registry Editor Version 5.00\n\n"
                                     "[HKEY_CURRENT_USER\\Control Panel\\International]\n") +
                         r.settings);
        prefix.reopen();
        winsys::writeFile(kMain, std::string_view{}).ok();
        auto log = make();
        ASSERT_EQ(log->Init(kMain), S_OK);
        ASSERT_EQ(log->LogIt(0, "d", sevError, "s"), S_OK);
        const auto got = lines(kMain);
        ASSERT_TRUE(got);
        ASSERT_EQ(got->size(), 1u);
        const std::string field = got->front().substr(0, got->front().find('\t'));
        EXPECT_TRUE(std::regex_match(field, std::regex(r.pattern))) << field;
    }
}

TEST_F(Log, LineLayout) {
    const struct {
        const char* label;
        LONG number;
        std::string description;
        std::optional<LONG> severity; // nothing: Severity and Source omitted, by name
        std::string source;
        std::string expected; // after the date and its TAB
    } rows[] = {
        {"defaults", 0, "just text", std::nullopt, "", "Error\t\tjust text\t"},
        {"457 as a warning", 457, "dup", sevWarning, "CThing.Add", "Warning\t1C9\tdup\tCThing.Add"},
        {"E_FAIL in two's complement", static_cast<LONG>(E_FAIL), "f", sevError, "", "Error\t80004005\tf\t"},
        {"-1", -1, "m", sevInformational, "s", "Informational\tFFFFFFFF\tm\ts"},
        {"upper-case hex", 0xABCDEF, "d", sevSummary, "", "Summary\tABCDEF\td\t"},
        {"internal error", 1, "", sevInternalError, "M.P", "InternalError\t1\t\tM.P"},
        {"trace", 2, "t", sevTrace, "", "Trace\t2\tt\t"},
        {"unknown severity 7", 3, "u", 7, "", "\t3\tu\t"},
        {"negative severity", 3, "u", -1, "", "\t3\tu\t"},
        {"tab and quote kept", 0, "a\"b'c", sevError, "x", "Error\t\ta\"b'c\tx"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.label);
        winsys::writeFile(kMain, std::string_view{}).ok();
        auto log = make();
        ASSERT_EQ(log->Init(kMain), S_OK);
        if (r.severity) {
            ASSERT_EQ(log->LogIt(r.number, r.description, *r.severity, r.source), S_OK);
        } else {
            ComPtr<IDispatch> d;
            log->QueryInterface(IDispatch::iid, d.putVoid());
            callMethod(d.get(), "LogIt", {makeLong(r.number), makeText(r.description)});
        }
        const auto got = lines(kMain);
        ASSERT_TRUE(got);
        ASSERT_EQ(got->size(), 1u);
        EXPECT_EQ(afterDate(got->front()), r.expected);
    }
}

TEST_F(Log, LineBreaksInsideADescriptionAreWrittenUnchanged) {
    auto log = make();
    log->Init(kMain);
    log->LogIt(5, "one\r\ntwo", sevError, "S");
    auto bytes = winsys::readFile(kMain);
    ASSERT_TRUE(bytes);
    const std::string all(bytes.value().begin(), bytes.value().end());
    EXPECT_EQ(afterDate(all), "Error\t5\tone\r\ntwo\tS\r\n");
}

TEST_F(Log, LongDescriptionsAreCutInTheMainLogOnly) {
    // Distinct characters, so the kept ends can be told apart: "é" counts one unit.
    auto description = [](std::size_t n) {
        std::string s;
        for (std::size_t k = 0; k < n; ++k) s += k % 7 == 0 ? "\xC3\xA9" : std::string(1, static_cast<char>('a' + k % 26));
        return s;
    };
    auto units = [](const std::string& s) { return winsys::toUtf16(s); };
    const struct {
        const char* label;
        std::size_t length;
        bool cut;
    } rows[] = {
        {"1023", 1023, false}, {"exactly 1024", 1024, false}, {"1025", 1025, true}, {"5000", 5000, true}};
    for (const auto& r : rows) {
        SCOPED_TRACE(r.label);
        win::DeleteFile(kMain);
        auto log = make();
        ASSERT_EQ(log->Init2(kMain, kShort), S_OK);
        const std::string d = description(r.length);
        ASSERT_EQ(log->LogIt(1, d, sevError, "src"), S_OK);

        const auto shortLines = lines(kShort), mainLines = lines(kMain);
        ASSERT_TRUE(shortLines && mainLines);
        EXPECT_EQ(afterDate(shortLines->front()), "Error\t1\t" + d + "\tsrc");
        const std::u16string full = units(d);
        const std::string expected =
            r.cut ? winsys::toUtf8(full.substr(0, 500)) + "..........." + winsys::toUtf8(full.substr(full.size() - 500))
                  : d;
        EXPECT_EQ(afterDate(mainLines->front()), "Error\t1\t" + expected + "\tsrc");
        EXPECT_EQ(winsys::utf16Length(expected), r.cut ? 1011u : r.length);
    }
}

TEST_F(Log, WritesTheAnsiCodePageAndAppends) {
    prefix.writeFile(kMain, "earlier line\r\n");
    auto log = make();
    log->Init(kMain);
    log->LogIt(0, "caf\xC3\xA9 \xE2\x82\xAC", sevError, "");
    log->LogIt(0, "second", sevTrace, "");
    auto bytes = winsys::readFile(kMain);
    ASSERT_TRUE(bytes);
    const std::string raw(bytes.value().begin(), bytes.value().end());
    EXPECT_EQ(raw.rfind("earlier line\r\n", 0), 0u);
    EXPECT_NE(raw.find("caf\xE9 \x80\t"), std::string::npos); // é and € as Windows-1252 bytes
    const auto got = lines(kMain);
    ASSERT_TRUE(got);
    ASSERT_EQ(got->size(), 3u);
    EXPECT_EQ(afterDate((*got)[2]), "Trace\t\tsecond\t");
}

TEST_F(Log, NewObjectWritesNothing) {
    auto log = make();
    std::string s = "sentinel";
    VARIANT_BOOL mode = VARIANT_TRUE;
    log->get_FileName(&s);
    EXPECT_EQ(s, "");
    s = "sentinel";
    log->get_ShortLogFileName(&s);
    EXPECT_EQ(s, "");
    log->get_ShortLogMode(&mode);
    EXPECT_EQ(mode, VARIANT_FALSE);
    EXPECT_EQ(log->LogIt(1, "lost", sevError, ""), S_OK);
    EXPECT_FALSE(lines(kMain));
    EXPECT_FALSE(lines(kShort));
}

TEST_F(Log, Init2StartsAFreshShortLogAndInitStopsIt) {
    prefix.writeFile(kShort, "from an earlier run\r\n");
    auto log = make();
    ASSERT_EQ(log->Init2(kMain, kShort), S_OK);
    EXPECT_FALSE(lines(kShort)) << "the earlier short log is gone";
    VARIANT_BOOL mode = VARIANT_FALSE;
    log->get_ShortLogMode(&mode);
    EXPECT_EQ(mode, VARIANT_TRUE);

    log->LogIt(1, "first", sevError, "");
    EXPECT_EQ(lines(kShort)->size(), 1u);
    EXPECT_EQ(lines(kMain)->size(), 1u);

    ASSERT_EQ(log->Init(kMain), S_OK);
    std::string name;
    log->get_ShortLogFileName(&name);
    EXPECT_EQ(name, kShort);
    log->get_ShortLogMode(&mode);
    EXPECT_EQ(mode, VARIANT_FALSE);
    log->LogIt(2, "second", sevError, "");
    EXPECT_EQ(lines(kShort)->size(), 1u);
    EXPECT_EQ(lines(kMain)->size(), 2u);
}

TEST_F(Log, Init2IgnoresAShortLogItCannotDelete) {
    auto log = make();
    clearErrorInfo();
    EXPECT_EQ(log->Init2(kMain, "C:\\no\\such\\folder\\short.log"), S_OK);
    ComPtr<IErrorInfo> info;
    EXPECT_EQ(GetErrorInfo(0, info.put()), S_FALSE);
}

TEST_F(Log, LogItNeverFails) {
    prefix.makeDir("C:\\logs\\folder.log");
    prefix.writeFile("C:\\logs\\locked.log", "kept\r\n");
    prefix.setReadOnly("C:\\logs\\locked.log");
    const struct {
        const char* label;
        const char* main;
        const char* shortLog;
        bool mainWritten, shortWritten;
    } rows[] = {
        {"main log in a missing folder", "C:\\missing\\main.log", kShort, false, true},
        {"short log in a missing folder", kMain, "C:\\missing\\short.log", true, false},
        {"main log is a folder", "C:\\logs\\folder.log", kShort, false, true},
        {"main log is read-only", "C:\\logs\\locked.log", kShort, false, true},
        {"short log is read-only", kMain, "C:\\logs\\locked.log", true, false},
        {"main log on a drive that does not exist", "Q:\\main.log", kShort, false, true},
        {"both unwritable", "C:\\missing\\a.log", "C:\\missing\\b.log", false, false},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.label);
        win::DeleteFile(kMain);
        auto log = make();
        log->Init2(r.main, r.shortLog);
        win::DeleteFile(kShort);
        clearErrorInfo();
        EXPECT_EQ(log->LogIt(457, "x", sevError, "T.P"), S_OK);
        ComPtr<IErrorInfo> info;
        EXPECT_EQ(GetErrorInfo(0, info.put()), S_FALSE) << "no error left behind";
        EXPECT_EQ(lines(kMain).has_value(), r.mainWritten);
        EXPECT_EQ(lines(kShort).has_value(), r.shortWritten);
    }
    EXPECT_EQ(winsys::readFile("C:\\logs\\locked.log").value().size(), 6u) << "the read-only log is untouched";
}

} // namespace
