#include "platform/system/layout.h"

#include <unistd.h>

#include "platform/core/machine.h"
#include "platform/core/text.h"
#include "platform/system/environment.h"
#include "platform/system/regread.h"

namespace winsys {

namespace {

constexpr const char* kProfileList = "Software\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList";
constexpr const char* kCurrentVersion = "Software\\Microsoft\\Windows\\CurrentVersion";
constexpr const char* kWindows = "C:\\windows";

// ProfileList and CurrentVersion values name the system drive and folder by
// reference; nothing else is defined this early.
std::string expandSystemReferences(const std::string& text) {
    return expandReferences(text, [](std::string_view name) -> std::optional<std::string> {
        if (equalsNoCase(name, "SystemDrive")) return std::string("C:");
        if (equalsNoCase(name, "SystemRoot") || equalsNoCase(name, "windir")) return std::string(kWindows);
        return std::nullopt;
    });
}

std::string machineValue(const std::string& subKey, const std::string& name, std::string fallback) {
    auto v = sysreg::readText(win::HKEY_LOCAL_MACHINE, subKey, name, win::KEY_WOW64_64KEY);
    if (!v || v->text.empty()) return fallback;
    return v->type == win::REG_EXPAND_SZ ? expandSystemReferences(v->text) : v->text;
}

} // namespace

MachineLayout machineLayout() {
    const Machine& m = machine();
    MachineLayout l;
    l.windows = kWindows;
    l.system32 = l.windows + "\\system32";
    if (m.is64bit()) l.syswow64 = l.windows + "\\syswow64";

    const std::string users = machineValue(kProfileList, "ProfilesDirectory", "C:\\users");
    l.profile = machineValue(std::string(kProfileList) + "\\" + m.userSid(), "ProfileImagePath",
                             users + "\\" + m.userName());
    l.programData = machineValue(kProfileList, "ProgramData", "C:\\ProgramData");
    l.publicFolder = machineValue(kProfileList, "Public", users + "\\Public");

    l.programFiles = machineValue(kCurrentVersion, "ProgramFilesDir", "C:\\Program Files");
    l.commonFiles = machineValue(kCurrentVersion, "CommonFilesDir", l.programFiles + "\\Common Files");
    if (m.is64bit()) {
        l.programFilesX86 = machineValue(kCurrentVersion, "ProgramFilesDir (x86)", "C:\\Program Files (x86)");
        l.commonFilesX86 = machineValue(kCurrentVersion, "CommonFilesDir (x86)", l.programFilesX86 + "\\Common Files");
    } else {
        l.programFilesX86 = l.programFiles;
        l.commonFilesX86 = l.commonFiles;
    }
    return l;
}

std::string netbiosNameFromHostName(std::string_view hostName) {
    std::string_view name = hostName.substr(0, hostName.find('.'));
    std::string upper = upperCase(name);
    // Cut at 15 code points, never inside a UTF-8 sequence.
    std::size_t points = 0, i = 0;
    for (; i < upper.size(); ++i) {
        if ((static_cast<unsigned char>(upper[i]) & 0xC0) == 0x80) continue;
        if (points++ == 15) break;
    }
    upper.resize(i);
    return upper;
}

std::string computerName() {
    auto v = sysreg::readText(win::HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Control\\ComputerName\\ComputerName",
                              "ComputerName");
    if (v && !v->text.empty()) return v->text;
    char host[256] = {};
    if (::gethostname(host, sizeof host - 1) != 0 || !host[0]) return "LOCALHOST";
    std::string name = netbiosNameFromHostName(host);
    return name.empty() ? "LOCALHOST" : name;
}

} // namespace winsys
