#pragma once
// Resume-next error handling: each step runs through `step`, which catches
// its failure, remembers it as the pending error (the last one wins, as
// VB's Err object does) and lets the caller go on with the next step.

#include <exception>
#include <string>
#include <utility>

#include "app/core/comcalls.h"
#include "platform/com/com_ptr.h"
#include "platform/core/wintypes.h"

namespace sorlix {

// The object behind `p`; a missing one fails as a call on Nothing does (91).
template <class T>
T* required(const winsys::com::ComPtr<T>& p) {
    if (!p) throw ObjectNotSet();
    return p.get();
}

class ResumeNext {
public:
    // True when `f` ran without throwing.
    template <class F>
    bool step(F&& f) {
        try {
            std::forward<F>(f)();
            return true;
        } catch (const std::exception& e) {
            ErrorText error = DescribeError(e);
            remember(error.number, std::move(error.text));
        }
        return false;
    }

    bool pending() const { return number_ != 0; }
    win::LONG number() const { return number_; }
    const std::string& description() const { return description_; }
    void clear() { number_ = 0; description_.clear(); }

private:
    void remember(win::LONG number, std::string description) {
        number_ = number != 0 ? number : static_cast<win::LONG>(win::E_FAIL);
        description_ = std::move(description);
    }
    win::LONG number_ = 0;
    std::string description_;
};

} // namespace sorlix
