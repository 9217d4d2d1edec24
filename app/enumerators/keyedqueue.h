#pragma once
// KeyedQueue: texts in the order they were queued, each held once without
// regard to case. A text is found through a hash of its folded form, so a
// queue of many folders or extensions (a stranger's profile may hold tens
// of thousands) fills in linear time.

#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace sorlix {

class KeyedQueue {
public:
    // Appends `text` unless a text equal to it without regard to case is held.
    bool add(const std::string& text);
    bool holds(std::string_view text) const;
    void clear();

    const std::vector<std::string>& items() const { return items_; }
    auto begin() const { return items_.begin(); }
    auto end() const { return items_.end(); }

private:
    std::vector<std::string> items_;
    std::unordered_set<std::string> folded_;
};

} // namespace sorlix
