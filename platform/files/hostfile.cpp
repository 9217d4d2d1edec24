#include "platform/files/hostfile.h"

#include <atomic>
#include <cstring>
#include <dirent.h>
#include <unistd.h>
#include <utility>
#include <cerrno>
#include <mutex>
#include <sys/sysmacros.h>

namespace winsys {

namespace {

struct ErrnoRow {
    int err;
    win::DWORD code;
};

// Calls that create a file report EEXIST as ERROR_FILE_EXISTS themselves.
constexpr ErrnoRow kErrnoTable[] = {
    {ENOENT, win::ERROR_FILE_NOT_FOUND}, // ERROR_PATH_NOT_FOUND when the folder is missing too
    {ENOTDIR, win::ERROR_PATH_NOT_FOUND}, // a folder on the way is a file
    {EACCES, win::ERROR_ACCESS_DENIED},
    {EPERM, win::ERROR_ACCESS_DENIED},
    {EISDIR, win::ERROR_ACCESS_DENIED},
    {EROFS, win::ERROR_WRITE_PROTECT},
    {EEXIST, win::ERROR_ALREADY_EXISTS},
    {ENOTEMPTY, win::ERROR_DIR_NOT_EMPTY},
    {ENAMETOOLONG, win::ERROR_FILENAME_EXCED_RANGE},
    {ENOSPC, win::ERROR_DISK_FULL},
    {EDQUOT, win::ERROR_DISK_FULL},
    {EXDEV, win::ERROR_NOT_SAME_DEVICE},
    {ELOOP, win::ERROR_CANT_RESOLVE_FILENAME},
    {EMFILE, win::ERROR_TOO_MANY_OPEN_FILES},
    {ENFILE, win::ERROR_TOO_MANY_OPEN_FILES},
    {ENOMEM, win::ERROR_NOT_ENOUGH_MEMORY},
    {EBUSY, win::ERROR_SHARING_VIOLATION},
    {ETXTBSY, win::ERROR_SHARING_VIOLATION},
    {EINVAL, win::ERROR_INVALID_PARAMETER},
    {EIO, win::ERROR_GEN_FAILURE},
};

std::atomic<HostAccessLog*> g_accessLog{nullptr};
std::mutex g_accessLock;

timespec fromStatx(const struct statx_timestamp& t) {
    return timespec{static_cast<time_t>(t.tv_sec), static_cast<long>(t.tv_nsec)};
}

bool earlier(const timespec& a, const timespec& b) {
    return a.tv_sec < b.tv_sec || (a.tv_sec == b.tv_sec && a.tv_nsec < b.tv_nsec);
}

} // namespace

UniqueFd& UniqueFd::operator=(UniqueFd&& o) noexcept {
    if (this != &o) reset(o.release());
    return *this;
}

UniqueFd::~UniqueFd() { reset(); }

void UniqueFd::reset(int fd) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = fd;
}

bool UniqueFd::close() {
    const int fd = std::exchange(fd_, -1);
    return fd < 0 || ::close(fd) == 0;
}

bool listFolder(int folder, std::vector<FolderEntry>* out) {
    // No second descriptor to open and set up: one seek and the reads.
    if (::lseek(folder, 0, SEEK_SET) != 0) return false;
    alignas(dirent64) char buffer[16 * 1024];
    for (;;) {
        const ssize_t n = ::getdents64(folder, buffer, sizeof buffer);
        if (n < 0) return false;
        if (n == 0) return true;
        for (ssize_t at = 0; at < n;) {
            const auto* e = reinterpret_cast<const dirent64*>(buffer + at);
            at += e->d_reclen;
            if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0)
                out->push_back({e->d_name, e->d_type});
        }
    }
}

FileStamp stampOf(const struct stat& st) {
    return FileStamp{true, static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino),
                     static_cast<std::uint64_t>(st.st_size),
                     static_cast<std::uint64_t>(st.st_mtim.tv_sec) * 1000000000ull +
                         static_cast<std::uint64_t>(st.st_mtim.tv_nsec)};
}

FileStamp stampOf(const std::filesystem::path& file) {
    struct stat st {};
    if (::stat(file.c_str(), &st) != 0) return {};
    return stampOf(st);
}

