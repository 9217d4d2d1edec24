#include "common/createthread.h"

// Each StartNewThread arms a one-shot timer of the calling thread's message
// queue holding the value; when the loop dispatches it, NewThread goes to
// the clients and the value is released after their handlers return. A
// second call while one is pending gets its own event rather than silently
// dropping the first value. A pending call keeps its object alive until the
// event is raised, as a loaded form keeps its owner.

#include <cstdint>

#include "common/interfaces/messaging.h"
#include "common/server.h"
#include "platform/com/connection_point.h"
#include "platform/com/message_queue.h"
#include "platform/com/variant.h"

namespace halvenlib {

using namespace win;
using namespace winsys::com;

namespace {

constexpr std::uint32_t kDelayMs = 100;

class CreateThread final : public EventObject<_CreateThread> {
public:
    CreateThread() : EventObject(DIID___CreateThread) {}

    HRESULT StartNewThread(VARIANT* Data) override {
        if (!Data) return E_POINTER;
        VARIANT data;
        if (HRESULT h = VariantCopyInd(&data, Data); FAILED(h)) return h;
        ComPtr<CreateThread> self(this);
        winsys::setTimer(
            kDelayMs, [self, data = std::move(data)] { self->events().fire(DISPID_NewThread, {data}); }, false);
        return S_OK;
    }
};

const ClassRegistration kRegistration{
    {CLSID_CreateThread, "CreateThread", "Halvenlib.CreateThread", 0, &createCreateThread},
    {{_CreateThread::iid, "_CreateThread"}, {DIID___CreateThread, "__CreateThread"}}};

} // namespace

HRESULT createCreateThread(REFIID riid, void** ppv) { return createAs<CreateThread>(riid, ppv); }

} // namespace halvenlib
