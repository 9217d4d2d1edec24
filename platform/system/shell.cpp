#include "platform/system/shell.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <mutex>
#include <string_view>

#include "platform/core/lasterror.h"
#include "platform/core/text.h"
#include "platform/files/files.h"
#include "platform/files/paths.h"

extern char** environ;

namespace winsys {

namespace {

std::mutex gMutex;
std::vector<ShellRequest> gRequests;

void record(ShellRequest r) {
    std::lock_guard<std::mutex> lock(gMutex);
    gRequests.push_back(std::move(r));
}

// "http://x", "mailto:y": a scheme of two or more characters and a colon,
// so that "C:\x" stays a path.
bool isUrl(std::string_view s) {
    const std::size_t colon = s.find(':');
    if (colon == std::string_view::npos || colon < 2 || !std::isalpha(static_cast<unsigned char>(s[0]))) return false;
    for (std::size_t i = 1; i < colon; ++i) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        if (!std::isalnum(c) && c != '+' && c != '-' && c != '.') return false;
    }
    return true;
}

bool isProgram(std::string_view file) {
    const std::size_t dot = file.rfind('.');
    if (dot == std::string_view::npos || file.find('\\', dot) != std::string_view::npos) return false;
    const std::string_view ext = file.substr(dot + 1);
    for (const char* e : {"exe", "com", "bat", "cmd"})
        if (equalsNoCase(ext, e)) return true;
    return false;
}

bool xdgOpenPresent() {
    const char* path = std::getenv("PATH");
    std::string_view rest = path ? path : "";
    while (!rest.empty()) {
        const std::size_t colon = std::min(rest.find(':'), rest.size());
        const std::string dir(rest.substr(0, colon));
        if (!dir.empty() && ::access((dir + "/xdg-open").c_str(), X_OK) == 0) return true;
        rest.remove_prefix(std::min(colon + 1, rest.size()));
    }
    return false;
}

// Starts xdg-open in the background through the shell, which returns at
// once, so nothing is left for us to reap.
bool runXdgOpen(const std::string& target) {
    if (!xdgOpenPresent()) return false;
    const char* argv[] = {"/bin/sh", "-c", "xdg-open \"$1\" >/dev/null 2>&1 &", "sh", target.c_str(), nullptr};
    pid_t pid = 0;
    if (posix_spawn(&pid, "/bin/sh", nullptr, nullptr, const_cast<char**>(argv), environ) != 0) return false;
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

} // namespace

std::vector<ShellRequest> recordedShellRequests() {
    std::lock_guard<std::mutex> lock(gMutex);
    return gRequests;
}

void clearShellRequests() {
    std::lock_guard<std::mutex> lock(gMutex);
    gRequests.clear();
}

} // namespace winsys

namespace win {

std::intptr_t ShellExecute(const std::string& verb, const std::string& file, const std::string& parameters,
                           const std::string& directory, int show) {
    winsys::record({verb, file, parameters, directory, show});
    const bool open = verb.empty() || winsys::equalsNoCase(verb, "open");
    const bool runas = winsys::equalsNoCase(verb, "runas");
    if (!open && !runas) return SE_ERR_NOASSOC;
    if (open && winsys::isUrl(file)) return winsys::runXdgOpen(file) ? kShellStarted : SE_ERR_NOASSOC;
    if (GetFileAttributes(file) == INVALID_FILE_ATTRIBUTES)
        return GetLastError() == ERROR_PATH_NOT_FOUND ? SE_ERR_PNF : SE_ERR_FNF;
    if (winsys::isProgram(file)) return kShellStarted; // recorded above; cannot run here
    if (runas) return SE_ERR_NOASSOC;
    auto host = winsys::toHostPath(file);
    if (!host) return SE_ERR_FNF;
    return winsys::runXdgOpen(host.value().string()) ? kShellStarted : SE_ERR_NOASSOC;
}

} // namespace win
