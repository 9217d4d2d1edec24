// CGumArray through COM: identity and slot order, filling and reading,
// growth, the exchange sort's order (binary text order, numbers before
// texts, equal keys), the display text and the errors.

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "common/interfaces/table.h"
#include "platform/com/class_registry.h"
#include "platform/com/com_error.h"
#include "platform/com/late_bound.h"
#include "platform/com/safearray.h"
#include "platform/core/guid.h"
#include "platform/core/text.h"
#include "tests/support/com_library.h"
#include "tests/support/test_prefix.h"
#include "tests/support/vtable_check.h"

using namespace win;
using namespace winsys::com;
using namespace halvenlib;

namespace {

class Table : public ::testing::Test {
protected:
    ComPtr<_CGumArray> make(LONG columns) {
        ComPtr<_CGumArray> t;
        EXPECT_EQ(createInstance(CLSID_CGumArray, &t), S_OK);
        if (t) {
            EXPECT_EQ(t->Init(columns), S_OK);
        }
        return t;
    }
    // AddRow with a variant array whose lower bound is `lower`.
    static HRESULT addRow(_CGumArray* t, const std::vector<VARIANT>& cells, LONG lower = 1) {
        const VARIANT array = makeArray(makeVariantArray(cells, lower));
        return t->AddRow(array.parray);
    }
    static VARIANT item(_CGumArray* t, LONG row, LONG col) {
        VARIANT v = makeText("sentinel");
        EXPECT_EQ(t->get_Item(row, col, &v), S_OK) << row << "," << col;
        return v;
    }
    static std::string text(_CGumArray* t, LONG row, LONG col) {
        const VARIANT v = item(t, row, col);
        std::string s;
        EXPECT_EQ(toText(v, &s), S_OK);
        return s;
    }
    static LONG rows(_CGumArray* t) {
        LONG n = -1;
        t->get_RowsCount(&n);
        return n;
    }

