// The collection into the catalogue: a full collection of Internet Explorer
// add-ons on 64-bit and 32-bit Windows (listings sorted by character code,
// the 64-bit-only types skipped without a log line, the types without an
// enumerator left empty, the hourglass shown meanwhile), the details rows
// that each kind's records get, re-collecting one type and one set, and the
// one log line of a type whose collection fails.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "app/core/minfocollector.h"

#include "app/core/screen.h"
#include "tests/app/collection/collection_support.h"
#include "tests/support/com_library.h"
#include "tests/support/pe_writer.h"
#include "tests/support/program_objects.h"
#include "tests/support/test_prefix.h"

using namespace collectiontest;
using namespace sorlix;
using testsupport::LogLine;

namespace {

const std::string kFile32 = "C:\\Program Files\\Acme\\acme.dll";
const std::string kFile64 = "C:\\Program Files\\Acme64\\acme64.dll";
const std::string kMaker32 = "Acme Corp";
const std::string kMaker64 = "Acme 64\r\nEurope"; // several lines, shown as they are

std::string guid(char kind, int view, int n) {
    char text[40];
    std::snprintf(text, sizeof text, "{%c0000000-0000-0000-0000-0000000%02d%03d}", kind, view, n);
    return text;
}

// One working and one broken add-on of each kind in one registry view.
// The broken toolbar comes first, so that its listing has to be sorted;
// menu subkeys list without regard to case, so "acme menu" comes first.
std::string viewRegistry(bool win64, int view) {
    const std::string hklm = "HKEY_LOCAL_MACHINE\\Software";
    const std::string software = win64 && view == 32 ? hklm + "\\Wow6432Node" : hklm;
    const std::string classes = win64 ? hklm + "\\Classes\\Wow6432Node" : hklm + "\\Classes";
    const std::string barClasses = view == 64 ? hklm + "\\Classes" : classes;
    // The classes of the 64-bit view's toolbars and helper objects are in both
    // views, so these rows do not depend on where the enumerator looks them up.
    const std::vector<std::string> serverClasses =
        view == 64 ? std::vector<std::string>{classes, barClasses} : std::vector<std::string>{classes};
    const std::string suffix = view == 64 ? " 64" : "";
    const std::string file = testsupport::regText(view == 64 ? kFile64 : kFile32);
    const std::string ie = software + "\\Microsoft\\Internet Explorer";
    const std::string bhos = software + "\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Browser Helper Objects";
    std::string t;
    auto key = [&](const std::string& path) { t += "\n[" + path + "]\n"; };
    auto val = [&](const std::string& name, const std::string& data) {
        t += (name.empty() ? std::string("@") : "\"" + name + "\"") + "=\"" + data + "\"\n";
    };

    key(ie + "\\Toolbar");
    val(guid('A', view, 2), "");
    val(guid('A', view, 1), "");
    for (const std::string& c : serverClasses) {
        key(c + "\\CLSID\\" + guid('A', view, 1));
        val("", "Acme &Bar" + suffix);
        key(c + "\\CLSID\\" + guid('A', view, 1) + "\\InProcServer32");
        val("", file);
        key(c + "\\CLSID\\" + guid('A', view, 2));
        val("", "Broken Bar" + suffix);
    }

    key(ie + "\\Extensions\\" + guid('B', view, 1));
    val("ButtonText", "Acme Button" + suffix);
    val("Exec", file);
    key(ie + "\\Extensions\\" + guid('B', view, 2));
    val("ButtonText", "Broken Button" + suffix);

    key(ie + "\\MenuExt\\acme menu" + suffix);
    val("", file);
    key(ie + "\\MenuExt\\Broken Menu" + suffix);
    val("", "");

    for (int n : {1, 2}) {
        const std::string c = barClasses + "\\CLSID\\" + guid('C', view, n);
        key(c);
        val("", (n == 1 ? "Acme Side Bar" : "Broken Side Bar") + suffix);
        key(c + "\\Implemented Categories\\{00021493-0000-0000-C000-000000000046}");
        if (n == 1) {
            key(c + "\\InProcServer32");
            val("", file);
        }
    }

    key(bhos + "\\" + guid('D', view, 1));
    val("", "Acme Helper" + suffix);
    key(bhos + "\\" + guid('D', view, 2));
    val("", "Broken Helper" + suffix);
    for (const std::string& c : serverClasses) {
        key(c + "\\CLSID\\" + guid('D', view, 1) + "\\InProcServer32");
        val("", file);
    }
    return t;
}

void writeAcmeFile(const testsupport::TestPrefix& prefix, const std::string& path, const std::string& maker) {
    testsupport::PeSpec spec;
    spec.version = testsupport::PeVersion{.tables = {{0x0409, 1200, {{"CompanyName", maker}}}}};
    testsupport::writePe(prefix.host(path), spec);
}

// A prefix with the Internet Explorer add-ons of every view it has.
struct InternetExplorerMachine {
    explicit InternetExplorerMachine(winsys::Arch arch) : prefix(testsupport::TestPrefixOptions{.arch = arch}) {
        const bool win64 = arch == winsys::Arch::Win64;
        std::string reg = "Windows Registry Editor Version 5.00\n" + viewRegistry(win64, 32);
        if (win64) reg += viewRegistry(win64, 64);
        prefix.importReg(reg);
        writeAcmeFile(prefix, kFile32, kMaker32);
        if (win64) writeAcmeFile(prefix, kFile64, kMaker64);
    }
    testsupport::TestPrefix prefix;
    testsupport::ComLibrary common{HALVENLIB_PATH}, product{QUARNCUST_PATH};
    testsupport::ProgramObjects program;
};

std::vector<std::string> names(win::LONG type) {
    std::vector<std::string> r;
    if (const auto t = DB->TypeObjects(type))
        for (const auto& [name, id] : listing(t.get())) r.push_back(name);
    return r;
}

Rows listingOf(win::LONG type) {
    const auto t = DB->TypeObjects(type);
    return t ? listing(t.get()) : Rows{};
}

// The types that a full collection of the prefix fills, with their display names in order.
std::vector<std::pair<win::LONG, std::vector<std::string>>> expectedListings(bool win64) {
    std::vector<std::pair<win::LONG, std::vector<std::string>>> r;
    for (int view : {32, 64}) {
        if (view == 64 && !win64) break;
        const std::string s = view == 64 ? " 64" : "";
        const win::LONG first = view == 64 ? 6 : 1;
        r.push_back({first, {"Acme Bar" + s, "Broken Bar" + s}});
        r.push_back({first + 1, {"Acme Button" + s, "Broken Button" + s}});
        r.push_back({first + 2, {"Broken Menu" + s, "acme menu" + s}});
        r.push_back({first + 3, {"Acme Side Bar" + s, "Broken Side Bar" + s}});
        r.push_back({first + 4, {"Acme Helper" + s, "Broken Helper" + s}});
    }
    return r;
}

TEST(Collection, FullCollectionOfEveryTypeOnBothWindows) {
    for (winsys::Arch arch : {winsys::Arch::Win64, winsys::Arch::Win32}) {
        const bool win64 = arch == winsys::Arch::Win64;
        SCOPED_TRACE(win64 ? "64-bit Windows" : "32-bit Windows");
        InternetExplorerMachine machine(arch);
        ASSERT_EQ(Is64bitWindows, win64);
        const CDB* before = DB.get();
        std::vector<win::LONG> pointers;
        Screen::SetMousePointer(3);
        Screen::SetMousePointerHook([&](win::LONG p) { pointers.push_back(p); });

        MInfoCollector::CollectAllAddonInfo();
        Screen::SetMousePointerHook(nullptr);

        EXPECT_NE(DB.get(), before);
        EXPECT_EQ(pointers, (std::vector<win::LONG>{Screen::vbHourglass, 3}));
        EXPECT_EQ(Screen::MousePointer(), 3);
        std::set<win::LONG> listed;
        for (const auto& [type, expected] : expectedListings(win64)) {
            SCOPED_TRACE(type);
            EXPECT_EQ(names(type), expected);
            listed.insert(type);
        }
        // 64-bit-only types on 32-bit Windows, and the types without an enumerator.
        for (win::LONG type = 1; type <= 24; ++type) {
            if (!listed.count(type)) {
                EXPECT_FALSE(DB->TypeObjects(type)) << "type " << type;
            }
        }
        EXPECT_TRUE(machine.program.log->lines.empty());
        Screen::SetMousePointer(Screen::vbDefault);
    }
}

TEST(Collection, DetailsOfEveryInternetExplorerKindWorkingAndBroken) {
    InternetExplorerMachine machine(winsys::Arch::Win64);
    MInfoCollector::CollectAllAddonInfo();
    const std::string user = "Everyone";
    struct Case {
        win::LONG type;
        std::string name;
        Rows details;
    } cases[] = {
        {1, "Acme Bar", {{"File", kFile32}, {"Manufacturer", kMaker32}, {"User", user}}},
        {1, "Broken Bar", {{"File", kBrokenToolbar}, {"User", user}}},
        {2, "Acme Button", {{"File", kFile32}, {"Manufacturer", kMaker32}, {"User", user}}},
        {2, "Broken Button", {{"File", kBrokenButton}, {"User", user}}},
        {3, "acme menu", {{"File", kFile32}, {"Manufacturer", kMaker32}, {"User", user}}},
        {3, "Broken Menu", {{"File", kBrokenMenu}, {"User", user}}},
        {4, "Acme Side Bar", {{"File", kFile32}, {"Manufacturer", kMaker32}, {"Type", "Vertical Explorer Bar"}}},
        {4, "Broken Side Bar", {{"File", kBrokenBar}}},
        {5, "Acme Helper", {{"ID", guid('D', 32, 1)}, {"File", kFile32}, {"Manufacturer", kMaker32}}},
        {5, "Broken Helper", {{"ID", guid('D', 32, 2)}, {"File", kBrokenBHO}}},
        {6, "Acme Bar 64", {{"File", kFile64}, {"Manufacturer", kMaker64}, {"User", user}}},
        {6, "Broken Bar 64", {{"File", kBrokenToolbar}, {"User", user}}},
        {7, "Acme Button 64", {{"File", kFile64}, {"Manufacturer", kMaker64}, {"User", user}}},
        {7, "Broken Button 64", {{"File", kBrokenButton}, {"User", user}}},
        {8, "acme menu 64", {{"File", kFile64}, {"Manufacturer", kMaker64}, {"User", user}}},
        {8, "Broken Menu 64", {{"File", kBrokenMenu}, {"User", user}}},
        {9, "Acme Side Bar 64", {{"File", kFile64}, {"Manufacturer", kMaker64}, {"Type", "Vertical Explorer Bar"}}},
        {9, "Broken Side Bar 64", {{"File", kBrokenBar}}},
        {10, "Acme Helper 64", {{"ID", guid('D', 64, 1)}, {"File", kFile64}, {"Manufacturer", kMaker64}}},
        {10, "Broken Helper 64", {{"ID", guid('D', 64, 2)}, {"File", kBrokenBHO}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.type) + " " + c.name);
        EXPECT_EQ(detailsOf(c.type, c.name), c.details);
    }
}

// Replaces the entries of the given types by recorders that answer one
// working record named after the type.
class RecordedEntries {
public:
    explicit RecordedEntries(const std::vector<win::LONG>& types) {
        for (win::LONG type : types)
            overrides_.emplace_back(std::make_unique<EntryOverride>(type, [this, type](bool flag) {
                asked.push_back({type, flag, Screen::MousePointer()});
                return result({{{"originalName", "t" + std::to_string(type)},
                                {"dLL", "C:\\x.dll"},
                                {"iD", "{X}"},
                                {"type", "T"},
                                {"scope", "S"}}});
            }));
    }
    struct Ask {
        win::LONG type;
        bool flag;
        win::LONG pointer;
        bool operator==(const Ask&) const = default;
    };
    std::vector<Ask> asked;

private:
    std::vector<std::unique_ptr<EntryOverride>> overrides_;
};

std::vector<win::LONG> allTypes() {
    std::vector<win::LONG> r;
    for (win::LONG t = 1; t <= 24; ++t) r.push_back(t);
    return r;
}

TEST(Collection, EachTypeAskedOnceInTypeOrderWithItsFlag) {
    const std::set<win::LONG> only64 = {6, 7, 8, 9, 10, 12, 15, 16, 23, 24};
    const std::set<win::LONG> flagged = {6, 7, 8, 9, 10, 23, 24};
    for (winsys::Arch arch : {winsys::Arch::Win64, winsys::Arch::Win32}) {
        const bool win64 = arch == winsys::Arch::Win64;
        SCOPED_TRACE(win64 ? "64-bit Windows" : "32-bit Windows");
        testsupport::TestPrefix prefix(testsupport::TestPrefixOptions{.arch = arch});
        testsupport::ComLibrary common(HALVENLIB_PATH), product(QUARNCUST_PATH);
        testsupport::ProgramObjects program;
        RecordedEntries entries(allTypes());

        MInfoCollector::CollectAllAddonInfo();

        std::vector<RecordedEntries::Ask> expected;
        for (win::LONG t = 1; t <= 24; ++t)
            if (win64 || !only64.count(t)) expected.push_back({t, flagged.count(t) > 0, Screen::vbHourglass});
        EXPECT_EQ(entries.asked, expected);
        for (win::LONG t = 1; t <= 24; ++t) {
            const bool collected = win64 || !only64.count(t);
            EXPECT_EQ(names(t), collected ? std::vector<std::string>{"t" + std::to_string(t)}
                                          : std::vector<std::string>{})
                << "type " << t;
        }
        EXPECT_TRUE(program.log->lines.empty());
    }
}

TEST(Collection, RecollectingOneTypeReplacesOnlyItsIds) {
    InternetExplorerMachine machine(winsys::Arch::Win64);
    MInfoCollector::CollectAllAddonInfo();
    const CDB* db = DB.get();
    const Rows oldToolbars = listingOf(1), oldHelpers = listingOf(5);
    ASSERT_EQ(oldToolbars.size(), 2u);
    std::vector<win::LONG> pointers;
    Screen::SetMousePointerHook([&](win::LONG p) { pointers.push_back(p); });

    MInfoCollector::RecollectAddonInfo(1);
    Screen::SetMousePointerHook(nullptr);

    EXPECT_EQ(DB.get(), db);
    const Rows newToolbars = listingOf(1);
    ASSERT_EQ(newToolbars.size(), 2u);
    for (std::size_t i = 0; i < 2; ++i) {
        EXPECT_EQ(newToolbars[i].first, oldToolbars[i].first); // a fresh namer gives the same names
        EXPECT_NE(newToolbars[i].second, oldToolbars[i].second);
        EXPECT_EQ(DB->AddonType(oldToolbars[i].second), 1); // the old ids stay readable
    }
    EXPECT_EQ(listingOf(5), oldHelpers);
    EXPECT_TRUE(pointers.empty());
    EXPECT_TRUE(machine.program.log->lines.empty());
}

TEST(Collection, RecollectingASetRunsItsTypesInTheSetsOrder) {
    struct Case {
        win::LONG set;
        std::vector<win::LONG> types;
    } cases[] = {
        {asFirefox, {13, 14, 15, 16, 11, 12}},
        {asOpera64, {23, 24, 11, 12}},
        {asIE32, {1, 2, 3, 4, 5}},
    };
    testsupport::TestPrefix prefix;
    testsupport::ComLibrary common(HALVENLIB_PATH), product(QUARNCUST_PATH);
    testsupport::ProgramObjects program;
    RecordedEntries entries(allTypes());
    MInfoCollector::CollectAllAddonInfo();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.set);
        std::vector<Rows> before;
        for (win::LONG t = 1; t <= 24; ++t) before.push_back(listingOf(t));
        entries.asked.clear();

