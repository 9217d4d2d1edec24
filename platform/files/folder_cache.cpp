#include "platform/files/folder_cache.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <climits>
#include <ctime>
#include <fcntl.h>
#include <mutex>
#include <set>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_map>
#include <utility>

#include "platform/core/machine.h"
#include "platform/core/text.h"
#include "platform/files/paths.h"

namespace fs = std::filesystem;

namespace winsys {

namespace {

// Enough of lstat's answer to tell an entry from whatever replaces it.
struct Identity {
    dev_t device = 0;
    ino_t inode = 0;
    mode_t kind = 0; // the S_IFMT bits: a folder replaced by a link differs
    bool operator==(const Identity&) const = default;
};

Identity identityOf(const struct stat& st) { return {st.st_dev, st.st_ino, st.st_mode & S_IFMT}; }

// What the cache reads of a stat, from the layer's fuller facts.
struct stat asStat(const HostStat& h) {
    struct stat st {};
    st.st_mode = h.mode;
    st.st_dev = h.device;
    st.st_ino = h.inode;
    st.st_size = static_cast<off_t>(h.size);
    st.st_mtim = h.modified;
    return st;
}

std::optional<Identity> identityOf(const std::string& p) {
    struct stat st;
    if (::lstat(p.c_str(), &st) != 0) return std::nullopt;
    return identityOf(st);
}

// A folder's state when it was listed: its identity and last change. While
// lstat still says so, no entry was added to it or taken from it since.
struct Listed {
    Identity id;
    timespec changed{};
    bool holds(const struct stat& st) const {
        return identityOf(st) == id && st.st_mtim.tv_sec == changed.tv_sec && st.st_mtim.tv_nsec == changed.tv_nsec;
    }
};

struct Folder {
    std::string host;
    std::vector<std::string> names; // each component as on disk
    Identity id;
    // Set when the name was found by listing the parent, without regard to
    // case, as the only one that folds to it: while the parent is as listed,
    // any other spelling leads here too.
    std::optional<Listed> parent;
};

// A change made within this much of a listing may carry the same time as
// the state listed (file systems keep times coarser than the clock).
constexpr time_t kSettledSeconds = 1;

// A link met on the way to a drive's folder and its text then.
struct LinkSeen {
    std::string path;
    std::string text;
    bool operator==(const LinkSeen&) const = default;
};

// What a drive letter led to: the dosdevices entry's text then, and every
// further link the way from it to the drive's folder went through.
struct Drive {
    std::optional<std::string> link; // nothing: a folder stands there, not a link
    std::string root;
    Identity id;
    std::vector<LinkSeen> through;
    bool operator==(const Drive&) const = default;
};

// More folders than a machine's add-ons ever need; past it we start afresh.
constexpr std::size_t kMaxFolders = 100000;

struct Cache {
    std::mutex lock;
    std::uint64_t machine = 0; // the serial of the machine the entries are of
    // Its prefix folder, every link resolved: the machine is that folder,
    // so it is resolved once and the drives' ways start from it.
    std::string prefix;
    std::array<std::optional<Drive>, 26> drives;
    // By key "C:\A\B" (folded); found by a prefix of a longer key too.
    struct KeyHash {
        using is_transparent = void;
        std::size_t operator()(std::string_view k) const { return std::hash<std::string_view>{}(k); }
    };
    std::unordered_map<std::string, Folder, KeyHash, std::equal_to<>> folders;
    std::set<std::pair<std::string, std::string>> byHost; // (host path, key): trees to forget

