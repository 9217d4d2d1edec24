// CLittleConfig through COM: lists free of repeats ignoring case (first flag
// wins), distinct roots and items never merged into one entry, getters
// from 1 and their errors, and merging in order with its quiet stop.

#include <gtest/gtest.h>

#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "common/interfaces/registry.h"
#include "components/interfaces/quarncust.h"
#include "platform/com/class_registry.h"
#include "platform/com/error_info.h"
#include "platform/com/late_bound.h"
#include "platform/com/object.h"
#include "platform/com/variant.h"
#include "tests/support/com_library.h"
#include "tests/support/test_prefix.h"

using namespace win;
using namespace winsys::com;
using namespace quarncust;

namespace {

constexpr HRESULT kPositionError = static_cast<HRESULT>(0x800A0009u);
constexpr LONG kHKLM = halvenlib::HKEY_LOCAL_MACHINE;
constexpr LONG kHKLM64 = halvenlib::HKEY_LOCAL_MACHINE_64BIT;
constexpr LONG kHKCU = halvenlib::HKEY_CURRENT_USER;

struct Value {
    LONG key;
    std::string subkey, name;
    bool operator==(const Value&) const = default;
};
struct File {
    std::string path;
    bool flag;
    bool operator==(const File&) const = default;
};
struct Subkey {
    LONG key;
    std::string subkey;
    bool operator==(const Subkey&) const = default;
};
std::ostream& operator<<(std::ostream& o, const Value& v) { return o << v.key << " '" << v.subkey << "' '" << v.name << "'"; }
std::ostream& operator<<(std::ostream& o, const File& f) { return o << "'" << f.path << "' " << f.flag; }
std::ostream& operator<<(std::ostream& o, const Subkey& s) { return o << s.key << " '" << s.subkey << "'"; }

class LittleConfig : public ::testing::Test {
protected:
    ComPtr<_CLittleConfig> make() {
        ComPtr<_CLittleConfig> r;
        EXPECT_EQ(createInstance(CLSID_CLittleConfig, &r), S_OK);
        return r;
    }
    static void addFile(_CLittleConfig* r, const std::string& path, VARIANT flag) {
        ASSERT_EQ(r->AddFileOrFolder(path, &flag), S_OK);
    }
    static std::vector<File> files(_CLittleConfig* r) {
        LONG n = -1;
        EXPECT_EQ(r->get_FileOrFoldersCount(&n), S_OK);
        std::vector<File> out;
        for (LONG i = 1; i <= n; ++i) {
            File f{"", false};
            VARIANT_BOOL b = VARIANT_FALSE;
            EXPECT_EQ(r->get_FileOrFolder(i, &f.path), S_OK);
            EXPECT_EQ(r->get_FileOrFolderx64bitSystem32(i, &b), S_OK);
            f.flag = b == VARIANT_TRUE;
            out.push_back(f);
        }
        return out;
    }
    static std::vector<Subkey> subkeys(_CLittleConfig* r) {
        LONG n = -1;
        EXPECT_EQ(r->get_RegistrySubkeysCount(&n), S_OK);
        std::vector<Subkey> out;
        for (LONG i = 1; i <= n; ++i) {
            Subkey s{0, ""};
            EXPECT_EQ(r->get_RegistrySubkeyKey(i, &s.key), S_OK);
            EXPECT_EQ(r->get_RegistrySubkeySubkey(i, &s.subkey), S_OK);
            out.push_back(s);
        }
        return out;
    }
    static std::vector<Value> values(_CLittleConfig* r) {
        LONG n = -1;
        EXPECT_EQ(r->get_RegistryValuesCount(&n), S_OK);
        std::vector<Value> out;
        for (LONG i = 1; i <= n; ++i) {
            Value v{0, "", ""};
            EXPECT_EQ(r->get_RegistryValueKey(i, &v.key), S_OK);
            EXPECT_EQ(r->get_RegistryValueSubkey(i, &v.subkey), S_OK);
            EXPECT_EQ(r->get_RegistryValueValueName(i, &v.name), S_OK);
            out.push_back(v);
        }
        return out;
    }

