// CGlobal as its clients reach it: the application object of the loaded
// library, called by slot, and by name where late-bound callers depend on it.

#include "common/interfaces/global.h"

#include <cstdio>

#include <gtest/gtest.h>

#include "platform/com/class_registry.h"
#include "platform/com/com_error.h"
#include "platform/com/late_bound.h"
#include "platform/com/message_queue.h"
#include "platform/com/safearray.h"
#include "platform/files/files.h"
#include "platform/system/environment.h"
#include "tests/support/com_library.h"
#include "tests/support/pe_writer.h"
#include "tests/support/test_prefix.h"
#include "tests/support/vtable_check.h"

namespace {

using namespace halvenlib;
using namespace winsys::com;
using win::SAFEARRAY;
using win::S_OK;

bool isHex(std::string_view s) {
    return !s.empty() && s.find_first_not_of("0123456789ABCDEF") == std::string_view::npos;
}

// "{8-4-4-4-12}" upper-case hexadecimal groups.
bool isGuidText(const std::string& s) {
    if (s.size() != 38 || s.front() != '{' || s.back() != '}') return false;
    std::size_t start = 1;
    for (std::size_t width : {8, 4, 4, 4, 12}) {
        if (!isHex(std::string_view(s).substr(start, width))) return false;
        start += width;
        if (s[start] != (width == 12 ? '}' : '-')) return false;
        ++start;
    }
    return true;
}

class GlobalTest : public ::testing::Test {
protected:
    explicit GlobalTest(winsys::Arch arch = winsys::Arch::Win64) : prefix_({.arch = arch}), lib_(HALVENLIB_PATH) {
        if (FAILED(getApplicationObject(CLSID_CGlobal, _CGlobal::iid, global_.putVoid())))
            throw std::runtime_error("no CGlobal");
    }

    std::string text(HRESULT (_CGlobal::*member)(std::string*)) {
        std::string result = "untouched";
        call([&] { return (global_.get()->*member)(&result); });
        return result;
    }
    std::string text(HRESULT (_CGlobal::*member)(const std::string&, std::string*), const std::string& arg) {
        std::string result = "untouched";
        call([&] { return (global_.get()->*member)(arg, &result); });
        return result;
    }
    std::string formatString(std::string str, const std::vector<VARIANT>& values) {
        SAFEARRAY* params = makeVariantArray(values, 0);
        std::string result;
        HRESULT h = global_->FormatString(&str, params, &result);
        win::SafeArrayDestroy(params);
        check(h);
        return result;
    }
    ComPtr<_CCollection> versionInfo(const std::string& file) {
        ComPtr<_CCollection> c;
        call([&] { return global_->FileVersionInfo(file, c.put()); });
        return c;
    }

