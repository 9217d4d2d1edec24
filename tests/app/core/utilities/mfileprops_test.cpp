// ShowFileProperties: the request the sheet gets, its result, failures that
// never escape, and switching redirection back on when asked.

#include <gtest/gtest.h>

#include <optional>
#include <stdexcept>

#include "app/core/mfileprops.h"

#include "common/interfaces/fileops.h"
#include "platform/com/class_registry.h"
#include "platform/files/files.h"
#include "tests/support/com_library.h"
#include "tests/support/test_prefix.h"

using namespace sorlix::MFileProps;

namespace {

class FileProps : public ::testing::Test {
protected:
    ~FileProps() override { setFilePropertiesSheet(nullptr); }

    static bool sees64BitSystem() {
        return win::GetFileAttributes("C:\\windows\\system32\\only64.txt") != win::INVALID_FILE_ATTRIBUTES;
    }
    static void disableRedirection() {
        winsys::com::ComPtr<halvenlib::_FileOps> ops;
        ASSERT_EQ(winsys::com::getApplicationObject(halvenlib::CLSID_FileOps, halvenlib::_FileOps::iid, ops.putVoid()),
                  win::S_OK);
        ASSERT_EQ(ops->Wow64DisableWow64FileSystemRedirection(), win::S_OK);
    }

    testsupport::TestPrefix prefix;
    testsupport::ComLibrary common{HALVENLIB_PATH};
};

TEST_F(FileProps, TheSheetGetsTheShellRequest) {
    std::optional<PropertiesRequest> seen;
    setFilePropertiesSheet([&](const PropertiesRequest& r) {
        seen = r;
        return true;
    });
    int owner = 0;
    EXPECT_TRUE(ShowFileProperties("C:\\x\\a.dll", false, &owner));
    ASSERT_TRUE(seen);
    EXPECT_EQ(seen->cbSize, 60u);
    EXPECT_EQ(seen->fMask, 0x44Cu);
    EXPECT_EQ(seen->hwnd, &owner);
    EXPECT_EQ(seen->lpVerb, "properties");
    EXPECT_EQ(seen->lpFile, "C:\\x\\a.dll");
    EXPECT_EQ(seen->lpParameters, "");
    EXPECT_EQ(seen->lpDirectory, "");
    EXPECT_EQ(seen->nShow, 0);
}

TEST_F(FileProps, FailuresGiveFalse) {
    EXPECT_FALSE(ShowFileProperties("C:\\x\\a.dll", false, nullptr)); // no sheet installed
    setFilePropertiesSheet([](const PropertiesRequest&) { return false; });
    EXPECT_FALSE(ShowFileProperties("C:\\x\\a.dll", false, nullptr));
    setFilePropertiesSheet([](const PropertiesRequest&) -> bool { throw std::runtime_error("no dialog"); });
    EXPECT_FALSE(ShowFileProperties("C:\\x\\a.dll", false, nullptr));
}

TEST_F(FileProps, RedirectionSwitchedBackOnlyWhenAsked) {
    prefix.writeFile("C:\\windows\\system32\\only64.txt", "");
    setFilePropertiesSheet([](const PropertiesRequest&) { return true; });
    disableRedirection();
    ASSERT_TRUE(sees64BitSystem());
    EXPECT_TRUE(ShowFileProperties("C:\\windows\\system32\\only64.txt", false, nullptr));
    EXPECT_TRUE(sees64BitSystem());
    EXPECT_TRUE(ShowFileProperties("C:\\windows\\system32\\only64.txt", true, nullptr));
    EXPECT_FALSE(sees64BitSystem());

    // Also after a sheet that failed.
    setFilePropertiesSheet([](const PropertiesRequest&) -> bool { throw std::runtime_error("no dialog"); });
    disableRedirection();
    EXPECT_FALSE(ShowFileProperties("C:\\x\\a.dll", true, nullptr));
    EXPECT_FALSE(sees64BitSystem());
}

} // namespace
