#include "common/exchange_order.h"

// Why the order below is the exchange sort's, equal keys included.
//
// Pass i compares the row at i with every later row and swaps whenever the
// later one is strictly smaller, so the row at i is always the smallest seen
// so far. The pass therefore moves the first smallest row of i.. to i and
// shifts each row that is smaller than every row before it in i.. (a
// "record") to the place of the next record; all other rows stay.
//
// 1. Rows of one key K are placed only after every smaller row, one per
//    pass, each time the first K row remaining; such a pass moves no other K
//    row (none of them is a record). So K's final order is their order once
//    every smaller row is placed.
// 2. Up to then, look only at the rows of key K and below, marking each K or
//    L (smaller). Rows above K never decide which of these are records, so a
//    pass acts on them as it would on that subsequence alone. Each pass
//    places one L. When the first remaining row is an L, the K rows keep
//    their order. When it is a K, the head of a run of K rows that ends at
//    the next L, that K is a record, the next record is that L, and the K
//    moves to the L's place: the run is rotated by one, and that L has left
//    the pattern; once the L's after the run are used up, it joins the next
//    run.
// 3. So, with the K rows in row order and g(t) the number of smaller rows
//    between the t-th K row and the next one (after the last: to the end):
//    start empty, and for each t append the t-th K row and rotate the
//    sequence left by g(t). Where no smaller row lies between equal rows
//    they stay in row order, as a stable sort would keep them.
//
// The smaller rows are counted with a Fenwick tree over row numbers, filled
// key by key; the rotations run on an implicit treap (a sequence with split
// and join in log n), so a key of n rows spread over n gaps costs n log n.

#include <algorithm>
#include <cstdint>
#include <numeric>
#include <utility>

namespace halvenlib {

namespace {

// How many of the rows marked so far lie below a row number.
class RowCounter {
public:
    explicit RowCounter(std::size_t rows) : tree_(rows + 1, 0) {}
    void mark(std::size_t row) {
        for (std::size_t k = row + 1; k < tree_.size(); k += k & (~k + 1)) ++tree_[k];
    }
    std::size_t below(std::size_t row) const {
        std::size_t n = 0;
        for (std::size_t k = row; k > 0; k -= k & (~k + 1)) n += tree_[k];
        return n;
    }

private:
    std::vector<std::size_t> tree_;
};

// A sequence of rows that takes an append and a left rotation in log n.
class RotatingSequence {
public:
    void append(std::size_t row) {
        nodes_.push_back({row, -1, -1, 1, nextPriority()});
        root_ = join(root_, static_cast<int>(nodes_.size() - 1));
    }
    void rotateLeft(std::size_t by) {
        const auto [front, back] = split(root_, by);
        root_ = join(back, front);
    }
    std::size_t size() const { return sizeOf(root_); }
    void appendTo(std::vector<std::size_t>& out) const {
        std::vector<int> path; // in order, without recursion
        for (int n = root_; n >= 0 || !path.empty();) {
            for (; n >= 0; n = nodes_[static_cast<std::size_t>(n)].left) path.push_back(n);
            n = path.back();
            path.pop_back();
            out.push_back(nodes_[static_cast<std::size_t>(n)].row);
            n = nodes_[static_cast<std::size_t>(n)].right;
        }
    }

private:
    struct Node {
        std::size_t row;
        int left, right;
        std::size_t size;
        std::uint32_t priority;
    };

    std::uint32_t nextPriority() { // xorshift32: the shape needs no better randomness
        seed_ ^= seed_ << 13;
        seed_ ^= seed_ >> 17;
        seed_ ^= seed_ << 5;
        return seed_;
    }
    Node& at(int n) { return nodes_[static_cast<std::size_t>(n)]; }
    std::size_t sizeOf(int n) const { return n < 0 ? 0 : nodes_[static_cast<std::size_t>(n)].size; }
    void resize(int n) { at(n).size = 1 + sizeOf(at(n).left) + sizeOf(at(n).right); }

    // The first `count` rows of `n`, and the rest.
    std::pair<int, int> split(int n, std::size_t count) {
        if (n < 0) return {-1, -1};
        if (sizeOf(at(n).left) >= count) {
            const auto [front, back] = split(at(n).left, count);
            at(n).left = back;
            resize(n);
            return {front, n};
        }
        const auto [front, back] = split(at(n).right, count - sizeOf(at(n).left) - 1);
        at(n).right = front;
        resize(n);
        return {n, back};
    }
    int join(int a, int b) {
        if (a < 0) return b;
        if (b < 0) return a;
        if (at(a).priority > at(b).priority) {
            at(a).right = join(at(a).right, b);
            resize(a);
            return a;
        }
        at(b).left = join(a, at(b).left);
        resize(b);
        return b;
    }

    std::vector<Node> nodes_;
    int root_ = -1;
    std::uint32_t seed_ = 2463534242u;
};

} // namespace

std::vector<std::size_t> exchangeSortOrder(std::size_t count,
                                           const std::function<bool(std::size_t, std::size_t)>& before) {
    std::vector<std::size_t> byKey(count);
    std::iota(byKey.begin(), byKey.end(), std::size_t{0});
    std::stable_sort(byKey.begin(), byKey.end(), before); // each key's rows in row order

    std::vector<std::size_t> order;
    order.reserve(count);
    RowCounter placed(count); // the rows of smaller keys
    for (std::size_t first = 0; first < count;) {
        std::size_t end = first + 1;
        while (end < count && !before(byKey[first], byKey[end])) ++end;
        RotatingSequence key;
        for (std::size_t t = first; t < end; ++t) {
            const std::size_t next = t + 1 < end ? byKey[t + 1] : count;
            const std::size_t smaller = placed.below(next) - placed.below(byKey[t] + 1);
            key.append(byKey[t]);
            if (smaller % key.size() != 0) key.rotateLeft(smaller % key.size());
        }
        key.appendTo(order);
        for (std::size_t t = first; t < end; ++t) placed.mark(byKey[t]);
        first = end;
    }
    return order;
}

} // namespace halvenlib
