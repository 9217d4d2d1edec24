#pragma once
// The running program's program-wide objects on a test machine, as start-up
// makes them: a recording log, the registry object, the file checker, the
// type table, the plugin-host detector, a new catalogue, the data and
// temporary folders and the Windows flags. Both component libraries must be registered first:
//
//   TestPrefix prefix;
//   ComLibrary common(HALVENLIB_PATH), product(QUARNCUST_PATH);
//   ProgramObjects program;          // dropped again at the end of the test

#include <memory>
#include <string>

#include "app/core/mmain.h"
#include "common/interfaces/registry.h"
#include "platform/com/class_registry.h"
#include "platform/com/com_error.h"
#include "platform/com/object.h"
#include "platform/core/machine.h"
#include "tests/support/fake_log.h"

namespace testsupport {

class ProgramObjects {
public:
    static constexpr const char* kDataFolder = "C:\\users\\tester\\AppData\\Local\\Vendrel Sorlix";

    ProgramObjects() : log(winsys::com::create<FakeLog>()) {
        using namespace sorlix;
        Log = winsys::com::ComPtr<halvenlib::_axLog>(log.get());
        DataFolder = kDataFolder;
        TempFolder = DataFolder + "\\Temp";
        IsNT = true;
        IsNT4 = false;
        Is64bitWindows = winsys::machine().is64bit();
        winsys::com::ComPtr<halvenlib::_CRegistry> registry;
        winsys::com::check(winsys::com::createInstance(halvenlib::CLSID_CRegistry, &registry));
        Registry = std::move(registry);
        FileChecker = std::make_unique<CFileChecker>(IsNT, IsNT4);
        AddonTypeVisor = std::make_unique<CAddonTypeVisor>();
        AppVisor = std::make_unique<CAppVisor>();
        DB = std::make_unique<CDB>(Log);
    }
    ~ProgramObjects() {
        sorlix::MMain::ReleaseProgramObjects();
        sorlix::Wow64RedirectionCount = 0;
    }
    ProgramObjects(const ProgramObjects&) = delete;
    ProgramObjects& operator=(const ProgramObjects&) = delete;

    winsys::com::ComPtr<FakeLog> log;
};

} // namespace testsupport
