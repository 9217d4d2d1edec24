// The library's COM surface: identities and slot order of every interface,
// Init's trace line in both logs (late-bound by ProgID, early-bound, and
// through the application object), and creation by a removed ProgID
// failing cleanly.

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "common/interfaces/log.h"
#include "components/interfaces/quarncust.h"
#include "platform/com/class_registry.h"
#include "platform/com/late_bound.h"
#include "platform/com/variant.h"
#include "platform/core/guid.h"
#include "platform/files/files.h"
#include "platform/registry/registry.h"
#include "tests/support/com_library.h"
#include "tests/support/test_prefix.h"
#include "tests/support/vtable_check.h"

using namespace win;
using namespace winsys::com;
using namespace quarncust;
using halvenlib::_axLog;

namespace {

constexpr const char* kMain = "C:\\logs\\main.log";
constexpr const char* kShort = "C:\\logs\\short.log";

TEST(QuarncustSurface, IdsAndSlotOrder) {
    const struct {
        const char* label;
        win::GUID id;
        const char* text;
    } ids[] = {
        {"CCustom2", CLSID_CCustom2, "{66E8F0F9-1100-4D39-BF69-455DED1E2EC3}"},
        {"_CCustom2", _CCustom2::iid, "{86580E87-457B-47E2-A2F6-AA9D5E31C456}"},
        {"CCustom", CLSID_CCustom, "{947D65CA-4D58-40E3-B79B-963B87246D3A}"},
        {"_CCustom", _CCustom::iid, "{08952285-04DB-4331-9568-BFB2963CA4F7}"},
        {"CLittleConfig", CLSID_CLittleConfig, "{EE4AB4DD-716A-4FFA-B066-D7CD0D13794C}"},
        {"_CLittleConfig", _CLittleConfig::iid, "{946869A7-0627-4609-920C-85A0631DC239}"},
        {"CUniqueNamer", CLSID_CUniqueNamer, "{F06630DB-4021-4165-829D-DC5FE3CECE21}"},
        {"_CUniqueNamer", _CUniqueNamer::iid, "{C826BFEE-5BEF-414E-8D40-BF28100A0CE9}"},
    };
    for (const auto& i : ids) EXPECT_EQ(winsys::guidToString(i.id), i.text) << i.label;

    EXPECT_TRUE(testsupport::slotOrderMatches(_CCustom2::info(), {"Init"}));
    EXPECT_TRUE(testsupport::slotOrderMatches(_CCustom::info(), {"Init"}));
    EXPECT_TRUE(testsupport::slotOrderMatches(_CUniqueNamer::info(), {"Rename", "GenerateDisplayName"}));
    EXPECT_TRUE(testsupport::slotOrderMatches(
        _CLittleConfig::info(),
        {"AddLittleConfig", "AddFileOrFolder", "AddRegistrySubkey", "AddRegistryValue", "FileOrFoldersCount (get)",
         "RegistrySubkeysCount (get)", "RegistryValuesCount (get)", "FileOrFolder (get)",
         "FileOrFolderx64bitSystem32 (get)", "RegistrySubkeyKey (get)", "RegistrySubkeySubkey (get)",
         "RegistryValueKey (get)", "RegistryValueSubkey (get)", "RegistryValueValueName (get)"}));
}

class Custom : public ::testing::Test {
protected:
    Custom() { prefix.makeDir("C:\\logs"); }

    ComPtr<_axLog> openLogs() {
        ComPtr<_axLog> log;
        EXPECT_EQ(createInstance(halvenlib::CLSID_axLog, &log), S_OK);
        if (log) {
            EXPECT_EQ(log->Init2(kMain, kShort), S_OK);
        }
        return log;
    }
    // The file's lines without their CR LF, each without its date field.
    static std::vector<std::string> linesAfterDate(const char* path) {
        std::vector<std::string> out;
        auto bytes = winsys::readFile(path);
        if (!bytes) return out;
        const std::string all(bytes.value().begin(), bytes.value().end());
        for (std::size_t at = 0, end; (end = all.find("\r\n", at)) != std::string::npos; at = end + 2) {
            const std::string line = all.substr(at, end - at);
            const std::size_t tab = line.find('\t');
            out.push_back(tab == std::string::npos ? "(no date) " + line : line.substr(tab + 1));
        }
        return out;
    }

