// The lenient JSON reader: what it builds and the failure lines it writes,
// on small texts, on hostile ones (deep nesting, endless failures, cut-off
// files) and on the real manifests and messages files of the fixtures.

#include "app/enumerators/json.h"
#include "tests/support/real_browser_data.h"

#include <gtest/gtest.h>

#include <charconv>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

using sorlix::JsonEmpty;
using sorlix::JsonList;
using sorlix::JsonNull;
using sorlix::JsonObject;
using sorlix::JsonValue;
namespace JSON = sorlix::JSON;

namespace {

// A compact picture of a tree: {key:value,...}, [a,b], "text", numbers
// shortest, true/false, Null, Empty.
std::string render(const JsonValue& value) {
    struct Visitor {
        std::string operator()(const JsonEmpty&) const { return "Empty"; }
        std::string operator()(const JsonNull&) const { return "Null"; }
        std::string operator()(bool b) const { return b ? "true" : "false"; }
        std::string operator()(double d) const {
            char buffer[32];
            const auto r = std::to_chars(buffer, buffer + sizeof buffer, d);
            return std::string(buffer, r.ptr);
        }
        std::string operator()(const std::string& s) const { return "\"" + s + "\""; }
        std::string operator()(const JsonList& l) const {
            std::string r = "[";
            for (std::size_t i = 0; i < l.size(); ++i) r += (i ? "," : "") + render(l[i]);
            return r + "]";
        }
        std::string operator()(const JsonObject& o) const {
            std::string r = "{";
            bool first = true;
            for (const auto& e : o) {
                r += (first ? "" : ",") + e.key + ":" + render(e.value);
                first = false;
            }
            return r + "}";
        }
    };
    return std::visit(Visitor{}, value.v);
}

std::string renderParse(std::string_view text) {
    const auto tree = JSON::Parse(text);
    return tree ? render(*tree) : "Nothing";
}

std::size_t lineCount(const std::string& errors) {
    std::size_t n = 0;
    for (std::size_t at = errors.find("\r\n"); at != std::string::npos; at = errors.find("\r\n", at + 2)) ++n;
    return n;
}

TEST(Json, Cases) {
    const std::string k457 = "This key is already associated with an element of this collection";
    struct Case {
        const char* label;
        std::string text, tree, errors;
    } cases[] = {
        {"empty text", "", "Nothing", "Invalid JSON"},
        {"a letter first", "abc", "Nothing", "Invalid JSON"},
        {"with commas", "[1,2,3]", "[1,2,3]", ""},
        {"without commas", "[1 2 3]", "[1,2,3]", ""},
        {"two commas", "[1,,2]", "[1]", "Type mismatch: ,2]\r\n"},
        {"repeated key keeps the first", R"({"a":1,"a":2})", "{a:1}", k457 + ": a\r\n"},
        {"comments and parentheses", "// line\r\n/* block */ {\"a\":(1), \"b\" : ( [2] )}", "{a:1,b:[2]}", ""},
        {"a doc comment closes", "/** doc */ {\"a\":1}", "{a:1}", ""},
        {"a slash inside a line comment", "// and/or\n{\"a\":1}", "{a:1}", ""},
        {"tru in an object", R"({"x":tru})", "{x:false,tru}:Empty}",
         "Invalid Boolean at position 6 : tru}\r\nMissing '}': {\"x\":tru}\r\n"},
        {"tru in an array", "[tru]", "[]", "Invalid Boolean at position 2 : tru]\r\nInvalid Array at position 2 : tru]\r\n"},
        {"nul in a nested array", R"({"a":[nul]})", "{a:[],nul]}:Empty}",
         "Invalid null value at position 7 : nul]}\r\nInvalid Array at position 7 : nul]}\r\n"
         "Missing '}': {\"a\":[nul]}\r\n"},
        {"f after a text", R"(["x", f])", R"(["x"])",
         "Invalid Boolean at position 7 : f]\r\nInvalid Array at position 7 : f]\r\n"},
        {"comma at the end", "[1,", "[1]", "Missing ']': [1,\r\n"},
        {"escapes", R"(["a\u0041\n\t\"\'\/\\\q"])", "[\"aA\n\t\"'/\\q\"]", ""},
        {"single quotes", R"(['it"s'])", "[\"it\"s\"]", ""},
        {"string not closed", "[\"abc", "[\"abc\"]", "Missing ']': [\"abc\r\n"},
        {"number at the end", "[5", "[Empty]", "Missing ']': [5\r\n"},
        {"e acute", R"(["\u00e9"])", "[\"\xC3\xA9\"]", ""},
        {"surrogate pair", R"(["\uD83D\uDE00"])", "[\"\xF0\x9F\x98\x80\"]", ""},
        {"lone low surrogate", R"(["\uDC00"])", "[\"\xEF\xBF\xBD\"]", ""},
        {"lone high surrogate", R"(["\uD83Dx"])", "[\"\xEF\xBF\xBD" "x\"]", ""},
        {"short escape at the end", R"(["\u12)", "[\"\x12\"]", "Missing ']': [\"\\u12\r\n"},
        {"numbers", "[0, -2.5, 3e2, 1E-3]", "[0,-2.5,300,0.001]", ""},
        {"out of range", "[1e999]", "[]", "Overflow: ]\r\n"},
        {"minus alone", "[-]", "[]", "Type mismatch: ]\r\n"},
        {"partly a number", "[1-2]", "[]", "Type mismatch: ]\r\n"},
        {"key forms", R"({a:1,'b':2,"my key":3})", "{a:1,b:2,mykey:3}", ""},
        {"values", R"({"t":true,"f":false,"n":null,"s":"x","o":{}})", "{t:true,f:false,n:Null,s:\"x\",o:{}}", ""},
        {"text after the value", "[1] more", "[1]", ""},
        {"positions count UTF-16 units", "[\"\xC3\xA9\xF0\x9F\x98\x80\", tru]", "[\"\xC3\xA9\xF0\x9F\x98\x80\"]",
         "Invalid Boolean at position 9 : tru]\r\nInvalid Array at position 9 : tru]\r\n"},
        {"excerpts are 20 characters", "{\"a\":nul" + std::string(30, 'x'), "{a:Empty,nul" + std::string(30, 'x') + ":Empty}",
         "Invalid null value at position 6 : nul" + std::string(17, 'x') + "\r\nMissing '}': " + std::string(20, 'x') +
             "\r\n"},
        {"excerpt keeps a character whole", "[tru" + std::string(16, 'x') + "\xF0\x9F\x98\x80]", "[]",
         "Invalid Boolean at position 2 : tru" + std::string(16, 'x') + "\r\nInvalid Array at position 2 : tru" +
             std::string(16, 'x') + "\r\n"},
        {"key without colon", R"({"ab" 1})", "{ab:1}", "Invalid Key at position 7 : ab\r\n"},
        {"a line comment holding /* before the value", "// files: src/*.js\n{\"a\":1}", "{a:1}", ""},
        {"a line comment holding /* before the brace", "{\"a\":1 // x/*y\r\n}", "{a:1}", ""},
        {"a line comment holding */", "// a */ b\n[1]", "[1]", ""},
        {"a block comment holding //", "/* a // b */ [1]", "[1]", ""},
        {"a quoted key is cut to 20 characters", "{\"" + std::string(100, 'k') + "\":1,\"" + std::string(100, 'k') + "\":2}",
         "{" + std::string(100, 'k') + ":1}", k457 + ": " + std::string(20, 'k') + "\r\n"},
        {"line breaks in excerpts are blanks", "{\"a\":nul\r\n\"b\":1}", "{a:Empty,nulb:1}",
         "Invalid null value at position 6 : nul  \"b\":1}\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        EXPECT_EQ(renderParse(c.text), c.tree);
        EXPECT_EQ(JSON::GetParserErrors(), c.errors);
    }
}

TEST(Json, KeysAreCaseSensitiveAndErrorsAreOfTheLastParse) {
    const auto tree = JSON::Parse(R"({"name":"x"})");
    ASSERT_TRUE(tree && tree->object());
    EXPECT_EQ(tree->object()->find("Name"), nullptr);
    ASSERT_NE(tree->object()->find("name"), nullptr);
    JSON::Parse("[tru]");
    EXPECT_FALSE(JSON::GetParserErrors().empty());
    JSON::Parse("[]");
    EXPECT_EQ(JSON::GetParserErrors(), "");
}

TEST(Json, DeepNestingStopsAt512Levels) {
    struct Case {
        const char* label;
        std::string open, close, innermost;
    } cases[] = {{"arrays", "[", "]", ""}, {"objects", "{\"a\":", "}", "1"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        std::string deepest, allowed = c.innermost;
        for (int i = 0; i < 100000; ++i) deepest += c.open;
        const auto tree = JSON::Parse(deepest);
        ASSERT_TRUE(tree);
        const std::size_t at = c.open.size() * JSON::kMaxNesting + 1;
        EXPECT_EQ(JSON::GetParserErrors(), "Nesting too deep at position " + std::to_string(at) + "\r\n");

        for (int i = 0; i < JSON::kMaxNesting; ++i) allowed = c.open + allowed + c.close;
        ASSERT_TRUE(JSON::Parse(allowed));
        EXPECT_EQ(JSON::GetParserErrors(), "");
    }
}

TEST(Json, FailureLinesAreBounded) {
    // Each member's value fails and the rest is read as keys: 50,000 failures.
    std::string text = "{";
    for (int i = 0; i < 50000; ++i) text += "\"m" + std::to_string(i) + "\":nul ";
    const auto tree = JSON::Parse(text);
    ASSERT_TRUE(tree);
    EXPECT_EQ(lineCount(JSON::GetParserErrors()), static_cast<std::size_t>(JSON::kMaxFailures));
    EXPECT_LT(JSON::GetParserErrors().size(), 100u * 80u);
}

// ---- Real files ----

const std::filesystem::path kUserData =
    std::filesystem::path(REAL_BROWSER_DATA) / "drive_c/users/root/AppData/Local/Google/Chrome/User Data";

std::string readBytes(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

TEST(Json, RealManifestsAndMessagesParse) {
    SKIP_WITHOUT_REAL_BROWSER_DATA();
    std::size_t files = 0;
    for (const auto& e : std::filesystem::recursive_directory_iterator(kUserData)) {
        if (e.path().extension() != ".json") continue;
        SCOPED_TRACE(e.path().string());
        std::string text = readBytes(e.path());
        if (text.rfind("\xEF\xBB\xBF", 0) == 0) text.erase(0, 3);
        const auto tree = JSON::Parse(text);
        ASSERT_TRUE(tree && tree->object());
        EXPECT_EQ(JSON::GetParserErrors(), "");
        ++files;
    }
    EXPECT_GT(files, 40u);
    const auto manifest =
        JSON::Parse(readBytes(kUserData / "Default/Extensions/hmelcbpnhbgdobilamgpijfbcgfglahe/4.0.19_0/manifest.json"));
    ASSERT_TRUE(manifest);
    EXPECT_EQ(render(*manifest->object()->find("permissions")),
              R"(["alarms","notifications","contextMenus","storage","tabs","scripting","declarativeNetRequest"])");
    const auto messages =
        JSON::Parse(readBytes(kUserData / "Profile 1/Extensions/cbncngnepamjbknhaklbhmopaanfiipj/0.1.0_0/_locales/en/messages.json"));
    ASSERT_TRUE(messages);
    EXPECT_EQ(render(*messages), "{}");
}

TEST(Json, EveryCutOffRealManifestFails) {
    SKIP_WITHOUT_REAL_BROWSER_DATA();
    const std::string text =
        readBytes(kUserData / "Default/Extensions/hmelcbpnhbgdobilamgpijfbcgfglahe/3.0.14_0/manifest.json");
    const std::size_t lastBrace = text.rfind('}');
    ASSERT_NE(lastBrace, std::string::npos);
    for (std::size_t n = 0; n <= lastBrace; ++n) {
        const auto tree = JSON::Parse(std::string_view(text).substr(0, n));
        EXPECT_TRUE(!tree || !JSON::GetParserErrors().empty()) << "cut after " << n << " bytes";
    }
}

} // namespace