        MInfoCollector::RecollectAppInfo(c.set);

        std::vector<win::LONG> asked;
        for (const auto& a : entries.asked) asked.push_back(a.type);
        EXPECT_EQ(asked, c.types);
        for (win::LONG t = 1; t <= 24; ++t) {
            const bool inSet = std::find(c.types.begin(), c.types.end(), t) != c.types.end();
            const Rows now = listingOf(t);
            ASSERT_EQ(now.size(), 1u) << "type " << t;
            if (inSet) {
                EXPECT_NE(now, before[t - 1]) << "type " << t;
            } else {
                EXPECT_EQ(now, before[t - 1]) << "type " << t;
            }
        }
    }
    EXPECT_TRUE(program.log->lines.empty());
}

TEST(Collection, AFailingTypeLogsOneLineAndTheOthersAreCollected) {
    const Rows good = {{"originalName", "good"}, {"dLL", "C:\\a.dll"}, {"scope", "Everyone"}};
    const Rows lacksFile = {{"originalName", "bad"}, {"scope", "Everyone"}};
    const Rows zed = {{"originalName", "zed"}, {"dLL", "C:\\z.dll"}, {"scope", "Everyone"}};
    struct Case {
        const char* label;
        win::LONG type;
        bool noResult;
        std::vector<Rows> records;
        win::LONG number;
        std::vector<std::string> left; // what the type lists afterwards, unsorted
    } cases[] = {
        {"no result", 3, true, {}, 91, {}},
        {"record without dLL", 1, false, {zed, good, lacksFile}, 5, {"zed", "good"}},
        {"two-digit type", 13, true, {}, 91, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        InternetExplorerMachine machine(winsys::Arch::Win64);
        EntryOverride failing(c.type, [&](bool) { return c.noResult ? nullptr : result(c.records); });

        MInfoCollector::CollectAllAddonInfo();

        const std::vector<LogLine>& lines = machine.program.log->lines;
        ASSERT_EQ(lines.size(), 1u);
        EXPECT_EQ(lines[0].number, c.number);
        EXPECT_EQ(lines[0].severity, halvenlib::sevError);
        EXPECT_EQ(lines[0].source, "MInfoCollector.CollectAddonInfo(" + std::to_string(c.type) + ")");
        if (c.left.empty()) {
            EXPECT_FALSE(DB->TypeObjects(c.type));
        } else {
            EXPECT_EQ(names(c.type), c.left);
        }
        for (const auto& [type, expected] : expectedListings(true)) {
            if (type != c.type) {
                EXPECT_EQ(names(type), expected) << "type " << type;
            }
        }
    }
}

TEST(Collection, ListingSortedByCharacterCode) {
    testsupport::TestPrefix prefix;
    testsupport::ComLibrary common(HALVENLIB_PATH), product(QUARNCUST_PATH);
    testsupport::ProgramObjects program;
    std::vector<Rows> records;
    for (const char* name : {"beta", "Alpha", "Zed", "apple", "_x", "Beta 2"})
        records.push_back({{"originalName", name}});
    EntryOverride entry(atChromeExtension, [&](bool) { return result(records); });

    MInfoCollector::CollectAddonInfo(atChromeExtension);

    EXPECT_EQ(names(atChromeExtension), (std::vector<std::string>{"Alpha", "Beta 2", "Zed", "_x", "apple", "beta"}));
    EXPECT_TRUE(program.log->lines.empty());
}

TEST(Collection, ProceduresWithoutTheirProgramObjectsLogAndReturn) {
    struct Case {
        const char* label;
        void (*run)();
        void (*drop)();
        std::string source;
    } cases[] = {
        {"re-collect a type", [] { MInfoCollector::RecollectAddonInfo(1); }, [] { DB.reset(); },
         "MInfoCollector.RecollectAddonInfo"},
        {"re-collect a set", [] { MInfoCollector::RecollectAppInfo(asIE); }, [] { AddonTypeVisor.reset(); },
         "MInfoCollector.RecollectAppInfo"},
        {"collect a type", [] { MInfoCollector::CollectAddonInfo(2); }, [] { DB.reset(); },
         "MInfoCollector.CollectAddonInfo(2)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        InternetExplorerMachine machine(winsys::Arch::Win64);
        c.drop();
        c.run();
        const std::vector<LogLine>& lines = machine.program.log->lines;
        ASSERT_EQ(lines.size(), 1u);
        EXPECT_EQ(lines[0].number, 91);
        EXPECT_EQ(lines[0].severity, halvenlib::sevError);
        EXPECT_EQ(lines[0].source, c.source);
    }
}

} // namespace
