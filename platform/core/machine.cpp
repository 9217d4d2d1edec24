#include "platform/core/machine.h"

#include <cstdlib>
#include <fstream>
#include <iostream>
#include <mutex>
#include <system_error>
#include <unistd.h>

#include "platform/core/text.h"

namespace fs = std::filesystem;

namespace winsys {

namespace {

std::atomic<std::uint64_t> g_serial{0};
std::mutex g_machineLock;
std::unique_ptr<Machine> g_machine;

// Reads the first lines of a hive for its header facts.
struct HiveHeader {
    std::string relativeTo; // text after ";; All keys relative to "
    std::string arch;       // "win32", "win64" or empty
};

HiveHeader readHeader(const fs::path& file) {
    HiveHeader h;
    std::ifstream in(file, std::ios::binary);
    std::string line;
    for (int n = 0; n < 16 && std::getline(in, line); ++n) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.rfind(";; All keys relative to ", 0) == 0) h.relativeTo = line.substr(24);
        else if (line.rfind("#arch=", 0) == 0) h.arch = line.substr(6);
        else if (!line.empty() && line[0] == '[') break;
    }
    return h;
}

std::string pickUserName(const fs::path& driveC) {
    const char* env = std::getenv("USER");
    std::string fromEnv = env ? env : "";
    std::string found;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(driveC / "users", ec)) {
        std::string name = entry.path().filename().string();
        if (equalsNoCase(name, "Public") || equalsNoCase(name, "Default") || equalsNoCase(name, "All Users") ||
            !entry.is_directory(ec))
            continue;
        if (!fromEnv.empty() && equalsNoCase(name, fromEnv)) return name;
        if (found.empty() || name < found) found = name;
    }
    if (!found.empty()) return found;
    return fromEnv.empty() ? "user" : fromEnv;
}

} // namespace

Result<std::unique_ptr<Machine>> Machine::open(const fs::path& prefix) {
    std::error_code ec;
    const std::string shown = prefix.string();
    if (!fs::exists(prefix, ec))
        return Error{win::ERROR_PATH_NOT_FOUND, "Windows prefix '" + shown + "' does not exist"};
    if (!fs::is_directory(prefix, ec))
        return Error{win::ERROR_DIRECTORY, "Windows prefix '" + shown + "' is not a folder"};
    if (::access(prefix.c_str(), R_OK | X_OK) != 0)
        return Error{win::ERROR_ACCESS_DENIED, "Windows prefix '" + shown + "' cannot be read"};
    if (fs::is_empty(prefix, ec) && !ec)
        return Error{win::ERROR_FILE_NOT_FOUND, "Windows prefix '" + shown + "' is empty: it is not a Wine prefix"};
    const fs::path systemReg = prefix / "system.reg";
    if (!fs::exists(systemReg, ec))
        return Error{win::ERROR_FILE_NOT_FOUND,
                     "Windows prefix '" + shown + "' has no system.reg: it is not a Wine prefix"};
    if (!fs::is_regular_file(systemReg, ec) || ::access(systemReg.c_str(), R_OK) != 0)
        return Error{win::ERROR_ACCESS_DENIED, "Windows prefix '" + shown + "': system.reg cannot be read"};

    std::unique_ptr<Machine> m(new Machine);
    m->prefix_ = fs::absolute(prefix, ec).lexically_normal();
    if (!m->prefix_.empty() && m->prefix_.filename().empty()) m->prefix_ = m->prefix_.parent_path();

    HiveHeader sys = readHeader(systemReg);
    if (sys.arch == "win32") m->arch_ = Arch::Win32;
    else if (sys.arch == "win64") m->arch_ = Arch::Win64;
    else m->arch_ = fs::is_directory(prefix / "drive_c" / "windows" / "syswow64", ec) ? Arch::Win64 : Arch::Win32;

    HiveHeader user = readHeader(prefix / "user.reg");
    // Wine 8 writes "REGISTRY\\User\\<SID>", older Wine "\\User\\<SID>".
    const std::string marker = "\\\\User\\\\";
    if (auto at = user.relativeTo.find(marker); at != std::string::npos)
        m->userSid_ = user.relativeTo.substr(at + marker.size());
    if (m->userSid_.empty()) m->userSid_ = "S-1-5-21-0-0-0-1000";
    m->userName_ = pickUserName(prefix / "drive_c");

    // Wine always has C:; make its link when a hand-made prefix lacks it.
    const fs::path dosdevices = prefix / "dosdevices";
    if (!fs::exists(fs::symlink_status(dosdevices / "c:", ec)) && fs::is_directory(prefix / "drive_c", ec)) {
        fs::create_directories(dosdevices, ec);
        fs::create_directory_symlink("../drive_c", dosdevices / "c:", ec);
    }

    m->serial_ = ++g_serial;
    return m;
}

std::optional<fs::path> Machine::driveRoot(char letter) const {
    if (letter >= 'A' && letter <= 'Z') letter = static_cast<char>(letter - 'A' + 'a');
    if (letter < 'a' || letter > 'z') return std::nullopt;
    const fs::path link = prefix_ / "dosdevices" / (std::string(1, letter) + ":");
    std::error_code ec;
    if (!fs::exists(fs::symlink_status(link, ec))) return std::nullopt;
    fs::path target = link;
    if (fs::is_symlink(link, ec)) {
        target = fs::read_symlink(link, ec);
        if (ec) return std::nullopt;
        if (target.is_relative()) target = link.parent_path() / target;
    }
    fs::path resolved = fs::weakly_canonical(target, ec);
    if (ec || !fs::is_directory(resolved, ec)) return std::nullopt;
    return resolved;
}

fs::path defaultPrefixPath() {
    const char* p = std::getenv("WINEPREFIX");
    if (p && *p) return fs::path(p);
    const char* home = std::getenv("HOME");
    return fs::path(home && *home ? home : "/") / ".wine";
}

Result<void> openDefaultMachine() {
    auto m = Machine::open(defaultPrefixPath());
    if (!m) return m.error();
    setMachine(std::move(m).value());
    return {};
}

Machine& machine() {
    std::lock_guard<std::mutex> lock(g_machineLock);
    if (!g_machine) {
        auto m = Machine::open(defaultPrefixPath());
        if (!m) {
            std::cerr << m.error().message << "\n";
            std::exit(1);
        }
        g_machine = std::move(m).value();
    }
    return *g_machine;
}

void setMachine(std::unique_ptr<Machine> m) {
    std::lock_guard<std::mutex> lock(g_machineLock);
    g_machine = std::move(m);
}

bool hasMachine() {
    std::lock_guard<std::mutex> lock(g_machineLock);
    return g_machine != nullptr;
}

} // namespace winsys