std::optional<HostStat> statHost(int dirFd, const char* name, bool follow) {
    HostStat h;
    struct statx x;
    const int flags = follow ? 0 : AT_SYMLINK_NOFOLLOW;
    if (::statx(dirFd, name, flags, STATX_BASIC_STATS | STATX_BTIME, &x) == 0) {
        h.mode = x.stx_mode;
        h.size = x.stx_size;
        h.owner = x.stx_uid;
        h.group = x.stx_gid;
        h.device = makedev(x.stx_dev_major, x.stx_dev_minor);
        h.inode = x.stx_ino;
        h.accessed = fromStatx(x.stx_atime);
        h.modified = fromStatx(x.stx_mtime);
        h.changed = fromStatx(x.stx_ctime);
        h.hasBirthTime = (x.stx_mask & STATX_BTIME) != 0;
        if (h.hasBirthTime) h.born = fromStatx(x.stx_btime);
        return h;
    }
    if (errno != ENOSYS) return std::nullopt;
    struct stat st; // a kernel or sandbox without statx
    if (::fstatat(dirFd, name, &st, flags) != 0) return std::nullopt;
    h.mode = st.st_mode;
    h.size = static_cast<std::uint64_t>(st.st_size);
    h.owner = st.st_uid;
    h.group = st.st_gid;
    h.device = st.st_dev;
    h.inode = st.st_ino;
    h.accessed = st.st_atim;
    h.modified = st.st_mtim;
    h.changed = st.st_ctim;
    return h;
}

win::FILETIME toFileTime(const timespec& t) {
    constexpr std::int64_t kSecondsFrom1601To1970 = 11644473600;
    const std::int64_t secs = static_cast<std::int64_t>(t.tv_sec) + kSecondsFrom1601To1970;
    if (secs < 0) return {};
    const auto ticks = static_cast<std::uint64_t>(secs) * 10000000u + static_cast<std::uint64_t>(t.tv_nsec) / 100u;
    return {static_cast<win::DWORD>(ticks & 0xFFFFFFFFu), static_cast<win::DWORD>(ticks >> 32)};
}

WindowsFacts windowsFacts(const HostStat& own, const std::optional<HostStat>& target, std::string_view name) {
    const HostStat& file = target ? *target : own;
    WindowsFacts f;
    f.attributes = file.isDir() ? win::FILE_ATTRIBUTE_DIRECTORY : win::FILE_ATTRIBUTE_ARCHIVE;
    if (own.isLink()) f.attributes |= win::FILE_ATTRIBUTE_REPARSE_POINT;
    else if (!own.ownerWritable()) f.attributes |= win::FILE_ATTRIBUTE_READONLY;
    if (name.size() > 1 && name[0] == '.' && name != "..") f.attributes |= win::FILE_ATTRIBUTE_HIDDEN;
    const timespec& born = file.hasBirthTime ? file.born
                           : earlier(file.changed, file.modified) ? file.changed
                                                                  : file.modified;
    f.created = toFileTime(born);
    f.accessed = toFileTime(file.accessed);
    f.written = toFileTime(file.modified);
    // A dangling link has no size of its own to show.
    f.size = file.isDir() || file.isLink() ? 0 : file.size;
    return f;
}

win::DWORD errorFromErrno(int err) {
    for (const ErrnoRow& row : kErrnoTable)
        if (row.err == err) return row.code;
    return win::ERROR_GEN_FAILURE;
}

win::DWORD errorFromErrno(int err, const std::filesystem::path& host) {
    if (err != ENOENT) return errorFromErrno(err);
    auto folder = statHost(host.parent_path(), true);
    return folder && folder->isDir() ? win::ERROR_FILE_NOT_FOUND : win::ERROR_PATH_NOT_FOUND;
}

void recordHostAccess(HostAccessLog* log) {
    std::lock_guard<std::mutex> lock(g_accessLock);
    g_accessLog = log;
}

void noteListed(const std::filesystem::path& folder) {
    if (!g_accessLog.load(std::memory_order_relaxed)) return;
    std::lock_guard<std::mutex> lock(g_accessLock);
    if (HostAccessLog* log = g_accessLog) log->listed.push_back(folder);
}

void noteRead(const std::filesystem::path& file) {
    if (!g_accessLog.load(std::memory_order_relaxed)) return;
    std::lock_guard<std::mutex> lock(g_accessLock);
    if (HostAccessLog* log = g_accessLog) log->read.push_back(file);
}

} // namespace winsys
