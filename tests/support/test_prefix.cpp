#include "tests/support/test_prefix.h"

#include <cstdlib>
#include <fstream>
#include <stdexcept>
#include <sys/stat.h>

namespace fs = std::filesystem;

namespace testsupport {

namespace {

void writeText(const fs::path& p, std::string_view text) {
    fs::create_directories(p.parent_path());
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    if (!out) throw std::runtime_error("cannot write " + p.string());
}

} // namespace

TestPrefix::TestPrefix(const TestPrefixOptions& options) : options_(options) {
    std::string tmpl = (fs::temp_directory_path() / "sorlix-prefix-XXXXXX").string();
    if (!::mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp failed");
    root_ = tmpl;

    const bool win64 = options.arch == winsys::Arch::Win64;
    writeText(root_ / "system.reg", std::string("WINE REGISTRY Version 2\n;; All keys relative to \\\\Machine\n\n#arch=") +
                                        (win64 ? "win64" : "win32") + "\n\n");
    writeText(root_ / "user.reg", "WINE REGISTRY Version 2\n;; All keys relative to \\\\User\\\\" + options.userSid +
                                      "\n\n#arch=" + (win64 ? "win64" : "win32") + "\n\n");
    writeText(root_ / "userdef.reg", std::string("WINE REGISTRY Version 2\n;; All keys relative to \\\\User\\\\.Default\n\n#arch=") +
                                         (win64 ? "win64" : "win32") + "\n\n");

    const fs::path c = root_ / "drive_c";
    for (const char* d : {"windows/system32", "windows/temp", "Program Files", "ProgramData", "users/Public"})
        fs::create_directories(c / d);
    if (win64) {
        fs::create_directories(c / "windows/syswow64");
        fs::create_directories(c / "Program Files (x86)");
    }
    const fs::path profile = c / "users" / options.userName;
    for (const char* d : {"AppData/Roaming", "AppData/Local/Temp", "Desktop", "Documents", "Temp"})
        fs::create_directories(profile / d);

    fs::create_directories(root_ / "dosdevices");
    fs::create_directory_symlink("../drive_c", root_ / "dosdevices" / "c:");
    fs::create_directory_symlink("/", root_ / "dosdevices" / "z:");

    if (options.makeCurrent) reopen();
}

TestPrefix::~TestPrefix() {
    if (options_.makeCurrent) winsys::setMachine(nullptr);
    std::error_code ec;
    // Read-only files are ours to remove; give the owner write rights back.
    for (auto it = fs::recursive_directory_iterator(root_, fs::directory_options::skip_permission_denied, ec);
         it != fs::recursive_directory_iterator(); it.increment(ec)) {
        if (!it->is_symlink(ec)) fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
    }
    fs::remove_all(root_, ec);
}

void TestPrefix::reopen() {
    auto m = winsys::Machine::open(root_);
    if (!m) throw std::runtime_error(m.error().message);
    winsys::setMachine(std::move(m).value());
}

fs::path TestPrefix::host(std::string_view windowsPath) const {
    std::string p(windowsPath);
    if (p.rfind("\\\\?\\", 0) == 0) p = p.substr(4);
    if (p.size() < 2 || p[1] != ':' || (p[0] != 'C' && p[0] != 'c'))
        throw std::invalid_argument("test paths are on drive C: " + p);
    std::string rest = p.substr(2);
    for (char& ch : rest)
        if (ch == '\\') ch = '/';
    while (!rest.empty() && rest.front() == '/') rest.erase(0, 1);
    return root_ / "drive_c" / rest;
}

void TestPrefix::writeFile(std::string_view windowsPath, std::string_view content) const {
    writeText(host(windowsPath), content);
}

void TestPrefix::makeDir(std::string_view windowsPath) const { fs::create_directories(host(windowsPath)); }

void TestPrefix::copyIn(const fs::path& hostFolder, std::string_view windowsFolder) const {
    const fs::path to = host(windowsFolder);
    fs::create_directories(to);
    fs::copy(hostFolder, to, fs::copy_options::recursive | fs::copy_options::overwrite_existing);
    for (const auto& e : fs::recursive_directory_iterator(to))
        fs::permissions(e.path(), fs::perms::owner_write, fs::perm_options::add);
}

void TestPrefix::setReadOnly(std::string_view windowsPath, bool readOnly) const {
    const fs::perms w = fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write;
    fs::permissions(host(windowsPath), readOnly ? w : fs::perms::owner_write,
                    readOnly ? fs::perm_options::remove : fs::perm_options::add);
}

std::string regText(std::string_view text) {
    std::string r;
    for (char c : text) r += c == '\\' ? std::string("\\\\") : std::string(1, c);
    return r;
}

} // namespace testsupport
