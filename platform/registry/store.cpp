#include "platform/registry/store.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <numeric>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/core/text.h"
#include "platform/registry/hive.h"
#include "platform/registry/store_detail.h"

namespace fs = std::filesystem;

namespace winsys::reg {

namespace {

constexpr FileTime kUnixEpoch = 116444736000000000ull; // 1970-01-01 in FILETIME ticks
constexpr FileTime kTicksPerSecond = 10000000ull;

int compareKey(const std::shared_ptr<Key>& k, std::string_view name) { return compareKeyNames(k->name(), name); }

// Lower case of an upper-case folded unit: the candidates foldCase maps onto it.
char32_t lowerOfFolded(char32_t u) {
    if (u < 0x80) return u >= 'A' && u <= 'Z' ? u + 32 : u;
    if (u == 0x178) return 0xFF;
    for (char32_t cand : {u + 32, u + 1, u + 80})
        if (foldCase(cand) == u) return cand;
    return u;
}

char32_t orderOf(char32_t c) { return lowerOfFolded(foldCase(c)); }

} // namespace

int compareKeyNames(std::string_view a, std::string_view b) {
    const std::size_t n = std::min(a.size(), b.size());
    std::size_t i = 0;
    // Equal runs of plain ASCII, eight bytes at a time: the long shared
    // starts of class ids.
    for (; i + 8 <= n; i += 8) {
        std::uint64_t x = 0, y = 0;
        std::memcpy(&x, a.data() + i, 8);
        std::memcpy(&y, b.data() + i, 8);
        if (x != y || (x & 0x8080808080808080ull)) break;
    }
    for (; i < n; ++i) {
        const auto x = static_cast<unsigned char>(a[i]);
        const auto y = static_cast<unsigned char>(b[i]);
        if (x >= 0x80 || y >= 0x80) {
            // Wine compares UTF-16 units.
            const std::u16string wa = toUtf16KeepingSurrogates(a.substr(i)), wb = toUtf16KeepingSurrogates(b.substr(i));
            const std::size_t m = std::min(wa.size(), wb.size());
            for (std::size_t k = 0; k < m; ++k) {
                const char32_t p = orderOf(wa[k]), q = orderOf(wb[k]);
                if (p != q) return p < q ? -1 : 1;
            }
            return wa.size() == wb.size() ? 0 : wa.size() < wb.size() ? -1 : 1;
        }
        if (x == y) continue;
        const unsigned p = x >= 'A' && x <= 'Z' ? x + 32u : x;
        const unsigned q = y >= 'A' && y <= 'Z' ? y + 32u : y;
        if (p != q) return p < q ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : a.size() < b.size() ? -1 : 1;
}

FileTime fileTimeNow() {
    const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(
                        std::chrono::system_clock::now().time_since_epoch())
                        .count();
    return kUnixEpoch + static_cast<FileTime>(ns / 100);
}

std::uint32_t unixSeconds(FileTime t) {
    return t < kUnixEpoch ? 0 : static_cast<std::uint32_t>((t - kUnixEpoch) / kTicksPerSecond);
}

// ---- Keys -----------------------------------------------------------------

std::shared_ptr<Key> Key::findInTail(std::string_view name, std::uint64_t hash) const {
    if (tailSlots_.empty()) return nullptr;
    const std::size_t mask = tailSlots_.size() - 1;
    for (std::size_t i = hash & mask;; i = (i + 1) & mask) {
        const TailSlot& slot = tailSlots_[i];
        if (slot.position == 0) return nullptr;
        if (slot.hash == hash && compareKey(subkeys_[slot.position - 1], name) == 0) return subkeys_[slot.position - 1];
    }
}

void Key::addToTail(std::uint64_t hash, std::size_t position) {
    const std::size_t count = subkeys_.size() - sorted_;
    if (count * 2 > tailSlots_.size()) {
        std::vector<TailSlot> old = std::move(tailSlots_);
        tailSlots_.assign(std::max<std::size_t>(16, old.size() * 2), TailSlot{});
        for (const TailSlot& s : old)
            if (s.position) addToTail(s.hash, s.position - 1);
    }
    const std::size_t mask = tailSlots_.size() - 1;
    std::size_t i = hash & mask;
    while (tailSlots_[i].position) i = (i + 1) & mask;
    tailSlots_[i] = TailSlot{hash, position + 1};
}

std::shared_ptr<Key> Key::findSorted(std::string_view name) const {
    const auto sortedEnd = subkeys_.begin() + static_cast<std::ptrdiff_t>(sorted_);
    auto it = std::lower_bound(subkeys_.begin(), sortedEnd, name,
                               [](const std::shared_ptr<Key>& k, std::string_view n) { return compareKey(k, n) < 0; });
    return it != sortedEnd && compareKey(*it, name) == 0 ? *it : nullptr;
}

std::shared_ptr<Key> Key::findSubkey(std::string_view name) const {
    if (auto found = findSorted(name)) return found;
    return tailSlots_.empty() ? nullptr : findInTail(name, hashNoCase(name));
}

std::shared_ptr<Key> Key::addSubkey(std::string_view name, bool* created) {
    if (created) *created = false;
    // Hive files list keys in order, so most insertions go at the end.
    if (sorted_ == subkeys_.size()) {
        const int c = subkeys_.empty() ? 1 : compareKeyNames(name, subkeys_.back()->name());
        if (c == 0) return subkeys_.back();
        if (c > 0) {
            if (created) *created = true;
            subkeys_.push_back(std::make_shared<Key>(std::string(name), this));
            ++sorted_;
            return subkeys_.back();
        }
    }
    if (auto found = findSorted(name)) return found;
    const std::uint64_t hash = hashNoCase(name);
    if (auto found = findInTail(name, hash)) return found;
    if (created) *created = true;
    subkeys_.push_back(std::make_shared<Key>(std::string(name), this));
    addToTail(hash, subkeys_.size() - 1);
    return subkeys_.back();
}

void Key::sortSubkeys() const {
    const auto less = [](const std::shared_ptr<Key>& a, const std::shared_ptr<Key>& b) {
        return compareKeyNames(a->name(), b->name()) < 0;
    };
    const auto middle = subkeys_.begin() + static_cast<std::ptrdiff_t>(sorted_);
    std::sort(middle, subkeys_.end(), less);
    std::inplace_merge(subkeys_.begin(), middle, subkeys_.end(), less);
    sorted_ = subkeys_.size();
    tailSlots_ = {};
}

void Key::removeSubkey(const Key* child) {
    if (sorted_ < subkeys_.size()) sortSubkeys();
    auto it = std::lower_bound(subkeys_.begin(), subkeys_.end(), child->name(),
                               [](const std::shared_ptr<Key>& k, std::string_view n) { return compareKey(k, n) < 0; });
    if (it == subkeys_.end() || it->get() != child) return;
    std::shared_ptr<Key> gone = std::move(*it);
    subkeys_.erase(it);
    --sorted_;
    gone->markDeleted();
}

void Key::markDeleted() {
    // Iterative: a handle may keep any key of the subtree alive, so each is
    // cut loose from its parent and children on its own.
    std::vector<std::shared_ptr<Key>> pending = std::move(subkeys_);
    subkeys_.clear();
    sorted_ = 0;
    tailSlots_ = {};
    deleted_ = true;
    parent_ = nullptr;
    while (!pending.empty()) {
        std::shared_ptr<Key> k = std::move(pending.back());
        pending.pop_back();
        for (auto& sub : k->subkeys_) pending.push_back(std::move(sub));
        k->subkeys_.clear();
        k->sorted_ = 0;
        k->tailSlots_ = {};
        k->deleted_ = true;
        k->parent_ = nullptr;
    }
}

std::optional<std::size_t> Key::valuePosition(std::string_view name) const {
    constexpr std::size_t kIndexFrom = 32;
    if (values_.size() < kIndexFrom) {
        for (std::size_t i = 0; i < values_.size(); ++i)
            if (equalsNoCase(values_[i].name, name)) return i;
        return std::nullopt;
    }
    if (!indexed_) {
        valueIndex_.clear();
        for (std::size_t i = 0; i < values_.size(); ++i) valueIndex_.emplace(upperCase(values_[i].name), i);
        indexed_ = true;
    }
    const auto it = valueIndex_.find(upperCase(name));
    if (it == valueIndex_.end()) return std::nullopt;
    return it->second;
}

const Value* Key::findValue(std::string_view name) const {
    const auto at = valuePosition(name);
    return at ? &values_[*at] : nullptr;
}

bool Key::setValue(std::string_view name, win::DWORD type, const win::BYTE* data, std::size_t size) {
    if (const auto at = valuePosition(name)) {
        Value& v = values_[*at];
        if (v.type == type && v.data.size() == size && (size == 0 || std::memcmp(v.data.data(), data, size) == 0))
            return false;
        v.type = type;
        v.data.assign(data, data + size);
        return true;
    }
    values_.push_back(Value{std::string(name), type, std::vector<win::BYTE>(data, data + size)});
    if (indexed_) valueIndex_.emplace(upperCase(values_.back().name), values_.size() - 1);
    return true;
}

bool Key::deleteValue(std::string_view name) {
    const auto at = valuePosition(name);
    if (!at) return false;
    values_.erase(values_.begin() + static_cast<std::ptrdiff_t>(*at));
    indexed_ = false;
    return true;
}

void Key::dedupeLoadedValues() {
    const std::size_t n = values_.size();
    if (n < 2) return;
    if (n <= 16) {
        bool dup = false;
        for (std::size_t i = 0; i < n && !dup; ++i)
            for (std::size_t j = i + 1; j < n && !dup; ++j) dup = equalsNoCase(values_[i].name, values_[j].name);
        if (!dup) return;
    }
    std::vector<std::size_t> order(n);
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::stable_sort(order.begin(), order.end(),
                     [&](std::size_t a, std::size_t b) { return compareNoCase(values_[a].name, values_[b].name) < 0; });
    std::vector<bool> drop(n, false);
    bool any = false;
    for (std::size_t i = 0; i + 1 < n;) {
        std::size_t j = i + 1;
        while (j < n && equalsNoCase(values_[order[i]].name, values_[order[j]].name)) ++j;
        if (j - i > 1) {
            // Keep the first one's place and name, take the last one's data.
            Value& keep = values_[order[i]];
            Value& last = values_[order[j - 1]];
            keep.type = last.type;
            keep.data = std::move(last.data);
            for (std::size_t k = i + 1; k < j; ++k) drop[order[k]] = true;
            any = true;
        }
        i = j;
    }
    if (!any) return;
    std::size_t out = 0;
    for (std::size_t i = 0; i < n; ++i)
        if (!drop[i]) {
            if (out != i) values_[out] = std::move(values_[i]);
            ++out;
        }
    values_.resize(out);
    indexed_ = false;
}

void Key::touch() {
    const FileTime now = fileTimeNow();
    time = now;
    seconds = unixSeconds(now);
}

std::optional<std::string> Key::linkTarget() const {
    if (!link) return std::nullopt;
    const Value* v = findValue("SymbolicLinkValue");
    if (!v || v->type != win::REG_LINK) return std::nullopt;
    std::string target = fromUtf16leBytes(v->data);
    while (!target.empty() && target.back() == '\0') target.pop_back();
    return target;
}

// ---- Loading and saving hives -----------------------------------------------

namespace {

struct HiveFileSpec {
    HiveId id;
    const char* fileName;
};
constexpr const char* kLockFileName = ".registry.lock";
constexpr HiveFileSpec kHiveFiles[] = {
    {HiveId::Machine, "system.reg"}, {HiveId::User, "user.reg"}, {HiveId::Default, "userdef.reg"}};

Result<std::string> readWholeFile(const fs::path& file) {
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        const int err = errno;
        return Error{err == ENOENT ? win::ERROR_FILE_NOT_FOUND : win::ERROR_CANTREAD,
                     "cannot read '" + file.string() + "': " + std::strerror(err)};
    }
    std::string text;
    struct stat st {};
    if (::fstat(fd, &st) == 0 && st.st_size > 0) text.reserve(static_cast<std::size_t>(st.st_size));
    char buf[1 << 16];
    for (;;) {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n == 0) break;
        if (n < 0) {
            if (errno == EINTR) continue;
            const int err = errno;
            ::close(fd);
            return Error{win::ERROR_CANTREAD, "cannot read '" + file.string() + "': " + std::strerror(err)};
        }
        text.append(buf, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return text;
}

void loadHive(Hive& h, const Machine& m, const std::string& machineRelativeTo) {
    h.stamp = stampOf(h.file);
    auto text = readWholeFile(h.file);
    if (!text) {
        if (text.error().code == win::ERROR_FILE_NOT_FOUND && h.id != HiveId::Machine) {
            // A missing user hive is an empty one; it is written on first change.
            // Its header names its place in the style of system.reg's.
            const bool wine8 = machineRelativeTo.rfind("REGISTRY", 0) == 0;
            h.tree.relativeTo = std::string(wine8 ? "REGISTRY" : "") + "\\\\User\\\\" +
                                (h.id == HiveId::User ? m.userSid() : std::string(".Default"));
            h.tree.arch = m.is64bit() ? "win64" : "win32";
            h.tree.root->touch();
            return;
        }
        h.failed = text.error();
        return;
    }
    auto parsed = parseHive(*text, h.file.string());
    if (!parsed) {
        h.failed = parsed.error();
        return;
    }
    h.tree = std::move(parsed->tree);
    h.warnings = std::move(parsed->warnings);
}

// ---- Test seam: failing writes ------------------------------------------------

std::atomic<testing::HiveWriteFault> g_fault{testing::HiveWriteFault::None};
std::atomic<std::size_t> g_faultBytes{0};
std::atomic<int> g_faultErr{EIO};
std::string g_faultFile; // empty: every hive
std::atomic<std::uint64_t> g_writesDone{0};

Error writeError(const fs::path& file, int err) {
    return Error{winErrorFromErrno(err), "cannot write '" + file.string() + "': " + std::strerror(err)};
}

} // namespace

win::DWORD winErrorFromErrno(int err) {
    switch (err) {
    case ENOSPC:
    case EDQUOT:
        return win::ERROR_DISK_FULL;
    case EACCES:
    case EPERM:
    case EROFS:
        return win::ERROR_ACCESS_DENIED;
    case ENOENT:
    case ENOTDIR:
        return win::ERROR_PATH_NOT_FOUND;
    default:
        return win::ERROR_CANTWRITE;
    }
}

Result<StagedFile> stageFile(const fs::path& file, std::string_view bytes) {
    const fs::path dir = file.parent_path().empty() ? fs::path(".") : file.parent_path();
    std::string tmp = (dir / (file.filename().string() + ".tmp.XXXXXX")).string();
    const int fd = ::mkstemp(tmp.data());
    if (fd < 0) return writeError(file, errno);
    auto fail = [&](int err) -> Error {
        ::close(fd);
        ::unlink(tmp.c_str());
        return writeError(file, err);
    };

    // Keep the old file's permissions; mkstemp makes the file private.
    struct stat st {};
    const mode_t mode = ::stat(file.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0644;
    if (::fchmod(fd, mode) != 0) return fail(errno);

    auto fault = g_fault.load();
    if (fault != testing::HiveWriteFault::None && !g_faultFile.empty() && file.filename() != g_faultFile)
        fault = testing::HiveWriteFault::None;
    std::size_t limit = bytes.size();
    if (fault == testing::HiveWriteFault::AfterBytes) limit = std::min(limit, g_faultBytes.load());
    std::size_t done = 0;
    while (done < limit) {
        const ssize_t n = ::write(fd, bytes.data() + done, limit - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return fail(errno);
        }
        done += static_cast<std::size_t>(n);
    }
    if (fault == testing::HiveWriteFault::AfterBytes) return fail(g_faultErr.load());
    if (::fsync(fd) != 0) return fail(errno);
    if (fault == testing::HiveWriteFault::BeforeRename) return fail(g_faultErr.load());
    if (::close(fd) != 0) {
        const int err = errno;
        ::unlink(tmp.c_str());
        return writeError(file, err);
    }
    return StagedFile{file, tmp};
}

Result<void> commitStaged(const StagedFile& staged) {
    if (::rename(staged.temporary.c_str(), staged.file.c_str()) != 0) {
        const int err = errno;
        ::unlink(staged.temporary.c_str());
        return writeError(staged.file, err);
    }
    ++g_writesDone;
    // The rename is durable only once the folder is.
    const fs::path dir = staged.file.parent_path().empty() ? fs::path(".") : staged.file.parent_path();
    const int dfd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dfd < 0) return writeError(staged.file, errno);
    const int rc = ::fsync(dfd);
    const int err = errno;
    ::close(dfd);
    if (rc != 0 && err != EINVAL) return writeError(staged.file, err);
    return {};
}

void dropStaged(const StagedFile& staged) { ::unlink(staged.temporary.c_str()); }

Result<void> writeFileAtomically(const fs::path& file, std::string_view bytes) {
    auto staged = stageFile(file, bytes);
    if (!staged) return staged.error();
    return commitStaged(*staged);
}

// ---- The store ----------------------------------------------------------------

std::uint64_t Store::nextStamp() {
    static std::atomic<std::uint64_t> clock{0};
    return ++clock;
}

namespace {

// Temporary files of a writer that was killed before its rename: only ever
// removed under the writers' lock, when no writer can own them.
void removeStaleTemporaries(const fs::path& prefix) {
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(prefix, ec)) {
        const std::string name = entry.path().filename().string();
        for (const HiveFileSpec& spec : kHiveFiles)
            if (name.rfind(std::string(spec.fileName) + ".tmp.", 0) == 0) fs::remove(entry.path(), ec);
    }
}

} // namespace

std::unique_ptr<Store> Store::load(const Machine& m) {
    std::unique_ptr<Store> s(new Store);
    s->serial_ = m.serial();
    s->is64bit_ = m.is64bit();
    s->userSid_ = m.userSid();
    s->changes_ = nextStamp();
    s->lockFd_ = ::open((m.prefix() / kLockFileName).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    const bool locked = static_cast<bool>(s->lockWriters());
    if (locked) removeStaleTemporaries(m.prefix());
    for (const HiveFileSpec& spec : kHiveFiles) {
        Hive& h = s->hive(spec.id);
        h.id = spec.id;
        h.file = m.prefix() / spec.fileName;
        loadHive(h, m, s->hive(HiveId::Machine).tree.relativeTo);
    }
    if (locked) s->unlockWriters();
    return s;
}

Store::~Store() {
    if (lockFd_ >= 0) ::close(lockFd_);
}

Result<void> Store::lockWriters() {
    if (lockDepth_++ > 0) return {};
    if (lockFd_ < 0) {
        --lockDepth_;
        return Error{win::ERROR_ACCESS_DENIED, "cannot open the registry's lock file in the prefix"};
    }
    while (::flock(lockFd_, LOCK_EX) != 0) {
        if (errno == EINTR) continue;
        --lockDepth_;
        return Error{win::ERROR_LOCK_VIOLATION, std::string("cannot lock the registry: ") + std::strerror(errno)};
    }
    return {};
}

void Store::unlockWriters() {
    if (lockDepth_ == 0 || --lockDepth_ > 0) return;
    ::flock(lockFd_, LOCK_UN);
}

void Store::reloadHive(Hive& h) {
    auto text = readWholeFile(h.file);
    auto parsed = text ? parseHive(*text, h.file.string()) : Result<ParsedHive>(text.error());
    h.stamp = stampOf(h.file);
    h.dirty = false;
    replaced_.push_back(h.tree.root);
    if (!text && text.error().code == win::ERROR_FILE_NOT_FOUND && h.id != HiveId::Machine) {
        // A user hive never written yet: empty again.
        h.tree.root = std::make_shared<Key>("", nullptr);
        h.tree.root->touch();
    } else if (!parsed) {
        // The file went bad or away under us: nothing more is written to it.
        h.failed = parsed.error();
    } else {
        h.tree = std::move(parsed->tree);
        h.warnings = std::move(parsed->warnings);
    }
    changes_ = nextStamp();
}

HiveMask Store::refresh() {
    HiveMask reloaded = 0;
    for (Hive& h : hives_) {
        if (h.failed || stampOf(h.file) == h.stamp) continue;
        reloadHive(h);
        reloaded |= maskOf(h.id);
    }
    return reloaded;
}

void Store::rebindNode(Node& n) const {
    if (!n || n.key->deleted()) return;
    std::vector<const Key*> chain;
    const Key* top = n.key.get();
    for (; top->parent(); top = top->parent()) chain.push_back(top);
    if (top == n.hive->tree.root.get()) return;
    std::shared_ptr<Key> cur = n.hive->tree.root;
    for (auto it = chain.rbegin(); it != chain.rend() && cur; ++it) cur = cur->findSubkey((*it)->name());
    if (cur) n.key = cur;
    else n.key->markDeleted();
}

void Store::rebind(Location& at) const {
    rebindNode(at.named);
    rebindNode(at.user);
    rebindNode(at.machine);
}

Result<void> Store::flush(HiveMask which) {
    std::vector<std::pair<Hive*, StagedFile>> staged;
    std::optional<Error> first;
    for (Hive& h : hives_) {
        if (!(which & maskOf(h.id)) || !h.dirty || h.failed) continue;
        auto s = stageFile(h.file, formatHive(h.tree));
        if (!s) {
            first = s.error();
            break;
        }
        staged.emplace_back(&h, std::move(*s));
    }
    if (first) {
        // No file was replaced: forget every change that was to be written.
        for (const auto& [h, s] : staged) dropStaged(s);
        discard(which);
        return *first;
    }
    for (const auto& [h, s] : staged) {
        if (first) {
            dropStaged(s);
            reloadHive(*h);
            continue;
        }
        auto r = commitStaged(s);
        if (r) {
            h->dirty = false;
            h->stamp = stampOf(h->file);
            continue;
        }
        first = r.error();
        // The file holds whatever the rename left: read it again.
        reloadHive(*h);
    }
    if (first) return *first;
    return {};
}

void Store::discard(HiveMask which) {
    for (Hive& h : hives_)
        if ((which & maskOf(h.id)) && h.dirty && !h.failed) reloadHive(h);
}

Result<std::string> Store::keyName(const Location& at) {
    if (auto c = check(at); !c) return c.error();
    auto nameOf = [&](const Node& n) {
        if (!n) return std::string();
        std::vector<const Key*> chain;
        for (const Key* k = n.key.get(); k->parent(); k = k->parent()) chain.push_back(k);
        std::string name = n.hive->id == HiveId::Machine ? "\\Registry\\Machine"
                           : n.hive->id == HiveId::User  ? "\\Registry\\User\\" + userSid_
                                                         : std::string("\\Registry\\User\\.Default");
        for (auto it = chain.rbegin(); it != chain.rend(); ++it) name += "\\" + (*it)->name();
        return name;
    };
    switch (at.kind) {
    case Location::Kind::Key: {
        // A 32-bit view without its Wow6432Node child still names its key.
        const Node e = readNode(at.named, at.view32);
        return e ? nameOf(e) : nameOf(at.named) + "\\" + std::string(detail::kWow64Node);
    }
    case Location::Kind::Classes:
        return "\\Registry\\Classes(" + nameOf(detail::live(at.user)) + "|" + nameOf(detail::live(at.machine)) + ")";
    case Location::Kind::Users:
        return std::string("\\Registry\\User");
    case Location::Kind::Empty:
        break;
    }
    return std::string();
}

std::vector<std::string> Store::warnings() const {
    std::vector<std::string> all;
    for (const Hive& h : hives_) {
        if (h.failed) all.push_back(h.failed->message);
        all.insert(all.end(), h.warnings.begin(), h.warnings.end());
    }
    return all;
}

} // namespace winsys::reg

namespace winsys::testing {

void failHiveWrites(HiveWriteFault where, std::size_t afterBytes, int err, std::string onlyFile) {
    reg::g_faultBytes = afterBytes;
    reg::g_faultErr = err;
    reg::g_faultFile = std::move(onlyFile);
    reg::g_fault = where;
}

std::uint64_t hiveWritesDone() { return reg::g_writesDone.load(); }

} // namespace winsys::testing