    testsupport::TestPrefix prefix;
    testsupport::ComLibrary lib{HALVENLIB_PATH};
};

TEST(TableIdentity, IdsAndSlotOrder) {
    EXPECT_EQ(winsys::guidToString(CLSID_CGumArray), "{A1BECA44-A2B4-4892-B3F3-1EC357658C94}");
    EXPECT_EQ(winsys::guidToString(_CGumArray::iid), "{2E994376-AB38-40A0-9403-01F6FB2E0800}");
    EXPECT_TRUE(testsupport::slotOrderMatches(_CGumArray::info(),
                                              {"Sort", "Init", "RowsCount (get)", "ColumnsCount (get)", "Item (get)",
                                               "AddRow", "Clear", "AsDisplayString"}));
}

TEST_F(Table, CreatableByProgIdAndItemIsTheDefaultMember) {
    ComPtr<IDispatch> t;
    ASSERT_EQ(createByProgId("Halvenlib.CGumArray", _CGumArray::iid, t.putVoid()), S_OK);
    callMethod(t.get(), "Init", {makeLong(2)});
    VARIANT cells = makeArray(makeVariantArray({makeText("a"), makeText("b")}, 0));
    callMethod(t.get(), "AddRow", {byRef(&cells)});
    EXPECT_EQ(invokeById(t.get(), DISPID_VALUE, DISPATCH_PROPERTYGET, {makeLong(1), makeLong(2)}).bstrVal, "b");
    EXPECT_EQ(getProperty(t.get(), "RowsCount").lVal, 1);
}

TEST_F(Table, NewObjectIsEmptyAndRefusesRowsUntilInit) {
    ComPtr<_CGumArray> t;
    ASSERT_EQ(createInstance(CLSID_CGumArray, &t), S_OK);
    LONG n = -1;
    EXPECT_EQ(t->get_ColumnsCount(&n), S_OK);
    EXPECT_EQ(n, 0);
    EXPECT_EQ(rows(t.get()), 0);
    EXPECT_EQ(addRow(t.get(), {}), hresultFromNumber(9));
    EXPECT_EQ(rows(t.get()), 0);
}

TEST_F(Table, RowsKeepTheirCellsAcrossGrowth) {
    auto t = make(2);
    const LONG count = 50; // grows 2, 3, 4, 6, 9, 14, 21, 32, 48, 72
    for (LONG r = 1; r <= count; ++r)
        ASSERT_EQ(addRow(t.get(), {makeLong(r), makeText("row " + std::to_string(r))}), S_OK);
    EXPECT_EQ(rows(t.get()), count);
    for (LONG r = 1; r <= count; ++r) {
        EXPECT_EQ(item(t.get(), r, 1).lVal, r);
        EXPECT_EQ(text(t.get(), r, 2), "row " + std::to_string(r));
    }
}

TEST_F(Table, ShortRowsLeaveEmptyCellsAndAnyLowerBoundMapsToColumnOne) {
    auto t = make(3);
    ASSERT_EQ(addRow(t.get(), {makeText("a"), makeText("b")}, 1), S_OK);
    ASSERT_EQ(addRow(t.get(), {makeText("c")}, 0), S_OK);
    ASSERT_EQ(addRow(t.get(), {makeText("d"), makeText("e"), makeText("f")}, 5), S_OK);
    EXPECT_EQ(text(t.get(), 1, 2), "b");
    EXPECT_EQ(item(t.get(), 1, 3).vt, VT_EMPTY);
    EXPECT_EQ(text(t.get(), 2, 1), "c");
    EXPECT_EQ(item(t.get(), 2, 2).vt, VT_EMPTY);
    EXPECT_EQ(text(t.get(), 3, 1), "d");
    EXPECT_EQ(text(t.get(), 3, 3), "f");
}

TEST_F(Table, ObjectCellsAreHandedOutByReference) {
    auto t = make(1);
    auto other = make(1);
    ASSERT_EQ(addRow(t.get(), {makeObject(other.get())}), S_OK);
    const VARIANT v = item(t.get(), 1, 1);
    ASSERT_EQ(v.vt, VT_DISPATCH);
    ComPtr<IDispatch> same;
    other->QueryInterface(IDispatch::iid, same.putVoid());
    EXPECT_EQ(v.pdispVal, same.get());
}

TEST_F(Table, InitAndClearEmptyTheTable) {
    auto t = make(2);
    ASSERT_EQ(addRow(t.get(), {makeText("a"), makeText("b")}), S_OK);
    ASSERT_EQ(addRow(t.get(), {makeText("c"), makeText("d")}), S_OK);

    ASSERT_EQ(t->Clear(), S_OK);
    LONG cols = 0;
    t->get_ColumnsCount(&cols);
    EXPECT_EQ(cols, 2);
    EXPECT_EQ(rows(t.get()), 0);
    EXPECT_EQ(item(t.get(), 1, 1).vt, VT_EMPTY);

    ASSERT_EQ(addRow(t.get(), {makeText("x"), makeText("y")}), S_OK);
    ASSERT_EQ(t->Init(4), S_OK);
    t->get_ColumnsCount(&cols);
    EXPECT_EQ(cols, 4);
    EXPECT_EQ(rows(t.get()), 0);
    EXPECT_EQ(addRow(t.get(), {makeText("1"), makeText("2"), makeText("3"), makeText("4")}), S_OK);
    EXPECT_EQ(text(t.get(), 1, 4), "4");
}

TEST_F(Table, SortOrders) {
    const VARIANT E = makeEmpty();
    auto T = [](const char* s) { return makeText(s); };
    auto N = [](LONG n) { return makeLong(n); };
    const struct {
        const char* label;
        std::vector<VARIANT> keys; // column 2; column 1 holds r1, r2 ... in adding order
        bool ascending;
        std::vector<std::string> order; // column 1 after the sort
    } rows[] = {
        {"binary text order: upper before lower", {T("b"), T("B"), T("a")}, true, {"r2", "r3", "r1"}},
        {"Z before a", {T("a"), T("Z")}, true, {"r2", "r1"}},
        {"equal keys: the first B ends last", {T("B"), T("B"), T("A")}, true, {"r3", "r2", "r1"}},
        {"two equal keys are never swapped", {T("A"), T("A")}, true, {"r1", "r2"}},
        {"equal keys descending", {T("A"), T("A"), T("B")}, false, {"r3", "r2", "r1"}},
        {"descending texts", {T("a"), T("c"), T("b")}, false, {"r2", "r3", "r1"}},
        {"numbers by value", {N(10), N(9), N(100)}, true, {"r2", "r1", "r3"}},
        {"numbers before texts, Empty as 0 and as \"\"", {N(10), T("9"), N(2), E}, true, {"r4", "r3", "r1", "r2"}},
        {"Empty against a negative number", {E, N(-1)}, true, {"r2", "r1"}},
        {"Boolean True is -1", {N(0), makeBool(true)}, true, {"r2", "r1"}},
        {"already in order", {T("a"), T("b"), T("c")}, true, {"r1", "r2", "r3"}},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.label);
        auto t = make(2);
        for (std::size_t k = 0; k < r.keys.size(); ++k)
            ASSERT_EQ(addRow(t.get(), {makeText("r" + std::to_string(k + 1)), r.keys[k]}), S_OK);
        ASSERT_EQ(t->Sort(2, r.ascending ? VARIANT_TRUE : VARIANT_FALSE), S_OK);
        std::vector<std::string> got;
        for (LONG k = 1; k <= static_cast<LONG>(r.keys.size()); ++k) got.push_back(text(t.get(), k, 1));
        EXPECT_EQ(got, r.order);
    }
}

