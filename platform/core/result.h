#pragma once
// Result<T>: a value or an error that the caller must look at. Inside the
// layer failures travel as Result; Windows codes appear only at the edge.

#include <cassert>
#include <string>
#include <utility>
#include <variant>

#include "platform/core/wintypes.h"

namespace winsys {

struct Error {
    win::DWORD code = 0;     // a Win32 error number
    std::string message;     // what went wrong, for people (may name a path)
};

template <class T>
class [[nodiscard]] Result {
public:
    Result(T value) : v_(std::move(value)) {}
    Result(Error e) : v_(std::move(e)) {}

    bool ok() const { return v_.index() == 0; }
    explicit operator bool() const { return ok(); }

    T& value() & { assert(ok()); return std::get<0>(v_); }
    const T& value() const& { assert(ok()); return std::get<0>(v_); }
    T&& value() && { assert(ok()); return std::get<0>(std::move(v_)); }
    T* operator->() { return &value(); }
    const T* operator->() const { return &value(); }
    T& operator*() & { return value(); }

    const Error& error() const { assert(!ok()); return std::get<1>(v_); }

private:
    std::variant<T, Error> v_;
};

template <>
class [[nodiscard]] Result<void> {
public:
    Result() = default;
    Result(Error e) : e_(std::move(e)), failed_(true) {}
    bool ok() const { return !failed_; }
    explicit operator bool() const { return ok(); }
    const Error& error() const { assert(failed_); return e_; }

private:
    Error e_;
    bool failed_ = false;
};

} // namespace winsys
