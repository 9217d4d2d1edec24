#include "tests/support/test_prefix.h"

#include <stdexcept>

#include "platform/registry/regfile.h"
#include "platform/registry/registry.h"

namespace testsupport {

void TestPrefix::importReg(std::string_view text) const {
    constexpr std::string_view kName = "importReg";
    auto ops = winsys::parseRegText(text, kName);
    if (!ops) throw std::runtime_error(ops.error().message);
    if (auto r = winsys::applyRegOperations(ops.value(), winsys::RegView::Bits64, kName); !r)
        throw std::runtime_error(r.error().message);
    if (auto r = winsys::flushRegistry(); !r) throw std::runtime_error(r.error().message);
}

} // namespace testsupport
