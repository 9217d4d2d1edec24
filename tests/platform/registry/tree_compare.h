#pragma once
// Compares two key trees whole (names with their case, values in order with
// type and bytes, class, link mark) and says where they first differ.

#include <string>

#include "platform/registry/store.h"

namespace regtest {

// Empty when equal, else the path of the first difference and what differs.
// Times are compared only when `withTimes`.
std::string treeDifference(const winsys::reg::Key& a, const winsys::reg::Key& b, bool withTimes);

// Number of keys and values below (and in) `k`.
std::size_t countKeys(const winsys::reg::Key& k);
std::size_t countValues(const winsys::reg::Key& k);

} // namespace regtest
