// pewrite: writes a small PE file (a resource-only module) from options.
// The build makes the program file's images with it; the demo its plugin
// files.
//
//   pewrite --out <file> [--machine i386|amd64] [--png ID=file]...
//           [--png2x ID=file]... (type "PNG2X": the image at twice the size)
//           [--version-string Key=Value]... [--file-version a.b.c.d]
//           [--product-version a.b.c.d]

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tests/support/pe_writer.h"

namespace {

[[noreturn]] void fail(const std::string& why) {
    std::fprintf(stderr, "pewrite: %s\n", why.c_str());
    std::exit(2);
}

// "a=b" -> a, b; an argument without "=" is a usage error.
std::pair<std::string, std::string> split(const std::string& option, const std::string& argument) {
    const auto eq = argument.find('=');
    if (eq == std::string::npos || eq == 0) fail(option + " wants NAME=VALUE, not '" + argument + "'");
    return {argument.substr(0, eq), argument.substr(eq + 1)};
}

// "1.2.3.4" -> (1 << 16 | 2, 3 << 16 | 4); missing parts are 0.
std::pair<win::DWORD, win::DWORD> parseVersion(const std::string& text) {
    unsigned parts[4] = {0, 0, 0, 0};
    std::size_t at = 0;
    for (int i = 0; i < 4 && at <= text.size(); ++i) {
        const auto dot = text.find('.', at);
        const std::string piece = text.substr(at, dot == std::string::npos ? std::string::npos : dot - at);
        char* end = nullptr;
        const unsigned long n = std::strtoul(piece.c_str(), &end, 10);
        if (piece.empty() || *end != '\0' || n > 0xFFFF) fail("bad version '" + text + "'");
        parts[i] = static_cast<unsigned>(n);
        if (dot == std::string::npos) break;
        at = dot + 1;
    }
    return {parts[0] << 16 | parts[1], parts[2] << 16 | parts[3]};
}

std::vector<std::uint8_t> readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) fail("cannot read " + path);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

} // namespace

int main(int argc, char** argv) {
    testsupport::PeSpec spec;
    std::string out;
    testsupport::PeVersion version;
    bool hasVersion = false;
    testsupport::PeVersionTable table;

    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
        if (i + 1 >= argc) fail(option + " wants an argument");
        const std::string argument = argv[++i];
        if (option == "--out") {
            out = argument;
        } else if (option == "--machine") {
            if (argument == "i386")
                spec.machine = win::IMAGE_FILE_MACHINE_I386;
            else if (argument == "amd64")
                spec.machine = win::IMAGE_FILE_MACHINE_AMD64;
            else
                fail("--machine is i386 or amd64");
        } else if (option == "--png" || option == "--png2x") {
            const auto [id, file] = split(option, argument);
            char* end = nullptr;
            const unsigned long n = std::strtoul(id.c_str(), &end, 10);
            if (*end != '\0' || n == 0 || n > 0xFFFF) fail("bad image id '" + id + "'");
            spec.extra.push_back({winsys::ResourceId::text(option == "--png" ? "PNG" : "PNG2X"),
                                  winsys::ResourceId::number(static_cast<win::WORD>(n)), 0, readAll(file)});
        } else if (option == "--version-string") {
            table.strings.push_back(split(option, argument));
            hasVersion = true;
        } else if (option == "--file-version") {
            std::tie(version.fileVersionMS, version.fileVersionLS) = parseVersion(argument);
            hasVersion = true;
        } else if (option == "--product-version") {
            std::tie(version.productVersionMS, version.productVersionLS) = parseVersion(argument);
            hasVersion = true;
        } else {
            fail("unknown option " + option);
        }
    }
    if (out.empty()) fail("--out is missing");
    if (hasVersion) {
        version.tables.push_back(table);
        spec.version = version;
    }
    try {
        testsupport::writePe(out, spec);
    } catch (const std::exception& e) {
        fail(e.what());
    }
    return 0;
}