// The documented exchange sort, on cells described by kind and value, as
// the order any table must come out in: random tables of distinct keys,
// equal keys, Empty, Null and texts whose UTF-8 and UTF-16 orders differ;
// then tables of up to 600 rows over a few keys, where most rows have an
// equal, with NaN and cells that cannot be compared (the sort fails where
// the exchange sort does, its rows as that left them).
struct ExchangeKey {
    char kind; // 'T' text, 'N' number, 'E' Empty, '0' Null, 'O' an object
    double number;
    std::u16string chars;
    std::string utf8;
};

class ExchangeSort : public Table {
protected:
    // -1, 0, 1; 2: cannot be ordered; 3: the comparison fails.
    static int compare(const ExchangeKey& a, const ExchangeKey& b) {
        if (a.kind == '0' || b.kind == '0') return 2;
        if (a.kind == 'O' || b.kind == 'O') return 3;
        const bool ta = a.kind == 'T' || (a.kind == 'E' && b.kind == 'T');
        const bool tb = b.kind == 'T' || (b.kind == 'E' && a.kind == 'T');
        if (ta && tb) return a.chars < b.chars ? -1 : b.chars < a.chars ? 1 : 0;
        if (ta != tb) return ta ? 1 : -1;
        return a.number < b.number ? -1 : b.number < a.number ? 1 : 0;
    }

    // The table's rows after its Sort match the exchange sort's, which
    // fails with a type mismatch where the reference's comparison fails.
    void expectExchangeOrder(const std::vector<ExchangeKey>& rowsKeys, bool ascending) {
        const int n = static_cast<int>(rowsKeys.size());
        std::vector<int> expected(static_cast<std::size_t>(n));
        for (int k = 0; k < n; ++k) expected[static_cast<std::size_t>(k)] = k + 1;
        std::vector<ExchangeKey> order = rowsKeys;
        bool fails = false;
        for (int i = 0; i < n - 1 && !fails; ++i)
            for (int j = i + 1; j < n; ++j) {
                const int c = compare(order[static_cast<std::size_t>(i)], order[static_cast<std::size_t>(j)]);
                if (c == 3) {
                    fails = true;
                    break;
                }
                if (c != 2 && (ascending ? c > 0 : c < 0)) {
                    std::swap(order[static_cast<std::size_t>(i)], order[static_cast<std::size_t>(j)]);
                    std::swap(expected[static_cast<std::size_t>(i)], expected[static_cast<std::size_t>(j)]);
                }
            }

        auto t = make(2);
        auto other = make(1);
        for (int k = 0; k < n; ++k) {
            const ExchangeKey& key = rowsKeys[static_cast<std::size_t>(k)];
            const VARIANT v = key.kind == 'T'   ? makeText(key.utf8)
                              : key.kind == 'N' ? makeDouble(key.number)
                              : key.kind == 'E' ? makeEmpty()
                              : key.kind == 'O' ? makeObject(other.get())
                                                : makeNull();
            ASSERT_EQ(addRow(t.get(), {makeLong(k + 1), v}), S_OK);
        }
        EXPECT_EQ(t->Sort(2, ascending ? VARIANT_TRUE : VARIANT_FALSE), fails ? hresultFromNumber(13) : S_OK);
        std::vector<int> got;
        for (LONG k = 1; k <= n; ++k) got.push_back(static_cast<int>(item(t.get(), k, 1).lVal));
        ASSERT_EQ(got, expected);
    }
};

