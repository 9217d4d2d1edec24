#include "platform/files/tree.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <pthread.h>
#include <random>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/core/machine.h"
#include "platform/core/text.h"
#include "platform/files/hostfile.h"
#include "platform/files/inside_prefix.h"
#include "platform/files/paths.h"
#include "platform/system/message.h"

namespace fs = std::filesystem;

namespace winsys {

std::string describeTreeError(const TreeError& e) {
    if (!e.refusal.empty()) return e.refusal;
    std::string text;
    win::FormatMessage(win::FORMAT_MESSAGE_FROM_SYSTEM | win::FORMAT_MESSAGE_IGNORE_INSERTS, e.code, 0, &text);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    return "'" + e.path + "': " + text;
}

std::optional<std::string> hostPathOf(int fd) {
    const std::string link = "/proc/self/fd/" + std::to_string(fd);
    std::error_code ec;
    const fs::path p = fs::read_symlink(link, ec);
    if (ec) return std::nullopt;
    return p.string();
}

namespace {

constexpr int kOpenFolder = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

TreeError systemError(int err, std::string path, bool folder) {
    return TreeError{errorFromErrno(err), std::move(path), folder, {}};
}

TreeError refusal(win::DWORD code, std::string path, bool folder, std::string why) {
    return TreeError{code, std::move(path), folder, std::move(why)};
}

// A walk keeps one handle open for each level, on each side; deep trees
// need more than the usual soft limit, so it goes up to the hard one once.
void allowManyOpenFolders() {
    static const bool raised = [] {
        rlimit r{};
        if (::getrlimit(RLIMIT_NOFILE, &r) == 0 && r.rlim_cur < r.rlim_max) {
            r.rlim_cur = r.rlim_max;
            ::setrlimit(RLIMIT_NOFILE, &r);
        }
        return true;
    }();
    (void)raised;
}

// Runs a walk on a thread of its own with a stack for very deep trees (the
// pages are only taken as the walk goes down), and waits for it.
template <class F>
auto onDeepStack(F&& walk) -> decltype(walk()) {
    using R = decltype(walk());
    struct Job {
        F* walk;
        std::optional<R> result;
    } job{&walk, std::nullopt};
    pthread_attr_t attr;
    pthread_t thread;
    bool started = false;
    if (::pthread_attr_init(&attr) == 0) {
        constexpr std::size_t kStack = std::size_t{1} << 30;
        started = ::pthread_attr_setstacksize(&attr, kStack) == 0 &&
                  ::pthread_create(&thread, &attr, [](void* p) -> void* {
                      auto* j = static_cast<Job*>(p);
                      j->result.emplace((*j->walk)());
                      return nullptr;
                  }, &job) == 0;
        ::pthread_attr_destroy(&attr);
    }
    if (!started) return walk(); // no thread to be had: the caller's stack it is
    ::pthread_join(thread, nullptr);
    return std::move(*job.result);
}

// Whether a host name can be a Windows name: one the layer can spell in a
// path (no separator, none of the characters Windows refuses) and text
// (UTF-8 that survives the trip to UTF-16 and back).
bool windowsCanHold(const std::string& name) {
    return isAllowedInFileName(name) && toUtf8KeepingSurrogates(toUtf16KeepingSurrogates(name)) == name;
}

const char* specialKind(mode_t mode) {
    if (S_ISFIFO(mode)) return "a pipe";
    if (S_ISSOCK(mode)) return "a socket";
    if (S_ISCHR(mode) || S_ISBLK(mode)) return "a device";
    return "neither a file nor a folder nor a link";
}

bool sameTimes(const timespec& a, const timespec& b) { return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec; }

constexpr std::string_view kStagedPrefix = ".sorlix-";

std::string randomName() {
    static thread_local std::mt19937_64 gen{std::random_device{}()};
    static const char kChars[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::string s(kStagedPrefix);
    for (int i = 0; i < 10; ++i) s += kChars[gen() % (sizeof kChars - 1)];
    return s;
}

// Copies `length` bytes from `at` of `in` to the same place of `out`.
// Returns errno; `reached` says where the copy ended (short when the
// source got shorter meanwhile).
int copyRange(int in, int out, off_t at, off_t length, off_t* reached) {
    off_t from = at, to = at;
    const off_t end = at + length;
    bool inKernel = true;
    *reached = at;
    while (inKernel && from < end) {
        const ssize_t n = ::copy_file_range(in, &from, out, &to, static_cast<std::size_t>(end - from), 0);
        if (n > 0) {
            *reached = from;
            continue;
        }
        if (n == 0) return 0; // the file got shorter: copy what there is
        if (errno == EINTR) continue;
        if (errno != EXDEV && errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP && errno != EPERM)
            return errno;
        inKernel = false;
    }
    std::vector<char> buf(static_cast<std::size_t>(std::min<off_t>(end - from, 1 << 17)));
    while (from < end) {
        const ssize_t r = ::pread(in, buf.data(), static_cast<std::size_t>(std::min<off_t>(end - from, static_cast<off_t>(buf.size()))), from);
        if (r < 0 && errno == EINTR) continue;
        if (r < 0) return errno;
        if (r == 0) return 0;
        for (ssize_t done = 0; done < r;) {
            const ssize_t w = ::pwrite(out, buf.data() + done, static_cast<std::size_t>(r - done), from + done);
            if (w < 0 && errno == EINTR) continue;
            if (w < 0) return errno;
            done += w;
        }
        from += r;
        *reached = from;
    }
    return 0;
}

// Copies the bytes of `in` (`st` as it is open) to the new, empty file
// `out`, holes kept: of a file with fewer blocks than bytes only the ranges
// holding data are written and the size is set at the end, so a sparse
// file takes no more room in its copy. Returns errno.
int copyBytes(int in, int out, const struct stat& st) {
    const off_t size = st.st_size;
    off_t reached = 0;
    if (static_cast<off_t>(st.st_blocks) * 512 >= size) return copyRange(in, out, 0, size, &reached); // no holes
    off_t at = 0;
    while (at < size) {
        off_t data = ::lseek(in, at, SEEK_DATA);
        if (data < 0 && errno == ENXIO) break; // a hole up to the end
        off_t hole = data < 0 ? size : ::lseek(in, data, SEEK_HOLE);
        if (data < 0) data = at; // the file system cannot say: all of it is data
        if (data >= size) break;
        if (hole < 0 || hole > size) hole = size;
        if (const int err = copyRange(in, out, data, hole - data, &reached)) return err;
        if (reached < hole) return 0; // the file got shorter: copy what there is
        at = hole;
    }
    // A hole at the end has no data to write: the size makes it.
    if (reached < size && ::ftruncate(out, size) != 0) return errno;
    return 0;
}

// Whether two open regular files hold the same bytes.
bool sameBytes(int a, int b, off_t size) {
    std::vector<char> x(1 << 16), y(1 << 16);
    off_t at = 0;
    while (at < size) {
        const std::size_t want = static_cast<std::size_t>(std::min<off_t>(size - at, static_cast<off_t>(x.size())));
        const ssize_t ra = ::pread(a, x.data(), want, at);
        const ssize_t rb = ::pread(b, y.data(), want, at);
        if (ra <= 0 || ra != rb || std::memcmp(x.data(), y.data(), static_cast<std::size_t>(ra)) != 0) return false;
        at += ra;
    }
    return true;
}

// The names of an open file's extended attributes of the user name space.
// False, with errno set, when they cannot be listed; a file system without
// extended attributes has none.
bool userAttributeNames(int fd, std::vector<std::string>* out) {
    out->clear();
    std::vector<char> names;
    for (;;) {
        const ssize_t size = ::flistxattr(fd, nullptr, 0);
        if (size < 0) return errno == EOPNOTSUPP;
        if (size == 0) return true;
        names.resize(static_cast<std::size_t>(size));
        const ssize_t got = ::flistxattr(fd, names.data(), names.size());
        if (got < 0 && errno == ERANGE) continue; // grew meanwhile
        if (got < 0) return false;
        for (std::size_t at = 0; at < static_cast<std::size_t>(got);) {
            std::string name(names.data() + at);
            at += name.size() + 1;
            if (name.rfind("user.", 0) == 0) out->push_back(std::move(name));
        }
        return true;
    }
}

bool userAttribute(int fd, const std::string& name, std::string* value) {
    for (;;) {
        const ssize_t size = ::fgetxattr(fd, name.c_str(), nullptr, 0);
        if (size < 0) return false;
        value->resize(static_cast<std::size_t>(size));
        const ssize_t got = ::fgetxattr(fd, name.c_str(), value->data(), value->size());
        if (got < 0 && errno == ERANGE) continue;
        if (got < 0) return false;
        value->resize(static_cast<std::size_t>(got));
        return true;
    }
}

// Gives `out` the user attributes of `in`, and (unless `outIsNew`) takes
// away those `in` has not. Returns errno; EOPNOTSUPP when `out`'s file
// system cannot keep them.
int matchUserAttributes(int in, int out, bool outIsNew) {
    std::vector<std::string> names, theirs;
    if (!userAttributeNames(in, &names)) return errno;
    if (!outIsNew && !userAttributeNames(out, &theirs)) return errno;
    std::string value, old;
    for (const std::string& name : names) {
        if (!userAttribute(in, name, &value)) {
            if (errno == ENODATA) continue; // taken away meanwhile
            return errno;
        }
        if (!outIsNew && userAttribute(out, name, &old) && old == value) continue;
        if (::fsetxattr(out, name.c_str(), value.data(), value.size(), 0) != 0) return errno;
    }
    for (const std::string& name : theirs)
        if (std::find(names.begin(), names.end(), name) == names.end() && ::fremovexattr(out, name.c_str()) != 0 &&
            errno != ENODATA)
            return errno;
    return 0;
}

// Whether two open files have the same user attributes.
bool sameUserAttributes(int a, int b) {
    std::vector<std::string> x, y;
    if (!userAttributeNames(a, &x) || !userAttributeNames(b, &y)) return false;
    std::sort(x.begin(), x.end());
    std::sort(y.begin(), y.end());
    if (x != y) return false;
    std::string u, v;
    for (const std::string& name : x)
        if (!userAttribute(a, name, &u) || !userAttribute(b, name, &v) || u != v) return false;
    return true;
}

// What a copy records of an entry: a folder by its identity alone (what
// changed in it shows in its entries), anything else with size and time.
FileStamp copiedStamp(const struct stat& st) {
    FileStamp stamp = stampOf(st);
    if (S_ISDIR(st.st_mode)) stamp.size = stamp.mtimeNs = 0;
    return stamp;
}

// A Windows path that grows by one name as the walk goes down and shrinks
// back on the way up.
class WalkPath {
public:
    explicit WalkPath(std::string start) : text_(std::move(start)) {}
    const std::string& text() const { return text_; }
    std::string below(const std::string& name) const { return text_ + '\\' + name; }
    class Step {
    public:
        Step(WalkPath& p, const std::string& name) : p_(p), size_(p.text_.size()) { p.text_ += '\\' + name; }
        ~Step() { p_.text_.resize(size_); }
        Step(const Step&) = delete;
        Step& operator=(const Step&) = delete;

    private:
        WalkPath& p_;
        std::size_t size_;
    };

private:
    std::string text_;
};

class Copier {
public:
    Copier(const TreeEntry& from, const TreeEntry& to, const CopyOptions& options)
        : options_(options), src_(from.windowsPath), dst_(to.windowsPath), srcStart_(from.windowsPath.size()) {}

    TreeResult copy(int srcFolder, const std::string& srcName, int dstFolder, const std::string& dstName) {
        struct stat st;
        if (::fstatat(srcFolder, srcName.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
            return systemError(errno, src_.text(), false);
        std::optional<struct stat> there;
        if (options_.mode == CopyMode::Merge) {
            struct stat d;
            if (::fstatat(dstFolder, dstName.c_str(), &d, AT_SYMLINK_NOFOLLOW) == 0) there = d;
            else if (errno != ENOENT) return systemError(errno, dst_.text(), false);
        }
        return copyEntry(srcFolder, srcName, st, dstFolder, dstName, there);
    }

private:
    TreeResult copyEntry(int srcFolder, const std::string& srcName, const struct stat& st, int dstFolder,
                         const std::string& dstName, const std::optional<struct stat>& there) {
        if (S_ISDIR(st.st_mode)) return copyFolder(srcFolder, srcName, st, dstFolder, dstName, there);
        if (S_ISREG(st.st_mode)) return copyFile(srcFolder, srcName, st, dstFolder, dstName, there);
        if (S_ISLNK(st.st_mode)) return copyLink(srcFolder, srcName, st, dstFolder, dstName, there);
        return refusal(win::ERROR_ACCESS_DENIED, src_.text(), false,
                       "'" + src_.text() + "' is " + specialKind(st.st_mode) +
                           ": only files, folders and links can be copied.");
    }

    TreeResult inTheWay() const {
        return refusal(win::ERROR_ALREADY_EXISTS, dst_.text(), false,
                       "'" + dst_.text() + "' is in the way: something of another kind is there.");
    }

    // Where a replacement is staged: the staging folder when it shares the
    // target's file system (a rename moves it), else the target's folder.
    int stagingFor(int dstFolder) const {
        if (options_.stagingFolder < 0) return dstFolder;
        struct stat a, b;
        if (::fstat(options_.stagingFolder, &a) != 0 || ::fstat(dstFolder, &b) != 0 || a.st_dev != b.st_dev)
            return dstFolder;
        return options_.stagingFolder;
    }

    static void setTimes(int folder, const std::string& name, const struct stat& st) {
        const timespec times[2] = {st.st_atim, st.st_mtim};
        ::utimensat(folder, name.c_str(), times, AT_SYMLINK_NOFOLLOW);
    }

    TreeResult copyLink(int srcFolder, const std::string& srcName, const struct stat& st, int dstFolder,
                        const std::string& dstName, const std::optional<struct stat>& there) {
        std::string target(static_cast<std::size_t>(st.st_size) + 1, '\0');
        for (;;) {
            const ssize_t n = ::readlinkat(srcFolder, srcName.c_str(), target.data(), target.size());
            if (n < 0) return systemError(errno, src_.text(), false);
            if (static_cast<std::size_t>(n) < target.size()) {
                target.resize(static_cast<std::size_t>(n));
                break;
            }
            target.resize(target.size() * 2);
        }
        if (there) {
            if (S_ISDIR(there->st_mode)) return inTheWay();
            if (S_ISLNK(there->st_mode)) {
                std::string old(target.size() + 1, '\0');
                const ssize_t n = ::readlinkat(dstFolder, dstName.c_str(), old.data(), old.size());
                if (n >= 0 && static_cast<std::size_t>(n) == target.size() && old.compare(0, target.size(), target) == 0) {
                    setTimes(dstFolder, dstName, st);
                    return std::nullopt;
                }
            }
            // Replaced whole: the new link is made aside and renamed over.
            const int staging = stagingFor(dstFolder);
            std::string temp;
            for (int tries = 0;; ++tries) {
                temp = randomName();
                if (::symlinkat(target.c_str(), staging, temp.c_str()) == 0) break;
                if (errno != EEXIST || tries > 100) return systemError(errno, dst_.text(), false);
            }
            if (::renameat(staging, temp.c_str(), dstFolder, dstName.c_str()) != 0) {
                const int err = errno;
                ::unlinkat(staging, temp.c_str(), 0);
                return systemError(err, dst_.text(), false);
            }
        } else if (::symlinkat(target.c_str(), dstFolder, dstName.c_str()) != 0) {
            return systemError(errno, dst_.text(), false);
        }
        setTimes(dstFolder, dstName, st);
        note(st);
        return std::nullopt;
    }

    TreeResult copyFile(int srcFolder, const std::string& srcName, const struct stat& st, int dstFolder,
                        const std::string& dstName, const std::optional<struct stat>& there) {
        UniqueFd in(::openat(srcFolder, srcName.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
        if (!in) return systemError(errno, src_.text(), false);
        struct stat now;
        // Replaced between the look and the open: not the file that was seen.
        if (::fstat(in.get(), &now) != 0 || !S_ISREG(now.st_mode) || now.st_ino != st.st_ino)
            return refusal(win::ERROR_ACCESS_DENIED, src_.text(), false,
                           "'" + src_.text() + "' changed while it was being copied.");
        const mode_t mode = st.st_mode & 07777;
        const timespec times[2] = {st.st_atim, st.st_mtim};

        if (there) {
            if (S_ISDIR(there->st_mode)) return inTheWay();
            if (S_ISREG(there->st_mode) && there->st_size == st.st_size) {
                UniqueFd old(::openat(dstFolder, dstName.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
                // Other attributes: replaced whole, as a read-only file
                // could not take them in place.
                if (old && sameBytes(in.get(), old.get(), st.st_size) && sameUserAttributes(in.get(), old.get())) {
                    if ((there->st_mode & 07777) != mode && ::fchmod(old.get(), mode) != 0)
                        return systemError(errno, dst_.text(), false);
                    if (!sameTimes(there->st_mtim, st.st_mtim) && ::futimens(old.get(), times) != 0)
                        return systemError(errno, dst_.text(), false);
                    return std::nullopt;
                }
            }
            // Written aside in full, then renamed over what is there.
            const int staging = stagingFor(dstFolder);
            std::string temp;
            UniqueFd out;
            for (int tries = 0; !out; ++tries) {
                temp = randomName();
                out = UniqueFd(::openat(staging, temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
                if (!out && (errno != EEXIST || tries > 100)) return systemError(errno, dst_.text(), false);
            }
            int err = copyBytes(in.get(), out.get(), now);
            TreeResult kept = err ? std::nullopt : attributes(in.get(), out.get(), true, false);
            if (!err && !kept && (::fchmod(out.get(), mode) != 0 || ::futimens(out.get(), times) != 0)) err = errno;
            if (!err && !kept && ::renameat(staging, temp.c_str(), dstFolder, dstName.c_str()) != 0) err = errno;
            if (err || kept) {
                ::unlinkat(staging, temp.c_str(), 0);
                return kept ? kept : systemError(err, dst_.text(), false);
            }
            return std::nullopt;
        }

        UniqueFd out(::openat(dstFolder, dstName.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
        if (!out) return systemError(errno, dst_.text(), false);
        int err = copyBytes(in.get(), out.get(), now);
        // Attributes while the new file is still writable by its owner.
        TreeResult kept = err ? std::nullopt : attributes(in.get(), out.get(), true, false);
        if (!err && !kept && (::fchmod(out.get(), mode) != 0 || ::futimens(out.get(), times) != 0)) err = errno;
        if (err || kept) {
            // A half-written file is not left where the copy was meant to be.
            ::unlinkat(dstFolder, dstName.c_str(), 0);
            return kept ? kept : systemError(err, dst_.text(), false);
        }
        note(now);
        return std::nullopt;
    }

    TreeResult copyFolder(int srcFolder, const std::string& srcName, const struct stat& st, int dstFolder,
                          const std::string& dstName, const std::optional<struct stat>& there) {
        UniqueFd in(::openat(srcFolder, srcName.c_str(), kOpenFolder));
        if (!in) return systemError(errno, src_.text(), true);
        UniqueFd out;
        std::unordered_map<std::string, std::string> existing; // folded name -> name, of a merged folder
        if (there) {
            if (!S_ISDIR(there->st_mode)) {
                if (S_ISLNK(there->st_mode))
                    return refusal(win::ERROR_CANT_RESOLVE_FILENAME, dst_.text(), true,
                                   "'" + dst_.text() + "' is a link: a copy only writes into real folders.");
                return inTheWay();
            }
            out = UniqueFd(::openat(dstFolder, dstName.c_str(), kOpenFolder));
            if (!out) return systemError(errno, dst_.text(), true);
            if ((there->st_mode & 0700) != 0700 && ::fchmod(out.get(), there->st_mode | 0700) != 0)
                return systemError(errno, dst_.text(), true);
            std::vector<FolderEntry> names;
            if (!listFolder(out.get(), &names)) return systemError(errno, dst_.text(), true);
            for (FolderEntry& n : names) existing.emplace(upperCase(n.name), std::move(n.name));
        } else {
            if (::mkdirat(dstFolder, dstName.c_str(), 0700) != 0) return systemError(errno, dst_.text(), true);
            out = UniqueFd(::openat(dstFolder, dstName.c_str(), kOpenFolder));
            if (!out) return systemError(errno, dst_.text(), true);
        }

        if (auto failed = attributes(in.get(), out.get(), !there, true)) return failed;
        // Recorded as looked at: a folder put in its place since then is
        // another one, which a removal by the record leaves.
        note(st);

        std::vector<FolderEntry> entries;
        if (!listFolder(in.get(), &entries)) return systemError(errno, src_.text(), true);
        std::unordered_map<std::string, std::string> seen; // folded -> name, for the case check
        for (const FolderEntry& e : entries) {
            WalkPath::Step s(src_, e.name);
            if (options_.mode == CopyMode::Fresh) {
                if (!windowsCanHold(e.name))
                    return refusal(win::ERROR_INVALID_NAME, src_.text(), false,
                                   "'" + src_.text() + "' has a name that Windows cannot hold.");
                auto [at, fresh] = seen.emplace(upperCase(e.name), e.name);
                if (!fresh)
                    return refusal(win::ERROR_ALREADY_EXISTS, src_.text(), false,
                                   "'" + src_.text() + "' and '" + src_.text().substr(0, src_.text().size() - e.name.size()) +
                                       at->second + "' differ only in case, which Windows cannot tell apart.");
            }
            struct stat est;
            if (::fstatat(in.get(), e.name.c_str(), &est, AT_SYMLINK_NOFOLLOW) != 0)
                return systemError(errno, src_.text(), false);
            std::string target = e.name;
            std::optional<struct stat> thereToo;
            if (!existing.empty()) {
                if (auto f = existing.find(upperCase(e.name)); f != existing.end()) {
                    target = f->second;
                    struct stat d;
                    if (::fstatat(out.get(), target.c_str(), &d, AT_SYMLINK_NOFOLLOW) == 0) thereToo = d;
                    else if (errno != ENOENT) return systemError(errno, dst_.below(target), false);
                }
            }
            WalkPath::Step d(dst_, target);
            if (auto failed = copyEntry(in.get(), e.name, est, out.get(), target, thereToo)) return failed;
        }
        const timespec times[2] = {st.st_atim, st.st_mtim};
        if (::fchmod(out.get(), st.st_mode & 07777) != 0 || ::futimens(out.get(), times) != 0)
            return systemError(errno, dst_.text(), true);
        return std::nullopt;
    }

    void note(const struct stat& st) {
        if (options_.record) (*options_.record)[src_.text().substr(srcStart_)] = copiedStamp(st);
    }

    // The user attributes of `in` onto `out`; a file system that cannot
    // keep them is named.
    TreeResult attributes(int in, int out, bool outIsNew, bool folder) {
        const int err = matchUserAttributes(in, out, outIsNew);
        if (err == EOPNOTSUPP)
            return refusal(win::ERROR_NOT_SUPPORTED, dst_.text(), folder,
                           "'" + src_.text() + "' has extended attributes that '" + dst_.text() + "' cannot keep.");
        if (err) return systemError(err, dst_.text(), folder);
        return std::nullopt;
    }

    CopyOptions options_;
    WalkPath src_, dst_;
    std::size_t srcStart_; // where the path below the copy's start begins in src_
};

class Remover {
public:
    Remover(std::string path, bool evenReadOnly, const CopyRecord* asCopied = nullptr,
            std::vector<KeptEntry>* kept = nullptr)
        : start_(path.size()), path_(std::move(path)), evenReadOnly_(evenReadOnly), asCopied_(asCopied), kept_(kept) {}

    TreeResult remove(int folder, const std::string& name, unsigned char type) {
        bool isFolder = type == DT_DIR;
        mode_t mode = 0;
        if (asCopied_ || type == DT_UNKNOWN || (type == DT_REG && !evenReadOnly_) || type == DT_DIR) {
            struct stat st;
            if (::fstatat(folder, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
                return systemError(errno, path_.text(), false);
            isFolder = S_ISDIR(st.st_mode);
            mode = st.st_mode;
            if (asCopied_) {
                const auto copied = asCopied_->find(path_.text().substr(start_));
                if (copied == asCopied_->end() || copied->second != copiedStamp(st)) {
                    kept_->push_back({path_.text(), copied != asCopied_->end()});
                    return std::nullopt;
                }
            }
            if (!evenReadOnly_ && S_ISREG(mode) && !(mode & S_IWUSR))
                return TreeError{win::ERROR_ACCESS_DENIED, path_.text(), false, {}};
        }
        if (!isFolder) {
            if (::unlinkat(folder, name.c_str(), 0) != 0) return systemError(errno, path_.text(), false);
            return std::nullopt;
        }
        const std::size_t keptBefore = kept_ ? kept_->size() : 0;
        {
            UniqueFd fd(::openat(folder, name.c_str(), kOpenFolder));
            if (!fd) return systemError(errno, path_.text(), true);
            const bool opened = !(mode & S_IWUSR) || !(mode & S_IXUSR);
            if (opened) {
                if (!evenReadOnly_) return TreeError{win::ERROR_ACCESS_DENIED, path_.text(), true, {}};
                if (::fchmod(fd.get(), mode | 0700) != 0) return systemError(errno, path_.text(), true);
            }
            std::vector<FolderEntry> entries;
            if (!listFolder(fd.get(), &entries)) return systemError(errno, path_.text(), true);
            for (const FolderEntry& e : entries) {
                WalkPath::Step s(path_, e.name);
                if (auto failed = remove(fd.get(), e.name, e.type)) return failed;
            }
            if (kept_ && kept_->size() > keptBefore) {
                // It holds what stays, so it stays too, as it was.
                if (opened) ::fchmod(fd.get(), mode & 07777);
                return std::nullopt;
            }
        }
        if (::unlinkat(folder, name.c_str(), AT_REMOVEDIR) != 0) return systemError(errno, path_.text(), true);
        return std::nullopt;
    }

private:
    std::size_t start_; // where the path below the removal's start begins
    WalkPath path_;
    bool evenReadOnly_;
    const CopyRecord* asCopied_;
    std::vector<KeptEntry>* kept_;
};

} // namespace

bool isStagedName(std::string_view name) { return name.substr(0, kStagedPrefix.size()) == kStagedPrefix; }

std::optional<std::string> findInFolder(int folder, std::string_view name) {
    const std::string given(name);
    struct stat st;
    if (::fstatat(folder, given.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) return given;
    std::vector<FolderEntry> entries;
    if (!listFolder(folder, &entries)) return std::nullopt;
    std::optional<std::string> best;
    for (FolderEntry& e : entries)
        if (equalsNoCase(e.name, given) && (!best || e.name < *best)) best = std::move(e.name);
    return best;
}

std::optional<TreeError> openFolder(std::string_view windowsFolder, UniqueFd* out) {
    // What is opened here is copied, removed or written into: found afresh.
    auto host = toHostPath(windowsFolder, Resolve::FromDisk);
    if (!host) return TreeError{host.error().code, std::string(windowsFolder), true, {}};
    UniqueFd fd(::open(host->c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!fd) return TreeError{errorFromErrno(errno, *host), std::string(windowsFolder), true, {}};
    *out = std::move(fd);
    return std::nullopt;
}

std::optional<TreeError> openEntry(std::string_view windowsPath, FoundEntry* out) {
    auto parsed = parseWindowsPath(windowsPath);
    if (!parsed) return TreeError{parsed.error().code, std::string(windowsPath), false, {}};
    if (parsed->parts.empty()) return TreeError{win::ERROR_INVALID_NAME, std::string(windowsPath), true, {}};
    WindowsPath parent = *parsed;
    parent.parts.pop_back();
    parent.trailingSeparator = false;
    if (auto failed = openFolder(formatWindowsPath(parent), &out->folder)) return failed;
    const std::optional<std::string> found = findInFolder(out->folder.get(), parsed->parts.back());
    out->exists = found.has_value();
    out->name = found ? *found : parsed->parts.back();
    return std::nullopt;
}

namespace {
// Goes down from the open folder `fd` (the path `walked`) through
// parts[from...], each opened from its parent without following a link.
std::optional<TreeError> walkDown(UniqueFd fd, std::string walked, const WindowsPath& path, std::size_t from,
                                  bool create, UniqueFd* out) {
    const bool toSysWow64 = redirectionApplies(path);
    for (std::size_t k = from; k < path.parts.size(); ++k) {
        const std::string part = (toSysWow64 && k == 1) ? std::string("syswow64") : path.parts[k];
        walked += '\\' + part;
        std::optional<std::string> name = findInFolder(fd.get(), part);
        if (!name) {
            if (!create) return TreeError{win::ERROR_PATH_NOT_FOUND, walked, true, {}};
            if (::mkdirat(fd.get(), part.c_str(), 0755) != 0 && errno != EEXIST) return systemError(errno, walked, true);
            name = part;
        }
        UniqueFd next(::openat(fd.get(), name->c_str(), kOpenFolder));
        struct stat st;
        // A link fails the open as ELOOP or, being no folder, as ENOTDIR.
        if (!next && errno == ENOTDIR && ::fstatat(fd.get(), name->c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 &&
            S_ISLNK(st.st_mode))
            errno = ELOOP;
        if (!next) {
            if (errno == ELOOP)
                return refusal(win::ERROR_CANT_RESOLVE_FILENAME, walked, true,
                               "'" + walked + "' is a link: only real folders of the prefix are written into.");
            if (errno == ENOTDIR)
                return refusal(win::ERROR_DIRECTORY, walked, true, "'" + walked + "' is not a folder.");
            return systemError(errno, walked, true);
        }
        fd = std::move(next);
    }
    *out = std::move(fd);
    return std::nullopt;
}
} // namespace

std::optional<TreeError> openRealFolder(std::string_view windowsFolder, bool create, UniqueFd* out) {
    const std::string given(windowsFolder);
    auto parsed = parseWindowsPath(windowsFolder);
    if (!parsed) return TreeError{parsed.error().code, given, true, {}};
    auto root = machine().driveRoot(parsed->drive);
    if (!root) return TreeError{win::ERROR_PATH_NOT_FOUND, given, true, {}};
    std::error_code ec;
    const fs::path realRoot = fs::canonical(*root, ec);
    const auto prefix = resolvedPrefix();
    if (ec || !prefix || !placeWithin(realRoot, *prefix))
        return refusal(win::ERROR_ACCESS_DENIED, given, true,
                       "'" + given + "' lies outside the Windows prefix.");
    UniqueFd fd(::open(realRoot.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!fd) return systemError(errno, given, true);
    return walkDown(std::move(fd), std::string{parsed->drive, ':'}, *parsed, 0, create, out);
}

std::optional<TreeError> openRealFolderBelow(std::string_view top, std::string_view windowsFolder, bool create,
                                             UniqueFd* out) {
    const std::string given(windowsFolder);
    auto parsed = parseWindowsPath(windowsFolder);
    auto above = parseWindowsPath(top);
    if (!parsed) return TreeError{parsed.error().code, given, true, {}};
    bool below = above && equalsNoCase(std::string{above->drive}, std::string{parsed->drive}) &&
                 above->parts.size() <= parsed->parts.size();
    for (std::size_t k = 0; below && k < above->parts.size(); ++k) below = equalsNoCase(above->parts[k], parsed->parts[k]);
    if (!below)
        return refusal(win::ERROR_ACCESS_DENIED, given, true,
                       "'" + given + "' does not lie below '" + std::string(top) + "'.");
    UniqueFd fd;
    if (auto failed = openFolder(top, &fd)) return failed;
    std::string walked(top);
    while (walked.size() > 3 && walked.back() == '\\') walked.pop_back();
    return walkDown(std::move(fd), std::move(walked), *parsed, above->parts.size(), create, out);
}

namespace {
// What a walk changed below `entry` is no longer what the path memory holds.
void forgetBelow(const TreeEntry& entry) {
    if (const auto folder = hostPathOf(entry.folder)) forgetResolvedPaths(fs::path(*folder) / entry.name);
}
} // namespace

TreeResult copyTree(const TreeEntry& from, const TreeEntry& to, const CopyOptions& options) {
    allowManyOpenFolders();
    Copier c(from, to, options);
    TreeResult r = onDeepStack([&] { return c.copy(from.folder, from.name, to.folder, to.name); });
    forgetBelow(to);
    return r;
}

namespace {
TreeResult removeWith(const TreeEntry& entry, Remover& r) {
    allowManyOpenFolders();
    struct stat st;
    if (::fstatat(entry.folder, entry.name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        return systemError(errno, entry.windowsPath, false);
    TreeResult result =
        onDeepStack([&] { return r.remove(entry.folder, entry.name, S_ISDIR(st.st_mode) ? DT_DIR : DT_UNKNOWN); });
    forgetBelow(entry);
    return result;
}
} // namespace

TreeResult removeTree(const TreeEntry& entry, bool evenReadOnly) {
    Remover r(entry.windowsPath, evenReadOnly);
    return removeWith(entry, r);
}

TreeResult removeTree(const TreeEntry& entry, bool evenReadOnly, const CopyRecord& asCopied,
                      std::vector<KeptEntry>* kept) {
    Remover r(entry.windowsPath, evenReadOnly, &asCopied, kept);
    return removeWith(entry, r);
}

namespace {
std::atomic<unsigned long> g_flushes{0};
}

TreeResult flushFileSystem(int anyFile, std::string_view windowsPath) {
    if (::syncfs(anyFile) != 0) return systemError(errno, std::string(windowsPath), true);
    ++g_flushes;
    return std::nullopt;
}

unsigned long flushCount() { return g_flushes.load(); }

} // namespace winsys
