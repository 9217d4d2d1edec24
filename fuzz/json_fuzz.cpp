// The lenient reader of manifests and messages files, over any bytes.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "app/enumerators/json.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    sorlix::JSON::Parse(std::string_view(reinterpret_cast<const char*>(data), size));
    // Failure lines stay bounded, whatever the input.
    if (sorlix::JSON::GetParserErrors().size() > 200 * static_cast<std::size_t>(sorlix::JSON::kMaxFailures))
        __builtin_trap();
    return 0;
}