TEST_F(ExchangeSort, SortEndsAsTheExchangeSortDoes) {
    const std::vector<ExchangeKey> keys = {
        {'T', 0, u"a", "a"},
        {'T', 0, u"B", "B"},
        {'T', 0, u"\uff5e", "\xef\xbd\x9e"},
        {'T', 0, u"\U0001d11e", "\xf0\x9d\x84\x9e"}, // after U+FF5E in UTF-8, before it in UTF-16
        {'T', 0, u"", ""},
        {'N', 3, {}, {}},
        {'N', -1, {}, {}},
        {'N', 0, {}, {}},
        {'N', 2.5, {}, {}},
        {'E', 0, {}, {}},
        {'0', 0, {}, {}},
    };
    std::mt19937 random(20261211);
    for (int round = 0; round < 400; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        const bool distinct = round % 2 == 0;
        const bool ascending = round % 4 < 2;
        std::vector<ExchangeKey> rowsKeys;
        const int n = 2 + static_cast<int>(random() % 30);
        for (int k = 0; k < n; ++k) {
            if (distinct) { // distinct texts and numbers, in random order
                if (random() % 2) {
                    const std::string t = "k" + std::to_string(k) + (k % 3 ? "\xf0\x9d\x84\x9e" : "\xef\xbd\x9e");
                    rowsKeys.push_back({'T', 0, winsys::toUtf16(t), t});
                } else {
                    rowsKeys.push_back({'N', static_cast<double>(k) * (k % 2 ? 1 : -1), {}, {}});
                }
            } else {
                rowsKeys.push_back(keys[random() % (round % 8 < 4 ? 5 : keys.size())]);
            }
        }
        std::shuffle(rowsKeys.begin(), rowsKeys.end(), random);
        expectExchangeOrder(rowsKeys, ascending);
    }
}

TEST_F(ExchangeSort, ManyEqualKeysEndAsTheExchangeSortLeavesThem) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const struct {
        const char* label;
        std::vector<ExchangeKey> pool; // each row's key drawn from it
    } pools[] = {
        {"one empty text", {{'T', 0, u"", ""}}},
        {"two texts", {{'T', 0, u"", ""}, {'T', 0, u"a", "a"}}},
        {"four texts and Empty", {{'T', 0, u"", ""}, {'T', 0, u"a", "a"}, {'T', 0, u"B", "B"}, {'T', 0, u"b", "b"}, {'E', 0, {}, {}}}},
        {"three numbers and Empty", {{'N', 1, {}, {}}, {'N', 0, {}, {}}, {'N', -2, {}, {}}, {'E', 0, {}, {}}}},
        {"texts and numbers", {{'T', 0, u"x", "x"}, {'T', 0, u"y", "y"}, {'N', 7, {}, {}}, {'N', 5, {}, {}}}},
        {"texts and Null", {{'T', 0, u"x", "x"}, {'T', 0, u"y", "y"}, {'0', 0, {}, {}}}},
        {"numbers and NaN", {{'N', 1, {}, {}}, {'N', 2, {}, {}}, {'N', nan, {}, {}}, {'E', 0, {}, {}}}},
        {"NaN beside texts", {{'N', 1, {}, {}}, {'N', nan, {}, {}}, {'T', 0, u"x", "x"}}},
        {"Empty beside numbers and texts", {{'N', 1, {}, {}}, {'N', -1, {}, {}}, {'T', 0, u"x", "x"}, {'E', 0, {}, {}}}},
        {"an object among texts and Null", {{'T', 0, u"a", "a"}, {'T', 0, u"b", "b"}, {'0', 0, {}, {}}, {'O', 0, {}, {}}}},
    };
    std::mt19937 random(20261212);
    for (const auto& p : pools) {
        for (int round = 0; round < 12; ++round) {
            SCOPED_TRACE(std::string(p.label) + ", round " + std::to_string(round));
            const std::size_t n = 2 + random() % 600;
            std::vector<ExchangeKey> rowsKeys;
            // Uneven weights, so that some keys have long runs and others few rows.
            const std::size_t narrowed = 1 + random() % p.pool.size();
            for (std::size_t k = 0; k < n; ++k)
                rowsKeys.push_back(p.pool[random() % 4 == 0 ? random() % p.pool.size() : random() % narrowed]);
            expectExchangeOrder(rowsKeys, round % 2 == 0);
        }
    }
}

