#include "platform/system/shell.h"

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
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

// How long the opener may take to say that it cannot open something. One
// that is still running by then has started a program for it.
constexpr int kOpenerVerdictMs = 3000;

// Runs xdg-open on the target and answers whether it opened it. The opener
// runs in a background shell (nothing for us to reap) that writes its exit
// status into a pipe: a status that comes in time decides; none in time, or
// a pipe closed without one, means the opener is busy with the program it
// started.
bool runXdgOpen(const std::string& target) {
    if (!xdgOpenPresent()) return false;
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) return false;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 3);
    const char* argv[] = {"/bin/sh", "-c", "( xdg-open \"$1\" >/dev/null 2>&1 </dev/null 3>&-; echo $? >&3 ) &", "sh",
                          target.c_str(), nullptr};
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, "/bin/sh", &actions, nullptr, const_cast<char**>(argv), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(fds[1]);
    if (spawned != 0) {
        ::close(fds[0]);
        return false;
    }
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        ::close(fds[0]);
        return false;
    }

    std::string verdict;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kOpenerVerdictMs);
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) break;
        pollfd p{fds[0], POLLIN, 0};
        const int ready = ::poll(&p, 1, static_cast<int>(left.count()));
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) break;
        char buffer[16];
        const ssize_t n = ::read(fds[0], buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        verdict.append(buffer, static_cast<std::size_t>(n));
        if (verdict.find('\n') != std::string::npos) break;
    }
    ::close(fds[0]);
    if (verdict.find('\n') == std::string::npos) return true; // still at work: the program runs
    return std::atoi(verdict.c_str()) == 0;
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
