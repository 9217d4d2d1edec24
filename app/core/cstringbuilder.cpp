#include "app/core/cstringbuilder.h"

// The content is kept in UTF-16 so that every position and size the class
// offers is a plain index; texts come in and go out as UTF-8. The allocated
// size is the builder's own account of its steps, and the buffer's reserved
// room follows it, so growing reallocates only when a step is taken.

#include <algorithm>
#include <limits>

#include "platform/com/com_error.h"
#include "platform/com/error_info.h"
#include "platform/core/text.h"

namespace sorlix {

namespace {

[[noreturn]] void raise(win::LONG number, const char* member) {
    const win::HRESULT hr = winsys::com::hresultFromNumber(number);
    throw winsys::com::ComError(hr, winsys::com::describeHresult(hr), std::string("cStringBuilder.") + member);
}

// Appends UTF-8 as UTF-16, ASCII without a second buffer.
void appendUtf16(std::u16string& to, std::string_view utf8) {
    std::size_t i = 0;
    while (i < utf8.size() && static_cast<unsigned char>(utf8[i]) < 0x80) ++i;
    const std::size_t at = to.size();
    to.resize(at + i);
    std::copy(utf8.begin(), utf8.begin() + static_cast<std::ptrdiff_t>(i), to.begin() + static_cast<std::ptrdiff_t>(at));
    if (i < utf8.size()) to += winsys::toUtf16(utf8.substr(i));
}

char16_t foldUnit(char16_t c) {
    if (c >= 0xD800 && c <= 0xDFFF) return c;
    return static_cast<char16_t>(winsys::foldCase(c));
}

} // namespace

void cStringBuilder::ChunkSize(win::LONG iChunkSize) {
    if (iChunkSize < 1) raise(5, "ChunkSize");
    if (iChunkSize > std::numeric_limits<std::int32_t>::max() / 2) raise(6, "ChunkSize");
    chunkBytes_ = iChunkSize * 2;
}

std::string cStringBuilder::toString() const { return winsys::toUtf8(buffer_); }

void cStringBuilder::reserveUnits(std::int64_t units) {
    const std::int64_t needed = units * 2;
    if (allocatedBytes_ >= needed) return;
    const std::int64_t steps = (needed - allocatedBytes_ + chunkBytes_ - 1) / chunkBytes_;
    allocatedBytes_ += steps * chunkBytes_;
    buffer_.reserve(static_cast<std::size_t>(allocatedBytes_ / 2));
}

void cStringBuilder::TheString(std::string_view sThis) {
    if (sThis.empty()) {
        Clear();
        return;
    }
    const std::u16string text = winsys::toUtf16(sThis);
    reserveUnits(static_cast<std::int64_t>(text.size()));
    buffer_.assign(text);
}

void cStringBuilder::Clear() {
    std::u16string().swap(buffer_);
    allocatedBytes_ = 0;
}

void cStringBuilder::AppendNL(std::string_view sThis) {
    Append(sThis);
    Append("\r\n");
}

void cStringBuilder::Append(std::string_view sThis) {
    if (sThis.empty()) return;
    // At most one unit per byte: enough room before the copy, none wasted after it.
    const std::size_t before = buffer_.size();
    if (allocatedBytes_ / 2 < static_cast<std::int64_t>(before + sThis.size())) {
        std::u16string piece;
        appendUtf16(piece, sThis);
        reserveUnits(static_cast<std::int64_t>(before + piece.size()));
        buffer_ += piece;
        return;
    }
    appendUtf16(buffer_, sThis);
}

void cStringBuilder::Insert(win::LONG iIndex, std::string_view sThis) {
    if (iIndex < 0 || iIndex > Length()) raise(9, "Insert");
    const std::u16string piece = winsys::toUtf16(sThis);
    reserveUnits(static_cast<std::int64_t>(buffer_.size() + piece.size()));
    buffer_.insert(static_cast<std::size_t>(iIndex), piece);
}

void cStringBuilder::Remove(win::LONG iIndex, win::LONG lLen) {
    // In 64 bits, so that a length near the largest LONG cannot wrap round.
    if (iIndex < 0 || lLen < 0 || static_cast<std::int64_t>(iIndex) + lLen > Length()) raise(9, "Remove");
    buffer_.erase(static_cast<std::size_t>(iIndex), static_cast<std::size_t>(lLen));
}

win::LONG cStringBuilder::Find(std::string_view sToFind, win::LONG lStartIndex, win::LONG compare) const {
    const std::size_t start = lStartIndex >= 1 ? static_cast<std::size_t>(lStartIndex - 1) : 0;
    if (start > buffer_.size()) return 0;
    const std::u16string needle = winsys::toUtf16(sToFind);
    std::size_t at;
    if (compare == 0) {
        at = buffer_.find(needle, start);
    } else {
        const auto same = [](char16_t a, char16_t b) { return foldUnit(a) == foldUnit(b); };
        const auto it = std::search(buffer_.begin() + static_cast<std::ptrdiff_t>(start), buffer_.end(),
                                    needle.begin(), needle.end(), same);
        at = it == buffer_.end() && !needle.empty() ? std::u16string::npos
                                                    : static_cast<std::size_t>(it - buffer_.begin());
    }
    return at == std::u16string::npos ? 0 : static_cast<win::LONG>(at + 1);
}

void cStringBuilder::HeapMinimize() {
    const std::int64_t used = static_cast<std::int64_t>(buffer_.size()) * 2;
    while (allocatedBytes_ - used > chunkBytes_) allocatedBytes_ -= chunkBytes_;
    std::u16string kept;
    kept.reserve(static_cast<std::size_t>(allocatedBytes_ / 2));
    kept.append(buffer_);
    buffer_.swap(kept);
}

} // namespace sorlix
