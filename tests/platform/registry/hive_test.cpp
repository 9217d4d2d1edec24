#include "platform/registry/hive.h"

#include <gtest/gtest.h>

#include <map>
#include <random>

#include "platform/core/text.h"
#include "tests/platform/registry/tree_compare.h"

using namespace winsys::reg;
using win::BYTE;

namespace {

const std::string kHead = "WINE REGISTRY Version 2\n;; All keys relative to \\\\Machine\n\n#arch=win64\n";

ParsedHive parseOk(const std::string& text) {
    auto r = parseHive(text, "t.reg");
    if (!r) {
        ADD_FAILURE() << r.error().message;
        return {};
    }
    return std::move(r).value();
}

std::vector<BYTE> u16z(std::u16string_view s) {
    std::vector<BYTE> out;
    for (char16_t c : s) {
        out.push_back(static_cast<BYTE>(c & 0xFF));
        out.push_back(static_cast<BYTE>(c >> 8));
    }
    out.push_back(0);
    out.push_back(0);
    return out;
}

const Value* valueAt(const ParsedHive& h, std::string_view key, std::string_view name) {
    auto k = h.tree.root->findSubkey(key);
    return k ? k->findValue(name) : nullptr;
}

} // namespace

// Every data form reads into the right type and bytes, and writing gives the
// same line back: the reader's table and the writer's are exact inverses.
TEST(HiveFormat, DataFormsReadAndWriteBack) {
    struct Row {
        const char* label;
        std::string data; // the text after "v"=
        win::DWORD type;
        std::vector<BYTE> bytes;
    };
    const std::vector<Row> rows = {
        {"text", R"("hello")", win::REG_SZ, u16z(u"hello")},
        {"empty text", R"("")", win::REG_SZ, {0, 0}},
        {"expandable text", R"(str(2):"%SystemRoot%\\x")", win::REG_EXPAND_SZ, u16z(u"%SystemRoot%\\x")},
        {"multi text", R"(str(7):"a\0b\0")", win::REG_MULTI_SZ, u16z(std::u16string(u"a\0b\0", 4))},
        {"dword", "dword:0000002a", win::REG_DWORD, {0x2a, 0, 0, 0}},
        {"dword high bit", "dword:fffffffe", win::REG_DWORD, {0xfe, 0xff, 0xff, 0xff}},
        {"binary", "hex:01,ab,ff", win::REG_BINARY, {1, 0xab, 0xff}},
        {"empty binary", "hex:", win::REG_BINARY, {}},
        {"none", "hex(0):", win::REG_NONE, {}},
        {"big-endian dword", "hex(5):00,00,00,01", win::REG_DWORD_BIG_ENDIAN, {0, 0, 0, 1}},
        {"link", "hex(6):5c,00", win::REG_LINK, {0x5c, 0}},
        {"resource list", "hex(8):01", win::REG_RESOURCE_LIST, {1}},
        {"qword", "hex(b):01,00,00,00,00,00,00,80", win::REG_QWORD, {1, 0, 0, 0, 0, 0, 0, 0x80}},
        {"odd type number", "hex(20000):7f", 0x20000, {0x7f}},
        {"device property type", "hex(ffff0007):03,00,00,00", 0xffff0007u, {3, 0, 0, 0}},
        {"dword of wrong size", "hex(4):01,02", win::REG_DWORD, {1, 2}},
        {"text of odd size", "hex(1):41", win::REG_SZ, {0x41}},
        {"text without NUL", "hex(1):41,00", win::REG_SZ, {0x41, 0}},
        {"expandable text without NUL", "hex(2):41,00", win::REG_EXPAND_SZ, {0x41, 0}},
        {"C escapes", R"("a\\b\"c\n\t\r\a\b\e\f\v")", win::REG_SZ, u16z(u"a\\b\"c\n\t\r\a\b\x1b\f\v")},
        {"non-ASCII", R"("caf\xe9 \x263a")", win::REG_SZ, u16z(u"caf\u00e9 \u263a")},
        {"non-ASCII before a hex digit", R"("\x00e9a")", win::REG_SZ, u16z(u"\u00e9a")},
        {"control character before an octal digit", R"("\0011")", win::REG_SZ, u16z(u"\x01" u"1")},
        {"control character before another", R"("\3x")", win::REG_SZ, u16z(u"\x03x")},
        {"surrogate pair", R"("\xd83d\xde00")", win::REG_SZ, u16z(u"\U0001F600")},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        const std::string text = kHead + "\n[K] 5\n\"v\"=" + row.data + "\n";
        ParsedHive h = parseOk(text);
        EXPECT_TRUE(h.warnings.empty()) << h.warnings.front();
        const Value* v = valueAt(h, "K", "v");
        ASSERT_NE(v, nullptr);
        EXPECT_EQ(v->type, row.type);
        EXPECT_EQ(v->data, row.bytes);
        EXPECT_EQ(formatHive(h.tree), text);
    }
}

