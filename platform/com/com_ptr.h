#pragma once
// ComPtr<T>: one counted reference to an interface; released on scope exit.

#include <cstddef>
#include <utility>

#include "platform/com/unknown.h"

namespace winsys::com {

template <class T>
class ComPtr {
public:
    ComPtr() = default;
    ComPtr(std::nullptr_t) {}
    // Takes a new reference to `p`.
    explicit ComPtr(T* p) : p_(p) { if (p_) p_->AddRef(); }
    ComPtr(const ComPtr& o) : ComPtr(o.p_) {}
    ComPtr(ComPtr&& o) noexcept : p_(o.detach()) {}
    ComPtr& operator=(const ComPtr& o) { ComPtr(o).swap(*this); return *this; }
    ComPtr& operator=(ComPtr&& o) noexcept { ComPtr(std::move(o)).swap(*this); return *this; }
    ~ComPtr() { reset(); }

    // Adopts a reference the caller already owns.
    static ComPtr attach(T* p) { ComPtr c; c.p_ = p; return c; }
    T* detach() { T* p = p_; p_ = nullptr; return p; }
    void reset() { if (T* p = detach()) p->Release(); }
    void swap(ComPtr& o) noexcept { std::swap(p_, o.p_); }

    T* get() const { return p_; }
    T* operator->() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }
    // The out-parameter of a call that hands over a reference.
    T** put() { reset(); return &p_; }
    void** putVoid() { return reinterpret_cast<void**>(put()); }

    // QueryInterface for U; empty when the object does not offer it.
    template <class U>
    ComPtr<U> as() const {
        ComPtr<U> r;
        if (p_) p_->QueryInterface(U::iid, r.putVoid());
        return r;
    }

    friend bool operator==(const ComPtr& a, const ComPtr& b) { return a.p_ == b.p_; }

private:
    T* p_ = nullptr;
};

} // namespace winsys::com
