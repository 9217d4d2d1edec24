// The Opera plugin ignore list over a file of any bytes.
#include <cstddef>
#include <cstdint>
#include <string>

#include "app/enumerators/coperapluginignore.h"
#include "fuzz/fuzz_machine.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::string path = "C:\\fuzz\\plugin-ignore.ini";
    fuzz::inputFile(path, data, size);
    sorlix::COperaPluginIgnore list;
    std::string cause;
    if (!list.LoadPluginIgnoreIni(path, cause)) __builtin_trap(); // any text is a list
    list.IsFileIgnored("C:\\Plugins\\npfoo.dll");
    return 0;
}
