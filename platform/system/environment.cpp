#include "platform/system/environment.h"

#include <algorithm>
#include <map>
#include <mutex>
#include <thread>

#include "platform/core/lasterror.h"
#include "platform/core/machine.h"
#include "platform/core/text.h"
#include "platform/registry/registry.h"
#include "platform/system/layout.h"
#include "platform/system/regread.h"

namespace winsys {

std::string expandReferences(std::string_view text, const EnvLookup& lookup) {
    std::string out;
    std::size_t i = 0;
    while (i < text.size()) {
        const std::size_t open = text.find('%', i);
        if (open == std::string_view::npos) {
            out.append(text.substr(i));
            break;
        }
        out.append(text.substr(i, open - i));
        const std::size_t close = text.find('%', open + 1);
        if (close == std::string_view::npos) { // a lone %: the rest as written
            out.append(text.substr(open));
            break;
        }
        const std::string_view name = text.substr(open + 1, close - open - 1);
        std::optional<std::string> value;
        if (!name.empty()) value = lookup(name);
        if (value) {
            out.append(*value);
            i = close + 1;
        } else {
            out.append(text.substr(open, close - open)); // "%NAME"; the closing % is read again
            i = close;
        }
    }
    return out;
}

namespace {

class EnvBlock {
public:
    std::optional<std::string> get(std::string_view name) const {
        auto it = vars_.find(name);
        if (it == vars_.end()) return std::nullopt;
        return it->second;
    }
    // The name takes the case given, as Windows does on replacing.
    void set(const std::string& name, std::string value) {
        auto it = vars_.find(name);
        if (it != vars_.end()) vars_.erase(it);
        vars_.emplace(name, std::move(value));
    }
    void remove(std::string_view name) {
        auto it = vars_.find(name);
        if (it != vars_.end()) vars_.erase(it);
    }
    std::string expand(std::string_view text) const {
        return expandReferences(text, [this](std::string_view n) { return get(n); });
    }

private:
    std::map<std::string, std::string, LessNoCase> vars_;
};

// One key's variables: plain texts first, then the expandable ones in their
// order, each against the block as it stands.
void applyKey(EnvBlock& env, win::HKEY root, const std::string& subKey, bool appendPath) {
    const auto values = sysreg::readTextValues(root, subKey);
    for (int pass = 0; pass < 2; ++pass) {
        const win::DWORD wanted = pass == 0 ? win::REG_SZ : win::REG_EXPAND_SZ;
        for (const auto& v : values) {
            if (v.type != wanted || v.name.empty()) continue;
            std::string value = wanted == win::REG_EXPAND_SZ ? env.expand(v.text) : v.text;
            if (appendPath && equalsNoCase(v.name, "PATH")) {
                if (auto old = env.get("PATH"); old && !old->empty()) value = *old + ";" + value;
            }
            env.set(v.name, std::move(value));
        }
    }
}

EnvBlock buildProcessEnvironment() {
    const Machine& m = machine();
    const MachineLayout l = machineLayout();
    const std::string computer = computerName();
    EnvBlock env;

    // What Wine's setup writes to the system key, for a prefix that lacks it.
    env.set("ComSpec", l.system32 + "\\cmd.exe");
    env.set("OS", "Windows_NT");
    env.set("PATH", l.system32 + ";" + l.windows + ";" + l.system32 + "\\wbem;" + l.system32 +
                        "\\WindowsPowerShell\\v1.0");
    env.set("PATHEXT", ".COM;.EXE;.BAT;.CMD;.VBS;.VBE;.JS;.JSE;.WSF;.WSH;.MSC");
    env.set("windir", l.windows);
    env.set("winsysdir", l.system32);
    // What Wine computes for every process.
    env.set("SystemDrive", "C:");
    env.set("SystemRoot", l.windows);
    env.set("ALLUSERSPROFILE", l.programData);
    env.set("ProgramData", l.programData);
    env.set("PUBLIC", l.publicFolder);
    env.set("USERPROFILE", l.profile);
    env.set("APPDATA", l.profile + "\\AppData\\Roaming");
    env.set("LOCALAPPDATA", l.profile + "\\AppData\\Local");
    env.set("TEMP", l.profile + "\\AppData\\Local\\Temp");
    env.set("TMP", l.profile + "\\AppData\\Local\\Temp");
    env.set("HOMEDRIVE", l.profile.substr(0, 2));
    env.set("HOMEPATH", l.profile.size() > 2 ? l.profile.substr(2) : "\\");
    env.set("USERNAME", m.userName());
    env.set("USERDOMAIN", computer);
    env.set("COMPUTERNAME", computer);
    env.set("NUMBER_OF_PROCESSORS", std::to_string(std::max(1u, std::thread::hardware_concurrency())));

    applyKey(env, win::HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Control\\Session Manager\\Environment", false);
    applyKey(env, win::HKEY_CURRENT_USER, "Environment", true);
    applyKey(env, win::HKEY_CURRENT_USER, "Volatile Environment", false);

    // What Windows gives a 32-bit process, whatever the keys say.
    env.set("ProgramFiles", l.programFilesX86);
    env.set("CommonProgramFiles", l.commonFilesX86);
    env.set("PROCESSOR_ARCHITECTURE", "x86");
    if (m.isWow64()) {
        env.set("ProgramFiles(x86)", l.programFilesX86);
        env.set("ProgramW6432", l.programFiles);
        env.set("CommonProgramFiles(x86)", l.commonFilesX86);
        env.set("CommonProgramW6432", l.commonFiles);
        env.set("PROCESSOR_ARCHITEW6432", "AMD64");
    }
    return env;
}

struct ProcessEnvironment {
    std::mutex lock;
    std::uint64_t serial = 0; // the machine the block was built for
    EnvBlock block;
};

ProcessEnvironment& processEnvironment() {
    static ProcessEnvironment env;
    return env;
}

// Runs `f` on the current machine's block, building it on first use.
template <class F>
auto withEnvironment(F&& f) {
    ProcessEnvironment& pe = processEnvironment();
    std::lock_guard<std::mutex> guard(pe.lock);
    const std::uint64_t serial = machine().serial();
    if (pe.serial != serial) {
        pe.block = buildProcessEnvironment();
        pe.serial = serial;
    }
    return f(pe.block);
}

} // namespace

} // namespace winsys

namespace win {

DWORD GetEnvironmentVariable(const std::string& name, std::string* value) {
    auto v = winsys::withEnvironment([&](const winsys::EnvBlock& env) { return env.get(name); });
    if (!v) {
        SetLastError(ERROR_ENVVAR_NOT_FOUND);
        return 0;
    }
    if (value) *value = *v;
    if (v->empty()) SetLastError(ERROR_SUCCESS);
    return static_cast<DWORD>(winsys::utf16Length(*v));
}

BOOL SetEnvironmentVariable(const std::string& name, const std::string* value) {
    if (name.empty() || name.find('=', 1) != std::string::npos) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    winsys::withEnvironment([&](winsys::EnvBlock& env) {
        if (value) env.set(name, *value);
        else env.remove(name);
        return 0;
    });
    return 1;
}

DWORD ExpandEnvironmentStrings(const std::string& source, std::string* expanded) {
    std::string out = winsys::withEnvironment([&](const winsys::EnvBlock& env) { return env.expand(source); });
    const DWORD length = static_cast<DWORD>(winsys::utf16Length(out) + 1);
    if (expanded) *expanded = std::move(out);
    return length;
}

} // namespace win
