#pragma once
// The client side of COM errors: a failed call becomes a ComError carrying
// the HRESULT, the error number as the program's code uses it (n for
// facility 10, else the HRESULT), and the description and source that the
// failing member raised. Interface wrappers call through `call`:
//
//   void Add(const VARIANT& item) { com::call([&] { return p_->Add(item); }); }

#include <stdexcept>
#include <string>

#include "platform/com/dispatch.h"
#include "platform/com/error_info.h"

namespace winsys::com {

class ComError : public std::runtime_error {
public:
    ComError(win::HRESULT hr, std::string description, std::string source);

    win::HRESULT hresult() const { return hr_; }
    win::LONG number() const { return numberFromHresult(hr_); }
    const std::string& description() const { return description_; }
    const std::string& source() const { return source_; }

private:
    win::HRESULT hr_;
    std::string description_;
    std::string source_;
};

// The standard text of an HRESULT or facility-10 number, for failures that
// carry no description of their own.
std::string describeHresult(win::HRESULT hr);

// Throws ComError for a failure, taking the thread's error info; returns a
// success code unchanged.
win::HRESULT check(win::HRESULT hr);
// As check, for IDispatch::Invoke: DISP_E_EXCEPTION takes its EXCEPINFO.
win::HRESULT checkInvoke(win::HRESULT hr, const win::EXCEPINFO& excepInfo);

// Clears stale error info, runs `f` (which returns an HRESULT) and checks it.
template <class F>
win::HRESULT call(F&& f) {
    clearErrorInfo();
    return check(f());
}

} // namespace winsys::com
