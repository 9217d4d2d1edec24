#include "app/core/msgbox.h"

#include <iostream>
#include <utility>

namespace sorlix {

namespace {

std::function<void(const std::string&)>& hook() {
    static std::function<void(const std::string&)> h;
    return h;
}

} // namespace

void MsgBox(const std::string& Prompt) {
    if (hook())
        hook()(Prompt);
    else
        std::cerr << "sorlix: " << Prompt << "\n";
}

void SetMsgBoxHook(std::function<void(const std::string& Prompt)> h) { hook() = std::move(h); }

} // namespace sorlix
