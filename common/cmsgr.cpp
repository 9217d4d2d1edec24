#include "common/cmsgr.h"

// SendMsg hands its four values to every connected client, in connection
// order, inside the call. Each client gets its own copy, so one handler
// changing its arguments does not change what the next one sees.

#include <string>
#include <vector>

#include "common/interfaces/messaging.h"
#include "common/server.h"
#include "platform/com/connection_point.h"
#include "platform/com/variant.h"

namespace halvenlib {

using namespace win;
using namespace winsys::com;

namespace {

class CMsgr final : public EventObject<_CMsgr> {
public:
    CMsgr() : EventObject(DIID___CMsgr) {}

    HRESULT SendMsg(LONG Msg, VARIANT* Data, const std::string& Sender, const std::string& Receiver) override {
        VARIANT data = makeMissing();
        if (Data)
            if (HRESULT h = VariantCopyInd(&data, Data); FAILED(h)) return h;
        std::vector<VARIANT> args{makeLong(Msg), std::move(data), makeText(Sender), makeText(Receiver)};
        ComPtr<CMsgr> self(this); // a handler may drop the client's last reference
        events().fire(DISPID_MsgArrived, args);
        return S_OK;
    }
};

const ClassRegistration kRegistration{{CLSID_CMsgr, "CMsgr", "Halvenlib.CMsgr", 0, &createCMsgr},
                                      {{_CMsgr::iid, "_CMsgr"}, {DIID___CMsgr, "__CMsgr"}}};

} // namespace

HRESULT createCMsgr(REFIID riid, void** ppv) { return createAs<CMsgr>(riid, ppv); }

} // namespace halvenlib
