// The readers on files of a test machine, through Windows paths.

#include "platform/pe/pefile.h"

#include <cstring>

#include <gtest/gtest.h>

#include "platform/core/lasterror.h"
#include "platform/core/text.h"
#include "platform/files/paths.h"
#include "tests/support/pe_writer.h"
#include "tests/support/test_prefix.h"

using namespace winsys;
using namespace testsupport;

namespace {

PeSpec plugin(win::WORD machine, const char* company) {
    PeSpec spec;
    spec.machine = machine;
    PeVersion version;
    version.fileVersionMS = 0x000B0002;
    version.fileVersionLS = 0x00CA0235;
    version.tables = {{0x0409, 1200, {{"CompanyName", company}, {"ProductName", "Widget Player"}}}};
    spec.version = version;
    spec.strings = {{100, "Vendrel Sorlix"}, {101, "\xF0\x9F\x98\x80" "ab"}};
    return spec;
}

} // namespace

TEST(PeFile, VersionCallsOnFiles) {
    TestPrefix prefix;
    writePe(prefix.host("C:\\Program Files\\Acme\\np32.dll"), plugin(win::IMAGE_FILE_MACHINE_I386, "Acme 32"));
    writePe(prefix.host("C:\\Program Files\\Acme\\np64.dll"), plugin(win::IMAGE_FILE_MACHINE_AMD64, "Acme 64"));
    struct Case { const char* path; const char* company; };
    const Case cases[] = {
        {"C:\\Program Files\\Acme\\np32.dll", "Acme 32"},
        {"c:\\PROGRAM FILES\\acme\\NP64.DLL", "Acme 64"}, // names found without regard to case
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        win::DWORD handle = 0xDEADBEEF;
        const win::DWORD size = win::GetFileVersionInfoSize(c.path, &handle);
        ASSERT_GT(size, 0u);
        EXPECT_EQ(handle, 0u);
        std::vector<win::BYTE> block;
        ASSERT_TRUE(win::GetFileVersionInfo(c.path, handle, size, &block));
        ASSERT_EQ(block.size(), size);

        const void* p = nullptr;
        win::UINT len = 0;
        ASSERT_TRUE(win::VerQueryValue(block, "\\", &p, &len));
        win::VS_FIXEDFILEINFO fixed;
        std::memcpy(&fixed, p, sizeof fixed);
        EXPECT_EQ(fixed.dwFileVersionLS, 0x00CA0235u);
        ASSERT_TRUE(win::VerQueryValue(block, "\\StringFileInfo\\040904B0\\CompanyName", &p, &len));
        std::string company = fromUtf16leBytes(static_cast<const std::uint8_t*>(p), std::size_t{len} * 2);
        EXPECT_EQ(company.substr(0, company.find('\0')), c.company);

        auto info = readVersionInfo(c.path);
        ASSERT_TRUE(info.ok());
        ASSERT_NE(info->find("040904B0", "ProductName"), nullptr);
        EXPECT_EQ(*info->find("040904B0", "ProductName"), "Widget Player");
    }

    // A short buffer takes the start of the block.
    std::vector<win::BYTE> head;
    ASSERT_TRUE(win::GetFileVersionInfo(cases[0].path, 0, 16, &head));
    EXPECT_EQ(head.size(), 16u);
    win::SetLastError(0);
    EXPECT_FALSE(win::GetFileVersionInfo(cases[0].path, 0, 0, &head));
    EXPECT_EQ(win::GetLastError(), win::ERROR_INSUFFICIENT_BUFFER);
}

// The block read for a size serves the data call that follows it, once: a
// later call, or one for another file, reads the file as it is then.
TEST(PeFile, AVersionBlockIsTakenFromTheFileAsItIsThen) {
    TestPrefix prefix;
    const char* path = "C:\\Program Files\\Acme\\np.dll";
    const auto company = [&](const std::vector<win::BYTE>& block) {
        const void* p = nullptr;
        win::UINT len = 0;
        if (!win::VerQueryValue(block, "\\StringFileInfo\\040904B0\\CompanyName", &p, &len)) return std::string();
        const std::string text = fromUtf16leBytes(static_cast<const std::uint8_t*>(p), std::size_t{len} * 2);
        return text.substr(0, text.find('\0'));
    };
    writePe(prefix.host(path), plugin(win::IMAGE_FILE_MACHINE_I386, "Before"));
    win::DWORD handle = 0;
    const win::DWORD size = win::GetFileVersionInfoSize(path, &handle);
    std::vector<win::BYTE> block;
    ASSERT_TRUE(win::GetFileVersionInfo(path, handle, size, &block));
    EXPECT_EQ(company(block), "Before");

    writePe(prefix.host(path), plugin(win::IMAGE_FILE_MACHINE_I386, "After!"));
    ASSERT_TRUE(win::GetFileVersionInfo(path, handle, size, &block));
    EXPECT_EQ(company(block), "After!");
    writePe(prefix.host("C:\\other.dll"), plugin(win::IMAGE_FILE_MACHINE_I386, "Other"));
    ASSERT_GT(win::GetFileVersionInfoSize("C:\\other.dll", &handle), 0u);
    ASSERT_TRUE(win::GetFileVersionInfo(path, handle, size, &block));
    EXPECT_EQ(company(block), "After!");
}

