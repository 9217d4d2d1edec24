#include "app/enumerators/keyedqueue.h"

#include "platform/core/text.h"

namespace sorlix {

// Upper-case folding is the one the system's case-insensitive comparison
// uses, so two texts fold alike exactly when they compare equal.
bool KeyedQueue::add(const std::string& text) {
    if (!folded_.insert(winsys::upperCase(text)).second) return false;
    items_.push_back(text);
    return true;
}

bool KeyedQueue::holds(std::string_view text) const { return folded_.contains(winsys::upperCase(text)); }

void KeyedQueue::clear() {
    items_.clear();
    folded_.clear();
}

} // namespace sorlix