    void erase(std::string_view key) {
        auto it = folders.find(key);
        if (it == folders.end()) return;
        byHost.erase({it->second.host, it->first});
        folders.erase(it);
    }
    void store(std::string key, Folder f) {
        erase(key);
        if (folders.size() >= kMaxFolders) {
            folders.clear();
            byHost.clear();
        }
        byHost.emplace(f.host, key);
        folders.emplace(std::move(key), std::move(f));
    }
    void dropDrive(char drive) {
        for (auto it = folders.begin(); it != folders.end();) {
            if (it->first[0] == drive) {
                byHost.erase({it->second.host, it->first});
                it = folders.erase(it);
            } else {
                ++it;
            }
        }
    }
    // Forgets everything of another machine.
    void useMachine(std::uint64_t serial) {
        if (machine == serial) return;
        machine = serial;
        prefix.clear();
        for (auto& d : drives) d.reset();
        folders.clear();
        byHost.clear();
    }
};

Cache& cache() {
    static Cache c;
    return c;
}

// Reads the dosdevices entry of a drive: false when there is none (no such
// drive); `text` is nothing when the entry is a folder, not a link.
bool readDriveEntry(const std::string& entry, std::optional<std::string>& text) {
    char buf[PATH_MAX];
    const ssize_t n = ::readlink(entry.c_str(), buf, sizeof buf);
    if (n >= 0) {
        text.emplace(buf, static_cast<std::size_t>(n));
        return true;
    }
    text.reset();
    return errno == EINVAL;
}

std::optional<std::string> readLink(const std::string& path) {
    char buf[PATH_MAX];
    const ssize_t n = ::readlink(path.c_str(), buf, sizeof buf);
    if (n < 0) return std::nullopt;
    return std::string(buf, static_cast<std::size_t>(n));
}

// `path` (relative to the resolved folder `from`, or absolute) with every
// link followed and "." and ".." folded, as realpath gives it, noting each
// link met; nothing when a part is missing. `st` gets the lstat of the end.
std::optional<std::string> resolveNotingLinks(const std::string& from, const std::string& path,
                                              std::vector<LinkSeen>& links, struct stat& st) {
    constexpr int kMaxLinks = 40; // as the kernel's own limit
    std::vector<std::string> todo; // components still to take, the next last
    const auto push = [&todo](std::string_view text) {
        std::vector<std::string> parts;
        for (std::size_t at = 0; at <= text.size();) {
            const std::size_t end = std::min(text.find('/', at), text.size());
            if (end > at) parts.emplace_back(text.substr(at, end - at));
            at = end + 1;
        }
        todo.insert(todo.end(), parts.rbegin(), parts.rend());
    };
    push(path);
    std::string done = path.starts_with('/') ? std::string(1, '/') : from;
    bool looked = false; // `st` is of `done`
    int hops = 0;
    while (!todo.empty()) {
        const std::string name = std::move(todo.back());
        todo.pop_back();
        if (name == ".") continue;
        if (name == "..") {
            done.resize(std::max<std::size_t>(done.rfind('/'), 1));
            looked = false;
            continue;
        }
        std::string next = done;
        if (next.back() != '/') next += '/';
        next += name;
        if (::lstat(next.c_str(), &st) != 0) return std::nullopt;
        if (!S_ISLNK(st.st_mode)) {
            done = std::move(next);
            looked = true;
            continue;
        }
        auto text = readLink(next);
        if (!text || ++hops > kMaxLinks) return std::nullopt;
        if (!text->empty() && text->front() == '/') done.assign(1, '/');
        push(*text);
        links.push_back({std::move(next), std::move(*text)});
        looked = false;
    }
    if (!looked && ::lstat(done.c_str(), &st) != 0) return std::nullopt;
    return done;
}

// The drive's folder as the disk has it now: `entry` is its dosdevices
// entry ("dosdevices/c:", below the resolved prefix folder) and `link`
// that entry's text.
std::optional<Drive> loadDrive(const std::string& prefix, const std::string& entry, std::optional<std::string> link) {
    Drive d;
    std::string target = entry;
    if (link) target = link->starts_with('/') ? *link : entry.substr(0, entry.rfind('/') + 1) + *link;
    struct stat st;
    auto root = resolveNotingLinks(prefix, target, d.through, st);
    if (!root || !S_ISDIR(st.st_mode)) return std::nullopt;
    d.link = std::move(link);
    d.root = std::move(*root);
    d.id = identityOf(st);
    return d;
}

// Whether every link on the way to the drive's folder still reads as it did.
bool linksHold(const std::vector<LinkSeen>& links) {
    for (const LinkSeen& l : links)
        if (readLink(l.path) != l.text) return false;
    return true;
}

// The names in `dir` that equal `name` without regard to case: the first in
// byte order, and the folder's state when it was the only one and the
// folder had settled before it was listed.
struct Match {
    std::string name;
    std::optional<Listed> only;
};
std::optional<Match> listMatch(const std::string& dir, const std::string& name) {
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME_COARSE, &now);
    const UniqueFd folder(::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!folder) return std::nullopt;
    struct stat st;
    std::optional<Listed> state;
    if (::fstat(folder.get(), &st) == 0 && st.st_mtim.tv_sec + kSettledSeconds < now.tv_sec)
        state = Listed{identityOf(st), st.st_mtim};
    std::vector<FolderEntry> entries;
    // A listing cut short still gives what it read; it vouches for no more.
    if (!listFolder(folder.get(), &entries)) state.reset();
    bool unique = true;
    std::optional<Match> best;
    for (FolderEntry& e : entries) {
        if (!equalsNoCase(e.name, name)) continue;
        if (!best) {
            best = Match{std::move(e.name), std::nullopt};
        } else {
            unique = false;
            if (e.name < best->name) best->name = std::move(e.name);
        }
    }
    if (best && unique) best->only = state;
    return best;
}

// Whether `path` is absolute and has no "." or ".." component, no empty
// one and no trailing "/": as the layer's own host paths are, and as
// lexically_normal would leave it.
bool isNormalAbsolute(std::string_view path) {
    if (path.empty() || path.front() != '/') return false;
    if (path.size() > 1 && path.back() == '/') return false;
    for (std::size_t at = 1; at < path.size();) {
        const std::size_t end = std::min(path.find('/', at), path.size());
        const std::string_view part = path.substr(at, end - at);
        if (part.empty() || part == "." || part == "..") return false;
        at = end + 1;
    }
    return true;
}

// Host paths are built as text: a path object splits itself again at
// every join, and a resolution joins many names.
void appendName(std::string& path, const std::string& name) {
    if (path.empty() || path.back() != '/') path += '/';
    path += name;
}

} // namespace

