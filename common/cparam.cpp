// CParam: one named value; its value is the first of its Values.

#include "common/records_factory.h"

#include "common/ccollection.h"
#include "common/server.h"
#include "platform/com/object.h"
#include "platform/com/property_bag.h"
#include "platform/com/variant.h"

namespace halvenlib {

using namespace win;
using namespace winsys::com;

namespace {

constexpr const char* kSource = "Halvenlib.CParam";

class CParam final : public DispatchObject<_CParam, IPersistPropertyBag> {
public:
    HRESULT get_Name(std::string* name) override {
        if (!name) return E_POINTER;
        *name = name_;
        return S_OK;
    }
    HRESULT put_Name(const std::string& name) override {
        name_ = name;
        return S_OK;
    }
    HRESULT get_Values(_CCollection** values) override {
        if (!values) return E_POINTER;
        *values = ComPtr<_CCollection>(values_).detach();
        return S_OK;
    }
    HRESULT Reserved() override { return E_NOTIMPL; }
    // Nothing gives a new empty list: Values is never missing.
    HRESULT putref_Values(_CCollection* values) override {
        values_ = values ? ComPtr<_CCollection>(values) : newCollection();
        return S_OK;
    }
    HRESULT get_Value(VARIANT* value) override {
        if (!value) return E_POINTER;
        LONG n = 0;
        if (HRESULT h = values_->get_Count(&n); FAILED(h)) return h;
        if (n < 1) return raiseListError(9, kSource);
        VARIANT first = makeLong(1);
        return values_->get_Item(&first, value);
    }

    HRESULT GetClassID(CLSID* clsid) override {
        if (!clsid) return E_POINTER;
        *clsid = CLSID_CParam;
        return S_OK;
    }
    HRESULT InitNew() override {
        name_.clear();
        values_ = newCollection();
        return S_OK;
    }
    HRESULT Save(IPropertyBag* bag, BOOL, BOOL) override {
        const VARIANT noText = makeText("");
        HRESULT h = writeProperty(bag, "N", makeText(name_), &noText);
        if (SUCCEEDED(h)) h = writeProperty(bag, "V", makeObject(values_.get()));
        return h;
    }
    HRESULT Load(IPropertyBag* bag, IErrorLog*) override {
        const VARIANT noText = makeText("");
        VARIANT v;
        std::string name;
        HRESULT h = readProperty(bag, "N", &v, &noText);
        if (SUCCEEDED(h)) h = toText(v, &name);
        if (FAILED(h)) return h;
        ComPtr<_CCollection> values;
        if (h = readRecordList(bag, "V", &values, &newCollection, kSource); FAILED(h)) return h;
        name_ = std::move(name);
        values_ = std::move(values);
        return S_OK;
    }

private:
    std::string name_;
    ComPtr<_CCollection> values_ = newCollection();
};

HRESULT createCParam(REFIID riid, void** ppv) { return createAs<CParam>(riid, ppv); }

const ClassRegistration kReg{{CLSID_CParam, "CParam", "Halvenlib.CParam", 0, &createCParam},
                             {{_CParam::iid, "_CParam"}}};

} // namespace

ComPtr<_CParam> newParam() { return create<CParam>().as<_CParam>(); }

} // namespace halvenlib
