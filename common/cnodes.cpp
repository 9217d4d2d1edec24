// CNodes: the child list of a record tree, each CNode held under the Id it
// had when it was added.

#include "common/records_factory.h"

#include "common/ccollection.h"
#include "common/server.h"
#include "platform/com/object.h"
#include "platform/com/property_bag.h"
#include "platform/com/variant.h"

namespace halvenlib {

using namespace win;
using namespace winsys::com;

namespace {

constexpr const char* kSource = "Halvenlib.CNodes";

HRESULT asNode(const VARIANT& v, ComPtr<_CNode>* node) {
    if ((v.vt != VT_DISPATCH && v.vt != VT_UNKNOWN) || !v.punkVal) return E_NOINTERFACE;
    return v.punkVal->QueryInterface(_CNode::iid, node->putVoid());
}

class CNodes final : public ListObject<_CNodes, CLSID_CNodes> {
public:
    CNodes() : ListObject(kSource) {}

    HRESULT Add(_CNode** node) override {
        if (!node) return E_POINTER;
        *node = nullptr;
        ComPtr<_CNode> n = newNode();
        std::string id;
        n->get_Id(&id);
        if (HRESULT h = list_.add(makeObject(n.get()), id); FAILED(h)) return h;
        *node = n.detach();
        return S_OK;
    }

    HRESULT Remove(VARIANT* index) override {
        if (!index) return E_POINTER;
        return list_.remove(*index);
    }

    HRESULT get_Item(VARIANT* index, _CNode** node) override {
        if (!index || !node) return E_POINTER;
        *node = nullptr;
        VARIANT v;
        if (HRESULT h = list_.item(*index, &v); FAILED(h)) return h;
        ComPtr<_CNode> n;
        if (FAILED(asNode(v, &n))) return list_.raise(13);
        *node = n.detach();
        return S_OK;
    }

    HRESULT keyOf(const VARIANT& v, std::optional<std::string>* key) const override {
        ComPtr<_CNode> n;
        if (FAILED(asNode(v, &n))) return E_NOINTERFACE;
        std::string id;
        n->get_Id(&id);
        *key = std::move(id);
        return S_OK;
    }
};

HRESULT createCNodes(REFIID riid, void** ppv) { return createAs<CNodes>(riid, ppv); }

const ClassRegistration kReg{{CLSID_CNodes, "CNodes", "Halvenlib.CNodes", 0, &createCNodes},
                             {{_CNodes::iid, "_CNodes"}}};

} // namespace

ComPtr<_CNodes> newNodes() { return create<CNodes>().as<_CNodes>(); }

} // namespace halvenlib
