// The widget-configuration reader over a file of any bytes.
#include <cstddef>
#include <cstdint>
#include <string>

#include "app/enumerators/cw3cwidgetparser.h"
#include "fuzz/fuzz_machine.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::string path = "C:\\fuzz\\config.xml";
    fuzz::inputFile(path, data, size);
    sorlix::CW3CWidgetParser parser;
    std::string cause;
    if (!parser.Parse(path, cause) && cause.empty()) __builtin_trap(); // a failure says why
    return 0;
}
