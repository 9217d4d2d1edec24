// CRegistry on 32-bit Windows: the 64-bit pseudo-roots reach nothing, and
// every member says so in its own way.

#include <gmock/gmock.h>

#include "tests/common/registry/registry_fixture.h"

namespace regtest {
namespace {

using namespace halvenlib;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

using Registry32Test = RegistryTestOn<winsys::Arch::Win32>;

constexpr const char* kMachine = R"(Windows Registry Editor Version 5.00

[HKEY_LOCAL_MACHINE\Software\Only]
"v"="one view"

[HKEY_LOCAL_MACHINE\Software\Classes\CLSID\{AAAAAAAA-0000-0000-0000-000000000001}\Implemented Categories\{00021493-0000-0000-C000-000000000046}]
)";

TEST_F(Registry32Test, PseudoRootsFailOrListNothing) {
    prefix.importReg(kMachine);
    std::string v = "sentinel";
    EXPECT_TRUE(querySTRING(HKEY_LOCAL_MACHINE, "Software\\Only", "v", &v));
    EXPECT_EQ(v, "one view");
    EXPECT_FALSE(querySTRING(HKEY_LOCAL_MACHINE_64BIT, "Software\\Only", "v", &v));
    EXPECT_EQ(v, "");
    EXPECT_FALSE(setSTRING(HKEY_LOCAL_MACHINE_64BIT, "Software\\New", "v", "x"));
    EXPECT_THAT(enumKey(HKEY_LOCAL_MACHINE_64BIT, "Software"), IsEmpty());
    EXPECT_THAT(enumValues(HKEY_LOCAL_MACHINE_64BIT, "Software\\Only"), IsEmpty());
    EXPECT_EQ(saveAsReg50(HKEY_LOCAL_MACHINE_64BIT, "Software\\Only"), "");

    std::vector<std::string> names;
    std::string reason;
    EXPECT_FALSE(enumValuesEx(HKEY_LOCAL_MACHINE_64BIT, "Software\\Only", &names, &reason));
    EXPECT_EQ(reason, "Invalid key HKEY_LOCAL_MACHINE_64BIT on 32 bit Windows");

    EXPECT_TRUE(deleteValue(HKEY_LOCAL_MACHINE_64BIT, "Software\\Only", "v"));
    EXPECT_FALSE(deleteKeyEx(HKEY_LOCAL_MACHINE_64BIT, "Software\\Only", &reason));
    EXPECT_EQ(reason, "64-bit key on 32-bit OS.");

    EXPECT_FALSE(copySubKey(HKEY_LOCAL_MACHINE, "Software\\Only", HKEY_CLASSES_ROOT_64BIT, "Backup", &reason));
    EXPECT_EQ(reason, "Invalid key HKEY_CLASSES_ROOT_64BIT on 32 bit Windows");
    EXPECT_TRUE(querySTRING(HKEY_LOCAL_MACHINE, "Software\\Only", "v", &v));
}

TEST_F(Registry32Test, ClassesOfACategoryComeFromTheOneViewWithoutKeys) {
    prefix.importReg(kMachine);
    ComPtr<_CCollection> list = classesOf("{00021493-0000-0000-C000-000000000046}", true, true);
    EXPECT_THAT(items(list.get()), ElementsAre("{AAAAAAAA-0000-0000-0000-000000000001}"));
    EXPECT_FALSE(hasKey(list.get(), "{AAAAAAAA-0000-0000-0000-000000000001}"));
}

} // namespace
} // namespace regtest
