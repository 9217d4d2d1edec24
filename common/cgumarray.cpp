#include "common/cgumarray.h"

// Cells live row after row in one vector sized for `capacity_` rows; it
// grows by half (rounded half to even: 2, 3, 4, 6, 9, 14 ...) when a row
// no longer fits. Sort gives the plain exchange sort's order, which does not
// keep the order of equal rows, on keys read from the cells once; keys that
// compare as an order take a road of n log n to it.

#include <algorithm>
#include <cmath>
#include <optional>
#include <string>
#include <vector>

#include "common/exchange_order.h"
#include "common/interfaces/table.h"
#include "common/mcommon.h"
#include "common/server.h"
#include "platform/com/error_info.h"
#include "platform/com/object.h"
#include "platform/com/safearray.h"
#include "platform/com/variant.h"
#include "platform/core/text.h"

namespace halvenlib {

using namespace win;
using namespace winsys::com;

namespace {

constexpr LONG kMinCapacity = 2;

bool isNumeric(VARTYPE vt) {
    return vt == VT_I2 || vt == VT_I4 || vt == VT_R8 || vt == VT_DATE || vt == VT_BOOL || vt == VT_UI1;
}

// A cell as the sort compares it, read once: its text in UTF-16, its
// number, or what it is when it is neither.
struct SortKey {
    enum Kind { Null, Empty, Number, Text, Other } kind = Empty;
    double number = 0;
    std::u16string text;
};

SortKey sortKeyOf(const VARIANT& v) {
    SortKey k;
    if (v.vt == VT_NULL) k.kind = SortKey::Null;
    else if (v.vt == VT_EMPTY) k.kind = SortKey::Empty;
    else if (v.vt == VT_BSTR) k.kind = SortKey::Text, k.text = winsys::toUtf16(v.bstrVal);
    else if (isNumeric(v.vt)) k.kind = SortKey::Number, toDouble(v, &k.number);
    else k.kind = SortKey::Other;
    return k;
}

// Key comparison: -1, 0 or 1; nothing when the two cannot be ordered
// (Null on either side: such a pair is never swapped). Texts by UTF-16 code
// unit, numbers by value, a number before a text, Empty as 0 or "".
HRESULT compareKeys(const SortKey& a, const SortKey& b, std::optional<int>* out) {
    *out = std::nullopt;
    if (a.kind == SortKey::Null || b.kind == SortKey::Null) return S_OK;
    if (a.kind == SortKey::Other || b.kind == SortKey::Other) return raiseError(13, "Type mismatch", "CGumArray.Sort");
    const bool textA = a.kind == SortKey::Text || (a.kind == SortKey::Empty && b.kind == SortKey::Text);
    const bool textB = b.kind == SortKey::Text || (b.kind == SortKey::Empty && a.kind == SortKey::Text);
    if (textA && textB) {
        const int c = a.text.compare(b.text);
        *out = c < 0 ? -1 : c > 0 ? 1 : 0;
    } else if (textA != textB) {
        *out = textA ? 1 : -1; // a number sorts before a text
    } else {
        *out = a.number < b.number ? -1 : a.number > b.number ? 1 : 0;
    }
    return S_OK;
}

class CGumArray final : public DispatchObject<_CGumArray> {
public:
    HRESULT Sort(LONG Column, VARIANT_BOOL SmallestToLargest) override {
        if (rows_ < 2) return S_OK;
        if (Column < 1 || Column > columns_) return raiseError(9, "Subscript out of range", "CGumArray.Sort");
        const bool ascending = SmallestToLargest != VARIANT_FALSE;
        std::vector<SortKey> keys(static_cast<std::size_t>(rows_));
        for (LONG r = 1; r <= rows_; ++r) keys[static_cast<std::size_t>(r - 1)] = sortKeyOf(cell(r, Column));
        if (sortOrderedKeys(keys, ascending)) return S_OK;
        return exchangeSort(keys, ascending);
    }

