#include "platform/com/late_bound.h"

#include <algorithm>

#include "platform/com/com_ptr.h"

namespace winsys::com {

using namespace win;

HRESULT invokeDispatch(IDispatch* object, DISPID id, WORD flags, std::vector<VARIANT> args, VARIANT* result,
                       EXCEPINFO* excepInfo) {
    if (!object) return E_POINTER;
    std::reverse(args.begin(), args.end()); // Invoke takes the last argument first
    DISPPARAMS params;
    DISPID putId = DISPID_PROPERTYPUT;
    params.rgvarg = args.data();
    params.cArgs = static_cast<UINT>(args.size());
    if (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) {
        params.rgdispidNamedArgs = &putId;
        params.cNamedArgs = 1;
    }
    UINT argErr = 0;
    return object->Invoke(id, GUID_NULL, LOCALE_USER_DEFAULT, flags, &params, result, excepInfo, &argErr);
}

DISPID dispatchIdOf(IDispatch* object, const std::string& name) {
    if (!object) throw ComError(E_POINTER, "", "");
    DISPID id = DISPID_UNKNOWN;
    call([&] { return object->GetIDsOfNames(GUID_NULL, &name, 1, LOCALE_USER_DEFAULT, &id); });
    return id;
}

VARIANT invokeById(IDispatch* object, DISPID id, WORD flags, std::vector<VARIANT> args) {
    VARIANT result;
    EXCEPINFO excepInfo;
    clearErrorInfo();
    checkInvoke(invokeDispatch(object, id, flags, std::move(args), &result, &excepInfo), excepInfo);
    return result;
}

VARIANT invoke(IDispatch* object, const std::string& name, WORD flags, std::vector<VARIANT> args) {
    return invokeById(object, dispatchIdOf(object, name), flags, std::move(args));
}

void putProperty(IDispatch* object, const std::string& name, VARIANT value, std::vector<VARIANT> indices) {
    indices.push_back(std::move(value));
    invoke(object, name, DISPATCH_PROPERTYPUT, std::move(indices));
}

void putRefProperty(IDispatch* object, const std::string& name, VARIANT value, std::vector<VARIANT> indices) {
    indices.push_back(std::move(value));
    invoke(object, name, DISPATCH_PROPERTYPUTREF, std::move(indices));
}

void forEach(IDispatch* collection, const std::function<void(const VARIANT& item)>& body) {
    VARIANT e = invokeById(collection, DISPID_NEWENUM, DISPATCH_METHOD | DISPATCH_PROPERTYGET);
    ComPtr<IEnumVARIANT> items;
    if ((e.vt == VT_UNKNOWN || e.vt == VT_DISPATCH) && e.punkVal)
        e.punkVal->QueryInterface(IEnumVARIANT::iid, items.putVoid());
    if (!items) throw ComError(hresultFromNumber(438), "", "");
    for (;;) {
        VARIANT item;
        ULONG fetched = 0;
        if (check(items->Next(1, &item, &fetched)) != S_OK || fetched != 1) break;
        body(item);
    }
}

} // namespace winsys::com