    testsupport::TestPrefix prefix_;
    testsupport::ComLibrary lib_;
    ComPtr<_CGlobal> global_;
};

class GlobalTest32 : public GlobalTest {
protected:
    GlobalTest32() : GlobalTest(winsys::Arch::Win32) {}
};

TEST(GlobalSlots, OrderOfTheTypeLibrary) {
    EXPECT_TRUE(testsupport::slotOrderMatches(
        _CGlobal::info(),
        {"ExpandEnvironmentStrings", "SQLEncode", "SQLDecode", "newGuid", "FormatString", "LocalSystemName",
         "GetTempPath", "GetTempFile", "WinDir", "IsConnected", "WindowsVersion", "GetCPUType", "FileVersion",
         "FileVersionInfo", "MDACJetVersion", "IsDAOAvailable", "IsWindows64bit", "Base64Encode", "URLEncode",
         "DoEventsA", "ByteArrayToLongArray", "LongArrayToByteArray", "Base64EncodeB", "Base64DecodeB", "XMLEncode",
         "XMLDecode", "IsArrayEmpty", "FormatMessageFromSystem", "LocalApplicationDataFolder", "SHGetFolderPath"}));
}

TEST(GlobalEnums, ValuesOfTheTypeLibrary) {
    EXPECT_EQ(CSIDL_FLAG_CREATE, -32768);
    EXPECT_EQ(CSIDL_FLAG_DONT_VERIFY, 16384);
    EXPECT_EQ(CSIDL_ADMINTOOLS, 48);
    EXPECT_EQ(CSIDL_SYSTEMX86, 41);
    EXPECT_EQ(static_cast<LONG>(ErrorCodes::E_NOTIMPL), win::E_NOTIMPL);
    EXPECT_EQ(static_cast<LONG>(ErrorCodes::E_INVALIDARG), win::E_INVALIDARG);
    EXPECT_EQ(static_cast<LONG>(ErrorCodes::E_FAIL), win::E_FAIL);
}

TEST_F(GlobalTest, FormatString) {
    std::vector<VARIANT> ten;
    for (int k = 1; k <= 10; ++k) ten.push_back(makeText("v" + std::to_string(k)));
    struct Case {
        const char* label;
        const char* str;
        std::vector<VARIANT> values;
        const char* expected;
    };
    const Case cases[] = {
        {"ten values: %10 before %1", "%1|%10|%9", ten, "v1|v10|v9"},
        {"a value holding a lower placeholder", "%2 %1", {makeText("a"), makeText("%1")}, "a a"},
        {"number beyond the values stays", "%3-%1", {makeText("x")}, "%3-x"},
        {"%10 with one value stays whole", "%10/%1", {makeText("x")}, "%10/x"},
        {"no values", "%1 %2", {}, "%1 %2"},
        {"every occurrence", "%1%1", {makeText("ab")}, "abab"},
        {"leading zero is no placeholder", "%01", {makeText("x")}, "%01"},
        {"numbers become text", "%1 and %2", {makeLong(42), makeDouble(2.5)}, "42 and 2.5"},
    };
    for (const Case& c : cases) EXPECT_EQ(formatString(c.str, c.values), c.expected) << c.label;

    std::string str = "%1";
    std::string result = "untouched";
    ASSERT_EQ(global_->FormatString(&str, nullptr, &result), S_OK);
    EXPECT_EQ(result, "%1");
}

TEST_F(GlobalTest, FormatStringFailsOnValueWithoutText) {
    try {
        formatString("%1", {makeObject(global_.get())});
        FAIL() << "no error";
    } catch (const ComError& e) {
        EXPECT_EQ(e.hresult(), win::DISP_E_TYPEMISMATCH);
    }
}

TEST_F(GlobalTest, FormatStringByName) {
    VARIANT str = makeText("%2, %1");
    VARIANT r = callMethod(global_.get(), "formatstring",
                           {byRef(&str), makeArray(makeVariantArray({makeText("a"), makeText("b")}))});
    EXPECT_EQ(r.bstrVal, "b, a");
}

// Late-bound callers pass the values one by one, as many as they have.
TEST_F(GlobalTest, FormatStringByNameTakesAnyNumberOfValues) {
    std::vector<VARIANT> eleven;
    for (int k = 1; k <= 11; ++k) eleven.push_back(makeText("v" + std::to_string(k)));
    struct Case {
        const char* label;
        const char* str;
        std::vector<VARIANT> values;
        const char* expected;
    };
    const Case cases[] = {
        {"two values", "%1-%2", {makeText("a"), makeText("b")}, "a-b"},
        {"one value", "[%1]", {makeText("only")}, "[only]"},
        {"no value", "%1 %2", {}, "%1 %2"},
        {"eleven values", "%11|%10|%1", eleven, "v11|v10|v1"},
        {"numbers and a value by reference", "%1+%2", {makeLong(7), byRef(&eleven[1])}, "7+v2"},
    };
    for (const Case& c : cases) {
        VARIANT str = makeText(c.str);
        std::vector<VARIANT> args{byRef(&str)};
        args.insert(args.end(), c.values.begin(), c.values.end());
        EXPECT_EQ(callMethod(global_.get(), "FormatString", args).bstrVal, c.expected) << c.label;
        EXPECT_EQ(str.bstrVal, c.str) << c.label; // the template is not changed
    }
    try {
        callMethod(global_.get(), "FormatString", {makeText("%1"), makeObject(global_.get()), makeText("b")});
        FAIL() << "a value without text was taken";
    } catch (const ComError& e) {
        EXPECT_NE(e.number(), 0);
    }
}

TEST_F(GlobalTest, SqlAndXmlEscaping) {
    struct Case {
        HRESULT (_CGlobal::*member)(const std::string&, std::string*);
        const char* label;
        const char* in;
        const char* out;
    };
    const Case cases[] = {
        {&_CGlobal::SQLEncode, "SQLEncode", "O'Brien's", "O''Brien''s"},
        {&_CGlobal::SQLDecode, "SQLDecode", "O''Brien''s", "O'Brien's"},
        {&_CGlobal::SQLDecode, "SQLDecode of three", "'''", "''"},
        {&_CGlobal::XMLEncode, "XMLEncode", "<a href=\"x\">&'", "&lt;a href=&quot;x&quot;&gt;&amp;&apos;"},
        {&_CGlobal::XMLEncode, "XMLEncode of an entity", "&lt;", "&amp;lt;"},
        {&_CGlobal::XMLDecode, "XMLDecode", "&lt;a href=&quot;x&quot;&gt;&apos;", "<a href=\"x\">'"},
        {&_CGlobal::XMLDecode, "XMLDecode runs &amp; first", "&amp;lt;", "<"},
    };
    for (const Case& c : cases) EXPECT_EQ(text(c.member, c.in), c.out) << c.label;
}

TEST_F(GlobalTest, NewGuidForm) {
    const std::string a = text(&_CGlobal::newGuid);
    const std::string b = text(&_CGlobal::newGuid);
    EXPECT_TRUE(isGuidText(a)) << a;
    EXPECT_TRUE(isGuidText(b)) << b;
    EXPECT_FALSE(isGuidText("{0000000-0000-0000-0000-0000000000000}")); // the check itself
    EXPECT_NE(a, b);
}

TEST_F(GlobalTest, WindowsVersionFillsItsOutputs) {
    prefix_.importReg("Windows Registry Editor Version 5.00\n\n"
                      "[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows NT\\CurrentVersion]\n"
                      "\"CurrentVersion\"=\"6.1\"\n\"CurrentBuildNumber\"=\"7601\"\n"
                      "\"CSDVersion\"=\"Service Pack 1\"\n");
    LONG major = -7, minor = -7, build = -7, platform = -7;
    std::string sp = "untouched", result;
    check(global_->WindowsVersion(&major, &minor, &build, &platform, &sp, &result));
    EXPECT_EQ(result, "Platform: Windows NT. Version: 6.1.7601. Service Pack 1");
    EXPECT_EQ(major, 6);
    EXPECT_EQ(minor, 1);
    EXPECT_EQ(build, 7601);
    EXPECT_EQ(platform, 2);
    EXPECT_EQ(sp, "Service Pack 1");

    // Late-bound callers may leave every output out.
    EXPECT_EQ(callMethod(global_.get(), "WindowsVersion").bstrVal, result);
}

TEST_F(GlobalTest, WindowsVersionOfWindows10) {
    prefix_.importReg("Windows Registry Editor Version 5.00\n\n"
                      "[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows NT\\CurrentVersion]\n"
                      "\"CurrentMajorVersionNumber\"=dword:0000000a\n\"CurrentMinorVersionNumber\"=dword:00000000\n"
                      "\"CurrentBuildNumber\"=\"19045\"\n\"CSDVersion\"=-\n");
    LONG major = 0;
    VARIANT m = byRef(&major);
    VARIANT r = callMethod(global_.get(), "WindowsVersion", {m});
    EXPECT_EQ(r.bstrVal, "Platform: Windows NT. Version: 10.0.19045. ");
    EXPECT_EQ(major, 10);
}

TEST_F(GlobalTest, CpuTypeOfThe32BitProcess) {
    const std::string cpu = text(&_CGlobal::GetCPUType);
    unsigned family = 0, model = 999, stepping = 999;
    int end = 0;
    ASSERT_EQ(std::sscanf(cpu.c_str(), "Intel Pentium Family %u Model %u Stepping %u%n", &family, &model, &stepping, &end),
              3)
        << cpu;
    EXPECT_EQ(static_cast<std::size_t>(end), cpu.size()) << cpu;
    EXPECT_LE(model, 255u);
    EXPECT_LE(stepping, 255u);
}

TEST_F(GlobalTest, FileVersionAndVersionInfo) {
    testsupport::PeSpec spec;
    spec.version = testsupport::PeVersion{
        .fileVersionMS = 0x0001FFFF,
        .fileVersionLS = 0x00030004,
        .tables = {{0x0407,
                    1252,
                    {{"ProductName", "Sorlix"},
                     {"CompanyName", "Acme"},
                     {"OriginalFileName", "orig.dll"},
                     {"Comments", "not read"},
                     {"LegalCopyright", ""}}},
                   {0x0409, 1200, {{"FileDescription", "second translation"}}}}};
    testsupport::writePe(prefix_.host("C:\\x\\v.dll"), spec);

    EXPECT_EQ(text(&_CGlobal::FileVersion, "C:\\x\\v.dll"), "1.65535.3.4");
    ComPtr<_CCollection> info = versionInfo("C:\\x\\v.dll");
    ASSERT_TRUE(info);
    // In the fixed order of names, not the file's; only the first translation.
    LONG count = 0;
    check(info->get_Count(&count));
    ASSERT_EQ(count, 4);
    struct Row {
        const char* key;
        const char* value;
    };
    const Row rows[] = {{"companyname", "Acme"}, {"LegalCopyright", ""}, {"OriginalFileName", "orig.dll"},
                        {"PRODUCTNAME", "Sorlix"}};
    for (LONG i = 0; i < 4; ++i) {
        VARIANT byKey = makeText(rows[i].key), byPos = makeLong(i + 1), a, b;
        check(info->get_Item(&byKey, &a));
        check(info->get_Item(&byPos, &b));
        EXPECT_EQ(a.bstrVal, rows[i].value) << rows[i].key;
        EXPECT_EQ(b.bstrVal, rows[i].value) << rows[i].key;
    }
}

TEST_F(GlobalTest, VersionTextTakenWhole) {
    const std::string longText(1500, 'd');
    testsupport::PeSpec spec;
    spec.version = testsupport::PeVersion{.tables = {{0x0409, 1200, {{"FileDescription", longText}}}}};
    testsupport::writePe(prefix_.host("C:\\x\\long.dll"), spec);
    ComPtr<_CCollection> info = versionInfo("C:\\x\\long.dll");
    VARIANT key = makeText("FileDescription"), value;
    check(info->get_Item(&key, &value));
    EXPECT_EQ(value.bstrVal, longText);
}

TEST_F(GlobalTest, FilesWithoutVersionResource) {
    testsupport::writePe(prefix_.host("C:\\x\\bare.dll"), testsupport::PeSpec{});
    prefix_.writeFile("C:\\x\\notes.txt", "not a PE file");
    for (const char* file : {"C:\\x\\bare.dll", "C:\\x\\notes.txt", "C:\\x\\missing.dll"}) {
        SCOPED_TRACE(file);
        EXPECT_EQ(text(&_CGlobal::FileVersion, file), "");
        ComPtr<_CCollection> info = versionInfo(file);
        ASSERT_TRUE(info);
        LONG count = -1;
        check(info->get_Count(&count));
        EXPECT_EQ(count, 0);
    }
}

TEST_F(GlobalTest, MDACJetVersion) {
    testsupport::PeSpec ado;
    ado.version = testsupport::PeVersion{.fileVersionMS = 0x00060001, .fileVersionLS = 0x1DB10000, .tables = {}};
    testsupport::PeSpec jet;
    jet.version = testsupport::PeVersion{.fileVersionMS = 0x00040000, .fileVersionLS = 0x26640000, .tables = {}};
    // A 32-bit process: its program files are the x86 ones, system32 is syswow64.
    testsupport::writePe(prefix_.host("C:\\Program Files (x86)\\Common Files\\System\\ado\\msado15.dll"), ado);
    testsupport::writePe(prefix_.host("C:\\windows\\syswow64\\msjet40.dll"), jet);

    std::string mdac = "untouched", jetVersion = "untouched";
    check(global_->MDACJetVersion(&mdac, &jetVersion));
    EXPECT_EQ(mdac, "6.1.7601.0");
    EXPECT_EQ(jetVersion, ""); // no DAO beside it

    prefix_.writeFile("C:\\Program Files (x86)\\Common Files\\Microsoft Shared\\DAO\\dao360.dll", "x");
    check(global_->MDACJetVersion(&mdac, &jetVersion));
    EXPECT_EQ(jetVersion, "4.0.9828.0");
}

TEST_F(GlobalTest, DescribeWithoutOutsideServices) {
    VARIANT_BOOL dao = win::VARIANT_TRUE;
    check(global_->IsDAOAvailable(&dao));
    EXPECT_EQ(dao, win::VARIANT_FALSE);

    try {
        callMethod(global_.get(), "IsConnected");
        FAIL() << "no error";
    } catch (const ComError& e) {
        EXPECT_EQ(e.hresult(), win::E_NOTIMPL);
        EXPECT_EQ(e.source(), "Halvenlib.CGlobal");
    }
}

TEST_F(GlobalTest, FormatMessageFromSystem) {
    struct Case {
        LONG code;
        const char* text;
    };
    const Case cases[] = {{0, "The operation completed successfully. "},
                          {2, "The system cannot find the file specified. "},
                          {0x7654321, ""}};
    for (const Case& c : cases) {
        std::string text;
        check(global_->FormatMessageFromSystem(c.code, &text));
        EXPECT_EQ(text, c.text) << c.code;
    }
}

struct FolderCase {
    LONG csidl;
    const char* win64;
    const char* win32;
};
const FolderCase kFolders[] = {
    {CSIDL_APPDATA, "C:\\users\\tester\\AppData\\Roaming", "C:\\users\\tester\\AppData\\Roaming"},
    {CSIDL_LOCAL_APPDATA, "C:\\users\\tester\\AppData\\Local", "C:\\users\\tester\\AppData\\Local"},
    {CSIDL_SYSTEM, "C:\\windows\\system32", "C:\\windows\\system32"},
    {CSIDL_SYSTEMX86, "C:\\windows\\syswow64", "C:\\windows\\system32"},
    {0x77, "", ""},          // unknown to the system
    {CSIDL_DRIVES, "", ""},  // a virtual folder
};

TEST_F(GlobalTest, SHGetFolderPathOn64Bit) {
    for (const FolderCase& c : kFolders) {
        std::string path = "untouched";
        check(global_->SHGetFolderPath(c.csidl, &path));
        EXPECT_EQ(path, c.win64) << c.csidl;
    }
    EXPECT_EQ(text(&_CGlobal::LocalApplicationDataFolder), "C:\\users\\tester\\AppData\\Local");
}

TEST_F(GlobalTest32, SHGetFolderPathOn32Bit) {
    for (const FolderCase& c : kFolders) {
        std::string path = "untouched";
        check(global_->SHGetFolderPath(c.csidl, &path));
        EXPECT_EQ(path, c.win32) << c.csidl;
    }
}

TEST_F(GlobalTest, IsWindows64bitAsksAfresh) {
    VARIANT_BOOL is64 = win::VARIANT_FALSE;
    check(global_->IsWindows64bit(&is64));
    EXPECT_EQ(is64, win::VARIANT_TRUE);
}

TEST_F(GlobalTest32, IsWindows64bitOn32BitWindows) {
    VARIANT_BOOL is64 = win::VARIANT_TRUE;
    check(global_->IsWindows64bit(&is64));
    EXPECT_EQ(is64, win::VARIANT_FALSE);
}

TEST_F(GlobalTest, IsArrayEmpty) {
    const win::SAFEARRAYBOUND oneToZero{0, 1}, zeroToZero{1, 0};
    VARIANT byRefTarget = makeArray(win::SafeArrayCreate(win::VT_VARIANT, 1, &oneToZero));
    struct Case {
        const char* label;
        VARIANT v;
        bool empty;
    };
    Case cases[] = {
        {"array from 1 to 0", makeArray(win::SafeArrayCreate(win::VT_I4, 1, &oneToZero)), true},
        {"array from 0 to 0", makeArray(win::SafeArrayCreate(win::VT_I4, 1, &zeroToZero)), false},
        {"byte array with bytes", makeArray(makeByteArray({1, 2, 3}, 1)), false},
        {"text", makeText("abc"), true},
        {"empty", makeEmpty(), true},
        {"number", makeLong(3), true},
        {"by reference to an empty array", byRef(&byRefTarget), true},
    };
    for (Case& c : cases) {
        VARIANT_BOOL empty = win::toVariantBool(!c.empty);
        check(global_->IsArrayEmpty(&c.v, &empty));
        EXPECT_EQ(empty, win::toVariantBool(c.empty)) << c.label;
    }
}

TEST_F(GlobalTest, TempPathAndTempFile) {
    prefix_.makeDir("C:\\users\\tester\\AppData\\Local\\Temp");
    EXPECT_EQ(text(&_CGlobal::GetTempPath), "C:\\users\\tester\\AppData\\Local\\Temp\\");

    const std::string a = text(&_CGlobal::GetTempFile, "abcdef");
    const std::string b = text(&_CGlobal::GetTempFile, "abcdef");
    const std::string folder = "C:\\users\\tester\\AppData\\Local\\Temp\\abc";
    ASSERT_TRUE(a.starts_with(folder) && a.ends_with(".tmp")) << a;
    EXPECT_TRUE(isHex(std::string_view(a).substr(folder.size(), a.size() - folder.size() - 4))) << a;
    EXPECT_NE(a, b);
    EXPECT_NE(win::GetFileAttributes(a), win::INVALID_FILE_ATTRIBUTES); // made by the call
    EXPECT_NE(win::GetFileAttributes(b), win::INVALID_FILE_ATTRIBUTES);
}

TEST_F(GlobalTest, TempFileFailsWithoutTempFolder) {
    const std::string missing = "C:\\no\\such\\folder";
    ASSERT_TRUE(win::SetEnvironmentVariable("TMP", &missing));
    try {
        text(&_CGlobal::GetTempFile, "x");
        FAIL() << "no error";
    } catch (const ComError& e) {
        EXPECT_EQ(e.hresult(), win::E_FAIL);
        EXPECT_FALSE(e.description().empty());
    }
}

TEST_F(GlobalTest, EnvironmentAndNames) {
    const std::string big(1500, 'q');
    ASSERT_TRUE(win::SetEnvironmentVariable("BIG", &big));
    prefix_.importReg("Windows Registry Editor Version 5.00\n\n"
                      "[HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Control\\ComputerName\\ComputerName]\n"
                      "\"ComputerName\"=\"TESTBOX\"\n");
    struct Case {
        const char* label;
        const char* in;
        std::string out;
    };
    const Case cases[] = {
        {"windir", "%WINDIR%\\x", "C:\\windows\\x"},
        {"unknown stays", "%NOPE%", "%NOPE%"},
        {"needs more than 1000 characters", "[%BIG%]", "[" + big + "]"},
    };
    for (const Case& c : cases) EXPECT_EQ(text(&_CGlobal::ExpandEnvironmentStrings, c.in), c.out) << c.label;
    EXPECT_EQ(text(&_CGlobal::WinDir), "C:\\windows");
    EXPECT_EQ(text(&_CGlobal::LocalSystemName), "TESTBOX");
}

TEST_F(GlobalTest, DoEventsDispatchesOneMessage) {
    int calls = 0;
    winsys::postCall([&] { ++calls; });
    winsys::postCall([&] { ++calls; });
    check(global_->DoEventsA());
    EXPECT_EQ(calls, 1);
    check(global_->DoEventsA());
    check(global_->DoEventsA()); // nothing left: no harm
    EXPECT_EQ(calls, 2);
}

TEST_F(GlobalTest, EncodersThroughTheirSlots) {
    SAFEARRAY* bytes = makeByteArray({1, 0, 0, 0, 2, 0, 0, 0});
    SAFEARRAY* longs = nullptr;
    HRESULT h = global_->ByteArrayToLongArray(bytes, &longs);
    win::SafeArrayDestroy(bytes);
    ASSERT_EQ(h, S_OK);
    VARIANT longsVar = makeArray(longs);
    LONG lower = 0, upper = 0, first = 0, second = 0;
    win::SafeArrayGetLBound(longs, 1, &lower);
    win::SafeArrayGetUBound(longs, 1, &upper);
    EXPECT_EQ(lower, 1);
    EXPECT_EQ(upper, 2);
    LONG i = 1;
    win::SafeArrayGetElement(longs, &i, &first);
    i = 2;
    win::SafeArrayGetElement(longs, &i, &second);
    EXPECT_EQ(first, 1);
    EXPECT_EQ(second, 2);

    VARIANT back = callMethod(global_.get(), "LongArrayToByteArray", {longsVar});
    ASSERT_EQ(back.vt, win::VT_ARRAY | win::VT_UI1);
    EXPECT_EQ(elementCount(back.parray), 8u);
    win::SafeArrayGetLBound(back.parray, 1, &lower);
    EXPECT_EQ(lower, 1);

    VARIANT encoded = callMethod(global_.get(), "Base64EncodeB", {back});
    EXPECT_EQ(encoded.bstrVal, "AQAAAAIAAAA=");
    VARIANT decoded = callMethod(global_.get(), "Base64DecodeB", {encoded});
    EXPECT_EQ(elementCount(decoded.parray), 8u);
    EXPECT_EQ(text(&_CGlobal::Base64Encode, "abc"), "YWJj");
    EXPECT_EQ(text(&_CGlobal::URLEncode, "a b"), "a%20b");

    try {
        callMethod(global_.get(), "Base64EncodeB", {makeArray(makeVariantArray({makeLong(1)}))});
        FAIL() << "no error";
    } catch (const ComError& e) {
        EXPECT_EQ(e.hresult(), win::DISP_E_TYPEMISMATCH);
    }
}

} // namespace
