#pragma once
// The inner list of CCollection, CParams and CNodes: variants in order,
// each with an optional key unique without regard to case. Failures are
// raised as the collection errors (457, 5, 9, 13) with the calling class's
// source ("Halvenlib.CParams").

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/com/com_ptr.h"
#include "platform/com/dispatch.h"
#include "platform/com/object.h"
#include "platform/com/property_bag.h"
#include "platform/com/variant.h"

namespace halvenlib {

class ItemList {
public:
    // `source` names the list in its errors; a text that lives as long.
    explicit ItemList(const char* source) : source_(source) {}

    std::size_t count() const { return items_.size(); }
    // Appends, or inserts before/after the item that `before`/`after` names
    // (null or missing: not given). Error 457 for a key already present.
    win::HRESULT add(win::VARIANT value, std::optional<std::string> key, const win::VARIANT* before = nullptr,
                     const win::VARIANT* after = nullptr);
    // Text is a key (error 5 when missing), anything else a position from 1
    // (error 9 outside 1 to count, 13 when not a number).
    win::HRESULT item(const win::VARIANT& index, win::VARIANT* out) const;
    win::HRESULT remove(const win::VARIANT& index);
    bool contains(std::string_view key) const { return findKey(key).has_value(); }
    void clear() {
        items_.clear();
        slots_.clear();
        keyed_ = 0;
    }
    win::HRESULT newEnum(win::IUnknown** enumerator) const;

    // "n" and "i1" ... "i<n>"; keys are not saved.
    win::HRESULT save(win::IPropertyBag* bag) const;
    // The values that save wrote, in order.
    static win::HRESULT loadValues(win::IPropertyBag* bag, std::vector<win::VARIANT>* values);

    // Raises `number` with its standard text and this list's source.
    win::HRESULT raise(win::LONG number) const;

private:
    struct Entry {
        std::optional<std::string> key;
        std::uint64_t hash = 0; // hashNoCase of the key, for a keyed item
        win::VARIANT value;
    };
    // Keys are compared in place, without regard to case.
    std::optional<std::size_t> findKey(std::string_view key, std::uint64_t hash) const;
    std::optional<std::size_t> findKey(std::string_view key) const;
    // The 0-based position that `index` names.
    win::HRESULT locate(const win::VARIANT& index, std::size_t* position) const;

    // Keeps the index true after the item at `at` was added, at the end or
    // before others (which moved up by one).
    void indexAdded(std::size_t at, bool appended);
    void rebuildIndex();
    void placeInIndex(std::size_t position);
    // The slot of the keyed item with `hash` that the index holds at `position`.
    std::size_t slotOf(std::size_t hash, std::size_t position) const;
    // Takes the keyed item at `position` out of the index; items_ still holds it.
    void takeFromIndex(std::size_t position);
    // Gives the keyed items from `from` on the position they have now, after
    // each moved by one (up after an insertion, down after a removal).
    void renumberFrom(std::size_t from, bool movedUp);

    const char* source_;
    std::vector<Entry> items_;
    // Keyed items by their key's hash, so that keyed adds and look-ups of
    // large lists (a registry key's 20,000 subkeys, a catalogue of 20,000
    // add-ons) do not go over the whole list: open addressing over a
    // power-of-two table of slots, each the hash's upper half and the
    // position + 1 (0: empty), at most half full. A short list (a record's
    // parameters) is searched in place instead: it makes thousands of them
    // and an index would cost more than it saves.
    static constexpr std::size_t kIndexedFrom = 16;
    std::vector<std::uint64_t> slots_;
    std::size_t keyed_ = 0; // keyed items in the index
};

// What CCollection, CParams and CNodes share: the count, Clear, for-each
// and property-bag persistence over one ItemList. A derived list says under
// which key an item loaded from a bag is filed.
template <class I, const win::CLSID& Clsid>
class ListObject : public winsys::com::DispatchObject<I, win::IPersistPropertyBag> {
public:
    win::HRESULT get_Count(win::LONG* count) override {
        if (!count) return win::E_POINTER;
        *count = static_cast<win::LONG>(list_.count());
        return win::S_OK;
    }
    win::HRESULT Clear() override {
        list_ = ItemList(source_);
        return win::S_OK;
    }
    win::HRESULT NewEnum(win::IUnknown** enumerator) override { return list_.newEnum(enumerator); }

    win::HRESULT GetClassID(win::CLSID* clsid) override {
        if (!clsid) return win::E_POINTER;
        *clsid = Clsid;
        return win::S_OK;
    }
    win::HRESULT InitNew() override { return Clear(); }
    win::HRESULT Save(win::IPropertyBag* bag, win::BOOL, win::BOOL) override { return list_.save(bag); }
    win::HRESULT Load(win::IPropertyBag* bag, win::IErrorLog*) override {
        std::vector<win::VARIANT> values;
        if (win::HRESULT h = ItemList::loadValues(bag, &values); win::FAILED(h)) return h;
        ItemList fresh(source_);
        for (win::VARIANT& v : values) {
            std::optional<std::string> key;
            if (win::FAILED(keyOf(v, &key))) return list_.raise(13);
            if (win::HRESULT h = fresh.add(std::move(v), std::move(key)); win::FAILED(h)) return h;
        }
        list_ = std::move(fresh);
        return win::S_OK;
    }

protected:
    explicit ListObject(const char* source) : source_(source), list_(source) {}
    // The key a loaded item is filed under; a failure means the item is not
    // of this list's kind.
    virtual win::HRESULT keyOf(const win::VARIANT& item, std::optional<std::string>* key) const = 0;

    const char* source_;
    ItemList list_;
};

// An optional argument that was not given: null or the "missing" value.
bool omitted(const win::VARIANT* v);

// Raises a collection error (5, 9, 13, 457) with its standard text.
win::HRESULT raiseListError(win::LONG number, const std::string& source);

// Reads the list object saved under `name`. A bag without it, or with
// Nothing, gives a new empty list from `fresh`, so a loaded record never
// lacks one; any other value is a type mismatch.
template <class I>
win::HRESULT readRecordList(win::IPropertyBag* bag, const std::string& name, winsys::com::ComPtr<I>* out,
                            winsys::com::ComPtr<I> (*fresh)(), const std::string& source) {
    win::VARIANT v;
    if (win::HRESULT h = winsys::com::readProperty(bag, name, &v); win::FAILED(h)) return h;
    const win::VARIANT& d = winsys::com::deref(v);
    const bool object = d.vt == win::VT_DISPATCH || d.vt == win::VT_UNKNOWN;
    if (d.vt == win::VT_EMPTY || (object && !d.punkVal)) {
        *out = fresh();
        return win::S_OK;
    }
    if (object && win::SUCCEEDED(d.punkVal->QueryInterface(I::iid, out->putVoid()))) return win::S_OK;
    return raiseListError(13, source);
}

} // namespace halvenlib