    testsupport::TestPrefix prefix;
    testsupport::ComLibrary common{HALVENLIB_PATH}, product{QUARNCUST_PATH};
};

TEST_F(Custom, InitWritesOneTraceLineToBothLogs) {
    using Caller = std::function<void(_axLog*)>;
    const struct {
        const char* label;
        Caller init;
    } rows[] = {
        {"CCustom2 by ProgID, late-bound by name",
         [](_axLog* log) {
             ComPtr<IDispatch> custom;
             ASSERT_EQ(createByProgId("Quarncust.CCustom2", IDispatch::iid, custom.putVoid()), S_OK);
             VARIANT arg = makeObject(log);
             callMethod(custom.get(), "init", {byRef(&arg)});
             EXPECT_EQ(arg.vt, VT_DISPATCH); // the caller's reference stays
             EXPECT_EQ(static_cast<void*>(arg.pdispVal), static_cast<void*>(log));
         }},
        {"CCustom2 by class id, by slot",
         [](_axLog* log) {
             ComPtr<_CCustom2> custom;
             ASSERT_EQ(createInstance(CLSID_CCustom2, &custom), S_OK);
             _axLog* arg = log;
             ASSERT_EQ(custom->Init(&arg), S_OK);
             EXPECT_EQ(arg, log);
         }},
        {"CCustom, the application object",
         [](_axLog* log) {
             ComPtr<_CCustom> custom;
             ASSERT_EQ(getApplicationObject(CLSID_CCustom, _CCustom::iid, custom.putVoid()), S_OK);
             _axLog* arg = log;
             ASSERT_EQ(custom->Init(&arg), S_OK);
         }},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.label);
        win::DeleteFile(kMain);
        auto log = openLogs();
        ASSERT_TRUE(log);
        row.init(log.get());
        const std::vector<std::string> expected{"Trace\t\tQuarncust ver.1.0.0\t"};
        EXPECT_EQ(linesAfterDate(kMain), expected);
        EXPECT_EQ(linesAfterDate(kShort), expected);
    }
}

TEST_F(Custom, InitWithoutALogFailsWithTheObjectError) {
    ComPtr<IDispatch> custom;
    ASSERT_EQ(createByProgId("Quarncust.CCustom2", IDispatch::iid, custom.putVoid()), S_OK);
    VARIANT nothing = makeObject(nullptr);
    try {
        callMethod(custom.get(), "Init", {byRef(&nothing)});
        ADD_FAILURE() << "no error";
    } catch (const ComError& e) {
        EXPECT_EQ(e.number(), 91);
    }
}

TEST_F(Custom, ARemovedProgIdFailsCreationAndNothingElse) {
    ASSERT_EQ(win::RegDeleteTree(win::HKEY_CURRENT_USER, "Software\\Classes\\Quarncust.CCustom2"), ERROR_SUCCESS);
    ComPtr<IDispatch> custom;
    void* out = reinterpret_cast<void*>(1);
    EXPECT_TRUE(FAILED(createByProgId("Quarncust.CCustom2", IDispatch::iid, &out)));
    EXPECT_EQ(out, nullptr);
    CLSID clsid{};
    EXPECT_TRUE(FAILED(CLSIDFromProgID("Quarncust.CCustom2", &clsid)));

    // The class itself and the library's other ProgIDs still work.
    ComPtr<_CCustom2> byId;
    EXPECT_EQ(createInstance(CLSID_CCustom2, &byId), S_OK);
    for (const char* progId : {"Quarncust.CLittleConfig", "Quarncust.CUniqueNamer", "Quarncust.CCustom"}) {
        ComPtr<IDispatch> other;
        EXPECT_EQ(createByProgId(progId, IDispatch::iid, other.putVoid()), S_OK) << progId;
    }
    auto log = openLogs();
    _axLog* arg = log.get();
    ASSERT_EQ(byId->Init(&arg), S_OK);
    EXPECT_EQ(linesAfterDate(kMain).size(), 1u);
}

} // namespace
