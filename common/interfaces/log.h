#pragma once
// axLog: appends one tab-separated line per event to the main log and, in
// short-log mode, to a short log holding the current run's lines. LogIt
// never fails, so callers may log from inside their own error handling.
// Members are in vtable slot order; callers bind by slot.

#include <string>

#include "platform/com/dispatch_table.h"
#include "platform/com/unknown.h"

namespace halvenlib {

using win::HRESULT;
using win::LONG;
using win::VARIANT_BOOL;

inline constexpr win::CLSID CLSID_axLog{0x53CBFB33, 0x311F, 0x4808, {0xBB, 0xF3, 0x14, 0x7B, 0x93, 0xF8, 0xE9, 0xC0}};
inline constexpr win::GUID GUID_enSeverity{0xF0D28520, 0x9D36, 0x4E40, {0xA6, 0xF1, 0x04, 0x0B, 0xC2, 0x52, 0x1B, 0xB2}};

enum enSeverity : LONG {
    sevError = 0,
    sevWarning = 1,
    sevInformational = 2,
    sevSummary = 3,
    sevInternalError = 4,
    sevTrace = 5,
};

struct _axLog : win::IDispatch {
    static constexpr win::IID iid{0x89E2853C, 0xE406, 0x4B28, {0xAE, 0xA6, 0xE8, 0x0D, 0xB2, 0x5D, 0x59, 0x71}};
    static const winsys::com::InterfaceInfo& info();

    virtual HRESULT get_FileName(std::string* path) = 0;
    virtual HRESULT get_ShortLogFileName(std::string* path) = 0;
    virtual HRESULT get_ShortLogMode(VARIANT_BOOL* on) = 0;
    // Both logs; deletes a short log left from an earlier run (a failure is ignored).
    virtual HRESULT Init2(const std::string& FileName, const std::string& ShortLogFileName) = 0;
    // The main log only.
    virtual HRESULT Init(const std::string& FileName) = 0;
    // Severity (an enSeverity) defaults to sevError, Source to "". Never fails.
    virtual HRESULT LogIt(LONG ErrNumber, const std::string& Description, LONG Severity, const std::string& Source) = 0;

protected:
    ~_axLog() = default;
};

inline const winsys::com::InterfaceInfo& _axLog::info() {
    using namespace winsys::com;
    static const InterfaceInfo i("_axLog", {
        propGet<&_axLog::get_FileName>("FileName"),
        propGet<&_axLog::get_ShortLogFileName>("ShortLogFileName"),
        propGet<&_axLog::get_ShortLogMode>("ShortLogMode"),
        method<&_axLog::Init2>("Init2"),
        method<&_axLog::Init>("Init"),
        method<&_axLog::LogIt>("LogIt").optionalFrom(2),
    });
    return i;
}

} // namespace halvenlib
