// A small COM library of customisation objects that treat the log argument
// of Init in the ways start-up must cope with.

#include "tests/app/startup/fake_custom.h"

#include "common/interfaces/log.h"
#include "components/interfaces/quarncust.h"
#include "platform/com/class_registry.h"
#include "platform/com/object.h"
#include "platform/com/server.h"

namespace {

using halvenlib::_axLog;
using win::HRESULT;
using winsys::com::ComPtr;

enum class Mode { Swap, Empty, NotALog };

template <Mode M>
class FakeCustom final : public winsys::com::DispatchObject<quarncust::_CCustom2> {
public:
    HRESULT Init(_axLog** Log) override {
        if (!Log) return win::E_POINTER;
        ComPtr<_axLog> old = ComPtr<_axLog>::attach(*Log);
        *Log = nullptr;
        if constexpr (M == Mode::Swap) {
            std::string name;
            if (old) old->get_FileName(&name);
            ComPtr<_axLog> fresh;
            if (HRESULT hr = winsys::com::createInstance(halvenlib::CLSID_axLog, &fresh); win::FAILED(hr)) return hr;
            fresh->Init(name + ".swapped");
            *Log = fresh.detach();
        } else if constexpr (M == Mode::NotALog) {
            // Any other dispatch object: this one, seen through the log's slot.
            AddRef();
            *Log = reinterpret_cast<_axLog*>(static_cast<win::IDispatch*>(this));
        }
        return win::S_OK;
    }
};

template <Mode M>
HRESULT create(win::REFIID riid, void** ppv) { return winsys::com::createAs<FakeCustom<M>>(riid, ppv); }

const winsys::com::ServerInfo kServer{"FakeCustom",
                                      {0x85088DE0, 0xDB2F, 0x4CC7, {0xA3, 0x27, 0xB8, 0xEA, 0xA3, 0xAB, 0x5B, 0x83}},
                                      1,
                                      0,
                                      {{fakecustom::CLSID_SwapLog, "SwapLog", "", 0, &create<Mode::Swap>},
                                       {fakecustom::CLSID_EmptyLog, "EmptyLog", "", 0, &create<Mode::Empty>},
                                       {fakecustom::CLSID_NotALog, "NotALog", "", 0, &create<Mode::NotALog>}},
                                      {{quarncust::_CCustom2::iid, "_CCustom2"}}};

} // namespace

WINSYS_COM_SERVER_EXPORTS(kServer)
