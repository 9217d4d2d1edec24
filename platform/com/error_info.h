#pragma once
// Errors across the COM boundary: a failed HRESULT plus the thread's error
// info (description, source). An automation error number n travels as the
// facility-10 HRESULT 0x800A0000 | n. A member raises an error so:
//
//   return raiseError(457, "This key is already associated ...", "CCollection.Add");

#include <string>

#include "platform/com/com_ptr.h"
#include "platform/com/types.h"

namespace win {

struct IErrorInfo : IUnknown {
    static constexpr IID iid{0x1CF2B120, 0x547D, 0x101B, {0x8E, 0x65, 0x08, 0x00, 0x2B, 0x2B, 0xD1, 0x19}};
    virtual HRESULT GetGUID(GUID* guid) = 0;
    virtual HRESULT GetSource(std::string* source) = 0;
    virtual HRESULT GetDescription(std::string* description) = 0;
    virtual HRESULT GetHelpFile(std::string* helpFile) = 0;
    virtual HRESULT GetHelpContext(DWORD* helpContext) = 0;

protected:
    ~IErrorInfo() = default;
};

// The calling thread's error info; null clears it.
HRESULT SetErrorInfo(DWORD reserved, IErrorInfo* info);
// Hands the thread's error info over and clears it; S_FALSE and null when there is none.
HRESULT GetErrorInfo(DWORD reserved, IErrorInfo** info);

} // namespace win

namespace winsys::com {

// 0x800A0000 | n for a number of 1 to 65535; a failure HRESULT stays as it
// is; anything else (0, positive beyond 65535) is E_FAIL.
win::HRESULT hresultFromNumber(win::LONG number);
// The error number as the program's code sees it: n for a facility-10
// HRESULT, else the HRESULT itself.
win::LONG numberFromHresult(win::HRESULT hr);

ComPtr<win::IErrorInfo> createErrorInfo(std::string description, std::string source);
// Sets the thread's error info and returns the number's HRESULT.
win::HRESULT raiseError(win::LONG number, std::string description, std::string source);
void clearErrorInfo();

} // namespace winsys::com
