#pragma once
// mUnzip: the one call into the unzip library and the library's callbacks,
// which reach the cUnzip object of the call that is running.

#include <vector>

#include "app/core/cunzip.h"

namespace sorlix::mUnzip {

// Calls Wiz_SingleEntryUnzip with the object's callbacks, the option record
// and the include and exclude lists (the library's entry numbers); returns
// its result. Throws ComError when a list holds more than 1023 entries.
win::LONG VBUnzip(cUnzip& cUnzipObject, win::UzpOptions& tDCL, const std::vector<win::LONG>& sInc,
                  const std::vector<win::LONG>& sExc);

} // namespace sorlix::mUnzip
