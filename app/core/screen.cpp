#include "app/core/screen.h"

#include <utility>

namespace sorlix::Screen {

namespace {

win::LONG pointer_ = vbDefault;
std::function<void(win::LONG)> hook_;

} // namespace

win::LONG MousePointer() { return pointer_; }

void SetMousePointer(win::LONG pointer) {
    pointer_ = pointer;
    if (hook_) hook_(pointer);
}

void SetMousePointerHook(std::function<void(win::LONG pointer)> hook) { hook_ = std::move(hook); }

} // namespace sorlix::Screen