TEST(HiveFormat, NamesEscapeTheirQuotesAndBrackets) {
    const std::string text = kHead +
                             "\n[Soft\\\\a\\[b\\]\\\\caf\\xe9] 9\n"
                             "@=\"default\"\n"
                             "\"na\\\"me\\\\x\"=dword:00000001\n"
                             "\"\\x263a\"=dword:00000002\n";
    ParsedHive h = parseOk(text);
    auto soft = h.tree.root->findSubkey("Soft");
    ASSERT_TRUE(soft);
    auto ab = soft->findSubkey("a[b]");
    ASSERT_TRUE(ab);
    auto cafe = ab->findSubkey("caf\u00e9");
    ASSERT_TRUE(cafe);
    ASSERT_EQ(cafe->values().size(), 3u);
    EXPECT_EQ(cafe->values()[0].name, "");
    EXPECT_EQ(cafe->values()[1].name, "na\"me\\x");
    EXPECT_EQ(cafe->values()[2].name, "\u263a");
    EXPECT_EQ(formatHive(h.tree), text);
}

// Hand-edited files may hold UTF-8 text; Wine's own are ASCII with escapes.
TEST(HiveFormat, RawUtf8IsReadAndWrittenAsEscapes) {
    ParsedHive h = parseOk(kHead + "\n[K] 5\n\"v\"=\"caf\xc3\xa9\"\n");
    const Value* v = valueAt(h, "K", "v");
    ASSERT_NE(v, nullptr);
    EXPECT_EQ(winsys::fromUtf16leBytes(v->data), std::string("caf\u00e9") + '\0');
    EXPECT_EQ(formatHive(h.tree), kHead + "\n[K] 5\n\"v\"=\"caf\\xe9\"\n");
}

// Lines as Wine broke them (taken from a Wine 8 system.reg): read across the
// continuation and written with the breaks in the same places.
TEST(HiveFormat, LongHexDataContinuesOnIndentedLines) {
    const std::string text = kHead +
                             "\n[Time Zones\\\\Alaskan Standard Time] 1796895521\n"
                             "\"TZI\"=hex:1c,02,00,00,00,00,00,00,c4,ff,ff,ff,00,00,0b,00,00,00,01,00,02,00,00,\\\n"
                             "  00,00,00,00,00,00,00,03,00,00,00,02,00,02,00,00,00,00,00,00,00\n"
                             "\"SymbolicLinkValue\"=hex(6):5c,00,52,00,65,00,67,00,69,00,73,00,74,00,72,00,79,\\\n"
                             "  00,5c,00,4d,00,61,00\n";
    ParsedHive h = parseOk(text);
    EXPECT_TRUE(h.warnings.empty());
    auto tz = h.tree.root->findSubkey("Time Zones")->findSubkey("alaskan standard time");
    ASSERT_TRUE(tz);
    ASSERT_EQ(tz->values().size(), 2u);
    EXPECT_EQ(tz->values()[0].data.size(), 44u);
    EXPECT_EQ(tz->values()[0].data[8], 0xc4);
    EXPECT_EQ(tz->values()[1].data.size(), 24u);
    EXPECT_EQ(formatHive(h.tree), text);

    // CR LF line ends and a continuation without the comma read the same.
    std::string crlf = kHead + "\n[K] 1\r\n\"v\"=hex:01,02\\\r\n  03\r\n";
    ParsedHive c = parseOk(crlf);
    EXPECT_EQ(valueAt(c, "K", "v")->data, (std::vector<BYTE>{1, 2, 3}));
}

