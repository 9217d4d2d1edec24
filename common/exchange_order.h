#pragma once
// The order the table's exchange sort leaves rows in, reached in n log n
// comparisons instead of its n² (see exchange_order.cpp for why it is the
// same order, equal keys included).

#include <cstddef>
#include <functional>
#include <vector>

namespace halvenlib {

// `before(a, b)`: row a's key goes before row b's, a strict weak order on
// the rows 0 .. count - 1. Answers the rows in the order that
//   for i in 0 .. count - 2: for j in i + 1 .. count - 1:
//       when before(row at j, row at i): swap the rows at i and j
// ends in.
std::vector<std::size_t> exchangeSortOrder(std::size_t count,
                                           const std::function<bool(std::size_t, std::size_t)>& before);

} // namespace halvenlib
