// EnumClassesOfCategory over the two views of a 64-bit machine.

#include <gmock/gmock.h>

#include "tests/common/registry/registry_fixture.h"

namespace regtest {
namespace {

using ::testing::ElementsAreArray;

using RegistryClassesTest = RegistryTestOn<winsys::Arch::Win64>;

constexpr const char* kCat = "{00021493-0000-0000-C000-000000000046}";

// A: 32-bit only, B: 64-bit only, C: both views, D: another category.
constexpr const char* kClasses = R"(Windows Registry Editor Version 5.00

[HKEY_LOCAL_MACHINE\Software\Classes\Wow6432Node\CLSID\{AAAAAAAA-0000-0000-0000-000000000001}\Implemented Categories\{00021493-0000-0000-C000-000000000046}]
[HKEY_LOCAL_MACHINE\Software\Classes\Wow6432Node\CLSID\{CCCCCCCC-0000-0000-0000-000000000003}\Implemented Categories\{00021493-0000-0000-C000-000000000046}]
[HKEY_LOCAL_MACHINE\Software\Classes\Wow6432Node\CLSID\{DDDDDDDD-0000-0000-0000-000000000004}\Implemented Categories\{11111111-0000-0000-C000-000000000046}]
[HKEY_LOCAL_MACHINE\Software\Classes\CLSID\{BBBBBBBB-0000-0000-0000-000000000002}\Implemented Categories\{00021493-0000-0000-C000-000000000046}]
[HKEY_LOCAL_MACHINE\Software\Classes\CLSID\{CCCCCCCC-0000-0000-0000-000000000003}\Implemented Categories\{00021493-0000-0000-C000-000000000046}]
[HKEY_LOCAL_MACHINE\Software\Classes\CLSID\{DDDDDDDD-0000-0000-0000-000000000004}]
)";

TEST_F(RegistryClassesTest, ListsEachViewAndMergesThemOnce) {
    prefix.importReg(kClasses);
    const std::string a = "{AAAAAAAA-0000-0000-0000-000000000001}", b = "{BBBBBBBB-0000-0000-0000-000000000002}",
                      c = "{CCCCCCCC-0000-0000-0000-000000000003}";
    const struct {
        const char* label;
        bool with32, with64;
        std::vector<std::string> ids;
        bool keyed;
    } rows[] = {
        {"32-bit view", true, false, {a, c}, false},
        {"64-bit view", false, true, {b, c}, false},
        {"both: 32-bit first, shared class once", true, true, {a, c, b}, true},
        {"neither", false, false, {}, false},
    };
    for (const auto& r : rows) {
        ComPtr<_CCollection> list = classesOf(kCat, r.with32, r.with64);
        EXPECT_THAT(items(list.get()), ElementsAreArray(r.ids)) << r.label;
        for (const std::string& id : r.ids) EXPECT_EQ(hasKey(list.get(), id), r.keyed) << r.label << " " << id;
    }
}

} // namespace
} // namespace regtest