// A key gets a section when it has values, a class, a link mark or no
// subkeys; the others appear only in their subkeys' paths.
TEST(HiveFormat, SectionsFollowWinesRule) {
    HiveTree t;
    t.relativeTo = "\\\\Machine";
    t.arch = "win64";
    auto a = t.root->addSubkey("a");
    a->seconds = 1;
    auto b = a->addSubkey("B");
    b->seconds = 2;
    const BYTE one[4] = {1, 0, 0, 0};
    b->setValue("x", win::REG_DWORD, one, 4);
    auto c = t.root->addSubkey("c");
    c->seconds = 3;
    auto d = t.root->addSubkey("D");
    d->seconds = 4;
    d->klass = "cls";
    d->addSubkey("e")->seconds = 5;
    auto f = t.root->addSubkey("f");
    f->seconds = 6;
    f->link = true;
    f->time = 0x1dd888a3b2b8ec8ull;
    f->addSubkey("g")->seconds = 7;
    EXPECT_EQ(formatHive(t), kHead +
                                 "\n[a\\\\B] 2\n\"x\"=dword:00000001\n"
                                 "\n[c] 3\n"
                                 "\n[D] 4\n#class=\"cls\"\n"
                                 "\n[D\\\\e] 5\n"
                                 "\n[f] 6\n#time=1dd888a3b2b8ec8\n#link\n"
                                 "\n[f\\\\g] 7\n");
}

TEST(HiveFormat, KeyOptionsAndTimesAreKept) {
    const std::string text = kHead +
                             "\n[K] 1796895517\n#time=1dd888a3b2b6ae2\n#class=\"Shell\"\n#link\n"
                             "\"SymbolicLinkValue\"=hex(6):5c,00\n"
                             "\n[Old] 77\n@=\"no #time line\"\n";
    ParsedHive h = parseOk(text);
    auto k = h.tree.root->findSubkey("K");
    EXPECT_EQ(k->seconds, 1796895517u);
    EXPECT_EQ(k->time, 0x1dd888a3b2b6ae2ull);
    EXPECT_EQ(k->klass, "Shell");
    EXPECT_TRUE(k->link);
    EXPECT_EQ(formatHive(h.tree), text);
}

// A key met twice is one key; a value met twice keeps its first place and
// takes the later data.
TEST(HiveFormat, RepeatedKeysAndValuesFold) {
    ParsedHive h = parseOk(kHead + "\n[K] 1\n\"a\"=dword:00000001\n\"b\"=dword:00000002\n\"A\"=dword:00000003\n"
                                   "\n[k] 2\n\"c\"=dword:00000004\n\"B\"=dword:00000005\n");
    ASSERT_EQ(h.tree.root->subkeys().size(), 1u);
    const auto& values = h.tree.root->subkeys()[0]->values();
    ASSERT_EQ(values.size(), 3u);
    EXPECT_EQ(values[0].name, "a");
    EXPECT_EQ(values[0].data[0], 3);
    EXPECT_EQ(values[1].name, "b");
    EXPECT_EQ(values[1].data[0], 5);
    EXPECT_EQ(values[2].name, "c");
}

