#include "platform/files/files.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <set>
#include <utility>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/core/lasterror.h"
#include "platform/core/text.h"
#include "platform/files/hostfile.h"
#include "platform/files/paths.h"

namespace fs = std::filesystem;

namespace winsys {

namespace {

constexpr mode_t kNewFolderMode = 0755;
constexpr mode_t kNewFileMode = 0644;

struct Target {
    WindowsPath win;
    fs::path host;
    std::optional<HostStat> found; // the entry itself as the resolution found it

    // The entry's own facts (not followed): what the resolution found, or a
    // look now; nothing, with errno set, when it is not there.
    std::optional<HostStat> own() const {
        if (found) return found;
        return statHost(host, false);
    }
};

// Reads may take the folder memory's answer; what removes, replaces or
// writes resolves from the disk (Resolve::FromDisk).
Result<Target> resolveTarget(std::string_view path, Resolve how) {
    auto parsed = parseWindowsPath(path);
    if (!parsed) return parsed.error();
    std::optional<HostStat> found;
    auto host = resolveHostPath(*parsed, redirectionApplies(*parsed), &found, how);
    if (!host) return host.error();
    return Target{std::move(parsed).value(), std::move(host).value(), std::move(found)};
}

Error fileError(win::DWORD code, std::string_view what, std::string_view path) {
    return Error{code, std::string(what) + " '" + std::string(path) + "'"};
}

// Drops what the path cache holds of `host` when the call that changes it
// returns, whichever way it returns.
class ForgetOnReturn {
public:
    explicit ForgetOnReturn(fs::path host) : host_(std::move(host)) {}
    ~ForgetOnReturn() { forgetResolvedPaths(host_); }
    ForgetOnReturn(const ForgetOnReturn&) = delete;
    ForgetOnReturn& operator=(const ForgetOnReturn&) = delete;

private:
    fs::path host_;
};

// The file a write through `host` lands in: the target when it is a link.
fs::path throughLink(const fs::path& host) {
    auto own = statHost(host, false);
    if (!own || !own->isLink()) return host;
    std::error_code ec;
    fs::path target = fs::canonical(host, ec);
    return ec ? host : target;
}

win::DWORD writeAll(int fd, const std::uint8_t* p, std::size_t n) {
    while (n > 0) {
        const ssize_t w = ::write(fd, p, n);
        if (w < 0) {
            if (errno == EINTR) continue;
            return errorFromErrno(errno);
        }
        p += w;
        n -= static_cast<std::size_t>(w);
    }
    return win::ERROR_SUCCESS;
}

// A new file beside the one it will replace; removed unless committed.
class TempFile {
public:
    explicit TempFile(const fs::path& folder) : path_((folder / ".sorlix-XXXXXX").string()) {
        fd_ = ::mkostemp(path_.data(), O_CLOEXEC);
        if (fd_ < 0) error_ = errno;
    }
    ~TempFile() {
        if (fd_ >= 0) ::close(fd_);
        if (!error_ && !committed_) ::unlink(path_.c_str());
    }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;

    bool created() const { return !error_; }
    int error() const { return error_; } // errno of a failed creation
    int fd() const { return fd_; }

