#include "platform/com/com_error.h"

#include <cstdio>

namespace winsys::com {

namespace {

std::string whatText(win::HRESULT hr, const std::string& description) {
    char code[16];
    std::snprintf(code, sizeof code, "0x%08X", static_cast<unsigned>(hr));
    return description.empty() ? std::string("error ") + code : description + " (" + code + ")";
}

} // namespace

ComError::ComError(win::HRESULT hr, std::string description, std::string source)
    : std::runtime_error(whatText(hr, description.empty() ? describeHresult(hr) : description)), hr_(hr),
      description_(description.empty() ? describeHresult(hr) : std::move(description)), source_(std::move(source)) {}

std::string describeHresult(win::HRESULT hr) {
    using namespace win;
    if (HRESULT_FACILITY(hr) == FACILITY_CONTROL && FAILED(hr)) {
        switch (HRESULT_CODE(hr)) {
        case 5: return "Invalid procedure call or argument";
        case 6: return "Overflow";
        case 9: return "Subscript out of range";
        case 13: return "Type mismatch";
        case 91: return "Object variable or With block variable not set";
        case 424: return "Object required";
        case 429: return "ActiveX component can't create object";
        case 438: return "Object doesn't support this property or method";
        case 457: return "This key is already associated with an element of this collection";
        default: return "Application-defined or object-defined error";
        }
    }
    switch (hr) {
    case E_NOTIMPL: return "Not implemented";
    case E_NOINTERFACE: return "No such interface supported";
    case E_POINTER: return "Invalid pointer";
    case E_FAIL: return "Unspecified error";
    case E_OUTOFMEMORY: return "Out of memory";
    case E_INVALIDARG: return "The parameter is incorrect";
    case E_ACCESSDENIED: return "Access is denied";
    case DISP_E_MEMBERNOTFOUND: return "Member not found";
    case DISP_E_PARAMNOTFOUND: return "Parameter not found";
    case DISP_E_TYPEMISMATCH: return "Type mismatch";
    case DISP_E_UNKNOWNNAME: return "Unknown name";
    case DISP_E_NONAMEDARGS: return "Does not support named arguments";
    case DISP_E_BADVARTYPE: return "Bad variable type";
    case DISP_E_EXCEPTION: return "Exception occurred";
    case DISP_E_OVERFLOW: return "Out of present range";
    case DISP_E_BADINDEX: return "Invalid index";
    case DISP_E_BADPARAMCOUNT: return "Invalid number of parameters";
    case CLASS_E_NOAGGREGATION: return "Class does not support aggregation";
    case CLASS_E_CLASSNOTAVAILABLE: return "ClassFactory cannot supply requested class";
    case REGDB_E_CLASSNOTREG: return "Class not registered";
    case CO_E_CLASSSTRING: return "Invalid class string";
    case CO_E_DLLNOTFOUND: return "DLL for class not found";
    case CO_E_ERRORINDLL: return "Error in the DLL";
    case SELFREG_E_CLASS: return "Error registering the classes";
    case CONNECT_E_NOCONNECTION: return "No such connection";
    case CONNECT_E_CANNOTCONNECT: return "The sink does not support the event interface";
    default: return "Automation error";
    }
}

win::HRESULT check(win::HRESULT hr) {
    if (win::SUCCEEDED(hr)) return hr;
    std::string description, source;
    ComPtr<win::IErrorInfo> info;
    if (win::GetErrorInfo(0, info.put()) == win::S_OK && info) {
        info->GetDescription(&description);
        info->GetSource(&source);
    }
    throw ComError(hr, std::move(description), std::move(source));
}

win::HRESULT checkInvoke(win::HRESULT hr, const win::EXCEPINFO& e) {
    if (hr == win::DISP_E_EXCEPTION) {
        clearErrorInfo();
        throw ComError(e.scode ? e.scode : win::E_FAIL, e.bstrDescription, e.bstrSource);
    }
    return check(hr);
}

} // namespace winsys::com
