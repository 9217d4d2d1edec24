#pragma once
// What the file calls share below their Windows shape: facts about a host
// file (statx, with the birth time where the file system keeps one), the
// Windows attributes and times made from them, and the one table from errno
// to Win32 error numbers.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <time.h>

#include "platform/core/wintypes.h"

namespace winsys {

// An open host file descriptor, closed on scope exit.
class UniqueFd {
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : fd_(fd) {}
    UniqueFd(UniqueFd&& o) noexcept : fd_(o.release()) {}
    UniqueFd& operator=(UniqueFd&& o) noexcept;
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;
    ~UniqueFd();
    int get() const { return fd_; }
    int release() {
        const int fd = fd_;
        fd_ = -1;
        return fd;
    }
    // Closes what it holds, then holds `fd`.
    void reset(int fd = -1);
    // Closes now and says whether the close succeeded (a write's last error
    // may show only there).
    bool close();
    explicit operator bool() const { return fd_ >= 0; }

private:
    int fd_ = -1;
};

// An entry of a folder as its listing gives it.
struct FolderEntry {
    std::string name;
    unsigned char type; // DT_* (DT_UNKNOWN when the file system does not say)
};
// The entries of an open folder, without "." and "..", read through the
// folder's own descriptor from its start. False, with errno set, when the
// folder cannot be read.
bool listFolder(int folder, std::vector<FolderEntry>* out);

struct HostStat {
    mode_t mode = 0;
    std::uint64_t size = 0;
    uid_t owner = 0;
    gid_t group = 0;
    dev_t device = 0;
    ino_t inode = 0;
    timespec accessed{}, modified{}, changed{}, born{};
    bool hasBirthTime = false;

    bool isDir() const { return S_ISDIR(mode); }
    bool isLink() const { return S_ISLNK(mode); }
    bool ownerWritable() const { return (mode & S_IWUSR) != 0; }
    bool sameFile(const HostStat& o) const { return device == o.device && inode == o.inode; }
};

// What a file was when it was looked at: a change of its contents by any
// writer (a new file renamed over it, a write in place) gives another stamp.
struct FileStamp {
    bool exists = false;
    std::uint64_t dev = 0, ino = 0, size = 0, mtimeNs = 0;
    bool operator==(const FileStamp&) const = default;
};
FileStamp stampOf(const struct stat& st);
// The stamp of the file at `file` now (followed); not `exists` when there is none.
FileStamp stampOf(const std::filesystem::path& file);

// Facts about `name` in the open folder `dirFd` (AT_FDCWD: a path); of the
// link itself unless `follow`. Nothing, with errno set, on failure.
std::optional<HostStat> statHost(int dirFd, const char* name, bool follow);
inline std::optional<HostStat> statHost(const std::filesystem::path& path, bool follow) {
    return statHost(AT_FDCWD, path.c_str(), follow);
}

// A file as Windows describes it. `own` is the entry itself, `target` what
// a link points at (when it is a link and the target exists); `name` is the
// Windows name of the entry ("" for a drive's root).
struct WindowsFacts {
    win::DWORD attributes = 0;
    win::FILETIME created, accessed, written;
    std::uint64_t size = 0;
};
WindowsFacts windowsFacts(const HostStat& own, const std::optional<HostStat>& target, std::string_view name);

// Seconds and nanoseconds since 1970 -> FILETIME (times before 1601 give 0).
win::FILETIME toFileTime(const timespec& t);

// The Win32 error number for an errno value.
win::DWORD errorFromErrno(int err);
// The same for a call that failed on `host`: a missing file is
// ERROR_FILE_NOT_FOUND, or ERROR_PATH_NOT_FOUND when its folder is missing too.
win::DWORD errorFromErrno(int err, const std::filesystem::path& host);

// The host folders the layer lists for a search and the host files it opens
// for reading, in order, while one is recorded: what a benchmark replays as
// a plain reader, the floor that the layer's own cost is measured against.
struct HostAccessLog {
    std::vector<std::filesystem::path> listed, read;
};
// Records into `log` until called with nullptr.
void recordHostAccess(HostAccessLog* log);
void noteListed(const std::filesystem::path& folder);
void noteRead(const std::filesystem::path& file);

} // namespace winsys
