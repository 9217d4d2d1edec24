// The install-manifest reader over a file of any bytes.
#include <cstddef>
#include <cstdint>
#include <string>

#include "app/enumerators/crdfparser.h"
#include "fuzz/fuzz_machine.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::string path = "C:\\fuzz\\install.rdf";
    fuzz::inputFile(path, data, size);
    sorlix::CRDFParser parser;
    std::string error;
    if (!parser.Parse(path, error) && !parser.Name.empty()) __builtin_trap(); // a failure leaves no field
    return 0;
}
