#pragma once
// Registers a COM library into the current test machine, as regsvr would,
// and drops the application objects when the test is done.
//
//   TestPrefix prefix;
//   ComLibrary lib(HALVENLIB_PATH);   // path given by the test's CMake

#include <filesystem>

namespace testsupport {

class ComLibrary {
public:
    explicit ComLibrary(const std::filesystem::path& hostPath); // a failed registration fails the test
    ~ComLibrary();
    ComLibrary(const ComLibrary&) = delete;
    ComLibrary& operator=(const ComLibrary&) = delete;
};

} // namespace testsupport
