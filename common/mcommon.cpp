#include "common/mcommon.h"

#include "platform/com/message_queue.h"
#include "platform/com/safearray.h"
#include "platform/core/guid.h"
#include "platform/core/lasterror.h"
#include "platform/core/text.h"
#include "platform/files/find.h"
#include "platform/system/environment.h"
#include "platform/system/message.h"
#include "platform/system/shfolder.h"
#include "platform/system/version.h"

namespace halvenlib {

namespace {

// Constant-initialised, so they read false until LibraryStartup runs.
bool gIsVista = false;
bool gIsWow64 = false;

} // namespace

bool IsUnicodeOs() {
    win::OSVERSIONINFOEX info;
    return win::GetVersionEx(&info) && info.dwPlatformId == win::VER_PLATFORM_WIN32_NT;
}

bool IsVistaNow() {
    win::OSVERSIONINFOEX info;
    if (!win::GetVersionEx(&info)) return false;
    return info.dwPlatformId == win::VER_PLATFORM_WIN32_NT && info.dwMajorVersion == 6;
}

bool IsWow64Now() {
    win::BOOL wow64 = 0;
    return win::IsWow64Process(win::GetCurrentProcess(), &wow64) && wow64 == 1;
}

void LibraryStartup() {
    gIsVista = IsVistaNow();
    gIsWow64 = IsWow64Now();
}

bool IsVista() { return gIsVista; }
bool IsWow64() { return gIsWow64; }

std::string FormatSystemMessage(win::DWORD code) {
    std::string text;
    if (win::FormatMessage(win::FORMAT_MESSAGE_FROM_SYSTEM | win::FORMAT_MESSAGE_IGNORE_INSERTS, code, 0, &text) == 0)
        return {};
    for (char& c : text)
        if (c == '\r' || c == '\n') c = ' ';
    return ReplaceAll(text, "  ", " ");
}

std::string DescribeApiError(win::DWORD code) {
    if (code != 0) return FormatSystemMessage(code);
    return IsVista() ? "Undefined Vista error." : "Undefined error.";
}

// "%k" matches only where no further digit follows, so "%10" is never taken
// for "%1" and a "0", even when fewer than ten values are given.
std::string ReplacePlaceholders(std::string text, const std::vector<std::string>& values) {
    for (std::size_t k = values.size(); k >= 1; --k) {
        const std::string placeholder = "%" + std::to_string(k);
        std::string out;
        std::size_t pos = 0;
        for (std::size_t hit; (hit = text.find(placeholder, pos)) != std::string::npos;) {
            const std::size_t end = hit + placeholder.size();
            const bool exact = end == text.size() || text[end] < '0' || text[end] > '9';
            out.append(text, pos, hit - pos);
            out.append(exact ? std::string_view(values[k - 1]) : std::string_view(placeholder));
            pos = end;
        }
        out.append(text, pos, std::string::npos);
        text = std::move(out);
    }
    return text;
}

std::string ReplaceAll(std::string_view text, std::string_view from, std::string_view to) {
    if (from.empty()) return std::string(text);
    std::string out;
    std::size_t pos = 0;
    for (std::size_t hit; (hit = text.find(from, pos)) != std::string_view::npos; pos = hit + from.size()) {
        out.append(text, pos, hit - pos);
        out.append(to);
    }
    out.append(text.substr(pos));
    return out;
}

std::string TrimAtNull(std::string_view text) {
    return std::string(text.substr(0, text.find('\0')));
}

std::string StringFromBuffer(std::span<const std::uint8_t> bytes) {
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2)
        if (bytes[i] == 0 && bytes[i + 1] == 0) return winsys::fromUtf16leBytes(bytes.data(), i);
    return {};
}

winsys::Result<std::string> ExpandEnvVars(std::string_view text) {
    // The layer hands back the whole expansion, however long; a fixed buffer
    // here would cut it (or read past it) when it needs more room.
    std::string expanded;
    if (win::ExpandEnvironmentStrings(std::string(text), &expanded) == 0) {
        const win::DWORD code = win::GetLastError();
        return winsys::Error{code, DescribeApiError(code)};
    }
    return expanded;
}

bool FileExists(std::string_view path) {
    std::string pattern(path);
    if (!pattern.empty() && pattern.back() == '\\') pattern.pop_back();
    win::WIN32_FIND_DATA data;
    win::UniqueFindHandle search(win::FindFirstFile(pattern, &data));
    return search.get() != win::INVALID_HANDLE_VALUE;
}

std::string NewGuidString() { return winsys::guidToString(winsys::newGuid()); }

void PumpMessages() { winsys::pumpOneMessage(); }

std::string GetSpecialFolderPath(int csidl) {
    std::string path;
    if (win::FAILED(win::SHGetFolderPath(csidl, win::SHGFP_TYPE_CURRENT, &path))) return {};
    return TrimAtNull(path);
}

bool IsArrayEmptyV(const win::VARIANT& v) {
    const win::VARIANT& value = winsys::com::deref(v);
    if ((value.vt & win::VT_ARRAY) == 0) return true;
    const win::SAFEARRAY* array = (value.vt & win::VT_BYREF) ? *value.pparray : value.parray;
    win::LONG lower = 0, upper = 0;
    if (array == nullptr || win::SafeArrayGetDim(array) == 0 || win::FAILED(win::SafeArrayGetLBound(array, 1, &lower)) ||
        win::FAILED(win::SafeArrayGetUBound(array, 1, &upper)))
        return true;
    return upper < lower;
}

std::string WindowsVersionText(const win::OSVERSIONINFOEX& info) {
    const char* platform = info.dwPlatformId == 1 ? "Windows 95" : info.dwPlatformId == 2 ? "Windows NT" : "";
    return "Platform: " + std::string(platform) + ". Version: " + std::to_string(info.dwMajorVersion) + "." +
           std::to_string(info.dwMinorVersion) + "." + std::to_string(info.dwBuildNumber & 0xFFFF) + ". " +
           TrimAtNull(info.szCSDVersion);
}

std::string ProcessorText(const win::SYSTEM_INFO& info) {
    switch (info.dwProcessorType) {
    case 386: return "Intel 386";
    case 486: return "Intel 486";
    case 586:
        return "Intel Pentium Family " + std::to_string(info.wProcessorLevel) + " Model " +
               std::to_string(info.wProcessorRevision >> 8) + " Stepping " +
               std::to_string(info.wProcessorRevision & 0xFF);
    case 4000: return "MIPS R4000";
    case 21064: return "DEC Alpha 21064";
    default: return "(unknown)";
    }
}

} // namespace halvenlib
