#include "common/cgumarray.h"

// Cells live row after row in one vector sized for `capacity_` rows; it
// grows by half (rounded half to even: 2, 3, 4, 6, 9, 14 ...) when a row
// no longer fits. Sort gives the plain exchange sort's order, which does not
// keep the order of equal rows; distinct keys take a faster road to it.

#include <algorithm>
#include <cmath>
#include <optional>
#include <string>
#include <vector>

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

// Variant comparison: -1, 0 or 1; nothing when the two cannot be ordered
// (Null on either side: such a pair is never swapped). Texts by UTF-16 code
// unit, numbers by value, a number before a text, Empty as 0 or "".
HRESULT compareCells(const VARIANT& a, const VARIANT& b, std::optional<int>* out) {
    *out = std::nullopt;
    const VARTYPE ta = a.vt, tb = b.vt;
    if (ta == VT_NULL || tb == VT_NULL) return S_OK;
    const bool okA = ta == VT_EMPTY || ta == VT_BSTR || isNumeric(ta);
    const bool okB = tb == VT_EMPTY || tb == VT_BSTR || isNumeric(tb);
    if (!okA || !okB) return raiseError(13, "Type mismatch", "CGumArray.Sort");

    const bool textA = ta == VT_BSTR || (ta == VT_EMPTY && tb == VT_BSTR);
    const bool textB = tb == VT_BSTR || (tb == VT_EMPTY && ta == VT_BSTR);
    if (textA && textB) {
        const std::u16string x = winsys::toUtf16(a.bstrVal), y = winsys::toUtf16(b.bstrVal);
        const int c = x.compare(y);
        *out = c < 0 ? -1 : c > 0 ? 1 : 0;
        return S_OK;
    }
    if (textA != textB) {
        *out = textA ? 1 : -1; // a number sorts before a text
        return S_OK;
    }
    double x = 0, y = 0;
    if (ta != VT_EMPTY) toDouble(a, &x);
    if (tb != VT_EMPTY) toDouble(b, &y);
    *out = x < y ? -1 : x > y ? 1 : 0;
    return S_OK;
}

class CGumArray final : public DispatchObject<_CGumArray> {
public:
    HRESULT Sort(LONG Column, VARIANT_BOOL SmallestToLargest) override {
        if (rows_ < 2) return S_OK;
        if (Column < 1 || Column > columns_) return raiseError(9, "Subscript out of range", "CGumArray.Sort");
        const bool ascending = SmallestToLargest != VARIANT_FALSE;
        if (sortDistinctKeys(Column, ascending)) return S_OK;
        for (LONG i = 1; i < rows_; ++i) {
            for (LONG j = i + 1; j <= rows_; ++j) {
                std::optional<int> c;
                if (HRESULT h = compareCells(cell(i, Column), cell(j, Column), &c); FAILED(h)) return h;
                if (c && (ascending ? *c > 0 : *c < 0)) swapRows(i, j);
            }
        }
        return S_OK;
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

    // When every key is a text or a number and no two are equal, the
    // exchange sort can only end in the one sorted order, and a sort of
    // n log n comparisons on keys converted once reaches the same rows.
    // Anything else (equal keys, Empty, Null, cells that cannot be
    // compared) is left to the exchange sort itself: its order of equal rows
    // and its errors part-way are what callers see. False when it was left.
    bool sortDistinctKeys(LONG column, bool ascending) {
        struct Key {
            bool text = false;
            double number = 0;
            std::u16string chars;
            LONG row = 0;
        };
        std::vector<Key> keys(static_cast<std::size_t>(rows_));
        for (LONG r = 1; r <= rows_; ++r) {
            const VARIANT& v = cell(r, column);
            Key& k = keys[static_cast<std::size_t>(r - 1)];
            k.row = r;
            if (v.vt == VT_BSTR) {
                k.text = true;
                k.chars = winsys::toUtf16(v.bstrVal);
            } else if (!isNumeric(v.vt) || FAILED(toDouble(v, &k.number)) || std::isnan(k.number)) {
                return false;
            }
        }
        const auto before = [ascending](const Key& a, const Key& b) {
            if (a.text != b.text) return ascending ? b.text : a.text; // numbers before texts
            if (a.text) return ascending ? a.chars < b.chars : b.chars < a.chars;
            return ascending ? a.number < b.number : b.number < a.number;
        };
        std::sort(keys.begin(), keys.end(), before);
        for (std::size_t k = 1; k < keys.size(); ++k)
            if (!before(keys[k - 1], keys[k])) return false; // two equal keys

        std::vector<VARIANT> sorted(cells_.size());
        for (LONG r = 1; r <= rows_; ++r)
            for (LONG c = 1; c <= columns_; ++c)
                sorted[static_cast<std::size_t>(r - 1) * static_cast<std::size_t>(columns_) +
                       static_cast<std::size_t>(c - 1)] = std::move(cell(keys[static_cast<std::size_t>(r - 1)].row, c));
        cells_ = std::move(sorted);
        return true;
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
