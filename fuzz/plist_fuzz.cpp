// The property-list reader over any bytes; its message box goes to the
// standard error stream without a screen, so it is silenced here.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "app/core/msgbox.h"
#include "app/enumerators/cplistparser.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const bool silenced = (sorlix::SetMsgBoxHook([](const std::string&) {}), true);
    (void)silenced;
    sorlix::CPlistParser().Parse(std::string_view(reinterpret_cast<const char*>(data), size));
    return 0;
}
