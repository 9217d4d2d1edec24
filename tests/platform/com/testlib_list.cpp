// CTestList: a keyed list of variants with the collection errors 457, 5
// and 9, for-each, two events (one raised from a 100 ms timer) and
// property-bag persistence ("Name" default empty, "n" default 0, "i1"...).

#include "tests/platform/com/testlib_classes.h"

#include <optional>
#include <vector>

#include "platform/com/connection_point.h"
#include "platform/com/enum_variant.h"
#include "platform/com/error_info.h"
#include "platform/com/message_queue.h"
#include "platform/com/property_bag.h"
#include "platform/core/text.h"
#include "tests/platform/com/testlib_interfaces.h"

namespace comtest {

using namespace win;
using namespace winsys::com;

namespace {

class CTestList final : public EventObject<_CTestList, IPersistPropertyBag> {
public:
    CTestList() : EventObject(DIID___CTestList) {}

    HRESULT get_Count(LONG* count) override {
        *count = static_cast<LONG>(items_.size());
        return S_OK;
    }

    HRESULT Add(VARIANT* item, VARIANT* key) override {
        std::optional<std::string> k;
        if (key && !isMissing(*key)) {
            std::string text;
            if (FAILED(toText(*key, &text))) return raiseError(13, "Type mismatch", "CTestList.Add");
            if (find(text)) return raiseError(457, "This key is already associated with an element of this collection",
                                              "CTestList.Add");
            k = std::move(text);
        }
        VARIANT v;
        if (HRESULT h = VariantCopyInd(&v, item); FAILED(h)) return h;
        items_.push_back({std::move(k), std::move(v)});
        events().fire(DISPID_Changed, {makeLong(static_cast<LONG>(items_.size()))});
        return S_OK;
    }

    HRESULT get_Item(VARIANT* index, VARIANT* item) override {
        const VARIANT& ix = deref(*index);
        if (ix.vt == VT_BSTR) {
            const Entry* e = find(ix.bstrVal);
            if (!e) return raiseError(5, "Invalid procedure call or argument", "CTestList.Item");
            return VariantCopy(item, &e->value);
        }
        LONG position = 0;
        if (FAILED(toLong(ix, &position))) return raiseError(13, "Type mismatch", "CTestList.Item");
        if (position < 1 || position > static_cast<LONG>(items_.size()))
            return raiseError(9, "Subscript out of range", "CTestList.Item");
        return VariantCopy(item, &items_[static_cast<std::size_t>(position - 1)].value);
    }

    HRESULT NewEnum(IUnknown** enumerator) override {
        std::vector<VARIANT> values;
        for (const Entry& e : items_) values.push_back(e.value);
        *enumerator = createVariantEnumerator(std::move(values)).detach();
        return S_OK;
    }

    HRESULT get_Name(std::string* name) override {
        *name = name_;
        return S_OK;
    }
    HRESULT put_Name(const std::string& name) override {
        name_ = name;
        return S_OK;
    }

    HRESULT Replace(_CTestList** list) override {
        std::string old;
        if (*list) (*list)->get_Name(&old);
        auto fresh = winsys::com::create<CTestList>();
        fresh->name_ = old + " replaced";
        if (*list) (*list)->Release();
        *list = fresh.detach();
        return S_OK;
    }

    HRESULT Bump(LONG* value, LONG by) override {
        *value += by;
        return S_OK;
    }

    HRESULT StartLater(VARIANT* data) override {
        VARIANT d;
        if (HRESULT h = VariantCopyInd(&d, data); FAILED(h)) return h;
        ComPtr<CTestList> self(this); // the list lives until its event is raised
        winsys::setTimer(100, [self, d] { self->events().fire(DISPID_Later, {d}); }, false);
        return S_OK;
    }

    HRESULT get_Tag(IDispatch** tag) override {
        *tag = ComPtr<IDispatch>(tag_).detach();
        return S_OK;
    }
    HRESULT putref_Tag(IDispatch* tag) override {
        tag_ = ComPtr<IDispatch>(tag);
        return S_OK;
    }

    HRESULT Reserved() override { return E_NOTIMPL; }

    HRESULT GetClassID(CLSID* clsid) override {
        *clsid = CLSID_CTestList;
        return S_OK;
    }
    HRESULT InitNew() override {
        items_.clear();
        name_.clear();
        return S_OK;
    }
    HRESULT Save(IPropertyBag* bag, BOOL, BOOL) override {
        const VARIANT noText = makeText(""), zero = makeLong(0);
        HRESULT h = writeProperty(bag, "Name", makeText(name_), &noText);
        if (SUCCEEDED(h)) h = writeProperty(bag, "n", makeLong(static_cast<LONG>(items_.size())), &zero);
        for (std::size_t k = 0; SUCCEEDED(h) && k < items_.size(); ++k)
            h = writeProperty(bag, "i" + std::to_string(k + 1), items_[k].value);
        return h;
    }
    HRESULT Load(IPropertyBag* bag, IErrorLog*) override {
        items_.clear();
        const VARIANT noText = makeText(""), zero = makeLong(0);
        VARIANT v;
        HRESULT h = readProperty(bag, "Name", &v, &noText);
        if (SUCCEEDED(h)) h = toText(v, &name_);
        LONG n = 0;
        if (SUCCEEDED(h)) h = readProperty(bag, "n", &v, &zero);
        if (SUCCEEDED(h)) h = toLong(v, &n);
        for (LONG k = 1; SUCCEEDED(h) && k <= n; ++k) {
            VARIANT item;
            h = readProperty(bag, "i" + std::to_string(k), &item);
            if (SUCCEEDED(h)) items_.push_back({std::nullopt, std::move(item)});
        }
        return h;
    }

private:
    struct Entry {
        std::optional<std::string> key;
        VARIANT value;
    };
    const Entry* find(const std::string& key) const {
        for (const Entry& e : items_)
            if (e.key && winsys::equalsNoCase(*e.key, key)) return &e;
        return nullptr;
    }

    std::vector<Entry> items_;
    std::string name_;
    ComPtr<IDispatch> tag_;
};

} // namespace

HRESULT createTestList(REFIID riid, void** ppv) { return createAs<CTestList>(riid, ppv); }

} // namespace comtest
