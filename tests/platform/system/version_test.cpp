#include "platform/system/version.h"

#include <gtest/gtest.h>

#include <bitset>

#include "platform/core/lasterror.h"
#include "tests/platform/system/system_fixture.h"

using winsys::Arch;

TEST(GetVersionEx, FromTheCurrentVersionKey) {
    const std::string key = "[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows NT\\CurrentVersion]\n";
    struct Row {
        const char* label;
        std::string reg;
        win::DWORD major, minor, build;
        const char* csd;
        win::WORD servicePack;
    } rows[] = {
        {"Wine's layout", key + "\"CurrentVersion\"=\"6.1\"\n\"CurrentBuildNumber\"=\"7601\"\n"
                                "\"CSDVersion\"=\"Service Pack 1\"\n",
         6, 1, 7601, "Service Pack 1", 1},
        {"Windows 10 layout: the DWORDs win over CurrentVersion",
         key + "\"CurrentVersion\"=\"6.3\"\n\"CurrentMajorVersionNumber\"=dword:0000000a\n"
               "\"CurrentMinorVersionNumber\"=dword:00000000\n\"CurrentBuildNumber\"=\"19045\"\n",
         10, 0, 19045, "", 0},
        {"older layout", key + "\"CurrentVersion\"=\"5.1\"\n\"CurrentBuildNumber\"=\"2600\"\n"
                               "\"CSDVersion\"=\"Service Pack 3\"\n",
         5, 1, 2600, "Service Pack 3", 3},
        {"missing key: Windows 7 SP1", "", 6, 1, 7601, "Service Pack 1", 1},
        {"key without a version", key + "\"ProductName\"=\"Windows 7\"\n", 6, 1, 7601, "Service Pack 1", 1},
        {"unreadable CurrentVersion", key + "\"CurrentVersion\"=\"six\"\n", 6, 1, 7601, "Service Pack 1", 1},
        {"build that is no number", key + "\"CurrentVersion\"=\"6.2\"\n\"CurrentBuildNumber\"=\"x9\"\n", 6, 2, 0, "", 0},
        {"only the 32-bit view holds a version",
         "[HKEY_LOCAL_MACHINE\\Software\\Wow6432Node\\Microsoft\\Windows NT\\CurrentVersion]\n"
         "\"CurrentVersion\"=\"5.1\"\n",
         6, 1, 7601, "Service Pack 1", 1},
    };
    for (const auto& r : rows) {
        auto p = systest::machineWith(Arch::Win64, r.reg);
        win::OSVERSIONINFOEX v;
        v.dwMajorVersion = 0xDEAD;
        ASSERT_TRUE(win::GetVersionEx(&v)) << r.label;
        EXPECT_EQ(v.dwMajorVersion, r.major) << r.label;
        EXPECT_EQ(v.dwMinorVersion, r.minor) << r.label;
        EXPECT_EQ(v.dwBuildNumber, r.build) << r.label;
        EXPECT_EQ(v.dwPlatformId, win::VER_PLATFORM_WIN32_NT) << r.label;
        EXPECT_EQ(v.szCSDVersion, r.csd) << r.label;
        EXPECT_EQ(v.wServicePackMajor, r.servicePack) << r.label;
    }
}

TEST(IsWow64Process, TrueOnlyOn64BitWindows) {
    for (Arch arch : {Arch::Win64, Arch::Win32}) {
        auto p = systest::machineWith(arch);
        win::BOOL wow64 = 7;
        ASSERT_TRUE(win::IsWow64Process(win::GetCurrentProcess(), &wow64));
        EXPECT_EQ(wow64, arch == Arch::Win64 ? 1 : 0);
    }
    auto p = systest::machineWith(Arch::Win64);
    win::BOOL wow64 = 7;
    EXPECT_FALSE(win::IsWow64Process(reinterpret_cast<win::HANDLE>(0x1234), &wow64));
    EXPECT_EQ(win::GetLastError(), win::ERROR_INVALID_HANDLE);
    EXPECT_EQ(wow64, 7);
}

TEST(GetSystemInfo, X86ForTheProcessAndTheMachineNatively) {
    struct Row {
        const char* label;
        Arch arch;
        bool native;
        win::WORD architecture;
        win::DWORD type;
    } rows[] = {
        {"64-bit Windows, process view", Arch::Win64, false, win::PROCESSOR_ARCHITECTURE_INTEL, 586},
        {"64-bit Windows, native view", Arch::Win64, true, win::PROCESSOR_ARCHITECTURE_AMD64, 8664},
        {"32-bit Windows, process view", Arch::Win32, false, win::PROCESSOR_ARCHITECTURE_INTEL, 586},
        {"32-bit Windows, native view", Arch::Win32, true, win::PROCESSOR_ARCHITECTURE_INTEL, 586},
    };
    for (const auto& r : rows) {
        auto p = systest::machineWith(r.arch);
        win::SYSTEM_INFO info;
        if (r.native) win::GetNativeSystemInfo(&info);
        else win::GetSystemInfo(&info);
        EXPECT_EQ(info.wProcessorArchitecture, r.architecture) << r.label;
        EXPECT_EQ(info.dwProcessorType, r.type) << r.label;
        EXPECT_EQ(info.dwPageSize, 4096u) << r.label;
        EXPECT_EQ(info.dwAllocationGranularity, 65536u) << r.label;
        EXPECT_GE(info.dwNumberOfProcessors, 1u) << r.label;
        EXPECT_LE(info.dwNumberOfProcessors, 32u) << r.label;
        EXPECT_EQ(std::bitset<32>(info.dwActiveProcessorMask).count(), info.dwNumberOfProcessors) << r.label;
    }
}

TEST(ProcessorFromCpuinfo, Table) {
    struct Row {
        const char* label;
        const char* text;
        win::WORD level, revision;
    } rows[] = {
        {"Intel", "processor\t: 0\nvendor_id\t: GenuineIntel\ncpu family\t: 6\nmodel\t\t: 158\n"
                  "model name\t: Intel(R) Core(TM) i7-8700 CPU @ 3.20GHz\nstepping\t: 10\n",
         6, 0x9E0A},
        {"AMD", "vendor_id\t: AuthenticAMD\ncpu family\t: 23\nmodel\t\t: 113\nmodel name\t: AMD Ryzen\nstepping\t: 0\n",
         23, 0x7100},
        {"first processor only",
         "processor\t: 0\ncpu family\t: 6\nmodel\t\t: 1\nstepping\t: 2\n\nprocessor\t: 1\ncpu family\t: 15\n"
         "model\t\t: 3\nstepping\t: 4\n",
         6, 0x0102},
        {"no x86 family", "processor\t: 0\nBogoMIPS\t: 50.00\nCPU implementer\t: 0x41\n", 6, 0},
        {"empty", "", 6, 0},
    };
    for (const auto& r : rows) {
        const auto id = winsys::processorFromCpuinfo(r.text);
        EXPECT_EQ(id.level, r.level) << r.label;
        EXPECT_EQ(id.revision, r.revision) << r.label;
    }
}
