#include "platform/system/version.h"

#include <algorithm>
#include <charconv>
#include <fstream>
#include <sstream>
#include <thread>

#include "platform/core/lasterror.h"
#include "platform/core/machine.h"
#include "platform/system/regread.h"

namespace winsys {

namespace {

// A whole decimal number, nothing else.
std::optional<win::DWORD> parseNumber(std::string_view text) {
    win::DWORD v = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (ec != std::errc{} || end != text.data() + text.size() || text.empty()) return std::nullopt;
    return v;
}

win::OSVERSIONINFOEX windows7Sp1() {
    win::OSVERSIONINFOEX v;
    v.dwMajorVersion = 6;
    v.dwMinorVersion = 1;
    v.dwBuildNumber = 7601;
    v.dwPlatformId = win::VER_PLATFORM_WIN32_NT;
    v.szCSDVersion = "Service Pack 1";
    v.wServicePackMajor = 1;
    return v;
}

std::string_view trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
    return s;
}

const ProcessorId& hostProcessor() {
    static const ProcessorId id = [] {
        std::ifstream in("/proc/cpuinfo");
        std::stringstream text;
        text << in.rdbuf();
        return processorFromCpuinfo(text.str());
    }();
    return id;
}

void fillSystemInfo(win::SYSTEM_INFO* info, bool native) {
    const bool amd64 = native && machine().is64bit();
    const ProcessorId& cpu = hostProcessor();
    // A 32-bit process sees at most 32 processors, one bit each in the mask.
    const unsigned n = std::clamp(std::thread::hardware_concurrency(), 1u, 32u);
    *info = {};
    info->wProcessorArchitecture = amd64 ? win::PROCESSOR_ARCHITECTURE_AMD64 : win::PROCESSOR_ARCHITECTURE_INTEL;
    info->dwPageSize = 4096;
    info->dwActiveProcessorMask = n == 32 ? 0xFFFFFFFFu : (1u << n) - 1;
    info->dwNumberOfProcessors = n;
    info->dwProcessorType = amd64 ? win::PROCESSOR_AMD_X8664 : win::PROCESSOR_INTEL_PENTIUM;
    info->dwAllocationGranularity = 65536;
    info->wProcessorLevel = cpu.level;
    info->wProcessorRevision = cpu.revision;
}

} // namespace

win::OSVERSIONINFOEX versionFromValues(const VersionValues& values) {
    win::OSVERSIONINFOEX v;
    v.dwPlatformId = win::VER_PLATFORM_WIN32_NT;
    if (values.majorNumber) {
        v.dwMajorVersion = *values.majorNumber;
        v.dwMinorVersion = values.minorNumber.value_or(0);
    } else if (values.currentVersion) {
        const std::string& text = *values.currentVersion;
        const auto dot = text.find('.');
        auto major = parseNumber(std::string_view(text).substr(0, dot));
        auto minor = dot == std::string::npos ? std::optional<win::DWORD>(0)
                                              : parseNumber(std::string_view(text).substr(dot + 1));
        if (!major || !minor) return windows7Sp1();
        v.dwMajorVersion = *major;
        v.dwMinorVersion = *minor;
    } else {
        return windows7Sp1();
    }
    if (values.buildNumber) v.dwBuildNumber = parseNumber(trim(*values.buildNumber)).value_or(0);
    if (values.csdVersion) {
        v.szCSDVersion = *values.csdVersion;
        constexpr std::string_view kPack = "Service Pack ";
        if (v.szCSDVersion.rfind(kPack, 0) == 0)
            v.wServicePackMajor = static_cast<win::WORD>(parseNumber(v.szCSDVersion.substr(kPack.size())).value_or(0));
    }
    return v;
}

ProcessorId processorFromCpuinfo(std::string_view cpuinfo) {
    std::optional<win::DWORD> family, model, stepping;
    std::size_t at = 0;
    while (at < cpuinfo.size()) {
        std::size_t end = cpuinfo.find('\n', at);
        if (end == std::string_view::npos) end = cpuinfo.size();
        const std::string_view line = cpuinfo.substr(at, end - at);
        at = end + 1;
        if (trim(line).empty()) {
            if (family) break; // the first processor is enough
            continue;
        }
        const auto colon = line.find(':');
        if (colon == std::string_view::npos) continue;
        const std::string_view key = trim(line.substr(0, colon));
        const std::string_view value = trim(line.substr(colon + 1));
        if (key == "cpu family") family = parseNumber(value);
        else if (key == "model") model = parseNumber(value);
        else if (key == "stepping") stepping = parseNumber(value);
    }
    ProcessorId id;
    if (!family) return id;
    id.level = static_cast<win::WORD>(*family);
    id.revision = static_cast<win::WORD>((model.value_or(0) & 0xFF) << 8 | (stepping.value_or(0) & 0xFF));
    return id;
}

} // namespace winsys

namespace win {

BOOL GetVersionEx(OSVERSIONINFOEX* info) {
    if (!info) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    using winsys::sysreg::readDword;
    using winsys::sysreg::readText;
    const std::string key = "Software\\Microsoft\\Windows NT\\CurrentVersion";
    const HKEY hklm = HKEY_LOCAL_MACHINE;
    winsys::VersionValues values;
    auto text = [&](const char* name) -> std::optional<std::string> {
        auto v = readText(hklm, key, name, KEY_WOW64_64KEY);
        return v ? std::optional<std::string>(v->text) : std::nullopt;
    };
    values.majorNumber = readDword(hklm, key, "CurrentMajorVersionNumber", KEY_WOW64_64KEY);
    values.minorNumber = readDword(hklm, key, "CurrentMinorVersionNumber", KEY_WOW64_64KEY);
    values.currentVersion = text("CurrentVersion");
    values.buildNumber = text("CurrentBuildNumber");
    values.csdVersion = text("CSDVersion");
    *info = winsys::versionFromValues(values);
    return 1;
}

HANDLE GetCurrentProcess() { return reinterpret_cast<HANDLE>(~std::uintptr_t{0}); }

BOOL IsWow64Process(HANDLE process, BOOL* wow64) {
    if (process != GetCurrentProcess()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    if (!wow64) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    *wow64 = winsys::machine().isWow64() ? 1 : 0;
    return 1;
}

void GetSystemInfo(SYSTEM_INFO* info) {
    if (info) winsys::fillSystemInfo(info, false);
}

void GetNativeSystemInfo(SYSTEM_INFO* info) {
    if (info) winsys::fillSystemInfo(info, true);
}

} // namespace win
