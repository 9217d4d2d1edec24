// CNode: one node of a record tree, with its id, child nodes, record and
// plain values; the three lists are never missing.

#include "common/records_factory.h"

#include "common/ccollection.h"
#include "common/mcommon.h"
#include "common/server.h"
#include "platform/com/object.h"
#include "platform/com/property_bag.h"
#include "platform/com/variant.h"

namespace halvenlib {

using namespace win;
using namespace winsys::com;

namespace {

constexpr const char* kSource = "Halvenlib.CNode";

template <class I>
HRESULT hand(const ComPtr<I>& p, I** out) {
    if (!out) return E_POINTER;
    *out = ComPtr<I>(p).detach();
    return S_OK;
}

class CNode final : public DispatchObject<_CNode, IPersistPropertyBag> {
public:
    HRESULT get_Id(std::string* id) override {
        if (!id) return E_POINTER;
        *id = id_;
        return S_OK;
    }
    HRESULT put_Id(const std::string& id) override {
        id_ = id;
        return S_OK;
    }
    HRESULT get_SubNodes(_CNodes** nodes) override { return hand(subNodes_, nodes); }
    HRESULT get_params(_CParams** params) override { return hand(params_, params); }
    HRESULT get_Values(_CCollection** values) override { return hand(values_, values); }

    HRESULT GetClassID(CLSID* clsid) override {
        if (!clsid) return E_POINTER;
        *clsid = CLSID_CNode;
        return S_OK;
    }
    HRESULT InitNew() override {
        id_ = NewGuidString();
        subNodes_ = newNodes();
        params_ = newParams();
        values_ = newCollection();
        return S_OK;
    }
    HRESULT Save(IPropertyBag* bag, BOOL, BOOL) override {
        const VARIANT noText = makeText("");
        HRESULT h = writeProperty(bag, "Id", makeText(id_), &noText);
        if (SUCCEEDED(h)) h = writeProperty(bag, "N", makeObject(subNodes_.get()));
        if (SUCCEEDED(h)) h = writeProperty(bag, "P", makeObject(params_.get()));
        if (SUCCEEDED(h)) h = writeProperty(bag, "V", makeObject(values_.get()));
        return h;
    }
    HRESULT Load(IPropertyBag* bag, IErrorLog*) override {
        const VARIANT noText = makeText("");
        VARIANT v;
        std::string id;
        HRESULT h = readProperty(bag, "Id", &v, &noText);
        if (SUCCEEDED(h)) h = toText(v, &id);
        ComPtr<_CNodes> nodes;
        ComPtr<_CParams> params;
        ComPtr<_CCollection> values;
        if (SUCCEEDED(h)) h = readRecordList(bag, "N", &nodes, &newNodes, kSource);
        if (SUCCEEDED(h)) h = readRecordList(bag, "P", &params, &newParams, kSource);
        if (SUCCEEDED(h)) h = readRecordList(bag, "V", &values, &newCollection, kSource);
        if (FAILED(h)) return h;
        id_ = std::move(id);
        subNodes_ = std::move(nodes);
        params_ = std::move(params);
        values_ = std::move(values);
        return S_OK;
    }

private:
    std::string id_ = NewGuidString();
    ComPtr<_CNodes> subNodes_ = newNodes();
    ComPtr<_CParams> params_ = newParams();
    ComPtr<_CCollection> values_ = newCollection();
};

HRESULT createCNode(REFIID riid, void** ppv) { return createAs<CNode>(riid, ppv); }

const ClassRegistration kReg{{CLSID_CNode, "CNode", "Halvenlib.CNode", 0, &createCNode}, {{_CNode::iid, "_CNode"}}};

} // namespace

ComPtr<_CNode> newNode() { return create<CNode>().as<_CNode>(); }

} // namespace halvenlib