    HRESULT Init(LONG ColumnsCount) override {
        if (ColumnsCount < 0) return raiseError(5, "Invalid procedure call or argument", "CGumArray.Init");
        columns_ = ColumnsCount;
        reset();
        return S_OK;
    }

    HRESULT get_RowsCount(LONG* rows) override {
        *rows = rows_;
        return S_OK;
    }

    HRESULT get_ColumnsCount(LONG* columns) override {
        *columns = columns_;
        return S_OK;
    }

    HRESULT get_Item(LONG Row, LONG Col, VARIANT* out) override {
        if (Row < 1 || Col < 1) return raiseError(9, "Subscript out of range", "CGumArray.Item");
        if (Row > rows_ || Col > columns_) {
            VariantClear(out);
            return S_OK;
        }
        return VariantCopy(out, &cell(Row, Col));
    }

    HRESULT AddRow(SAFEARRAY* p) override {
        if (!p || SafeArrayGetDim(p) != 1) return raiseError(13, "Type mismatch", "CGumArray.AddRow");
        VARTYPE vt = VT_EMPTY;
        SafeArrayGetVartype(p, &vt);
        if (vt != VT_VARIANT) return raiseError(13, "Type mismatch", "CGumArray.AddRow");
        if (!initialised_) return raiseError(9, "Subscript out of range", "CGumArray.AddRow");
        LONG lower = 0, upper = -1;
        SafeArrayGetLBound(p, 1, &lower);
        SafeArrayGetUBound(p, 1, &upper);
        const long long count = static_cast<long long>(upper) - lower + 1;
        if (count > columns_)
            return raiseError(kErrRowTooWide, "The row has more cells than the table has columns", "CGumArray.AddRow");

        std::vector<VARIANT> row(static_cast<std::size_t>(columns_));
        for (long long k = 0; k < count; ++k) {
            const LONG index = static_cast<LONG>(lower + k);
            if (HRESULT h = SafeArrayGetElement(p, &index, &row[static_cast<std::size_t>(k)]); FAILED(h)) return h;
        }
        if (rows_ == capacity_) grow();
        for (LONG c = 1; c <= columns_; ++c) cell(rows_ + 1, c) = std::move(row[static_cast<std::size_t>(c - 1)]);
        ++rows_;
        return S_OK;
    }

    HRESULT Clear() override {
        reset();
        return S_OK;
    }

    HRESULT AsDisplayString(std::string* text) override {
        std::string out = ReplacePlaceholders("Rows: %1, Columns: %2", {std::to_string(rows_), std::to_string(columns_)});
        out += "\r\n";
        for (LONG r = 1; r <= rows_; ++r) {
            std::string joined;
            for (LONG c = 1; c <= columns_; ++c) {
                std::string t;
                if (FAILED(toText(cell(r, c), &t))) return raiseError(13, "Type mismatch", "CGumArray.AsDisplayString");
                if (c > 1) joined += ", ";
                joined += t;
            }
            out += ReplacePlaceholders("%1 (%2)", {std::to_string(r), joined});
            out += "\r\n";
        }
        *text = std::move(out);
        return S_OK;
    }

private:
    VARIANT& cell(LONG row, LONG col) {
        return cells_[static_cast<std::size_t>(row - 1) * static_cast<std::size_t>(columns_) +
                      static_cast<std::size_t>(col - 1)];
    }

