// The 64-bit kinds read their add-on's file in the 64-bit view: a file in
// the system folder that only the 64-bit view holds still gives its name,
// maker and version.

#include "tests/app/enumerators/ie_fixture.h"

#include <functional>

#include "app/core/globals.h"
#include "platform/core/text.h"
#include "platform/files/paths.h"

using namespace ietest;
using sorlix::CIEEnumerator;

namespace {

TEST(IEFileView, The64bitKindsReadTheirFilesInThe64bitView) {
    Machine m;
    m.prefix.importReg(R"(Windows Registry Editor Version 5.00

[HKEY_LOCAL_MACHINE\Software\Microsoft\Internet Explorer\Extensions\{B6400000-0000-0000-0000-000000000001}]
"ButtonText"="Button"
"Exec"="C:\\windows\\system32\\button64.dll"

[HKEY_LOCAL_MACHINE\Software\Microsoft\Internet Explorer\MenuExt\Menu item]
@="C:\\windows\\system32\\menu64.dll"

[HKEY_LOCAL_MACHINE\Software\Classes\CLSID\{B6400000-0000-0000-0000-000000000002}\InProcServer32]
@="C:\\windows\\system32\\bar64.dll"

[HKEY_LOCAL_MACHINE\Software\Classes\CLSID\{B6400000-0000-0000-0000-000000000002}\Implemented Categories\{00021493-0000-0000-C000-000000000046}]

[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows\CurrentVersion\Explorer\Browser Helper Objects\{B6400000-0000-0000-0000-000000000003}]

[HKEY_LOCAL_MACHINE\Software\Classes\CLSID\{B6400000-0000-0000-0000-000000000003}\InProcServer32]
@="C:\\windows\\system32\\helper64.dll"
)");
    for (const char* file : {"button64", "menu64", "bar64", "helper64"})
        m.pe(std::string("C:\\windows\\system32\\") + file + ".dll",
             {{"CompanyName", "Maker 64"}, {"ProductName", std::string("Product ") + file}, {"ProductVersion", "6.4"}});

    const struct {
        const char* kind;
        std::function<ComPtr<_CNodes>(CIEEnumerator&)> run;
        const char* originalName;
        const char* dLL;
    } rows[] = {
        {"toolbar button", [](CIEEnumerator& e) { return e.EnumToolbarButtons(true); }, "Button",
         "C:\\windows\\system32\\button64.dll"},
        {"menu extension", [](CIEEnumerator& e) { return e.EnumContextMenus(true); }, "Menu item",
         "C:\\windows\\system32\\menu64.dll"},
        {"explorer bar", [](CIEEnumerator& e) { return e.EnumExplorerBars(true); }, "Product bar64",
         "C:\\windows\\system32\\bar64.dll"},
        {"helper object", [](CIEEnumerator& e) { return e.EnumBHOs(true); }, "Product helper64",
         "C:\\windows\\system32\\helper64.dll"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.kind);
        CIEEnumerator e;
        const auto result = row.run(e);
        ASSERT_TRUE(result);
        const auto nodes = nodesOf(result.get());
        ASSERT_EQ(nodes.size(), 1u);
        EXPECT_EQ(param(nodes[0].get(), "originalName"), row.originalName);
        EXPECT_EQ(param(nodes[0].get(), "manufacturer"), "Maker 64");
        EXPECT_EQ(param(nodes[0].get(), "version"), "6.4");
        EXPECT_EQ(winsys::lowerCase(param(nodes[0].get(), "dLL")), winsys::lowerCase(row.dLL));
        EXPECT_EQ(param(nodes[0].get(), "file64bitSystem32"), "True");
        EXPECT_EQ(sorlix::Wow64RedirectionCount, 0);
        EXPECT_TRUE(win::isFsRedirectionActive());
    }
    EXPECT_TRUE(m.log().empty());
}

} // namespace
