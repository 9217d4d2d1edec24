// The string builder: sizes in whole steps, positions in UTF-16 units, and
// the range and step checks that keep its used size inside its content.

#include "app/core/cstringbuilder.h"

#include <gtest/gtest.h>

#include <functional>
#include <limits>
#include <string>

#include "platform/com/com_error.h"
#include "platform/core/text.h"

using sorlix::cStringBuilder;

namespace {

// The error number a step raises, 0 when it raises none.
win::LONG errorOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const winsys::com::ComError& e) {
        return e.number();
    }
    return 0;
}

TEST(StringBuilder, Cases) {
    struct Case {
        const char* label;
        std::function<void(cStringBuilder&)> steps;
        win::LONG error; // of the last step
        std::string content;
        win::LONG capacity;
    };
    const std::string big(20000, 'x');
    const Case cases[] = {
        {"new", [](cStringBuilder&) {}, 0, "", 0},
        {"one character", [](cStringBuilder& b) { b.Append("a"); }, 0, "a", 8192},
        {"20000 characters", [&](cStringBuilder& b) { b.Append(big); }, 0, big, 24576},
        {"astral counts two", [](cStringBuilder& b) { b.ChunkSize(1); b.Append("\xF0\x9F\x98\x80"); }, 0,
         "\xF0\x9F\x98\x80", 2},
        {"AppendNL", [](cStringBuilder& b) { b.AppendNL("ab"); }, 0, "ab\r\n", 8192},
        {"empty append", [](cStringBuilder& b) { b.Append(""); }, 0, "", 0},
        {"insert in front", [](cStringBuilder& b) { b.Append("cd"); b.Insert(0, "ab"); }, 0, "abcd", 8192},
        {"insert at end", [](cStringBuilder& b) { b.Append("ab"); b.Insert(b.Length(), "cd"); }, 0, "abcd", 8192},
        {"insert past end", [](cStringBuilder& b) { b.Append("ab"); b.Insert(3, "x"); }, 9, "ab", 8192},
        {"insert before start", [](cStringBuilder& b) { b.Append("ab"); b.Insert(-1, "x"); }, 9, "ab", 8192},
        {"remove all keeps room", [](cStringBuilder& b) { b.Append("abc"); b.Remove(0, b.Length()); }, 0, "", 8192},
        {"remove middle", [](cStringBuilder& b) { b.Append("abcd"); b.Remove(1, 2); }, 0, "ad", 8192},
        {"remove past end", [](cStringBuilder& b) { b.Append("abc"); b.Remove(2, 2); }, 9, "abc", 8192},
        {"remove negative length", [](cStringBuilder& b) { b.Append("abc"); b.Remove(0, -1); }, 9, "abc", 8192},
        {"remove length that wraps",
         [](cStringBuilder& b) { b.Append("abc"); b.Remove(1, std::numeric_limits<win::LONG>::max()); }, 9, "abc",
         8192},
        {"TheString replaces", [](cStringBuilder& b) { b.Append("old text"); b.TheString("new"); }, 0, "new", 8192},
        {"TheString empty clears", [](cStringBuilder& b) { b.Append("old"); b.TheString(""); }, 0, "", 0},
        {"clear, then grow again", [](cStringBuilder& b) { b.Append("abc"); b.Clear(); b.Append("d"); }, 0, "d",
         8192},
        {"chunk 0 refused", [](cStringBuilder& b) { b.ChunkSize(0); }, 5, "", 0},
        {"chunk -1 refused", [](cStringBuilder& b) { b.ChunkSize(-1); }, 5, "", 0},
        {"chunk too large", [](cStringBuilder& b) { b.ChunkSize(1 << 30); }, 6, "", 0},
        {"small chunks", [](cStringBuilder& b) { b.ChunkSize(4); b.Append("abcdefghij"); }, 0, "abcdefghij", 12},
        {"heap minimize keeps one step",
         [&](cStringBuilder& b) { b.Append(big); b.Remove(0, 19000); b.HeapMinimize(); }, 0, std::string(1000, 'x'),
         8192},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        cStringBuilder b;
        EXPECT_EQ(errorOf([&] { c.steps(b); }), c.error);
        EXPECT_EQ(b.toString(), c.content);
        EXPECT_EQ(b.Length(), static_cast<win::LONG>(winsys::utf16Length(c.content)));
        EXPECT_EQ(b.Capacity(), c.capacity);
        EXPECT_LE(b.Length(), b.Capacity());
    }
}

TEST(StringBuilder, RefusedStepKeepsTheOldOne) {
    cStringBuilder b;
    b.ChunkSize(10);
    EXPECT_EQ(errorOf([&] { b.ChunkSize(0); }), 5);
    EXPECT_EQ(errorOf([&] { b.ChunkSize(-1); }), 5);
    EXPECT_EQ(b.ChunkSize(), 10);
    b.Append("a");
    EXPECT_EQ(b.Capacity(), 10);
}

TEST(StringBuilder, Find) {
    cStringBuilder b;
    b.Append("Hello World");
    struct Case {
        const char* label;
        const char* what;
        win::LONG start, compare, found;
    } cases[] = {
        {"exact", "World", 0, 0, 7},
        {"case differs", "world", 0, 0, 0},
        {"ignoring case", "world", 0, 1, 7},
        {"last character", "d", 1, 0, 11},
        {"from a start", "o", 6, 0, 8},
        {"runs into spare room", "d ", 0, 0, 0},
        {"start past content", "H", 13, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        EXPECT_EQ(b.Find(c.what, c.start, c.compare), c.found);
    }
    EXPECT_EQ(b.Find("d", 1, 0), b.Length());
}

TEST(StringBuilder, PositionsCountUtf16Units) {
    cStringBuilder b;
    b.Append("\xF0\x9F\x98\x80" "a\xC3\xA9");
    EXPECT_EQ(b.Length(), 4);
    EXPECT_EQ(b.Find("a", 1, 0), 3);
    b.Remove(0, 2);
    EXPECT_EQ(b.toString(), "a\xC3\xA9");
}

} // namespace
