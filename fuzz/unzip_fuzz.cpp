// Zip extraction of every entry of a package of any bytes into the work
// folder; afterwards the folder holds plain files only and nothing was
// written beside it.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>

#include "fuzz/fuzz_machine.h"
#include "platform/unzip/unzip.h"

namespace fs = std::filesystem;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::string package = "C:\\fuzz\\package.zip";
    static const std::string work = "C:\\fuzz\\work";
    fuzz::inputFile(package, data, size);
    const fs::path workHost = fuzz::machine().host(work);
    fs::remove_all(workHost);
    fs::create_directories(workHost);

    win::UzpOptions options;
    options.ZipFile = package.c_str();
    options.ExtractFolder = work.c_str();
    options.OverwriteExisting = 1;
    win::UzpCallbacks callbacks;
    win::UzpEntryList none{};
    none.Entries[0] = win::kUzpEndOfList;
    win::Wiz_SingleEntryUnzip(0, &none, 0, &none, &options, &callbacks);

    for (const fs::directory_entry& e : fs::directory_iterator(workHost))
        if (!e.is_regular_file() || e.is_symlink()) __builtin_trap();
    for (const fs::directory_entry& e : fs::directory_iterator(workHost.parent_path()))
        if (e.path() != workHost && e.path().filename() != "package.zip") __builtin_trap();
    return 0;
}