TEST_F(Table, SortMovesWholeRows) {
    auto t = make(3);
    ASSERT_EQ(addRow(t.get(), {makeText("b"), makeLong(1), makeText("x")}), S_OK);
    ASSERT_EQ(addRow(t.get(), {makeText("a"), makeLong(2)}), S_OK);
    ASSERT_EQ(t->Sort(1, VARIANT_TRUE), S_OK);
    EXPECT_EQ(text(t.get(), 1, 1), "a");
    EXPECT_EQ(item(t.get(), 1, 2).lVal, 2);
    EXPECT_EQ(item(t.get(), 1, 3).vt, VT_EMPTY);
    EXPECT_EQ(text(t.get(), 2, 1), "b");
    EXPECT_EQ(item(t.get(), 2, 2).lVal, 1);
    EXPECT_EQ(text(t.get(), 2, 3), "x");
}

TEST_F(Table, DisplayString) {
    auto t = make(2);
    std::string s;
    ASSERT_EQ(t->AsDisplayString(&s), S_OK);
    EXPECT_EQ(s, "Rows: 0, Columns: 2\r\n");
    ASSERT_EQ(addRow(t.get(), {makeText("a"), makeText("b")}), S_OK);
    ASSERT_EQ(addRow(t.get(), {makeLong(7)}), S_OK);
    ASSERT_EQ(t->AsDisplayString(&s), S_OK);
    EXPECT_EQ(s, "Rows: 2, Columns: 2\r\n1 (a, b)\r\n2 (7, )\r\n");
}

TEST_F(Table, Errors) {
    struct Row {
        const char* label;
        std::function<HRESULT(_CGumArray*)> call;
        HRESULT expected;
        LONG rowsAfter;
    };
    const Row cases[] = {
        {"row wider than the table",
         [](_CGumArray* t) { return addRow(t, {makeText("1"), makeText("2"), makeText("3"), makeText("4")}); },
         static_cast<HRESULT>(0x80040000u), 2},
        {"row not an array of variants",
         [](_CGumArray* t) {
             const VARIANT a = makeArray(makeByteArray({1, 2}, 1));
             return t->AddRow(a.parray);
         },
         hresultFromNumber(13), 2},
        {"Item row 0", [](_CGumArray* t) { VARIANT v; return t->get_Item(0, 1, &v); }, hresultFromNumber(9), 2},
        {"Item column 0", [](_CGumArray* t) { VARIANT v; return t->get_Item(1, 0, &v); }, hresultFromNumber(9), 2},
        {"Sort column 0", [](_CGumArray* t) { return t->Sort(0, VARIANT_TRUE); }, hresultFromNumber(9), 2},
        {"Sort column beyond", [](_CGumArray* t) { return t->Sort(4, VARIANT_TRUE); }, hresultFromNumber(9), 2},
        {"display with an object cell",
         [](_CGumArray* t) {
             ComPtr<_CGumArray> other;
             if (HRESULT h = createInstance(CLSID_CGumArray, &other); FAILED(h)) return h;
             if (HRESULT h = addRow(t, {makeObject(other.get())}); FAILED(h)) return h;
             std::string s;
             return t->AsDisplayString(&s);
         },
         hresultFromNumber(13), 3},
    };
    for (const auto& r : cases) {
        SCOPED_TRACE(r.label);
        auto t = make(3);
        ASSERT_EQ(addRow(t.get(), {makeText("a")}), S_OK);
        ASSERT_EQ(addRow(t.get(), {makeText("b")}), S_OK);
        try {
            call([&] { return r.call(t.get()); });
            ADD_FAILURE() << "no error";
        } catch (const ComError& e) {
            EXPECT_EQ(e.hresult(), r.expected);
            EXPECT_FALSE(e.description().empty());
            EXPECT_EQ(e.source().rfind("CGumArray.", 0), 0u) << e.source();
        }
        EXPECT_EQ(rows(t.get()), r.rowsAfter) << "a failed call adds no row";
    }
}

TEST_F(Table, OutOfRangeReadsAndShortSortsAreQuiet) {
    auto t = make(2);
    ASSERT_EQ(addRow(t.get(), {makeText("a"), makeText("b")}), S_OK);
    EXPECT_EQ(item(t.get(), 2, 1).vt, VT_EMPTY);
    EXPECT_EQ(item(t.get(), 1, 3).vt, VT_EMPTY);
    EXPECT_EQ(t->Sort(9, VARIANT_TRUE), S_OK); // one row: nothing to do
    EXPECT_EQ(text(t.get(), 1, 1), "a");
}

} // namespace
