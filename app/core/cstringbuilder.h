#pragma once
// cStringBuilder: a text built piece by piece in a buffer that grows in
// whole steps, so that appending costs a copy of the piece and not of the
// whole text. Sizes and positions count UTF-16 code units ("characters"),
// as the sizes in bytes are two per character; the spare room behind the
// content is reserved, never filled. Positions count from 0 for Insert and
// Remove and from 1 for Find. Bad arguments raise ComError: 9 for a range
// outside the content, 5 for a step below 1, 6 for a step too large.

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/core/wintypes.h"

namespace sorlix {

class cStringBuilder {
public:
    win::LONG Length() const { return static_cast<win::LONG>(buffer_.size()); }
    win::LONG Capacity() const { return static_cast<win::LONG>(allocatedBytes_ / 2); }
    win::LONG ChunkSize() const { return chunkBytes_ / 2; }
    void ChunkSize(win::LONG iChunkSize);

    std::string toString() const;
    void TheString(std::string_view sThis);
    // Empties the builder and gives the buffer back.
    void Clear();

    void AppendNL(std::string_view sThis);
    void Append(std::string_view sThis);
    void Insert(win::LONG iIndex, std::string_view sThis);
    void Remove(win::LONG iIndex, win::LONG lLen);
    // compare: 0 exact, 1 ignoring case. 0 when not found.
    win::LONG Find(std::string_view sToFind, win::LONG lStartIndex, win::LONG compare) const;
    // Gives back spare room in whole steps, keeping at most one.
    void HeapMinimize();

private:
    // Grows the allocated size in whole steps until it holds `units`.
    void reserveUnits(std::int64_t units);

    std::u16string buffer_; // the content; its reserved room is the allocated size
    std::int64_t allocatedBytes_ = 0;
    std::int32_t chunkBytes_ = 16384;
};

} // namespace sorlix
