#pragma once
// Late-bound calls from the client side: by member name (GetIDsOfNames,
// without regard to case) or dispatch id, arguments in declaration order
// (by-reference ones as byRef(&variable)), failures thrown as ComError.
//
//   VARIANT log = makeObject(logObject);
//   com::callMethod(custom, "Init", {byRef(&log)});   // Init may replace `log`

#include <functional>
#include <string>
#include <vector>

#include "platform/com/com_error.h"
#include "platform/com/dispatch.h"

namespace winsys::com {

// The raw call: `args` in declaration order; a put passes its new value
// last. Returns Invoke's HRESULT and fills `excepInfo`.
win::HRESULT invokeDispatch(win::IDispatch* object, win::DISPID id, win::WORD flags, std::vector<VARIANT> args,
                            VARIANT* result, win::EXCEPINFO* excepInfo);
win::DISPID dispatchIdOf(win::IDispatch* object, const std::string& name);

VARIANT invokeById(win::IDispatch* object, win::DISPID id, win::WORD flags, std::vector<VARIANT> args = {});
VARIANT invoke(win::IDispatch* object, const std::string& name, win::WORD flags, std::vector<VARIANT> args = {});

inline VARIANT callMethod(win::IDispatch* object, const std::string& name, std::vector<VARIANT> args = {}) {
    return invoke(object, name, win::DISPATCH_METHOD | win::DISPATCH_PROPERTYGET, std::move(args));
}
inline VARIANT getProperty(win::IDispatch* object, const std::string& name, std::vector<VARIANT> args = {}) {
    return invoke(object, name, win::DISPATCH_PROPERTYGET, std::move(args));
}
// Property let (a plain value) and set (an object reference); `indices` first.
void putProperty(win::IDispatch* object, const std::string& name, VARIANT value, std::vector<VARIANT> indices = {});
void putRefProperty(win::IDispatch* object, const std::string& name, VARIANT value,
                    std::vector<VARIANT> indices = {});

// For-each: asks `collection` for its enumerator (dispatch id -4) and
// hands every item to `body` in order.
void forEach(win::IDispatch* collection, const std::function<void(const VARIANT& item)>& body);

} // namespace winsys::com