    testsupport::TestPrefix prefix;
    testsupport::ComLibrary common{HALVENLIB_PATH}, product{QUARNCUST_PATH};
};

TEST_F(LittleConfig, FilesAreKeptOnceIgnoringCaseAndTheFirstFlagWins) {
    auto r = make();
    addFile(r.get(), "C:\\Program Files\\Addon", makeBool(false));
    addFile(r.get(), "c:\\program files\\ADDON", makeBool(true));
    addFile(r.get(), "C:\\Windows\\System32\\a.dll", makeLong(-1)); // stored as passed, read as Boolean
    addFile(r.get(), "C:\\Windows\\System32\\b.dll", makeText("True"));
    addFile(r.get(), "C:\\Windows\\System32\\a.dll", makeBool(false));
    EXPECT_EQ(files(r.get()), (std::vector<File>{{"C:\\Program Files\\Addon", false},
                                                  {"C:\\Windows\\System32\\a.dll", true},
                                                  {"C:\\Windows\\System32\\b.dll", true}}));
}

TEST_F(LittleConfig, AFlagThatIsNoBooleanFailsWithTypeMismatchWhenRead) {
    auto r = make();
    addFile(r.get(), "C:\\a", makeText("perhaps"));
    std::string path;
    EXPECT_EQ(r->get_FileOrFolder(1, &path), S_OK);
    VARIANT_BOOL b = VARIANT_FALSE;
    EXPECT_EQ(r->get_FileOrFolderx64bitSystem32(1, &b), static_cast<HRESULT>(0x800A000Du));
}

TEST_F(LittleConfig, SubkeysAreKeptOncePerRootIgnoringCase) {
    auto r = make();
    const Subkey added[] = {{kHKLM, "Software\\Addon"},
                            {kHKLM64, "Software\\Addon"}, // a pseudo-root is a root of its own
                            {kHKLM, "SOFTWARE\\addon"},
                            {kHKCU, "Software\\Addon"},
                            {1, "2\\x"}, // root 1 and "2\x" is not root 12 and "\x"
                            {12, "\\x"}};
    for (const auto& s : added) ASSERT_EQ(r->AddRegistrySubkey(s.key, s.subkey), S_OK);
    EXPECT_EQ(subkeys(r.get()), (std::vector<Subkey>{{kHKLM, "Software\\Addon"},
                                                      {kHKLM64, "Software\\Addon"},
                                                      {kHKCU, "Software\\Addon"},
                                                      {1, "2\\x"},
                                                      {12, "\\x"}}));
    LONG root = 0;
    ASSERT_EQ(r->get_RegistrySubkeyKey(1, &root), S_OK);
    EXPECT_EQ(root, -2147483646);
}

TEST_F(LittleConfig, ValuesAreRepeatsOnlyWhenRootSubkeyAndNameAllMatch) {
    const struct {
        const char* label;
        std::vector<Value> added, kept;
    } rows[] = {
        {"same value in other case", {{kHKLM, "A\\B", "Name"}, {kHKLM, "a\\b", "NAME"}}, {{kHKLM, "A\\B", "Name"}}},
        {"default value given twice", {{kHKCU, "A", ""}, {kHKCU, "A", ""}}, {{kHKCU, "A", ""}}},
        {"value C of A\\B and the default value of A\\BC",
         {{kHKLM, "A\\B", "C"}, {kHKLM, "A\\BC", ""}},
         {{kHKLM, "A\\B", "C"}, {kHKLM, "A\\BC", ""}}},
        {"the same split the other way round",
         {{kHKLM, "A\\BC", ""}, {kHKLM, "A\\B", "C"}},
         {{kHKLM, "A\\BC", ""}, {kHKLM, "A\\B", "C"}}},
        {"joining characters inside the parts",
         {{kHKLM, "A|", "B"}, {kHKLM, "A", "|B"}, {kHKLM, "A|;", ""}, {kHKLM, "A", "|;"}, {kHKLM, "A|", "|;"}},
         {{kHKLM, "A|", "B"}, {kHKLM, "A", "|B"}, {kHKLM, "A|;", ""}, {kHKLM, "A", "|;"}, {kHKLM, "A|", "|;"}}},
        {"a value name holding a backslash", {{kHKLM, "A", "B\\C"}, {kHKLM, "A\\B", "C"}},
         {{kHKLM, "A", "B\\C"}, {kHKLM, "A\\B", "C"}}},
        {"plain and 64-bit root", {{kHKLM, "A", "v"}, {kHKLM64, "A", "v"}}, {{kHKLM, "A", "v"}, {kHKLM64, "A", "v"}}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.label);
        auto r = make();
        for (const auto& v : row.added) ASSERT_EQ(r->AddRegistryValue(v.key, v.subkey, v.name), S_OK);
        EXPECT_EQ(values(r.get()), row.kept);
    }
}

TEST_F(LittleConfig, GettersCountFromOneAndFailOutsideWithThePositionError) {
    auto empty = make(), one = make();
    addFile(one.get(), "C:\\a", makeBool(false));
    ASSERT_EQ(one->AddRegistrySubkey(kHKCU, "S"), S_OK);
    ASSERT_EQ(one->AddRegistryValue(kHKCU, "S", "v"), S_OK);
    LONG counts[3] = {-1, -1, -1};
    empty->get_FileOrFoldersCount(&counts[0]);
    empty->get_RegistrySubkeysCount(&counts[1]);
    empty->get_RegistryValuesCount(&counts[2]);
    for (LONG n : counts) EXPECT_EQ(n, 0);
    std::string s;
    LONG k = 0;
    VARIANT_BOOL b = VARIANT_FALSE;
    using Getter = std::function<HRESULT(_CLittleConfig*, LONG)>;
    const struct {
        const char* label;
        Getter get;
    } getters[] = {
        {"FileOrFolder", [&](_CLittleConfig* r, LONG i) { return r->get_FileOrFolder(i, &s); }},
        {"FileOrFolderx64bitSystem32", [&](_CLittleConfig* r, LONG i) { return r->get_FileOrFolderx64bitSystem32(i, &b); }},
        {"RegistrySubkeyKey", [&](_CLittleConfig* r, LONG i) { return r->get_RegistrySubkeyKey(i, &k); }},
        {"RegistrySubkeySubkey", [&](_CLittleConfig* r, LONG i) { return r->get_RegistrySubkeySubkey(i, &s); }},
        {"RegistryValueKey", [&](_CLittleConfig* r, LONG i) { return r->get_RegistryValueKey(i, &k); }},
        {"RegistryValueSubkey", [&](_CLittleConfig* r, LONG i) { return r->get_RegistryValueSubkey(i, &s); }},
        {"RegistryValueValueName", [&](_CLittleConfig* r, LONG i) { return r->get_RegistryValueValueName(i, &s); }},
    };
    for (const auto& g : getters) {
        SCOPED_TRACE(g.label);
        EXPECT_EQ(g.get(empty.get(), 1), kPositionError);
        EXPECT_EQ(g.get(one.get(), 0), kPositionError);
        EXPECT_EQ(g.get(one.get(), 2), kPositionError);
        EXPECT_EQ(g.get(one.get(), -1), kPositionError);
        EXPECT_EQ(g.get(one.get(), 1), S_OK);
    }
    // Raised to a late-bound caller as error 9.
    try {
        VARIANT ix = makeLong(1);
        ComPtr<IDispatch> d;
        ASSERT_EQ(empty->QueryInterface(IDispatch::iid, d.putVoid()), S_OK);
        getProperty(d.get(), "FileOrFolder", {ix});
        ADD_FAILURE() << "no error";
    } catch (const ComError& e) {
        EXPECT_EQ(e.number(), 9);
    }
}

TEST_F(LittleConfig, MergeAppendsTheOthersEntriesInOrderAndKeepsExistingOnes) {
    auto a = make(), b = make();
    addFile(a.get(), "C:\\Shared", makeBool(false));
    ASSERT_EQ(a->AddRegistrySubkey(kHKCU, "Software\\A"), S_OK);
    addFile(b.get(), "C:\\Own", makeBool(true));
    addFile(b.get(), "c:\\shared", makeBool(true));
    ASSERT_EQ(b->AddRegistrySubkey(kHKCU, "software\\a"), S_OK);
    ASSERT_EQ(b->AddRegistrySubkey(kHKLM64, "Software\\B"), S_OK);
    ASSERT_EQ(b->AddRegistryValue(kHKLM, "Run", "B"), S_OK);
    ASSERT_EQ(b->AddRegistryValue(kHKLM, "Run", ""), S_OK);

    _CLittleConfig* other = b.get();
    ASSERT_EQ(a->AddLittleConfig(&other), S_OK);
    EXPECT_EQ(other, b.get());
    EXPECT_EQ(files(a.get()), (std::vector<File>{{"C:\\Shared", false}, {"C:\\Own", true}}));
    EXPECT_EQ(subkeys(a.get()), (std::vector<Subkey>{{kHKCU, "Software\\A"}, {kHKLM64, "Software\\B"}}));
    EXPECT_EQ(values(a.get()), (std::vector<Value>{{kHKLM, "Run", "B"}, {kHKLM, "Run", ""}}));
    // The other record is left as it was.
    EXPECT_EQ(files(b.get()), (std::vector<File>{{"C:\\Own", true}, {"c:\\shared", true}}));
    EXPECT_EQ(subkeys(b.get()), (std::vector<Subkey>{{kHKCU, "software\\a"}, {kHKLM64, "Software\\B"}}));

    // Into itself and from Nothing: no change, no error.
    _CLittleConfig* self = a.get();
    ASSERT_EQ(a->AddLittleConfig(&self), S_OK);
    _CLittleConfig* nothing = nullptr;
    ASSERT_EQ(a->AddLittleConfig(&nothing), S_OK);
    ASSERT_EQ(a->AddLittleConfig(nullptr), S_OK);
    EXPECT_EQ(files(a.get()).size(), 2u);
    EXPECT_EQ(subkeys(a.get()).size(), 2u);
    EXPECT_EQ(values(a.get()).size(), 2u);
}

// A record whose second file cannot be read.
class FailingRecord final : public DispatchObject<_CLittleConfig> {
public:
    HRESULT AddLittleConfig(_CLittleConfig**) override { return E_NOTIMPL; }
    HRESULT AddFileOrFolder(const std::string&, VARIANT*) override { return E_NOTIMPL; }
    HRESULT AddRegistrySubkey(LONG, const std::string&) override { return E_NOTIMPL; }
    HRESULT AddRegistryValue(LONG, const std::string&, const std::string&) override { return E_NOTIMPL; }
    HRESULT get_FileOrFoldersCount(LONG* n) override { return *n = 3, S_OK; }
    HRESULT get_RegistrySubkeysCount(LONG* n) override { return *n = 1, S_OK; }
    HRESULT get_RegistryValuesCount(LONG* n) override { return *n = 1, S_OK; }
    HRESULT get_FileOrFolder(LONG i, std::string* s) override {
        if (i != 1) return raiseError(5, "unreadable", "test");
        *s = "C:\\first";
        return S_OK;
    }
    HRESULT get_FileOrFolderx64bitSystem32(LONG, VARIANT_BOOL* b) override { return *b = VARIANT_TRUE, S_OK; }
    HRESULT get_RegistrySubkeyKey(LONG, LONG* k) override { return *k = kHKCU, S_OK; }
    HRESULT get_RegistrySubkeySubkey(LONG, std::string* s) override { return *s = "S", S_OK; }
    HRESULT get_RegistryValueKey(LONG, LONG* k) override { return *k = kHKCU, S_OK; }
    HRESULT get_RegistryValueSubkey(LONG, std::string* s) override { return *s = "S", S_OK; }
    HRESULT get_RegistryValueValueName(LONG, std::string* s) override { return *s = "v", S_OK; }
};

TEST_F(LittleConfig, MergeStopsQuietlyAtTheFirstFailedRead) {
    auto a = make();
    auto failing = create<FailingRecord>();
    _CLittleConfig* other = failing.get();
    ASSERT_EQ(a->AddLittleConfig(&other), S_OK);
    EXPECT_EQ(files(a.get()), (std::vector<File>{{"C:\\first", true}}));
    EXPECT_TRUE(subkeys(a.get()).empty());
    EXPECT_TRUE(values(a.get()).empty());
    ComPtr<IErrorInfo> info;
    EXPECT_EQ(GetErrorInfo(0, info.put()), S_FALSE); // the error was cleared
}

} // namespace
