// CCollection: the general keyed list, and the inner list that it shares
// with CParams and CNodes.

#include "common/ccollection.h"

#include "common/interfaces/records.h"
#include "common/records_factory.h"
#include "common/server.h"
#include "platform/com/enum_variant.h"
#include "platform/com/error_info.h"
#include "platform/com/object.h"
#include "platform/com/variant.h"
#include "platform/core/text.h"

namespace halvenlib {

using namespace win;
using namespace winsys::com;

bool omitted(const VARIANT* v) { return !v || isMissing(deref(*v)); }

HRESULT raiseListError(LONG number, const std::string& source) {
    const char* text = "Application-defined or object-defined error";
    switch (number) {
    case 5: text = "Invalid procedure call or argument"; break;
    case 9: text = "Subscript out of range"; break;
    case 13: text = "Type mismatch"; break;
    case 457: text = "This key is already associated with an element of this collection"; break;
    }
    return raiseError(number, text, source);
}

HRESULT ItemList::raise(LONG number) const { return raiseListError(number, source_); }

std::optional<std::size_t> ItemList::findUpperKey(const std::string& upperKey) const {
    if (indexed_) {
        const auto it = index_.find(upperKey);
        if (it == index_.end()) return std::nullopt;
        return it->second;
    }
    for (std::size_t k = 0; k < items_.size(); ++k)
        if (items_[k].key && items_[k].upperKey == upperKey) return k;
    return std::nullopt;
}

std::optional<std::size_t> ItemList::findKey(const std::string& key) const { return findUpperKey(winsys::upperCase(key)); }

void ItemList::reindexFrom(std::size_t from) {
    if (!indexed_ && items_.size() >= kIndexedFrom) {
        indexed_ = true;
        from = 0;
    }
    if (!indexed_) return;
    for (std::size_t k = from; k < items_.size(); ++k)
        if (items_[k].key) index_[items_[k].upperKey] = k;
}

HRESULT ItemList::locate(const VARIANT& index, std::size_t* position) const {
    const VARIANT& ix = deref(index);
    if (ix.vt == VT_BSTR) {
        const auto k = findKey(ix.bstrVal);
        if (!k) return raise(5);
        *position = *k;
        return S_OK;
    }
    LONG n = 0;
    if (FAILED(toLong(ix, &n))) return raise(13);
    if (n < 1 || static_cast<std::size_t>(n) > items_.size()) return raise(9);
    *position = static_cast<std::size_t>(n - 1);
    return S_OK;
}

HRESULT ItemList::add(VARIANT value, std::optional<std::string> key, const VARIANT* before, const VARIANT* after) {
    const bool hasBefore = !omitted(before), hasAfter = !omitted(after);
    if (hasBefore && hasAfter) return raise(5);
    std::string upperKey = key ? winsys::upperCase(*key) : std::string();
    if (key && findUpperKey(upperKey)) return raise(457);
    std::size_t at = items_.size();
    if (hasBefore || hasAfter) {
        if (HRESULT h = locate(hasBefore ? *before : *after, &at); FAILED(h)) return h;
        if (hasAfter) ++at;
    }
    const bool appended = at == items_.size();
    items_.insert(items_.begin() + static_cast<std::ptrdiff_t>(at), Entry{std::move(key), std::move(upperKey), std::move(value)});
    reindexFrom(appended ? items_.size() - 1 : at);
    return S_OK;
}

HRESULT ItemList::item(const VARIANT& index, VARIANT* out) const {
    std::size_t at = 0;
    if (HRESULT h = locate(index, &at); FAILED(h)) return h;
    return VariantCopy(out, &items_[at].value);
}

HRESULT ItemList::remove(const VARIANT& index) {
    std::size_t at = 0;
    if (HRESULT h = locate(index, &at); FAILED(h)) return h;
    if (indexed_ && items_[at].key) index_.erase(items_[at].upperKey);
    items_.erase(items_.begin() + static_cast<std::ptrdiff_t>(at));
    reindexFrom(at);
    return S_OK;
}

HRESULT ItemList::newEnum(IUnknown** enumerator) const {
    if (!enumerator) return E_POINTER;
    std::vector<VARIANT> values;
    values.reserve(items_.size());
    for (const Entry& e : items_) values.push_back(e.value);
    *enumerator = createVariantEnumerator(std::move(values)).detach();
    return S_OK;
}

HRESULT ItemList::save(IPropertyBag* bag) const {
    const VARIANT zero = makeLong(0);
    HRESULT h = writeProperty(bag, "n", makeLong(static_cast<LONG>(items_.size())), &zero);
    for (std::size_t k = 0; SUCCEEDED(h) && k < items_.size(); ++k)
        h = writeProperty(bag, "i" + std::to_string(k + 1), items_[k].value);
    return h;
}

HRESULT ItemList::loadValues(IPropertyBag* bag, std::vector<VARIANT>* values) {
    const VARIANT zero = makeLong(0);
    VARIANT v;
    LONG n = 0;
    HRESULT h = readProperty(bag, "n", &v, &zero);
    if (SUCCEEDED(h)) h = toLong(v, &n);
    for (LONG k = 1; SUCCEEDED(h) && k <= n; ++k) {
        VARIANT item;
        h = readProperty(bag, "i" + std::to_string(k), &item);
        if (SUCCEEDED(h)) values->push_back(std::move(item));
    }
    return h;
}

namespace {

constexpr const char* kSource = "Halvenlib.CCollection";

class CCollection final : public ListObject<_CCollection, CLSID_CCollection> {
public:
    CCollection() : ListObject(kSource) {}

    HRESULT Add(VARIANT* item, VARIANT* key, VARIANT* before, VARIANT* after) override {
        if (!item) return E_POINTER;
        std::optional<std::string> k;
        if (!omitted(key)) {
            std::string text;
            if (FAILED(toText(deref(*key), &text))) return list_.raise(13);
            k = std::move(text);
        }
        VARIANT v;
        if (HRESULT h = VariantCopyInd(&v, item); FAILED(h)) return h;
        return list_.add(std::move(v), std::move(k), before, after);
    }

    HRESULT Remove(VARIANT* index) override {
        if (!index) return E_POINTER;
        return list_.remove(*index);
    }

    HRESULT get_Item(VARIANT* index, VARIANT* item) override {
        if (!index || !item) return E_POINTER;
        return list_.item(*index, item);
    }

    HRESULT IsInCollection(const std::string& key, VARIANT_BOOL* present) override {
        if (!present) return E_POINTER;
        *present = list_.contains(key) ? VARIANT_TRUE : VARIANT_FALSE;
        return S_OK;
    }

private:
    HRESULT keyOf(const VARIANT&, std::optional<std::string>* key) const override {
        key->reset(); // a saved collection keeps its order, not its keys
        return S_OK;
    }
};

HRESULT createCCollection(REFIID riid, void** ppv) { return createAs<CCollection>(riid, ppv); }

const ClassRegistration kReg{{CLSID_CCollection, "CCollection", "Halvenlib.CCollection", 0, &createCCollection},
                             {{_CCollection::iid, "_CCollection"}}};

} // namespace

ComPtr<_CCollection> newCollection() { return create<CCollection>().as<_CCollection>(); }

} // namespace halvenlib