TEST(PeFile, FilesWithoutAVersionResource) {
    TestPrefix prefix;
    prefix.writeFile("C:\\x\\readme.txt", "not an executable at all, just some text of a fair length to pass 64 bytes");
    writePe(prefix.host("C:\\x\\bare.dll"), PeSpec{});
    PeSpec stringsOnly;
    stringsOnly.strings[5] = "five";
    writePe(prefix.host("C:\\x\\strings.dll"), stringsOnly);
    PeSpec emptyVersion;
    emptyVersion.extra = {{ResourceId::number(win::RT_VERSION), ResourceId::number(1), 0, {}}};
    writePe(prefix.host("C:\\x\\empty.dll"), emptyVersion);
    prefix.makeDir("C:\\x\\folder.dll");
    struct Case { const char* path; win::DWORD error; };
    const Case cases[] = {
        {"C:\\x\\missing.dll", win::ERROR_FILE_NOT_FOUND},
        {"C:\\nowhere\\missing.dll", win::ERROR_PATH_NOT_FOUND},
        {"C:\\x\\folder.dll", win::ERROR_ACCESS_DENIED},
        {"C:\\x\\readme.txt", win::ERROR_BAD_EXE_FORMAT},
        {"C:\\x\\bare.dll", win::ERROR_RESOURCE_DATA_NOT_FOUND},
        {"C:\\x\\strings.dll", win::ERROR_RESOURCE_TYPE_NOT_FOUND},
        {"C:\\x\\empty.dll", win::ERROR_RESOURCE_DATA_NOT_FOUND},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        win::SetLastError(0xDEADBEEF);
        win::DWORD handle = 7;
        EXPECT_EQ(win::GetFileVersionInfoSize(c.path, &handle), 0u);
        EXPECT_EQ(win::GetLastError(), c.error);
        std::vector<win::BYTE> block{1, 2, 3};
        win::SetLastError(0xDEADBEEF);
        EXPECT_FALSE(win::GetFileVersionInfo(c.path, 0, 100, &block));
        EXPECT_EQ(win::GetLastError(), c.error);
        EXPECT_EQ(block, (std::vector<win::BYTE>{1, 2, 3}));
    }
}

TEST(PeFile, LoadStringIntoABuffer) {
    TestPrefix prefix;
    writePe(prefix.host("C:\\app\\Sorlix.exe"), plugin(win::IMAGE_FILE_MACHINE_I386, "x"));
    const char* exe = "C:\\app\\Sorlix.exe";
    struct Case { const char* label; const char* file; win::UINT id; int bufferMax; int units; const char* text; win::DWORD error; };
    const Case cases[] = {
        {"whole string", exe, 100, 256, 14, "Vendrel Sorlix", 0},
        {"cut to the buffer", exe, 100, 8, 7, "Vendrel", 0},
        {"a surrogate pair is never split", exe, 101, 2, 0, "", 0},
        {"the pair whole", exe, 101, 3, 2, "\xF0\x9F\x98\x80", 0},
        {"no such string", exe, 102, 256, 0, nullptr, win::ERROR_RESOURCE_NAME_NOT_FOUND},
        {"no such file", "C:\\app\\none.exe", 100, 256, 0, nullptr, win::ERROR_FILE_NOT_FOUND},
        {"no buffer room", exe, 100, 0, 0, nullptr, win::ERROR_INVALID_PARAMETER},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        std::string buffer = "sentinel";
        win::SetLastError(0xDEADBEEF);
        EXPECT_EQ(win::LoadString(c.file, c.id, &buffer, c.bufferMax), c.units);
        if (c.text) {
            EXPECT_EQ(buffer, c.text);
            EXPECT_EQ(win::GetLastError(), 0xDEADBEEFu);
        } else {
            EXPECT_EQ(buffer, "sentinel");
            EXPECT_EQ(win::GetLastError(), c.error);
        }
    }
    EXPECT_EQ(loadStringFromFile(exe, 100).value(), "Vendrel Sorlix");
}

TEST(PeFile, MachineTypeFollowsRedirection) {
    TestPrefix prefix; // 64-bit Windows: the 32-bit process sees syswow64 for system32
    writePe(prefix.host("C:\\windows\\system32\\npx.dll"), plugin(win::IMAGE_FILE_MACHINE_AMD64, "64"));
    writePe(prefix.host("C:\\windows\\syswow64\\npx.dll"), plugin(win::IMAGE_FILE_MACHINE_I386, "32"));
    auto redirected = readPeHeaders("C:\\windows\\system32\\npx.dll");
    ASSERT_TRUE(redirected.ok());
    EXPECT_EQ(redirected->machine, win::IMAGE_FILE_MACHINE_I386);
    void* old = nullptr;
    ASSERT_TRUE(win::Wow64DisableWow64FsRedirection(&old));
    auto direct = readPeHeaders("C:\\windows\\system32\\npx.dll");
    ASSERT_TRUE(win::Wow64RevertWow64FsRedirection(old));
    ASSERT_TRUE(direct.ok());
    EXPECT_EQ(direct->machine, win::IMAGE_FILE_MACHINE_AMD64);
    EXPECT_TRUE(direct->pe32plus);
}

TEST(PeFile, HeadersBeyondTheFirstPage) {
    TestPrefix prefix;
    PeFile file = buildPe(plugin(win::IMAGE_FILE_MACHINE_AMD64, "x"));
    // Move the NT headers 8000 bytes further out, behind a long DOS stub.
    const std::size_t moved = file.layout.ntHeaders + 8000;
    file.bytes.insert(file.bytes.begin() + static_cast<std::ptrdiff_t>(file.layout.ntHeaders), 8000, 0);
    for (int i = 0; i < 4; ++i) file.bytes[0x3C + i] = static_cast<std::uint8_t>(moved >> (8 * i));
    prefix.writeFile("C:\\x\\far.dll", std::string(file.bytes.begin(), file.bytes.end()));
    auto headers = readPeHeaders("C:\\x\\far.dll");
    ASSERT_TRUE(headers.ok()) << headers.error().message;
    EXPECT_EQ(headers->machine, win::IMAGE_FILE_MACHINE_AMD64);
}
