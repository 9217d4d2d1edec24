#pragma once
// The common library registered into a test prefix, its records created by
// class id and called by slot as the program calls them.

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/interfaces/records.h"
#include "platform/com/class_registry.h"
#include "platform/com/com_error.h"
#include "platform/com/variant.h"
#include "tests/support/com_library.h"
#include "tests/support/test_prefix.h"

namespace recordstest {

using namespace win;
using namespace winsys::com;
using namespace halvenlib;

class Records : public ::testing::Test {
protected:
    void SetUp() override {
        prefix_ = std::make_unique<testsupport::TestPrefix>();
        lib_ = std::make_unique<testsupport::ComLibrary>(HALVENLIB_PATH);
    }
    void TearDown() override {
        lib_.reset();
        prefix_.reset();
    }

    template <class I>
    static ComPtr<I> make(const CLSID& clsid) {
        ComPtr<I> p;
        EXPECT_EQ(createInstance(clsid, &p), S_OK);
        return p;
    }
    static ComPtr<_CCollection> collection() { return make<_CCollection>(CLSID_CCollection); }
    static ComPtr<_CParams> params() { return make<_CParams>(CLSID_CParams); }
    static ComPtr<_CParam> param() { return make<_CParam>(CLSID_CParam); }
    static ComPtr<_CNodes> nodes() { return make<_CNodes>(CLSID_CNodes); }
    static ComPtr<_CNode> node() { return make<_CNode>(CLSID_CNode); }

private:
    std::unique_ptr<testsupport::TestPrefix> prefix_;
    std::unique_ptr<testsupport::ComLibrary> lib_;
};

// The error a call by slot raised, as the client sees it.
struct Raised {
    LONG number = 0;
    std::string description, source;
};
inline std::optional<Raised> raised(const std::function<HRESULT()>& f) {
    try {
        call(f);
    } catch (const ComError& e) {
        return Raised{e.number(), e.description(), e.source()};
    }
    return std::nullopt;
}

inline const char* textOf(LONG number) {
    switch (number) {
    case 5: return "Invalid procedure call or argument";
    case 9: return "Subscript out of range";
    case 13: return "Type mismatch";
    case 457: return "This key is already associated with an element of this collection";
    }
    return "";
}

// Checks number, standard text and source of a raised error.
inline void expectRaised(const std::optional<Raised>& r, LONG number, const std::string& source) {
    ASSERT_TRUE(r.has_value()) << "no error raised, expected " << number;
    EXPECT_EQ(r->number, number);
    EXPECT_EQ(r->description, textOf(number));
    EXPECT_EQ(r->source, source);
}

inline std::string text(const VARIANT& v) {
    std::string t;
    EXPECT_EQ(toText(v, &t), S_OK);
    return t;
}

inline LONG count(win::IDispatch* list) {
    LONG n = -1;
    if (auto c = ComPtr<win::IDispatch>(list).as<_CCollection>()) c->get_Count(&n);
    else if (auto p = ComPtr<win::IDispatch>(list).as<_CParams>()) p->get_Count(&n);
    else if (auto d = ComPtr<win::IDispatch>(list).as<_CNodes>()) d->get_Count(&n);
    return n;
}

// The items of a collection by position, as text.
inline std::vector<std::string> texts(_CCollection* c) {
    LONG n = 0;
    c->get_Count(&n);
    std::vector<std::string> out;
    for (LONG k = 1; k <= n; ++k) {
        VARIANT at = makeLong(k), v;
        EXPECT_EQ(c->get_Item(&at, &v), S_OK);
        out.push_back(text(v));
    }
    return out;
}

// Appends `value` under `key` (no key when empty).
inline HRESULT add(_CCollection* c, VARIANT value, const std::string& key = "") {
    VARIANT k = makeText(key);
    return c->Add(&value, key.empty() ? nullptr : &k, nullptr, nullptr);
}

inline ComPtr<_CParam> addParam(_CParams* p, const std::string& name, std::optional<VARIANT> value) {
    VARIANT n = makeText(name);
    ComPtr<_CParam> r;
    EXPECT_EQ(p->Add(&n, value ? &*value : nullptr, r.put()), S_OK) << name;
    return r;
}

inline std::string nameOf(_CParam* p) {
    std::string s;
    p->get_Name(&s);
    return s;
}

inline std::string idOf(_CNode* n) {
    std::string s;
    n->get_Id(&s);
    return s;
}

// The current reference count of an object.
inline ULONG refs(win::IUnknown* p) {
    p->AddRef();
    return p->Release();
}

} // namespace recordstest
