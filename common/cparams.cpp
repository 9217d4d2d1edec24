// CParams: a named-value record, each CParam held under its name in upper
// case, so names are unique without regard to case.

#include "common/records_factory.h"

#include "common/ccollection.h"
#include "common/server.h"
#include "platform/com/object.h"
#include "platform/com/property_bag.h"
#include "platform/com/variant.h"
#include "platform/core/text.h"

namespace halvenlib {

using namespace win;
using namespace winsys::com;

namespace {

constexpr const char* kSource = "Halvenlib.CParams";

class CParams final : public ListObject<_CParams, CLSID_CParams> {
public:
    CParams() : ListObject(kSource) {}

    HRESULT Add(VARIANT* name, VARIANT* value, _CParam** param) override {
        if (!name || !param) return E_POINTER;
        *param = nullptr;
        std::string text;
        if (FAILED(toText(deref(*name), &text))) return list_.raise(13);
        ComPtr<_CParam> p = newParam();
        p->put_Name(text);
        if (!omitted(value)) {
            ComPtr<_CCollection> values;
            p->get_Values(values.put());
            if (HRESULT h = values->Add(value, nullptr, nullptr, nullptr); FAILED(h)) return h;
        }
        if (HRESULT h = list_.add(makeObject(p.get()), winsys::upperCase(text)); FAILED(h)) return h;
        *param = p.detach();
        return S_OK;
    }

    HRESULT Remove(VARIANT* index) override {
        if (!index) return E_POINTER;
        return list_.remove(keyed(*index));
    }

    HRESULT get_Item(VARIANT* index, _CParam** param) override {
        if (!index || !param) return E_POINTER;
        *param = nullptr;
        VARIANT v;
        if (HRESULT h = list_.item(keyed(*index), &v); FAILED(h)) return h;
        if ((v.vt != VT_DISPATCH && v.vt != VT_UNKNOWN) || !v.punkVal ||
            FAILED(v.punkVal->QueryInterface(_CParam::iid, reinterpret_cast<void**>(param))))
            return list_.raise(13);
        return S_OK;
    }

    HRESULT IsInCollection(const std::string& name, VARIANT_BOOL* present) override {
        if (!present) return E_POINTER;
        *present = toVariantBool(list_.contains(name));
        return S_OK;
    }

    HRESULT keyOf(const VARIANT& v, std::optional<std::string>* key) const override {
        ComPtr<_CParam> p;
        if ((v.vt != VT_DISPATCH && v.vt != VT_UNKNOWN) || !v.punkVal ||
            FAILED(v.punkVal->QueryInterface(_CParam::iid, p.putVoid())))
            return E_NOINTERFACE;
        std::string name;
        p->get_Name(&name);
        *key = winsys::upperCase(name);
        return S_OK;
    }

private:
    // A text index is looked up by its upper-case form.
    static VARIANT keyed(const VARIANT& index) {
        const VARIANT& ix = deref(index);
        return ix.vt == VT_BSTR ? makeText(winsys::upperCase(ix.bstrVal)) : ix;
    }

};

HRESULT createCParams(REFIID riid, void** ppv) { return createAs<CParams>(riid, ppv); }

const ClassRegistration kReg{{CLSID_CParams, "CParams", "Halvenlib.CParams", 0, &createCParams},
                             {{_CParams::iid, "_CParams"}}};

} // namespace

ComPtr<_CParams> newParams() { return create<CParams>().as<_CParams>(); }

} // namespace halvenlib