    // Closes the file and renames it to `to` (only when nothing is there
    // when `noReplace`; EEXIST is then left to the caller). Returns errno.
    int commit(const fs::path& to, bool noReplace) {
        const int fd = fd_;
        fd_ = -1;
        if (::close(fd) != 0) return errno;
        if (noReplace) {
            if (::renameat2(AT_FDCWD, path_.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) != 0) {
                if (errno != EINVAL && errno != ENOSYS) return errno;
                // A file system without RENAME_NOREPLACE: link() never replaces.
                if (::link(path_.c_str(), to.c_str()) != 0) return errno;
                ::unlink(path_.c_str());
            }
        } else if (::rename(path_.c_str(), to.c_str()) != 0) {
            return errno;
        }
        committed_ = true;
        return 0;
    }

private:
    std::string path_;
    int fd_ = -1;
    int error_ = 0;
    bool committed_ = false;
};

// Copies the host file `src` to `dst`, which must be a file's path.
win::DWORD copyHostFile(const fs::path& src, const fs::path& dstGiven, bool failIfExists) {
    auto from = statHost(src, true);
    if (!from) return errorFromErrno(errno, src);
    if (from->isDir()) return win::ERROR_ACCESS_DENIED;
    fs::path dst = dstGiven;
    if (auto to = statHost(dst, true)) {
        if (failIfExists) return win::ERROR_FILE_EXISTS;
        if (to->isDir()) return win::ERROR_ACCESS_DENIED;
        if (to->sameFile(*from)) return win::ERROR_SHARING_VIOLATION; // it would wipe the source
        if (!to->ownerWritable()) return win::ERROR_ACCESS_DENIED;
        dst = throughLink(dst);
    } else if (errno != ENOENT) {
        return errorFromErrno(errno, dst);
    }

    const int in = ::open(src.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) return errorFromErrno(errno, src);
    TempFile tmp(dst.parent_path());
    if (!tmp.created()) {
        ::close(in);
        return errorFromErrno(tmp.error(), dst);
    }
    std::vector<std::uint8_t> buf(1 << 16);
    win::DWORD rc = win::ERROR_SUCCESS;
    for (;;) {
        const ssize_t r = ::read(in, buf.data(), buf.size());
        if (r < 0 && errno == EINTR) continue;
        if (r < 0) rc = errorFromErrno(errno);
        if (r <= 0) break;
        rc = writeAll(tmp.fd(), buf.data(), static_cast<std::size_t>(r));
        if (rc) break;
    }
    ::close(in);
    if (rc) return rc;
    // The copy keeps the source's read-only state; others never get write.
    const timespec times[2] = {{0, UTIME_NOW}, from->modified};
    if (::fchmod(tmp.fd(), from->mode & 0755) != 0 || ::futimens(tmp.fd(), times) != 0) return errorFromErrno(errno);
    if (const int err = tmp.commit(dst, failIfExists))
        return err == EEXIST ? win::ERROR_FILE_EXISTS : errorFromErrno(err, dst);
    return win::ERROR_SUCCESS;
}

// Opens a regular file for reading. O_NONBLOCK lets a pipe without a writer
// open at once, so that it can be refused instead of waited for.
Result<int> openRegular(std::string_view windowsPath, struct stat* st) {
    auto t = resolveTarget(windowsPath, Resolve::FromMemory);
    if (!t) return t.error();
    const int fd = ::open(t->host.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) return fileError(errorFromErrno(errno, t->host), "cannot open", windowsPath);
    if (::fstat(fd, st) != 0 || !S_ISREG(st->st_mode)) {
        const bool folder = S_ISDIR(st->st_mode);
        ::close(fd);
        return fileError(win::ERROR_ACCESS_DENIED, folder ? "cannot read the folder" : "cannot read what is not a regular file",
                         windowsPath);
    }
    noteRead(t->host);
    return fd;
}

} // namespace

Result<std::vector<std::uint8_t>> readFile(std::string_view windowsPath, std::size_t maxBytes) {
    struct stat st {};
    auto opened = openRegular(windowsPath, &st);
    if (!opened) return opened.error();
    const int fd = *opened;
    std::vector<std::uint8_t> out;
    std::uint8_t buf[1 << 16];
    while (out.size() < maxBytes) {
        const ssize_t r = ::read(fd, buf, std::min(sizeof buf, maxBytes - out.size()));
        if (r < 0 && errno == EINTR) continue;
        if (r < 0) {
            const int err = errno;
            ::close(fd);
            return fileError(errorFromErrno(err), "cannot read", windowsPath);
        }
        if (r == 0) break;
        out.insert(out.end(), buf, buf + r);
    }
    ::close(fd);
    return out;
}

MappedFile::MappedFile(MappedFile&& o) noexcept : data_(o.data_), size_(o.size_) {
    o.data_ = nullptr;
    o.size_ = 0;
}

MappedFile& MappedFile::operator=(MappedFile&& o) noexcept {
    if (this != &o) {
        this->~MappedFile();
        data_ = std::exchange(o.data_, nullptr);
        size_ = std::exchange(o.size_, 0);
    }
    return *this;
}

MappedFile::~MappedFile() {
    if (data_) ::munmap(const_cast<std::uint8_t*>(data_), size_);
}

Result<MappedFile> mapFile(std::string_view windowsPath) {
    struct stat st {};
    auto opened = openRegular(windowsPath, &st);
    if (!opened) return opened.error();
    MappedFile m;
    if (st.st_size > 0) {
        void* p = ::mmap(nullptr, static_cast<std::size_t>(st.st_size), PROT_READ, MAP_PRIVATE, *opened, 0);
        const int err = errno;
        ::close(*opened);
        if (p == MAP_FAILED) return fileError(errorFromErrno(err), "cannot read", windowsPath);
        m.data_ = static_cast<const std::uint8_t*>(p);
        m.size_ = static_cast<std::size_t>(st.st_size);
    } else {
        ::close(*opened);
    }
    return m;
}

Result<void> writeFile(std::string_view windowsPath, const void* data, std::size_t size) {
    auto t = resolveTarget(windowsPath, Resolve::FromDisk);
    if (!t) return t.error();
    const ForgetOnReturn forget(t->host);
    fs::path host = t->host;
    mode_t mode = kNewFileMode;
    std::optional<HostStat> old = statHost(host, true);
    if (old) {
        if (old->isDir()) return fileError(win::ERROR_ACCESS_DENIED, "cannot write over the folder", windowsPath);
        if (!old->ownerWritable()) return fileError(win::ERROR_ACCESS_DENIED, "cannot write the read-only file", windowsPath);
        mode = old->mode & 07777;
        host = throughLink(host);
    } else if (errno != ENOENT) {
        return fileError(errorFromErrno(errno, host), "cannot write", windowsPath);
    }

    TempFile tmp(host.parent_path());
    if (!tmp.created()) return fileError(errorFromErrno(tmp.error(), host), "cannot write", windowsPath);
    if (auto rc = writeAll(tmp.fd(), static_cast<const std::uint8_t*>(data), size))
        return fileError(rc, "cannot write", windowsPath);
    if (::fchmod(tmp.fd(), mode) != 0) return fileError(errorFromErrno(errno), "cannot write", windowsPath);
    // A replaced file stays its owner's where we may say so (we are root);
    // otherwise it becomes ours, as with any editor that saves this way.
    if (old && (old->owner != ::geteuid() || old->group != ::getegid()))
        (void)!::fchown(tmp.fd(), old->owner, old->group);
    if (const int err = tmp.commit(host, false)) return fileError(errorFromErrno(err, host), "cannot write", windowsPath);
    return {};
}

Result<void> appendFile(std::string_view windowsPath, std::string_view bytes) {
    auto t = resolveTarget(windowsPath, Resolve::FromDisk);
    if (!t) return t.error();
    const ForgetOnReturn forget(t->host);
    if (std::optional<HostStat> old = statHost(t->host, true)) {
        if (old->isDir()) return fileError(win::ERROR_ACCESS_DENIED, "cannot write over the folder", windowsPath);
        if (!old->ownerWritable()) return fileError(win::ERROR_ACCESS_DENIED, "cannot write the read-only file", windowsPath);
    }
    const int fd = ::open(t->host.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, kNewFileMode);
    if (fd < 0) return fileError(errorFromErrno(errno, t->host), "cannot write", windowsPath);
    const win::DWORD rc = writeAll(fd, reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    ::close(fd);
    if (rc) return fileError(rc, "cannot write", windowsPath);
    return {};
}

} // namespace winsys

namespace win {

namespace {

using winsys::errorFromErrno;
using winsys::statHost;

BOOL fail(DWORD code) {
    SetLastError(code);
    return 0;
}

// The entry's facts as Windows gives them, or the error number.
DWORD factsOf(const std::string& path, winsys::WindowsFacts* facts) {
    auto t = winsys::resolveTarget(path, winsys::Resolve::FromMemory);
    if (!t) return t.error().code;
    auto own = t->own();
    if (!own) return errorFromErrno(errno, t->host);
    std::optional<winsys::HostStat> target;
    if (own->isLink()) target = statHost(t->host, true);
    *facts = winsys::windowsFacts(*own, target, t->win.parts.empty() ? "" : t->host.filename().string());
    return ERROR_SUCCESS;
}

} // namespace

DWORD GetFileAttributes(const std::string& path) {
    winsys::WindowsFacts facts;
    if (DWORD rc = factsOf(path, &facts)) {
        SetLastError(rc);
        return INVALID_FILE_ATTRIBUTES;
    }
    return facts.attributes;
}

BOOL GetFileAttributesEx(const std::string& path, WIN32_FILE_ATTRIBUTE_DATA* data) {
    if (!data) return fail(ERROR_INVALID_PARAMETER);
    winsys::WindowsFacts facts;
    if (DWORD rc = factsOf(path, &facts)) return fail(rc);
    data->dwFileAttributes = facts.attributes;
    data->ftCreationTime = facts.created;
    data->ftLastAccessTime = facts.accessed;
    data->ftLastWriteTime = facts.written;
    data->nFileSizeHigh = static_cast<DWORD>(facts.size >> 32);
    data->nFileSizeLow = static_cast<DWORD>(facts.size & 0xFFFFFFFFu);
    return 1;
}

BOOL SetFileAttributes(const std::string& path, DWORD attributes) {
    auto t = winsys::resolveTarget(path, winsys::Resolve::FromDisk);
    if (!t) return fail(t.error().code);
    auto st = statHost(t->host, true);
    if (!st) return fail(errorFromErrno(errno, t->host));
    const mode_t mode = st->mode & 07777;
    mode_t wanted = mode;
    if (attributes & FILE_ATTRIBUTE_READONLY) wanted &= ~mode_t{0222};
    else if (!st->ownerWritable()) wanted |= S_IWUSR;
    if (wanted != mode && ::chmod(t->host.c_str(), wanted) != 0) return fail(errorFromErrno(errno, t->host));
    return 1;
}

BOOL CreateDirectory(const std::string& path) {
    auto t = winsys::resolveTarget(path, winsys::Resolve::FromDisk);
    if (!t) return fail(t.error().code);
    const winsys::ForgetOnReturn forget(t->host);
    if (t->win.parts.empty()) return fail(ERROR_ACCESS_DENIED); // a drive's root
    if (::mkdir(t->host.c_str(), winsys::kNewFolderMode) != 0)
        return fail(errno == EEXIST ? ERROR_ALREADY_EXISTS : errorFromErrno(errno, t->host));
    return 1;
}

BOOL RemoveDirectory(const std::string& path) {
    auto t = winsys::resolveTarget(path, winsys::Resolve::FromDisk);
    if (!t) return fail(t.error().code);
    const winsys::ForgetOnReturn forget(t->host);
    if (t->win.parts.empty()) return fail(ERROR_ACCESS_DENIED);
    auto own = t->own();
    if (!own) return fail(errorFromErrno(errno, t->host));
    if (own->isLink()) {
        auto target = statHost(t->host, true);
        if (!target || !target->isDir()) return fail(ERROR_DIRECTORY);
        if (::unlink(t->host.c_str()) != 0) return fail(errorFromErrno(errno, t->host));
        return 1;
    }
    if (!own->isDir()) return fail(ERROR_DIRECTORY);
    if (!own->ownerWritable()) return fail(ERROR_ACCESS_DENIED);
    if (::rmdir(t->host.c_str()) != 0)
        return fail(errno == EEXIST || errno == ENOTEMPTY ? ERROR_DIR_NOT_EMPTY : errorFromErrno(errno, t->host));
    return 1;
}

BOOL DeleteFile(const std::string& path) {
    auto t = winsys::resolveTarget(path, winsys::Resolve::FromDisk);
    if (!t) return fail(t.error().code);
    const winsys::ForgetOnReturn forget(t->host);
    auto own = t->own();
    if (!own) return fail(errorFromErrno(errno, t->host));
    if (own->isLink()) {
        auto target = statHost(t->host, true);
        if (target && target->isDir()) return fail(ERROR_ACCESS_DENIED); // RemoveDirectory's job
    } else if (own->isDir() || !own->ownerWritable()) {
        return fail(ERROR_ACCESS_DENIED);
    }
    if (::unlink(t->host.c_str()) != 0) return fail(errorFromErrno(errno, t->host));
    return 1;
}

BOOL CopyFile(const std::string& existingFile, const std::string& newFile, BOOL failIfExists) {
    auto src = winsys::resolveTarget(existingFile, winsys::Resolve::FromMemory);
    if (!src) return fail(src.error().code);
    auto dst = winsys::resolveTarget(newFile, winsys::Resolve::FromDisk);
    if (!dst) return fail(dst.error().code);
    const winsys::ForgetOnReturn forget(dst->host);
    if (dst->win.parts.empty()) return fail(ERROR_ACCESS_DENIED);
    if (DWORD rc = winsys::copyHostFile(src->host, dst->host, failIfExists != 0)) return fail(rc);
    return 1;
}

BOOL MoveFile(const std::string& existingFile, const std::string& newFile) {
    auto src = winsys::resolveTarget(existingFile, winsys::Resolve::FromDisk);
    if (!src) return fail(src.error().code);
    auto dst = winsys::resolveTarget(newFile, winsys::Resolve::FromDisk);
    if (!dst) return fail(dst.error().code);
    const winsys::ForgetOnReturn forgetSource(src->host), forgetTarget(dst->host);
    if (src->win.parts.empty() || dst->win.parts.empty()) return fail(ERROR_ACCESS_DENIED);
    auto from = statHost(src->host, false);
    if (!from) return fail(errorFromErrno(errno, src->host));

    fs::path to = dst->host;
    if (auto there = statHost(to, false)) {
        // The target resolved to the source itself: a change of case only.
        const std::string& given = dst->win.parts.back();
        if (!there->sameFile(*from) || to != src->host || !winsys::equalsNoCase(given, src->host.filename().string()))
            return fail(ERROR_ALREADY_EXISTS);
        to = to.parent_path() / given;
        if (to == src->host) return 1;
        if (::rename(src->host.c_str(), to.c_str()) != 0) return fail(errorFromErrno(errno, to));
        return 1;
    }
    if (::renameat2(AT_FDCWD, src->host.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return 1;
    int err = errno;
    if (err == EINVAL || err == ENOSYS) {
        // No RENAME_NOREPLACE here (or a folder into itself, which rename refuses too).
        err = ::rename(src->host.c_str(), to.c_str()) == 0 ? 0 : errno;
        if (!err) return 1;
    }
    if (err == EEXIST) return fail(ERROR_ALREADY_EXISTS);
    if (err != EXDEV) return fail(errorFromErrno(err, to));
    // Another host file system: files are copied and the source removed.
    if (from->isDir() || from->isLink()) return fail(ERROR_NOT_SAME_DEVICE);
    if (DWORD rc = winsys::copyHostFile(src->host, to, true)) return fail(rc);
    if (::unlink(src->host.c_str()) != 0) return fail(errorFromErrno(errno, src->host));
    return 1;
}

UINT GetTempFileName(const std::string& folder, const std::string& prefix, UINT unique, std::string* tempFile) {
    if (!tempFile) return fail(ERROR_INVALID_PARAMETER);
    auto t = winsys::resolveTarget(folder, winsys::Resolve::FromDisk);
    if (!t && t.error().code != ERROR_PATH_NOT_FOUND) return fail(t.error().code);
    auto st = t ? statHost(t->host, true) : std::nullopt;
    if (!st || !st->isDir()) return fail(ERROR_DIRECTORY);
    if (!winsys::isAllowedInFileName(prefix)) return fail(ERROR_INVALID_NAME);

    // At most three characters of the prefix, counted in code points.
    std::size_t cut = 0;
    for (int chars = 0; cut < prefix.size() && chars < 3; ++chars) {
        ++cut;
        while (cut < prefix.size() && (static_cast<unsigned char>(prefix[cut]) & 0xC0) == 0x80) ++cut;
    }
    const std::string head = prefix.substr(0, cut);
    std::string base = folder;
    if (base.empty() || (base.back() != '\\' && base.back() != '/')) base += '\\';
    auto nameFor = [&](UINT n) {
        char hex[16];
        std::snprintf(hex, sizeof hex, "%X", n);
        return head + hex + ".tmp";
    };
    if (unique != 0) {
        *tempFile = base + nameFor(unique & 0xFFFFu);
        return unique;
    }

    // Names taken in any case, so that the name is free as Windows sees it.
    std::set<std::string> taken;
    if (DIR* d = ::opendir(t->host.c_str())) {
        while (const dirent* e = ::readdir(d)) taken.insert(winsys::upperCase(e->d_name));
        ::closedir(d);
    }
    const auto start = static_cast<UINT>(
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch()).count());
    for (UINT k = 0; k < 0xFFFFu; ++k) {
        const UINT n = (start + k) % 0xFFFFu + 1; // 1 to 0xFFFF
        const std::string name = nameFor(n);
        if (taken.count(winsys::upperCase(name))) continue;
        const fs::path host = t->host / name;
        const winsys::ForgetOnReturn forget(host);
        const int fd = ::open(host.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, winsys::kNewFileMode);
        if (fd >= 0) {
            ::close(fd);
            *tempFile = base + name;
            return n;
        }
        if (errno != EEXIST) return fail(errorFromErrno(errno, host));
    }
    return fail(ERROR_FILE_EXISTS);
}

DWORD GetFullPathName(const std::string& path, std::string* fullPath) {
    if (!fullPath) return fail(ERROR_INVALID_PARAMETER);
    auto parsed = winsys::parseWindowsPath(path, true);
    if (!parsed) return fail(parsed.error().code);
    *fullPath = winsys::formatWindowsPath(*parsed);
    return static_cast<DWORD>(winsys::utf16Length(*fullPath));
}

} // namespace win
