// The test library's class table and its three exports.

#include "platform/com/server.h"
#include "tests/platform/com/testlib_classes.h"
#include "tests/platform/com/testlib_interfaces.h"

namespace {

using namespace comtest;

const winsys::com::ServerInfo kServer{
    "ComTestLib",
    kLibId,
    1,
    2,
    {{CLSID_CTestList, "CTestList", kListProgId, 1, &createTestList},
     {CLSID_CTestGlobal, "CTestGlobal", kGlobalProgId, 0, &createTestGlobal}},
    {{_CTestList::iid, "_CTestList"}, {_CTestGlobal::iid, "_CTestGlobal"}, {DIID___CTestList, "__CTestList"}},
};

} // namespace

WINSYS_COM_SERVER_EXPORTS(kServer)
