// The ordered dictionary: insertion order, exact keys, a repeated key
// refused with the first entry kept, below and beyond the size from which
// it keeps an index.

#include "platform/dictionary/dictionary.h"

#include <gtest/gtest.h>

#include <string>
#include <variant>
#include <vector>

using winsys::Dictionary;

namespace {

std::vector<std::string> keysOf(const Dictionary<int>& d) {
    std::vector<std::string> keys;
    for (const auto& e : d) keys.push_back(e.key);
    return keys;
}

TEST(Dictionary, OrderExactKeysAndRepeats) {
    for (const int count : {3, 16, 17, 1000}) {
        SCOPED_TRACE(count);
        Dictionary<int> d;
        std::vector<std::string> expected;
        // Descending names, so that insertion order differs from sorted order.
        for (int i = count; i > 0; --i) {
            const std::string key = "k" + std::to_string(i);
            ASSERT_TRUE(d.add(key, i));
            expected.push_back(key);
        }
        EXPECT_EQ(keysOf(d), expected);
        for (int i = 1; i <= count; ++i) {
            const int* v = d.find("k" + std::to_string(i));
            ASSERT_NE(v, nullptr) << i;
            EXPECT_EQ(*v, i);
        }
        EXPECT_FALSE(d.add("k1", -1));
        EXPECT_EQ(*d.find("k1"), 1);
        EXPECT_EQ(d.size(), static_cast<std::size_t>(count));
        EXPECT_EQ(d.find("K1"), nullptr);
        EXPECT_EQ(d.find("k1 "), nullptr);
        EXPECT_EQ(d.find(""), nullptr);
        EXPECT_TRUE(d.add("", 0));
        EXPECT_TRUE(d.contains(""));
    }
}

// A value type that holds dictionaries of itself, as parsed documents do.
struct Tree {
    std::variant<int, Dictionary<Tree>> v;
};

TEST(Dictionary, HoldsItsOwnValueType) {
    Dictionary<Tree> inner;
    inner.add("leaf", Tree{7});
    Dictionary<Tree> outer;
    outer.add("inner", Tree{std::move(inner)});
    const auto& got = std::get<Dictionary<Tree>>(outer.find("inner")->v);
    EXPECT_EQ(std::get<int>(got.find("leaf")->v), 7);
}

} // namespace
