#pragma once
// Add-on records as tests build and read them: a new CParams, a parameter
// added to it, and a parameter read back as text. Failures of the library
// fail the test rather than throwing.

#include <string>

#include <gtest/gtest.h>

#include "common/interfaces/records.h"
#include "platform/com/class_registry.h"
#include "platform/com/variant.h"

namespace testsupport {

inline winsys::com::ComPtr<halvenlib::_CParams> newParams() {
    winsys::com::ComPtr<halvenlib::_CParams> p;
    EXPECT_EQ(winsys::com::createInstance(halvenlib::CLSID_CParams, &p), win::S_OK);
    return p;
}

inline void addParam(halvenlib::_CParams* p, const std::string& name, win::VARIANT value) {
    win::VARIANT n = winsys::com::makeText(name);
    winsys::com::ComPtr<halvenlib::_CParam> param;
    EXPECT_EQ(p->Add(&n, &value, param.put()), win::S_OK);
}

// The record's value under `name` as text, or "<missing>" when it has none.
inline std::string paramText(halvenlib::_CParams* p, const std::string& name) {
    win::VARIANT key = winsys::com::makeText(name);
    winsys::com::ComPtr<halvenlib::_CParam> param;
    if (p->get_Item(&key, param.put()) != win::S_OK) return "<missing>";
    win::VARIANT v;
    param->get_Value(&v);
    std::string s;
    EXPECT_EQ(winsys::com::toText(v, &s), win::S_OK) << name;
    return s;
}

} // namespace testsupport
