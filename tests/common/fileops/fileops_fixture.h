#pragma once
// FileOps reached as clients reach it: the common library registered into
// a test prefix and its application object asked for _FileOps.

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>

#include "common/interfaces/fileops.h"
#include "platform/com/class_registry.h"
#include "tests/support/com_library.h"
#include "tests/support/test_prefix.h"

namespace fileopstest {

class FileOpsTest : public ::testing::Test {
protected:
    FileOpsTest() {
        EXPECT_EQ(winsys::com::getApplicationObject(halvenlib::CLSID_FileOps, halvenlib::_FileOps::iid,
                                                    ops.putVoid()),
                  win::S_OK);
    }

    bool exists(std::string_view windowsPath) const {
        std::error_code ec;
        return std::filesystem::exists(std::filesystem::symlink_status(prefix.host(windowsPath), ec));
    }
    std::string read(std::string_view windowsPath) const {
        std::string s;
        if (FILE* f = std::fopen(prefix.host(windowsPath).c_str(), "rb")) {
            char buf[4096];
            for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, f)) > 0;) s.append(buf, n);
            std::fclose(f);
        }
        return s;
    }

    testsupport::TestPrefix prefix;
    testsupport::ComLibrary lib{HALVENLIB_PATH};
    winsys::com::ComPtr<halvenlib::_FileOps> ops;
};

} // namespace fileopstest