    // Where the keys compare as an order, the exchange sort's rows are
    // reached in n log n (exchange_order.cpp). Null keys compare with
    // nothing, so the exchange sort never moves them and sorts the other
    // rows around them; so does a NaN when the column holds no text (it is
    // equal to every number and Empty). False, leaving it to the exchange
    // sort itself, where it fails part-way (a cell that cannot be compared
    // meets another that is not Null) or where the keys hold no order: Empty
    // beside numbers and texts is both 0 and "", a NaN beside texts equals
    // every number yet precedes every text.
    bool sortOrderedKeys(const std::vector<SortKey>& keys, bool ascending) {
        bool numbers = false, texts = false, empty = false, nan = false, other = false;
        std::size_t nulls = 0;
        for (const SortKey& k : keys) {
            if (k.kind == SortKey::Null) ++nulls;
            else if (k.kind == SortKey::Empty) empty = true;
            else if (k.kind == SortKey::Text) texts = true;
            else if (k.kind == SortKey::Other) other = true;
            else if (std::isnan(k.number)) nan = true;
            else numbers = true;
        }
        if (other && keys.size() - nulls >= 2) return false;
        if ((empty && numbers && texts) || (nan && texts)) return false;

        std::vector<std::size_t> moving; // rows whose keys compare
        for (std::size_t r = 0; r < keys.size(); ++r)
            if (keys[r].kind != SortKey::Null && !(keys[r].kind == SortKey::Number && std::isnan(keys[r].number)))
                moving.push_back(r);
        if (moving.size() < 2) return true;
        const std::vector<std::size_t> order = exchangeSortOrder(moving.size(), [&](std::size_t a, std::size_t b) {
            std::optional<int> c;
            compareKeys(keys[moving[a]], keys[moving[b]], &c); // never fails on these kinds
            return ascending ? *c < 0 : *c > 0;
        });

        std::vector<std::size_t> source(keys.size()); // the row that ends at each place
        for (std::size_t r = 0; r < keys.size(); ++r) source[r] = r;
        for (std::size_t k = 0; k < moving.size(); ++k) source[moving[k]] = moving[order[k]];
        std::vector<VARIANT> sorted(cells_.size());
        for (std::size_t r = 0; r < source.size(); ++r)
            for (LONG c = 1; c <= columns_; ++c)
                sorted[r * static_cast<std::size_t>(columns_) + static_cast<std::size_t>(c - 1)] =
                    std::move(cell(static_cast<LONG>(source[r]) + 1, c));
        cells_ = std::move(sorted);
        return true;
    }

    // The exchange sort as it stands, for the keys above. A pass whose row
    // is Null swaps nothing (a Null never compares) and is passed over.
    HRESULT exchangeSort(std::vector<SortKey>& keys, bool ascending) {
        for (LONG i = 1; i < rows_; ++i) {
            if (keys[static_cast<std::size_t>(i - 1)].kind == SortKey::Null) continue;
            for (LONG j = i + 1; j <= rows_; ++j) {
                SortKey& a = keys[static_cast<std::size_t>(i - 1)];
                SortKey& b = keys[static_cast<std::size_t>(j - 1)];
                std::optional<int> c;
                if (HRESULT h = compareKeys(a, b, &c); FAILED(h)) return h;
                if (c && (ascending ? *c > 0 : *c < 0)) {
                    swapRows(i, j);
                    std::swap(a, b);
                }
            }
        }
        return S_OK;
    }

    void swapRows(LONG i, LONG j) {
        for (LONG c = 1; c <= columns_; ++c) std::swap(cell(i, c), cell(j, c));
    }

    void reset() {
        initialised_ = true;
        rows_ = 0;
        capacity_ = kMinCapacity;
        cells_.clear();
        cells_.resize(static_cast<std::size_t>(capacity_) * static_cast<std::size_t>(columns_));
    }

    void grow() {
        capacity_ = static_cast<LONG>(std::nearbyint(capacity_ * 1.5));
        cells_.resize(static_cast<std::size_t>(capacity_) * static_cast<std::size_t>(columns_));
    }

    bool initialised_ = false; // a new object has no storage until Init
    LONG columns_ = 0;
    LONG rows_ = 0;
    LONG capacity_ = 0;
    std::vector<VARIANT> cells_;
};

const ClassRegistration kRegistration{{CLSID_CGumArray, "CGumArray", "Halvenlib.CGumArray", 0, &createCGumArray},
                                      {{_CGumArray::iid, "_CGumArray"}}};

} // namespace

HRESULT createCGumArray(REFIID riid, void** ppv) { return createAs<CGumArray>(riid, ppv); }

} // namespace halvenlib