std::optional<fs::path> resolveOnDisk(char drive, const std::vector<std::string>& names,
                                      std::optional<HostStat>* leaf, Resolve how) {
    const Machine& m = machine();
    const std::uint64_t serial = m.serial();
    const std::size_t slot = static_cast<std::size_t>(drive - 'A');
    if (slot >= 26) return std::nullopt;
    std::optional<std::string> link;
    const std::string entryInPrefix = std::string("dosdevices/") + static_cast<char>(drive - 'A' + 'a') + ':';
    std::string entry = m.prefix().native();
    appendName(entry, entryInPrefix);
    if (!readDriveEntry(entry, link))
        return std::nullopt;

    // Keys of the folder and of each of its parents, "C:", "C:\A", "C:\A\B":
    // the prefixes of one folded path that end where `ends` says.
    std::string folded{drive, ':'};
    std::vector<std::size_t> ends{folded.size()};
    ends.reserve(names.size() + 1);
    for (const std::string& name : names) {
        folded += '\\';
        folded += upperCase(name);
        ends.push_back(folded.size());
    }
    const auto key = [&](std::size_t k) { return std::string_view(folded).substr(0, ends[k]); };
    // lstat of `path`; of the last component, when its facts are asked for,
    // the fuller look whose answer the caller keeps.
    if (leaf) leaf->reset();
    const auto look = [&](const std::string& path, struct stat& st, bool last) {
        if (!last || !leaf) return ::lstat(path.c_str(), &st) == 0;
        *leaf = statHost(AT_FDCWD, path.c_str(), false);
        if (!*leaf) return false;
        st = asStat(**leaf);
        return true;
    };

    const bool fromDisk = how == Resolve::FromDisk;
    Cache& c = cache();
    std::unique_lock<std::mutex> lock(c.lock);
    c.useMachine(serial);
    std::optional<Drive> known = c.drives[slot];
    std::string prefix = c.prefix;
    lock.unlock();
    const auto load = [&]() -> std::optional<Drive> {
        if (prefix.empty()) {
            std::error_code ec;
            prefix = fs::canonical(m.prefix(), ec).native();
            if (ec) return std::nullopt;
            const std::lock_guard<std::mutex> again(c.lock);
            c.useMachine(serial);
            c.prefix = prefix;
        }
        return loadDrive(prefix, entryInPrefix, link);
    };
    // The drive's way is looked up again for a write, and for a read when
    // a link on it reads otherwise than it did.
    if (fromDisk || !known || known->link != link || !linksHold(known->through)) {
        std::optional<Drive> loaded = load();
        lock.lock();
        c.useMachine(serial);
        // The folders remembered stay while the drive leads where it did.
        if (c.drives[slot] != loaded) {
            c.dropDrive(drive);
            c.drives[slot] = loaded;
        }
        lock.unlock();
        known = std::move(loaded);
    }
    if (!known) return std::nullopt;
    Drive root = std::move(*known);
    lock.lock();
    c.useMachine(serial);

    // The deepest folder known, checked against the disk; one that does not
    // hold is forgotten and its parent tried.
    std::size_t from = 0; // components [0, from) are resolved to `onDisk`
    std::optional<struct stat> firstBelow; // lstat of component `from`, when taken already
    std::vector<std::string> onDisk;
    for (std::size_t k = names.size(); k > 0; --k) {
        auto it = c.folders.find(key(k));
        if (it == c.folders.end()) continue;
        const Folder known = it->second;
        // What each component spelt otherwise than on disk rests on.
        std::vector<std::optional<Listed>> listed(k);
        for (std::size_t i = 0; i < k; ++i) {
            if (names[i] == known.names[i]) continue;
            if (i + 1 == k) listed[i] = known.parent;
            else if (auto p = c.folders.find(key(i + 1)); p != c.folders.end()) listed[i] = p->second.parent;
        }
        lock.unlock();
        // A name below the folder that is there as given shows that the
        // folder's path still leads to a folder, so the walk from the root
        // would come the same way; only when there is none is the folder's
        // identity asked for.
        std::optional<struct stat> below;
        if (k < names.size()) {
            std::string probe = known.host;
            appendName(probe, names[k]);
            struct stat st;
            if (look(probe, st, k + 1 == names.size())) below = st;
        }
        bool same = below.has_value();
        if (!same) {
            struct stat st;
            same = look(known.host, st, k == names.size()) && identityOf(st) == known.id;
        }
        // Such a component holds while its parent is as it was when listed:
        // the spelling given is not there, nor another name that folds to it.
        std::size_t holds = k;
        if (same) {
            std::string parent = root.root;
            for (std::size_t i = 0; i < k && holds == k; ++i) {
                if (names[i] != known.names[i]) {
                    struct stat st;
                    // A write trusts no listing: the spelling asked for
                    // may have come with the folder's time put back.
                    if (fromDisk || !listed[i] || ::lstat(parent.c_str(), &st) != 0 || !listed[i]->holds(st))
                        holds = i;
                }
                appendName(parent, known.names[i]);
            }
        }
        lock.lock();
        c.useMachine(serial);
        if (!same) {
            if (auto again = c.folders.find(key(k)); again != c.folders.end() && again->second.id == known.id)
                c.erase(key(k));
            continue;
        }
        from = holds;
        if (holds == k) firstBelow = below;
        onDisk.assign(known.names.begin(), known.names.begin() + static_cast<std::ptrdiff_t>(holds));
        break;
    }
    lock.unlock();

    if (from == 0 && !fromDisk && identityOf(root.root) != root.id) {
        // The drive's folder itself was replaced: everything of it goes.
        std::optional<Drive> loaded = load();
        lock.lock();
        c.useMachine(serial);
        c.dropDrive(drive);
        c.drives[slot] = loaded;
        lock.unlock();
        if (!loaded) return std::nullopt;
        root = *loaded;
    }

    // The facts looked at so far are the leaf's only when no walk follows
    // or the walk starts with the very look that took them.
    if (leaf && from < names.size() && !(firstBelow && from + 1 == names.size())) leaf->reset();
    std::string host = root.root;
    for (const std::string& name : onDisk) appendName(host, name);
    // The rest is walked: each name as given when it is there, else the one
    // that matches it first; nothing below a missing folder can be on disk.
    std::vector<std::pair<std::string, Folder>> found;
    bool there = true;
    for (std::size_t i = from; i < names.size(); ++i) {
        if (!there) {
            appendName(host, names[i]);
            continue;
        }
        struct stat st;
        std::string name = names[i];
        std::optional<Listed> parent;
        const std::size_t parentLength = host.size();
        appendName(host, name);
        const bool last = i + 1 == names.size();
        if (i == from && firstBelow) {
            st = *firstBelow;
        } else if (!look(host, st, last)) {
            host.resize(parentLength);
            auto match = listMatch(host, name);
            if (match) name = std::move(match->name);
            appendName(host, name);
            if (!match || !look(host, st, last)) {
                there = false;
                continue;
            }
            parent = match->only;
        }
        onDisk.push_back(name);
        if (S_ISDIR(st.st_mode) || S_ISLNK(st.st_mode)) found.emplace_back(std::string(key(i + 1)), Folder{host, onDisk, identityOf(st), parent});
    }
    if (!found.empty()) {
        lock.lock();
        if (c.machine == serial && c.drives[slot] && c.drives[slot]->root == root.root)
            for (auto& [key, folder] : found) c.store(key, std::move(folder));
    }
    return fs::path(std::move(host));
}

void forgetResolvedPaths(const fs::path& hostPath) {
    std::string h = isNormalAbsolute(hostPath.native()) ? hostPath.native() : hostPath.lexically_normal().native();
    while (h.size() > 1 && h.back() == '/') h.pop_back();
    Cache& c = cache();
    std::lock_guard<std::mutex> lock(c.lock);
    for (auto it = c.byHost.lower_bound({h, std::string()}); it != c.byHost.end() && it->first.starts_with(h);) {
        const std::string& p = it->first;
        if (p.size() == h.size() || p[h.size()] == '/' || h == "/") {
            c.folders.erase(it->second);
            it = c.byHost.erase(it);
        } else {
            ++it;
        }
    }
}

} // namespace winsys