// A bad line is reported as file:line: reason 'line' and skipped; the lines
// around it still load. A bad key line drops its section's values rather
// than putting them into the key before it.
TEST(HiveFormat, BadLinesAreSkippedWithAWarning) {
    struct Row {
        const char* label;
        std::string line;
        std::string reason;
    };
    const std::vector<Row> rows = {
        {"unknown line", "garbage", "unknown line"},
        {"no equals sign", "\"v\"", "expected '='"},
        {"unterminated name", "\"v=dword:00000001", "unterminated value name"},
        {"unterminated text", "\"v\"=\"abc", "unterminated string"},
        {"text with trailing junk", "\"v\"=\"abc\" x", "unterminated string"},
        {"bad dword", "\"v\"=dword:xyz", "bad dword"},
        {"dword too long", "\"v\"=dword:123456789", "bad dword"},
        {"bad hex byte", "\"v\"=hex:0g", "bad hex data"},
        {"unknown data form", "\"v\"=str(5):\"x\"", "unknown data type"},
        {"bad type number", "\"v\"=hex(zz):00", "bad type number"},
        {"bad time", "#time=nothex", "bad time"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        const std::string text = kHead + "\n[K] 5\n\"before\"=dword:00000001\n" + row.line +
                                 "\n\"after\"=dword:00000002\n";
        ParsedHive h = parseOk(text);
        ASSERT_EQ(h.warnings.size(), 1u);
        EXPECT_EQ(h.warnings[0], "t.reg:8: " + row.reason + " '" + row.line + "'");
        EXPECT_NE(valueAt(h, "K", "before"), nullptr);
        EXPECT_NE(valueAt(h, "K", "after"), nullptr);
        EXPECT_EQ(valueAt(h, "K", "v"), nullptr);
    }

    ParsedHive h = parseOk(kHead + "\n[Good] 1\n\"a\"=dword:00000001\n\n[Bad\\\\key 2\n\"b\"=dword:00000002\n");
    ASSERT_EQ(h.warnings.size(), 2u);
    EXPECT_EQ(h.warnings[0], "t.reg:9: unterminated key name '[Bad\\\\key 2'");
    EXPECT_EQ(h.warnings[1], "t.reg:10: value of a skipped key '\"b\"=dword:00000002'");
    EXPECT_EQ(h.tree.root->findSubkey("Good")->values().size(), 1u);
}

// A line the loader cannot read goes back into the file as it stood when
// the hive is written: in its key's section, before the first key, or (a
// section whose key line is bad, with all its lines) at the end. Wine's own
// options that carry nothing of ours come back the same way.
TEST(HiveFormat, LinesThatAreNotReadAreWrittenBackAsTheyStood) {
    std::string deep = "a";
    for (int i = 0; i < 512; ++i) deep += "\\\\a";
    struct Row {
        const char* label;
        std::string text;    // after the header
        std::string written; // what formatHive gives after the header
        std::size_t warnings;
    };
    const std::vector<Row> rows = {
        {"bad value in a section", "\n[K] 5\n\"a\"=dword:00000001\n\"v\"=dword:xyz\n\"b\"=dword:00000002\n",
         "\n[K] 5\n\"a\"=dword:00000001\n\"b\"=dword:00000002\n\"v\"=dword:xyz\n", 1},
        {"bad hex data over two lines", "\n[K] 5\n\"v\"=hex:01,02,\\\n  0g,04\n\"b\"=dword:00000002\n",
         "\n[K] 5\n\"b\"=dword:00000002\n\"v\"=hex:01,02,\\\n  0g,04\n", 1},
        {"bad time", "\n[K] 5\n#time=nothex\n", "\n[K] 5\n#time=nothex\n", 1},
        {"an option of Wine's", "\n[K] 5\n#dyndata\n\"a\"=dword:00000001\n",
         "\n[K] 5\n\"a\"=dword:00000001\n#dyndata\n", 0},
        {"line before any key", "garbage\n\n[K] 5\n", "garbage\n\n[K] 5\n", 1},
        {"section whose key line is bad",
         "\n[Bad\\\\key 2\n#time=1\n\"b\"=dword:00000002\n\n[K] 5\n\"a\"=dword:00000001\n",
         "\n[K] 5\n\"a\"=dword:00000001\n\n[Bad\\\\key 2\n#time=1\n\"b\"=dword:00000002\n", 2},
        {"section of a key nested too deeply", "\n[K] 5\n\n[" + deep + "] 1\n\"v\"=dword:00000001\n",
         "\n[K] 5\n\n[" + deep + "] 1\n\"v\"=dword:00000001\n", 2},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        ParsedHive h = parseOk(kHead + row.text);
        EXPECT_EQ(h.warnings.size(), row.warnings);
        const std::string once = formatHive(h.tree);
        EXPECT_EQ(once, kHead + row.written);
        // And again: what was kept stays kept, and nothing doubles.
        EXPECT_EQ(formatHive(parseOk(once).tree), once);
    }
}

// Windows allows names with a UTF-16 surrogate that has no partner; Wine
// writes it as a \x escape. Two names that differ only there stay two, and
// both go back into the file as they came.
TEST(HiveFormat, NamesWithUnpairedSurrogatesStayApartAndWriteBack) {
    const std::string text = kHead +
                             "\n[K\\xd800] 1\n\"n\\xdc00\"=dword:00000001\n\"n\\xdc01\"=dword:00000002\n"
                             "\"pair\\xd83d\\xde00\"=dword:00000003\n"
                             "\n[K\\xd801] 2\n\"n\\xdc00\"=dword:00000004\n";
    ParsedHive h = parseOk(text);
    EXPECT_TRUE(h.warnings.empty());
    ASSERT_EQ(h.tree.root->subkeys().size(), 2u);
    const auto first = h.tree.root->findSubkey(winsys::toUtf8KeepingSurrogates(u"K\xd800"));
    const auto second = h.tree.root->findSubkey(winsys::toUtf8KeepingSurrogates(u"K\xd801"));
    ASSERT_TRUE(first && second);
    EXPECT_NE(first, second);
    EXPECT_EQ(first->values().size(), 3u);
    EXPECT_EQ(second->values().size(), 1u);
    EXPECT_NE(first->findValue(winsys::toUtf8KeepingSurrogates(u"n\xdc00")),
              first->findValue(winsys::toUtf8KeepingSurrogates(u"n\xdc01")));
    EXPECT_EQ(first->values()[2].name, "pair\xF0\x9F\x98\x80"); // a whole pair is one character
    EXPECT_EQ(formatHive(h.tree), text);
}

TEST(HiveFormat, OnlyABadHeaderFailsTheWholeFile) {
    for (const std::string& text : {std::string(), std::string("REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\x]\n"),
                                    std::string("WINE REGISTRY Version 1\n"), std::string("\nWINE REGISTRY Version 2\n")}) {
        SCOPED_TRACE(text);
        auto r = parseHive(text, "t.reg");
        ASSERT_FALSE(r);
        EXPECT_EQ(r.error().code, win::ERROR_REGISTRY_CORRUPT);
        EXPECT_EQ(r.error().message.rfind("t.reg:1: not a Wine registry file", 0), 0u) << r.error().message;
    }
}

// Subkeys sort as Wine sorts them: by lower-case letters, '_' before 'a'.
TEST(HiveFormat, KeysSortWithoutRegardToCaseAndKeepTheirCase) {
    Key root("", nullptr);
    for (const char* n : {"b", "Wow6432Node", "A", "_x", "c", "a", "B"}) root.addSubkey(n);
    std::vector<std::string> names;
    for (const auto& k : root.subkeys()) names.push_back(k->name());
    EXPECT_EQ(names, (std::vector<std::string>{"_x", "A", "b", "c", "Wow6432Node"}));
    ASSERT_TRUE(root.findSubkey("WOW6432NODE"));
    EXPECT_EQ(root.findSubkey("wow6432node")->name(), "Wow6432Node");
    EXPECT_FALSE(root.findSubkey("d"));
}

// Long names are compared a block at a time where they agree; the order must
// be the one a byte-by-byte comparison gives, wherever in a block the first
// difference, a case difference or a non-ASCII character falls.
TEST(HiveFormat, LongNamesCompareAsTheirFirstDifferenceSays) {
    struct Case {
        const char* a;
        const char* b;
        int expected;
    };
    const Case cases[] = {
        {"{00000001-0000-0000-0000-000000000000}", "{00000001-0000-0000-0000-000000000000}", 0},
        {"{0000000A-0000-0000-0000-00000000000B}", "{0000000a-0000-0000-0000-00000000000b}", 0},
        {"{00000001-0000-0000-0000-000000000000}", "{00000002-0000-0000-0000-000000000000}", -1},
        {"{00000000-0000-0000-0000-00000000000F}", "{00000000-0000-0000-0000-00000000000e}", 1},
        {"ABCDEFGH_", "abcdefgh", 1},         // a longer name after an equal block
        {"abcdefg_x", "ABCDEFGaX", -1},       // '_' sorts before letters, not between cases
        {"abcdefgh\u00e9tait", "ABCDEFGH\u00c9TAIT", 0}, // case folds past ASCII too
        {"abc\u00e9defghij", "abc\u00e9defghik", -1},    // non-ASCII inside the first block
        {"abcdefg\u00e9", "abcdefg\u00ea", -1},          // a character across a block's end
        {"abcdefghijklmnop\u00e9", "abcdefghijklmnop\u00ea", -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.a) + " / " + c.b);
        const int got = winsys::reg::compareKeyNames(c.a, c.b);
        EXPECT_EQ((got > 0) - (got < 0), c.expected);
        const int back = winsys::reg::compareKeyNames(c.b, c.a);
        EXPECT_EQ((back > 0) - (back < 0), -c.expected);
    }
}

