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

#include <functional>
#include <string_view>

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

namespace {

constexpr std::uint64_t kHashHalf = 0xFFFFFFFF00000000ull;

std::size_t positionIn(std::uint64_t slot) { return static_cast<std::size_t>(slot & ~kHashHalf) - 1; }

} // namespace

std::optional<std::size_t> ItemList::findKey(std::string_view key, std::uint64_t hash) const {
    if (!slots_.empty()) {
        const std::size_t mask = slots_.size() - 1;
        const std::uint64_t half = hash & kHashHalf;
        for (std::size_t i = hash & mask; slots_[i] != 0; i = (i + 1) & mask) {
            if ((slots_[i] & kHashHalf) != half) continue;
            const std::size_t position = positionIn(slots_[i]);
            if (winsys::equalsNoCase(*items_[position].key, key)) return position;
        }
        return std::nullopt;
    }
    for (std::size_t k = 0; k < items_.size(); ++k)
        if (items_[k].key && items_[k].hash == hash && winsys::equalsNoCase(*items_[k].key, key)) return k;
    return std::nullopt;
}

std::optional<std::size_t> ItemList::findKey(std::string_view key) const { return findKey(key, winsys::hashNoCase(key)); }

void ItemList::placeInIndex(std::size_t position) {
    const std::size_t hash = items_[position].hash;
    const std::size_t mask = slots_.size() - 1;
    std::size_t i = hash & mask;
    while (slots_[i] != 0) i = (i + 1) & mask;
    slots_[i] = (static_cast<std::uint64_t>(hash) & kHashHalf) | (position + 1);
    ++keyed_;
}

void ItemList::rebuildIndex() {
    std::size_t size = 64;
    while (size < items_.size() * 2) size *= 2;
    slots_.assign(size, 0);
    keyed_ = 0;
    for (std::size_t k = 0; k < items_.size(); ++k)
        if (items_[k].key) placeInIndex(k);
}

std::size_t ItemList::slotOf(std::size_t hash, std::size_t position) const {
    const std::size_t mask = slots_.size() - 1;
    std::size_t i = hash & mask;
    while (positionIn(slots_[i]) != position) i = (i + 1) & mask;
    return i;
}

void ItemList::takeFromIndex(std::size_t position) {
    const std::size_t mask = slots_.size() - 1;
    std::size_t hole = slotOf(items_[position].hash, position);
    // Linear probing keeps no gaps inside a run: each later slot of the run
    // that may stand at the hole moves into it.
    for (std::size_t j = (hole + 1) & mask; slots_[j] != 0; j = (j + 1) & mask) {
        const std::size_t home = items_[positionIn(slots_[j])].hash & mask;
        if (((j - home) & mask) >= ((j - hole) & mask)) {
            slots_[hole] = slots_[j];
            hole = j;
        }
    }
    slots_[hole] = 0;
    --keyed_;
}

void ItemList::renumberFrom(std::size_t from, bool movedUp) {
    // In the order that never meets a position another item holds already.
    const auto renumber = [&](std::size_t k) {
        if (!items_[k].key) return;
        const std::size_t i = slotOf(items_[k].hash, movedUp ? k - 1 : k + 1);
        slots_[i] = (slots_[i] & kHashHalf) | (k + 1);
    };
    if (movedUp) {
        for (std::size_t k = items_.size(); k-- > from;) renumber(k);
    } else {
        for (std::size_t k = from; k < items_.size(); ++k) renumber(k);
    }
}

void ItemList::indexAdded(std::size_t at, bool appended) {
    if (slots_.empty()) {
        if (items_.size() >= kIndexedFrom) rebuildIndex();
        return;
    }
    if (items_[at].key && (keyed_ + 1) * 2 > slots_.size()) {
        rebuildIndex();
        return;
    }
    if (!appended) renumberFrom(at + 1, true);
    if (items_[at].key) placeInIndex(at);
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
    const std::uint64_t hash = key ? winsys::hashNoCase(*key) : 0;
    if (key && findKey(*key, hash)) return raise(457);
    std::size_t at = items_.size();
    if (hasBefore || hasAfter) {
        if (HRESULT h = locate(hasBefore ? *before : *after, &at); FAILED(h)) return h;
        if (hasAfter) ++at;
    }
    const bool appended = at == items_.size();
    items_.insert(items_.begin() + static_cast<std::ptrdiff_t>(at),
                  Entry{std::move(key), hash, std::move(value)});
    indexAdded(at, appended);
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
    if (!slots_.empty() && items_[at].key) takeFromIndex(at);
    items_.erase(items_.begin() + static_cast<std::ptrdiff_t>(at));
    if (!slots_.empty()) renumberFrom(at, false);
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
