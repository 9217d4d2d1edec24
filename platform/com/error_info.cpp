#include "platform/com/error_info.h"

#include "platform/com/object.h"

namespace winsys::com {

namespace {

class ErrorInfo final : public Object<win::IErrorInfo> {
public:
    ErrorInfo(std::string description, std::string source)
        : description_(std::move(description)), source_(std::move(source)) {}

    win::HRESULT GetGUID(win::GUID* guid) override {
        if (!guid) return win::E_POINTER;
        *guid = win::GUID_NULL;
        return win::S_OK;
    }
    win::HRESULT GetSource(std::string* s) override { return give(source_, s); }
    win::HRESULT GetDescription(std::string* s) override { return give(description_, s); }
    win::HRESULT GetHelpFile(std::string* s) override { return give({}, s); }
    win::HRESULT GetHelpContext(win::DWORD* c) override {
        if (!c) return win::E_POINTER;
        *c = 0;
        return win::S_OK;
    }

private:
    static win::HRESULT give(const std::string& v, std::string* out) {
        if (!out) return win::E_POINTER;
        *out = v;
        return win::S_OK;
    }
    std::string description_, source_;
};

thread_local ComPtr<win::IErrorInfo> t_errorInfo;

} // namespace

win::HRESULT hresultFromNumber(win::LONG number) {
    if (number < 0) return number;
    if (number >= 1 && number <= 0xFFFF) return win::hr(0x800A0000u | static_cast<win::DWORD>(number));
    return win::E_FAIL;
}

win::LONG numberFromHresult(win::HRESULT h) {
    if (win::FAILED(h) && win::HRESULT_FACILITY(h) == win::FACILITY_CONTROL) return win::HRESULT_CODE(h);
    return h;
}

ComPtr<win::IErrorInfo> createErrorInfo(std::string description, std::string source) {
    ComPtr<win::IErrorInfo> p = ComPtr<win::IErrorInfo>::attach(new ErrorInfo(std::move(description), std::move(source)));
    return p;
}

win::HRESULT raiseError(win::LONG number, std::string description, std::string source) {
    win::SetErrorInfo(0, createErrorInfo(std::move(description), std::move(source)).get());
    return hresultFromNumber(number);
}

void clearErrorInfo() { t_errorInfo.reset(); }

} // namespace winsys::com

namespace win {

HRESULT SetErrorInfo(DWORD, IErrorInfo* info) {
    winsys::com::t_errorInfo = winsys::com::ComPtr<IErrorInfo>(info);
    return S_OK;
}

HRESULT GetErrorInfo(DWORD, IErrorInfo** info) {
    if (!info) return E_POINTER;
    *info = winsys::com::t_errorInfo.detach();
    return *info ? S_OK : S_FALSE;
}

} // namespace win
