// CTestGlobal: the test library's application object.

#include "tests/platform/com/testlib_classes.h"

#include "platform/com/object.h"
#include "platform/com/server.h"
#include "platform/files/paths.h"
#include "tests/platform/com/testlib_interfaces.h"

namespace comtest {

using namespace win;
using namespace winsys::com;

namespace {

const char kAnchor = 0; // an address inside this library

class CTestGlobal final : public DispatchObject<_CTestGlobal> {
public:
    HRESULT Touch(LONG* count) override {
        *count = ++touches_;
        return S_OK;
    }
    HRESULT get_ModulePath(std::string* path) override {
        auto host = modulePathOf(&kAnchor);
        if (!host) return E_FAIL;
        *path = winsys::toWindowsPath(*host);
        return S_OK;
    }
    HRESULT NewList(const std::string& name, _CTestList** list) override {
        ComPtr<_CTestList> l;
        if (HRESULT h = createTestList(_CTestList::iid, l.putVoid()); FAILED(h)) return h;
        l->put_Name(name);
        *list = l.detach();
        return S_OK;
    }

private:
    LONG touches_ = 0;
};

} // namespace

HRESULT createTestGlobal(REFIID riid, void** ppv) { return createAs<CTestGlobal>(riid, ppv); }

} // namespace comtest
