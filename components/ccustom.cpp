#include "components/ccustom.h"

#include "components/server.h"
#include "platform/com/error_info.h"
#include "platform/com/object.h"

namespace quarncust {

using namespace win;
using namespace winsys::com;
using halvenlib::_axLog;

namespace {

constexpr int kRevision = 0;

HRESULT writeTrace(_axLog** log, const char* source) {
    if (!log || !*log) return raiseError(91, "Object variable or With block variable not set", source);
    return (*log)->LogIt(0, versionLine(), halvenlib::sevTrace, "");
}

class CCustom2 final : public DispatchObject<_CCustom2> {
public:
    HRESULT Init(_axLog** Log) override { return writeTrace(Log, "Quarncust.CCustom2"); }
};

class CCustom final : public DispatchObject<_CCustom> {
public:
    HRESULT Init(_axLog** Log) override { return writeTrace(Log, "Quarncust.CCustom"); }
};

const ClassRegistration kCustom2{{CLSID_CCustom2, "CCustom2", "Quarncust.CCustom2", 0, &createCCustom2},
                                 {{_CCustom2::iid, "_CCustom2"}}};
const ClassRegistration kCustom{{CLSID_CCustom, "CCustom", "Quarncust.CCustom", 0, &createCCustom},
                                {{_CCustom::iid, "_CCustom"}}};

} // namespace

std::string versionLine() {
    const ServerInfo& info = server();
    return info.name + " ver." + std::to_string(info.major) + "." + std::to_string(info.minor) + "." +
           std::to_string(kRevision);
}

HRESULT createCCustom2(REFIID riid, void** ppv) { return createAs<CCustom2>(riid, ppv); }
HRESULT createCCustom(REFIID riid, void** ppv) { return createAs<CCustom>(riid, ppv); }

} // namespace quarncust
