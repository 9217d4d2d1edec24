#pragma once
// The Windows version, the WOW64 state of the process and the processor, as
// GetVersionEx, IsWow64Process and GetSystemInfo report them.
//
// The version comes from HKLM\Software\Microsoft\Windows NT\CurrentVersion
// in the native view: "CurrentMajorVersionNumber"/"CurrentMinorVersionNumber"
// (DWORDs, Windows 10 and later) or else "CurrentVersion" ("6.1"), then
// "CurrentBuildNumber" and "CSDVersion". A machine without a version there
// is Windows 7 SP1 (6.1.7601), Wine's default. The process is 32-bit, so on
// 64-bit Windows it runs under WOW64 and sees an x86 processor; the native
// query sees AMD64. Processor level and revision are the host's, as Wine
// takes them.

#include <optional>
#include <string>
#include <string_view>

#include "platform/core/wintypes.h"

namespace win {

inline constexpr DWORD VER_PLATFORM_WIN32_NT = 2;

struct OSVERSIONINFOEX {
    DWORD dwMajorVersion = 0;
    DWORD dwMinorVersion = 0;
    DWORD dwBuildNumber = 0;
    DWORD dwPlatformId = 0;
    std::string szCSDVersion; // "Service Pack 1", or empty
    WORD wServicePackMajor = 0;
    WORD wServicePackMinor = 0;
};

BOOL GetVersionEx(OSVERSIONINFOEX* info);

// The process's pseudo-handle, as Windows gives it (needs no closing).
HANDLE GetCurrentProcess();
// True under WOW64. Only the current process can be asked about; any other
// handle is ERROR_INVALID_HANDLE.
BOOL IsWow64Process(HANDLE process, BOOL* wow64);

inline constexpr WORD PROCESSOR_ARCHITECTURE_INTEL = 0;
inline constexpr WORD PROCESSOR_ARCHITECTURE_AMD64 = 9;
inline constexpr DWORD PROCESSOR_INTEL_PENTIUM = 586;
inline constexpr DWORD PROCESSOR_AMD_X8664 = 8664;

struct SYSTEM_INFO {
    WORD wProcessorArchitecture = 0;
    DWORD dwPageSize = 0;
    DWORD dwActiveProcessorMask = 0;
    DWORD dwNumberOfProcessors = 0;
    DWORD dwProcessorType = 0;
    DWORD dwAllocationGranularity = 0;
    WORD wProcessorLevel = 0;
    WORD wProcessorRevision = 0; // model in the high byte, stepping in the low
};

// What the 32-bit process sees: always x86, type 586.
void GetSystemInfo(SYSTEM_INFO* info);
// The machine itself: AMD64 (type 8664) on 64-bit Windows, else as above.
void GetNativeSystemInfo(SYSTEM_INFO* info);

} // namespace win

namespace winsys {

// The values of the CurrentVersion key that make the version record; with
// no version number among them the record is Windows 7 SP1.
struct VersionValues {
    std::optional<win::DWORD> majorNumber, minorNumber; // Current{Major,Minor}VersionNumber
    std::optional<std::string> currentVersion, buildNumber, csdVersion;
};
win::OSVERSIONINFOEX versionFromValues(const VersionValues& values);

// Processor level (family) and revision from /proc/cpuinfo text; level 6,
// revision 0 when the text names no x86 family.
struct ProcessorId {
    win::WORD level = 6;
    win::WORD revision = 0;
};
ProcessorId processorFromCpuinfo(std::string_view cpuinfo);

} // namespace winsys
