#include "platform/com/property_bag.h"

#include "platform/com/class_registry.h"
#include "platform/com/error_info.h"

namespace winsys::com {

using namespace win;

namespace {

// Saving an object graph with a cycle would never end; stop it here.
constexpr int kMaxNesting = 200;
thread_local int t_nesting = 0;

struct NestingGuard {
    NestingGuard() { ++t_nesting; }
    ~NestingGuard() { --t_nesting; }
    bool tooDeep() const { return t_nesting > kMaxNesting; }
};

bool isNumeric(VARTYPE vt) {
    return vt == VT_UI1 || vt == VT_I2 || vt == VT_I4 || vt == VT_R8 || vt == VT_BOOL || vt == VT_DATE;
}

// Whether a value equals its default, as the `=` of the language compares them.
bool sameValue(const VARIANT& a, const VARIANT& b) {
    if (a.vt == VT_EMPTY && b.vt == VT_EMPTY) return true;
    if (a.vt == VT_BSTR && b.vt == VT_BSTR) return a.bstrVal == b.bstrVal;
    if (isNumeric(a.vt) && isNumeric(b.vt)) {
        double x = 0, y = 0;
        return SUCCEEDED(toDouble(a, &x)) && SUCCEEDED(toDouble(b, &y)) && x == y;
    }
    return false;
}

} // namespace

HRESULT PropertyBag::Read(const std::string& name, VARIANT* var, IErrorLog*) {
    if (!var) return E_POINTER;
    auto it = entries_.find(name);
    if (it == entries_.end()) return E_INVALIDARG;
    const VARTYPE wanted = var->vt;
    VARIANT value;
    if (it->second.nested) {
        ComPtr<IPersistPropertyBag> object;
        if (HRESULT h = CoCreateInstance(it->second.clsid, nullptr, CLSCTX_INPROC_SERVER, IPersistPropertyBag::iid,
                                         object.putVoid());
            FAILED(h))
            return h;
        if (HRESULT h = object->Load(it->second.nested.get(), nullptr); FAILED(h)) return h;
        ComPtr<IDispatch> d = object.as<IDispatch>();
        value = d ? makeObject(d.get()) : makeUnknown(object.get());
    } else {
        value = it->second.value;
    }
    if (wanted != VT_EMPTY && wanted != value.vt) {
        VARIANT converted;
        if (HRESULT h = VariantChangeType(&converted, &value, 0, wanted); FAILED(h)) return h;
        value = std::move(converted);
    }
    *var = std::move(value);
    return S_OK;
}

HRESULT PropertyBag::Write(const std::string& name, VARIANT* var) {
    if (!var) return E_POINTER;
    VARIANT value;
    if (HRESULT h = VariantCopyInd(&value, var); FAILED(h)) return h;
    Entry e;
    if ((value.vt == VT_DISPATCH || value.vt == VT_UNKNOWN) && value.punkVal) {
        NestingGuard guard;
        if (guard.tooDeep()) return raiseError(28, "Out of stack space", "PropertyBag.Write");
        ComPtr<IPersistPropertyBag> persist;
        if (FAILED(value.punkVal->QueryInterface(IPersistPropertyBag::iid, persist.putVoid())) || !persist)
            return raiseError(330, "Illegal parameter. Can't write object because it does not support persistence.",
                              "PropertyBag.Write");
        if (HRESULT h = persist->GetClassID(&e.clsid); FAILED(h)) return h;
        e.nested = create<PropertyBag>();
        if (HRESULT h = persist->Save(e.nested.get(), TRUE, TRUE); FAILED(h)) return h;
    } else {
        e.value = std::move(value);
    }
    entries_.insert_or_assign(name, std::move(e));
    return S_OK;
}

HRESULT writeProperty(IPropertyBag* bag, const std::string& name, const VARIANT& value, const VARIANT* defaultValue) {
    if (!bag) return E_POINTER;
    if (defaultValue && sameValue(deref(value), deref(*defaultValue))) return S_OK;
    VARIANT v = value;
    return bag->Write(name, &v);
}

HRESULT readProperty(IPropertyBag* bag, const std::string& name, VARIANT* out, const VARIANT* defaultValue) {
    if (!bag || !out) return E_POINTER;
    VARIANT v;
    HRESULT h = bag->Read(name, &v, nullptr);
    if (h == E_INVALIDARG) { // not in the bag
        if (defaultValue)
            return VariantCopyInd(out, defaultValue);
        VariantClear(out);
        return S_OK;
    }
    if (FAILED(h)) return h;
    *out = std::move(v);
    return S_OK;
}

} // namespace winsys::com