// Keys made in any order, in any case, found, removed and listed in between:
// each name is made once, found in any case, and listings come sorted, as a
// map ordered by the same comparison says.
TEST(HiveFormat, SubkeysMadeInAnyOrderAreFoundOnceAndListSorted) {
    const std::vector<std::string> spellings[] = {
        {"alpha", "ALPHA", "Alpha"}, {"_under"}, {"\u00e9t\u00e9", "\u00c9T\u00c9"}, {"Zeta", "zeta"},
        {"{0000000A-KEY}", "{0000000a-key}"}, {"b"}, {"B2"}, {"wow6432node", "Wow6432Node"},
    };
    std::vector<std::vector<std::string>> pool;
    for (const auto& s : spellings) pool.push_back(s);
    for (int i = 0; i < 300; ++i) {
        const std::string n = "k" + std::to_string(i * 7919 % 1000);
        pool.push_back({n, winsys::upperCase(n)});
    }
    std::mt19937 rng(5);
    Key root("", nullptr);
    std::map<std::string, std::string, LessKeyName> model; // any spelling -> the first one made
    const auto spelling = [&](const std::vector<std::string>& s) { return s[rng() % s.size()]; };
    for (int step = 0; step < 6000; ++step) {
        const auto& names = pool[rng() % pool.size()];
        const std::string name = spelling(names);
        SCOPED_TRACE("step " + std::to_string(step) + ": " + name);
        switch (rng() % 4) {
        case 0:
        case 1: {
            bool created = false;
            const auto k = root.addSubkey(name, &created);
            const bool fresh = model.emplace(name, name).second;
            EXPECT_EQ(created, fresh);
            EXPECT_EQ(k->name(), model.at(name));
            EXPECT_EQ(k->parent(), &root);
            break;
        }
        case 2: {
            const auto k = root.findSubkey(name);
            const auto m = model.find(name);
            ASSERT_EQ(k != nullptr, m != model.end());
            if (k) EXPECT_EQ(k->name(), m->second);
            break;
        }
        case 3:
            if (const auto k = root.findSubkey(name)) {
                root.removeSubkey(k.get());
                EXPECT_TRUE(k->deleted());
                model.erase(name);
                EXPECT_FALSE(root.findSubkey(name));
            }
            break;
        }
        if (step % 500 == 499) {
            std::vector<std::string> listed, expected;
            for (const auto& k : root.subkeys()) listed.push_back(k->name());
            for (const auto& [key, first] : model) expected.push_back(first);
            ASSERT_EQ(listed, expected);
        }
    }
}
