#pragma once
// Dictionary: the ordered map that stands in for the scripting runtime's
// dictionary. Keys are compared exactly (case-sensitive, byte for byte, as
// the runtime's default binary comparison does), entries keep the order in
// which they were added, and adding a key that is present changes nothing
// and says so (the caller raises its "key already associated" error).
//
// Small dictionaries are searched in order; from kIndexFrom entries on an
// open-addressing index of entry numbers keeps lookups constant, so a
// dictionary of many keys (a hostile file's) still fills in linear time.
// V may be incomplete where the dictionary is declared, so that a value
// type can hold dictionaries of itself.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace winsys {

template <class V>
class Dictionary {
public:
    struct Entry {
        std::string key;
        V value;
    };

    std::size_t size() const { return entries_.size(); }
    bool empty() const { return entries_.empty(); }

    const V* find(std::string_view key) const {
        const std::size_t i = indexOf(key);
        return i == kNone ? nullptr : &entries_[i].value;
    }
    V* find(std::string_view key) {
        const std::size_t i = indexOf(key);
        return i == kNone ? nullptr : &entries_[i].value;
    }
    bool contains(std::string_view key) const { return indexOf(key) != kNone; }

    // Adds the entry at the end; false when `key` is present, and then
    // nothing changed and neither argument was moved from.
    template <class K, class T>
    bool add(K&& key, T&& value) {
        if (contains(key)) return false;
        entries_.push_back(Entry{std::string(std::forward<K>(key)), V(std::forward<T>(value))});
        if (!slots_.empty()) {
            if (entries_.size() * 2 > slots_.size()) rebuildIndex(slots_.size() * 2);
            else place(entries_.size() - 1);
        } else if (entries_.size() >= kIndexFrom) {
            rebuildIndex(kIndexFrom * 4);
        }
        return true;
    }

    // Entries in the order they were added.
    auto begin() const { return entries_.begin(); }
    auto end() const { return entries_.end(); }

private:
    static constexpr std::size_t kNone = static_cast<std::size_t>(-1);
    static constexpr std::size_t kIndexFrom = 16;

    static std::size_t hashOf(std::string_view key) { return std::hash<std::string_view>{}(key); }

    std::size_t indexOf(std::string_view key) const {
        if (slots_.empty()) {
            for (std::size_t i = 0; i < entries_.size(); ++i)
                if (entries_[i].key == key) return i;
            return kNone;
        }
        const std::size_t mask = slots_.size() - 1;
        for (std::size_t s = hashOf(key) & mask;; s = (s + 1) & mask) {
            const std::uint32_t slot = slots_[s];
            if (slot == 0) return kNone;
            if (entries_[slot - 1].key == key) return slot - 1;
        }
    }

    // Slots hold entry number + 1; 0 is free. At most half of them are used.
    void place(std::size_t entry) {
        const std::size_t mask = slots_.size() - 1;
        std::size_t s = hashOf(entries_[entry].key) & mask;
        while (slots_[s] != 0) s = (s + 1) & mask;
        slots_[s] = static_cast<std::uint32_t>(entry + 1);
    }
    void rebuildIndex(std::size_t slotCount) {
        slots_.assign(slotCount, 0);
        for (std::size_t i = 0; i < entries_.size(); ++i) place(i);
    }

    std::vector<Entry> entries_;
    std::vector<std::uint32_t> slots_;
};

} // namespace winsys
