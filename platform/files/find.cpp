#include "platform/files/find.h"

#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <memory>
#include <mutex>
#include <optional>
#include <unordered_set>
#include <vector>

#include "platform/core/lasterror.h"
#include "platform/core/text.h"
#include "platform/files/hostfile.h"
#include "platform/files/paths.h"
#include "platform/files/wildcard.h"

namespace win {

namespace {

struct Search {
    std::vector<WIN32_FIND_DATA> entries;
    std::size_t next = 0;
};

// Open searches, so that a stale or made-up handle fails instead of crashing.
std::mutex g_lock;
std::unordered_set<Search*> g_open;

HANDLE fail(DWORD code) {
    SetLastError(code);
    return INVALID_HANDLE_VALUE;
}

int rank(const std::string& name) { return name == "." ? 0 : name == ".." ? 1 : 2; }

bool before(const WIN32_FIND_DATA& a, const WIN32_FIND_DATA& b) {
    if (rank(a.cFileName) != rank(b.cFileName)) return rank(a.cFileName) < rank(b.cFileName);
    const int c = winsys::compareNoCase(a.cFileName, b.cFileName);
    return c != 0 ? c < 0 : a.cFileName < b.cFileName;
}

WIN32_FIND_DATA findData(const winsys::WindowsFacts& f, std::string name) {
    WIN32_FIND_DATA d;
    d.dwFileAttributes = f.attributes;
    d.ftCreationTime = f.created;
    d.ftLastAccessTime = f.accessed;
    d.ftLastWriteTime = f.written;
    d.nFileSizeHigh = static_cast<DWORD>(f.size >> 32);
    d.nFileSizeLow = static_cast<DWORD>(f.size & 0xFFFFFFFFu);
    d.cFileName = std::move(name);
    return d;
}

// A name that matches only itself (and names differing in case): no
// wildcard, no "\\", no trailing dot or space, which Windows drops.
bool isPlainName(const std::string& mask) {
    return !mask.empty() && mask.find_first_of("*?<>\"\\") == std::string::npos && mask.back() != '.' &&
           mask.back() != ' ';
}

} // namespace

HANDLE FindFirstFile(const std::string& pattern, WIN32_FIND_DATA* data) {
    if (!data) return fail(ERROR_INVALID_PARAMETER);
    auto parsed = winsys::parseWindowsPath(pattern, true);
    if (!parsed) return fail(parsed.error().code);
    if (parsed->parts.empty() || parsed->trailingSeparator) return fail(ERROR_FILE_NOT_FOUND);

    winsys::WindowsPath folder = *parsed;
    const std::string mask = folder.parts.back();
    folder.parts.pop_back();
    // Whether the folder is redirected depends on the whole path: an exempt
    // folder named as the mask ("system32\catroot") is found in system32.
    auto host = winsys::resolveHostPath(folder, winsys::redirectionApplies(*parsed));
    if (!host) return fail(host.error().code);

    // A plain name that is there as written needs no listing of its folder
    // (which would make each look-up cost the folder's size).
    if (isPlainName(mask)) {
        const std::string entry = host->native() + '/' + mask;
        if (auto own = winsys::statHost(AT_FDCWD, entry.c_str(), false)) {
            std::optional<winsys::HostStat> target;
            if (own->isLink()) target = winsys::statHost(AT_FDCWD, entry.c_str(), true);
            auto search = std::make_unique<Search>();
            search->entries.push_back(findData(winsys::windowsFacts(*own, target, mask), mask));
            *data = search->entries[0];
            search->next = 1;
            std::lock_guard<std::mutex> lock(g_lock);
            g_open.insert(search.get());
            return search.release();
        }
    }

    DIR* dir = ::opendir(host->c_str());
    if (!dir) {
        const int err = errno;
        if (err == ENOENT) return fail(ERROR_PATH_NOT_FOUND);
        if (err == ENOTDIR) {
            auto st = winsys::statHost(*host, true);
            return fail(st && !st->isDir() ? ERROR_DIRECTORY : ERROR_PATH_NOT_FOUND);
        }
        return fail(winsys::errorFromErrno(err));
    }
    winsys::noteListed(*host);
    auto search = std::make_unique<Search>();
    const bool atRoot = folder.parts.empty();
    while (const dirent* e = ::readdir(dir)) {
        std::string name = e->d_name;
        if (atRoot && (name == "." || name == "..")) continue;
        // A host name holding "\" has no Windows name: joined to its folder
        // it would read as several components, ".." among them.
        if (name.find('\\') != std::string::npos) continue;
        if (!winsys::matchesWildcard(mask, name)) continue;
        auto own = winsys::statHost(::dirfd(dir), e->d_name, false);
        if (!own) continue; // gone since readdir
        std::optional<winsys::HostStat> target;
        if (own->isLink()) target = winsys::statHost(::dirfd(dir), e->d_name, true);
        search->entries.push_back(findData(winsys::windowsFacts(*own, target, name), std::move(name)));
    }
    ::closedir(dir);
    if (search->entries.empty()) return fail(ERROR_FILE_NOT_FOUND);
    std::sort(search->entries.begin(), search->entries.end(), before);

    *data = search->entries[0];
    search->next = 1;
    std::lock_guard<std::mutex> lock(g_lock);
    g_open.insert(search.get());
    return search.release();
}

BOOL FindNextFile(HANDLE handle, WIN32_FIND_DATA* data) {
    std::lock_guard<std::mutex> lock(g_lock);
    auto it = g_open.find(static_cast<Search*>(handle));
    if (it == g_open.end()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    if (!data) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    Search& s = **it;
    if (s.next >= s.entries.size()) {
        SetLastError(ERROR_NO_MORE_FILES);
        return 0;
    }
    *data = s.entries[s.next++];
    return 1;
}

BOOL FindClose(HANDLE handle) {
    std::unique_ptr<Search> closing;
    std::lock_guard<std::mutex> lock(g_lock);
    auto it = g_open.find(static_cast<Search*>(handle));
    if (it == g_open.end()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    closing.reset(*it);
    g_open.erase(it);
    return 1;
}

} // namespace win
