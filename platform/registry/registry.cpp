// The Windows-shaped registry calls over the store: key handles, access
// rights, views from the REGSAM flags, and writing changed hives back.
//
// One mutex guards the store and the handle table. The store belongs to the
// current machine; when the machine changes, the old store is dropped, its
// handles turn invalid, and the new machine's store is loaded on first use.
// Every call that changes a hive does so under the prefix's writers' lock,
// on hives read again when another process wrote them, and writes them back
// before it returns; a failed write fails the call.
#include "platform/registry/registry.h"

#include <fcntl.h>
#include <unistd.h>

#include <iostream>
#include <mutex>
#include <optional>
#include <unordered_map>

#include "platform/core/machine.h"
#include "platform/registry/hive_syntax.h"
#include "platform/registry/store.h"
#include "platform/registry/wineserver.h"

namespace win {

namespace {

using winsys::reg::Location;
using winsys::reg::RootKey;
using winsys::reg::Store;

constexpr REGSAM kViewFlags = KEY_WOW64_64KEY | KEY_WOW64_32KEY;
constexpr REGSAM kMaximumAllowed = 0x02000000;
constexpr REGSAM kGenericRead = 0x80000000u;
constexpr REGSAM kGenericWrite = 0x40000000;
constexpr REGSAM kGenericExecute = 0x20000000;
constexpr REGSAM kGenericAll = 0x10000000;

constexpr std::uintptr_t kFirstPredefined = 0x80000000u;
constexpr std::uintptr_t kPredefinedCount = 7;

struct Handle {
    std::uint64_t machineSerial = 0;
    Location loc;
    REGSAM access = 0;
    winsys::reg::HiveMask changed = 0; // hives changed through this handle
    winsys::reg::EnumCache keys, values;
};

struct Registry {
    std::mutex lock;
    std::unique_ptr<Store> store;
    std::unordered_map<std::uintptr_t, std::unique_ptr<Handle>> handles;
    std::uintptr_t nextHandle = 0x1000;
    // Enumeration caches of the predefined keys, by root and view.
    winsys::reg::EnumCache rootKeys[kPredefinedCount][2], rootValues[kPredefinedCount][2];
    // An open batch holds the writers' lock and keeps its changes in memory.
    bool batch = false;
    winsys::reg::HiveMask batchChanged = 0;

    ~Registry() { drop(); }

    // Points every open handle at the keys of hives read again.
    void rebindHandles() {
        for (auto& [id, h] : handles)
            if (h->machineSerial == store->machineSerial()) store->rebind(h->loc);
        store->releaseReplacedTrees();
    }

    // Ends an open batch without writing it.
    void abandonBatch() {
        if (!batch) return;
        batch = false;
        store->discard(batchChanged);
        batchChanged = 0;
        rebindHandles();
        store->unlockWriters();
    }

    void drop() {
        if (!store) return;
        abandonBatch();
        auto r = store->flush(winsys::reg::kAllHives);
        // A prefix removed from under us (a test's) has nowhere to go.
        std::error_code ec;
        if (!r && std::filesystem::exists(store->hive(winsys::reg::HiveId::Machine).file.parent_path(), ec))
            std::cerr << "registry: " << r.error().message << "\n";
        store.reset();
    }

    Store& current() {
        winsys::Machine& m = winsys::machine();
        if (store && store->machineSerial() != m.serial()) drop();
        if (!store) store = Store::load(m);
        return *store;
    }
};

Registry& registry() {
    static Registry r;
    return r;
}

std::optional<RootKey> predefined(HKEY key) {
    const auto v = reinterpret_cast<std::uintptr_t>(key);
    if (v < kFirstPredefined || v >= kFirstPredefined + kPredefinedCount) return std::nullopt;
    return static_cast<RootKey>(v - kFirstPredefined);
}

REGSAM grantedAccess(REGSAM sam) {
    REGSAM a = sam & ~kViewFlags;
    if (a & (kMaximumAllowed | kGenericAll)) a |= KEY_ALL_ACCESS;
    if (a & (kGenericRead | kGenericExecute)) a |= KEY_READ;
    if (a & kGenericWrite) a |= KEY_WRITE;
    return a;
}

// True when the call asks for the 32-bit view; the process is 32-bit, so
// that is the default.
bool wants32(REGSAM sam) { return !(sam & KEY_WOW64_64KEY); }

bool badViewFlags(REGSAM sam) { return (sam & kViewFlags) == kViewFlags; }

LSTATUS code(const winsys::Error& e) { return static_cast<LSTATUS>(e.code); }

// What a call addresses: a predefined key (in the view the call asks for)
// or an open handle.
struct Target {
    Target() = default;
    Target(const Target&) = delete;
    Target& operator=(const Target&) = delete;

    const Location* loc = nullptr; // the handle's own, or rootLoc
    Location rootLoc;
    Handle* handle = nullptr;
    REGSAM access = KEY_ALL_ACCESS;
    winsys::reg::EnumCache* keys = nullptr;
    winsys::reg::EnumCache* values = nullptr;
};

LSTATUS resolve(Registry& r, HKEY key, bool view32, Target& out) {
    if (!key) return ERROR_INVALID_HANDLE;
    Store& s = r.current();
    if (auto root = predefined(key)) {
        auto loc = s.root(*root, view32);
        if (!loc) return code(loc.error());
        out.rootLoc = std::move(*loc);
        out.loc = &out.rootLoc;
        out.handle = nullptr;
        out.access = KEY_ALL_ACCESS;
        const auto i = static_cast<std::size_t>(*root);
        const int v = out.rootLoc.view32 ? 1 : 0;
        out.keys = &r.rootKeys[i][v];
        out.values = &r.rootValues[i][v];
        return ERROR_SUCCESS;
    }
    auto it = r.handles.find(reinterpret_cast<std::uintptr_t>(key));
    if (it == r.handles.end() || it->second->machineSerial != s.machineSerial()) return ERROR_INVALID_HANDLE;
    Handle& h = *it->second;
    out.loc = &h.loc;
    out.handle = &h;
    out.access = h.access;
    out.keys = &h.keys;
    out.values = &h.values;
    return ERROR_SUCCESS;
}

HKEY newHandle(Registry& r, Location loc, REGSAM sam, winsys::reg::HiveMask changed) {
    auto h = std::make_unique<Handle>();
    h->machineSerial = r.store->machineSerial();
    h->loc = std::move(loc);
    h->access = grantedAccess(sam);
    h->changed = changed;
    std::uintptr_t id;
    do {
        id = r.nextHandle;
        r.nextHandle += 4;
    } while ((id >= kFirstPredefined && id < kFirstPredefined + kPredefinedCount) || r.handles.count(id));
    r.handles.emplace(id, std::move(h));
    return reinterpret_cast<HKEY>(id);
}

void noteChanges(Target& t, winsys::reg::HiveMask changed) {
    if (t.handle) t.handle->changed |= changed;
}

LSTATUS flushStatus(const winsys::Result<void>& r) { return r ? ERROR_SUCCESS : code(r.error()); }

// One changing call: begin() refuses while a wineserver serves the prefix,
// takes the writers' lock and reads again the hives that changed on disk
// (moving the open handles over), unless a batch holds them already; end()
// writes what the call changed.
class Change {
public:
    explicit Change(Registry& r) : r_(r) {}
    Change(const Change&) = delete;
    Change& operator=(const Change&) = delete;
    ~Change() {
        if (locked_) r_.store->unlockWriters();
    }

    LSTATUS begin() {
        Store& s = r_.current();
        // An open batch holds the writers' lock and read the hives when it
        // began; reading one again now would drop the batch's changes to it.
        // It changes memory only: its end looks for a wineserver before
        // writing anything.
        if (r_.batch) return ERROR_SUCCESS;
        if (winsys::reg::runningWineserver(winsys::machine().prefix())) return ERROR_SHARING_VIOLATION;
        if (auto l = s.lockWriters(); !l) return code(l.error());
        locked_ = true;
        if (s.refresh()) r_.rebindHandles();
        return ERROR_SUCCESS;
    }

    // The call's own result, or the write's failure when the call succeeded.
    // Within a batch the changes wait for its end.
    LSTATUS end(winsys::reg::HiveMask changed, LSTATUS status) {
        if (!changed) return status;
        if (r_.batch) {
            r_.batchChanged |= changed;
            return status;
        }
        const LSTATUS written = flushStatus(r_.store->flush(changed));
        // A failed write read the hive again: the handles move to its keys.
        if (written != ERROR_SUCCESS) r_.rebindHandles();
        return status != ERROR_SUCCESS ? status : written;
    }

private:
    Registry& r_;
    bool locked_ = false;
};

} // namespace

LSTATUS RegOpenKeyEx(HKEY key, const std::string& subKey, DWORD options, REGSAM sam, HKEY* result) {
    if (!result) return ERROR_INVALID_PARAMETER;
    *result = nullptr;
    Registry& r = registry();
    std::lock_guard<std::mutex> lock(r.lock);
    if (badViewFlags(sam) && r.current().is64bit()) return ERROR_INVALID_PARAMETER;
    Target t;
    if (LSTATUS s = resolve(r, key, wants32(sam), t)) return s;
    auto loc = r.store->open(*t.loc, subKey, wants32(sam), (options & REG_OPTION_OPEN_LINK) != 0);
    if (!loc) return code(loc.error());
    *result = newHandle(r, std::move(*loc), sam, 0);
    return ERROR_SUCCESS;
}

LSTATUS RegCreateKeyEx(HKEY key, const std::string& subKey, DWORD options, REGSAM sam, HKEY* result,
                       DWORD* disposition) {
    if (!result) return ERROR_INVALID_PARAMETER;
    *result = nullptr;
    if (options & ~REG_OPTION_OPEN_LINK) return ERROR_INVALID_PARAMETER;
    Registry& r = registry();
    std::lock_guard<std::mutex> lock(r.lock);
    if (badViewFlags(sam) && r.current().is64bit()) return ERROR_INVALID_PARAMETER;
    Target t;
    if (LSTATUS s = resolve(r, key, wants32(sam), t)) return s;
    const bool openLink = (options & REG_OPTION_OPEN_LINK) != 0;
    // An existing key opens without the writers' lock, as a read.
    if (auto existing = r.store->open(*t.loc, subKey, wants32(sam), openLink)) {
        *result = newHandle(r, std::move(*existing), sam, 0);
        if (disposition) *disposition = REG_OPENED_EXISTING_KEY;
        return ERROR_SUCCESS;
    }
    Change change(r);
    if (LSTATUS s = change.begin()) return s;
    if (LSTATUS s = resolve(r, key, wants32(sam), t)) return s;
    // Making a key needs the right on its parent; opening one does not.
    if (!(t.access & KEY_CREATE_SUB_KEY)) {
        auto existing = r.store->open(*t.loc, subKey, wants32(sam), openLink);
        if (!existing) return existing.error().code == ERROR_FILE_NOT_FOUND ? ERROR_ACCESS_DENIED : code(existing.error());
    }
    bool created = false;
    winsys::reg::HiveMask changed = 0;
    auto loc = r.store->create(*t.loc, subKey, wants32(sam), openLink, &created, changed);
    noteChanges(t, changed);
    if (LSTATUS s = change.end(changed, loc ? ERROR_SUCCESS : code(loc.error()))) return s;
    *result = newHandle(r, std::move(*loc), sam, changed);
    if (disposition) *disposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
    return ERROR_SUCCESS;
}

LSTATUS RegCloseKey(HKEY key) {
    if (!key) return ERROR_INVALID_HANDLE;
    if (predefined(key)) return ERROR_SUCCESS;
    Registry& r = registry();
    std::lock_guard<std::mutex> lock(r.lock);
    auto it = r.handles.find(reinterpret_cast<std::uintptr_t>(key));
    if (it == r.handles.end()) return ERROR_INVALID_HANDLE;
    const std::unique_ptr<Handle> h = std::move(it->second);
    r.handles.erase(it);
    // A handle of a dropped store: its changes were written when it went.
    if (!h->changed || !r.store || r.store->machineSerial() != h->machineSerial || r.batch) return ERROR_SUCCESS;
    return flushStatus(r.store->flush(h->changed));
}

LSTATUS RegFlushKey(HKEY key) {
    Registry& r = registry();
    std::lock_guard<std::mutex> lock(r.lock);
    Target t;
    if (LSTATUS s = resolve(r, key, true, t)) return s;
    if (r.batch) return ERROR_SUCCESS; // written at the batch's end
    const winsys::reg::HiveMask which = r.store->hivesOf(*t.loc) | (t.handle ? t.handle->changed : 0);
    return flushStatus(r.store->flush(which));
}

LSTATUS RegQueryValueEx(HKEY key, const std::string& name, DWORD* type, std::vector<BYTE>* data) {
    Registry& r = registry();
    std::lock_guard<std::mutex> lock(r.lock);
    Target t;
    if (LSTATUS s = resolve(r, key, true, t)) return s;
    if (!(t.access & KEY_QUERY_VALUE)) return ERROR_ACCESS_DENIED;
    auto v = r.store->queryValue(*t.loc, name);
    if (!v) return code(v.error());
    if (type) *type = (*v)->type;
    if (data) *data = (*v)->data;
    return ERROR_SUCCESS;
}

LSTATUS RegSetValueEx(HKEY key, const std::string& name, DWORD type, const BYTE* data, std::size_t size) {
    if (!data && size) return ERROR_INVALID_PARAMETER;
    Registry& r = registry();
    std::lock_guard<std::mutex> lock(r.lock);
    Target t;
    if (LSTATUS s = resolve(r, key, true, t)) return s;
    if (!(t.access & KEY_SET_VALUE)) return ERROR_ACCESS_DENIED;
    Change change(r);
    if (LSTATUS s = change.begin()) return s;
    if (LSTATUS s = resolve(r, key, true, t)) return s;
    winsys::reg::HiveMask changed = 0;
    auto done = r.store->setValue(*t.loc, name, type, data, size, changed);
    noteChanges(t, changed);
    return change.end(changed, done ? ERROR_SUCCESS : code(done.error()));
}

LSTATUS RegDeleteValue(HKEY key, const std::string& name) {
    Registry& r = registry();
    std::lock_guard<std::mutex> lock(r.lock);
    Target t;
    if (LSTATUS s = resolve(r, key, true, t)) return s;
    if (!(t.access & KEY_SET_VALUE)) return ERROR_ACCESS_DENIED;
    Change change(r);
    if (LSTATUS s = change.begin()) return s;
    if (LSTATUS s = resolve(r, key, true, t)) return s;
    winsys::reg::HiveMask changed = 0;
    auto done = r.store->deleteValue(*t.loc, name, changed);
    noteChanges(t, changed);
    return change.end(changed, done ? ERROR_SUCCESS : code(done.error()));
}

LSTATUS RegEnumKeyEx(HKEY key, DWORD index, std::string* name) {
    if (!name) return ERROR_INVALID_PARAMETER;
    Registry& r = registry();
    std::lock_guard<std::mutex> lock(r.lock);
    Target t;
    if (LSTATUS s = resolve(r, key, true, t)) return s;
    if (!(t.access & KEY_ENUMERATE_SUB_KEYS)) return ERROR_ACCESS_DENIED;
    auto n = r.store->enumSubkey(*t.loc, index, *t.keys);
    if (!n) return code(n.error());
    *name = std::move(*n);
    return ERROR_SUCCESS;
}

LSTATUS RegEnumValue(HKEY key, DWORD index, std::string* name, DWORD* type, std::vector<BYTE>* data) {
    Registry& r = registry();
    std::lock_guard<std::mutex> lock(r.lock);
    Target t;
    if (LSTATUS s = resolve(r, key, true, t)) return s;
    if (!(t.access & KEY_QUERY_VALUE)) return ERROR_ACCESS_DENIED;
    auto v = r.store->enumValue(*t.loc, index, *t.values);
    if (!v) return code(v.error());
    if (name) *name = (*v)->name;
    if (type) *type = (*v)->type;
    if (data) *data = (*v)->data;
    return ERROR_SUCCESS;
}

LSTATUS RegQueryInfoKey(HKEY key, DWORD* subKeys, DWORD* values) {
    Registry& r = registry();
    std::lock_guard<std::mutex> lock(r.lock);
    Target t;
    if (LSTATUS s = resolve(r, key, true, t)) return s;
    if (!(t.access & KEY_QUERY_VALUE)) return ERROR_ACCESS_DENIED;
    auto counts = r.store->countInfo(*t.loc, *t.keys, *t.values);
    if (!counts) return code(counts.error());
    if (subKeys) *subKeys = static_cast<DWORD>(counts->first);
    if (values) *values = static_cast<DWORD>(counts->second);
    return ERROR_SUCCESS;
}

LSTATUS RegDeleteKeyEx(HKEY key, const std::string& subKey, REGSAM sam, DWORD /*reserved*/) {
    Registry& r = registry();
    std::lock_guard<std::mutex> lock(r.lock);
    if (badViewFlags(sam) && r.current().is64bit()) return ERROR_INVALID_PARAMETER;
    Target t;
    if (LSTATUS s = resolve(r, key, wants32(sam), t)) return s;
    if (subKey.empty() && !(t.access & DELETE)) return ERROR_ACCESS_DENIED;
    Change change(r);
    if (LSTATUS s = change.begin()) return s;
    if (LSTATUS s = resolve(r, key, wants32(sam), t)) return s;
    winsys::reg::HiveMask changed = 0;
    auto done = r.store->deleteKey(*t.loc, subKey, wants32(sam), changed);
    noteChanges(t, changed);
    return change.end(changed, done ? ERROR_SUCCESS : code(done.error()));
}

LSTATUS RegDeleteTree(HKEY key, const std::string& subKey) {
    Registry& r = registry();
    std::lock_guard<std::mutex> lock(r.lock);
    Target t;
    if (LSTATUS s = resolve(r, key, true, t)) return s;
    if (subKey.empty()) {
        const REGSAM needed = DELETE | KEY_ENUMERATE_SUB_KEYS | KEY_QUERY_VALUE |
                              (r.store->hasValues(*t.loc) ? KEY_SET_VALUE : 0);
        if ((t.access & needed) != needed) return ERROR_ACCESS_DENIED;
    }
    Change change(r);
    if (LSTATUS s = change.begin()) return s;
    if (LSTATUS s = resolve(r, key, true, t)) return s;
    // No view flags here: the subkey is looked up in the handle's view.
    winsys::reg::HiveMask changed = 0;
    auto done = r.store->deleteTree(*t.loc, subKey, t.loc->view32, changed);
    noteChanges(t, changed);
    return change.end(changed, done ? ERROR_SUCCESS : code(done.error()));
}

LSTATUS RegCopyTree(HKEY source, const std::string& subKey, HKEY destination) {
    Registry& r = registry();
    std::lock_guard<std::mutex> lock(r.lock);
    Target from, to;
    if (LSTATUS s = resolve(r, source, true, from)) return s;
    if (LSTATUS s = resolve(r, destination, true, to)) return s;
    if (!(from.access & KEY_READ) || (to.access & KEY_WRITE) != KEY_WRITE) return ERROR_ACCESS_DENIED;
    Change change(r);
    if (LSTATUS s = change.begin()) return s;
    if (LSTATUS s = resolve(r, source, true, from)) return s;
    if (LSTATUS s = resolve(r, destination, true, to)) return s;
    winsys::reg::HiveMask changed = 0;
    auto done = r.store->copyTree(*from.loc, subKey, *to.loc, changed);
    noteChanges(to, changed);
    return change.end(changed, done ? ERROR_SUCCESS : code(done.error()));
}

} // namespace win

namespace winsys {

Result<void> flushRegistry() {
    auto& r = win::registry();
    std::lock_guard<std::mutex> lock(r.lock);
    if (!r.store || r.batch) return {};
    return r.store->flush(reg::kAllHives);
}

Result<void> beginRegistryBatch() {
    auto& r = win::registry();
    std::lock_guard<std::mutex> lock(r.lock);
    reg::Store& s = r.current();
    if (r.batch) return Error{win::ERROR_INVALID_FUNCTION, "a batch of registry changes is already open"};
    if (auto dir = reg::runningWineserver(machine().prefix()))
        return Error{win::ERROR_SHARING_VIOLATION, "a wineserver serves the prefix (" + dir->string() + ")"};
    if (auto l = s.lockWriters(); !l) return l.error();
    if (s.refresh()) r.rebindHandles();
    r.batch = true;
    r.batchChanged = 0;
    return {};
}

Result<void> commitRegistryBatch() {
    auto& r = win::registry();
    std::lock_guard<std::mutex> lock(r.lock);
    if (!r.batch) return Error{win::ERROR_INVALID_FUNCTION, "no batch of registry changes is open"};
    if (auto dir = reg::runningWineserver(machine().prefix())) {
        r.abandonBatch();
        return Error{win::ERROR_SHARING_VIOLATION,
                     "a wineserver began to serve the prefix (" + dir->string() + "): nothing was written"};
    }
    r.batch = false;
    auto written = r.store->flush(r.batchChanged);
    r.batchChanged = 0;
    // A failed write read the hives again: the handles move to their keys.
    if (!written) r.rebindHandles();
    r.store->unlockWriters();
    return written;
}

void abandonRegistryBatch() {
    auto& r = win::registry();
    std::lock_guard<std::mutex> lock(r.lock);
    if (r.store) r.abandonBatch();
}

Result<std::string> registryKeyName(win::HKEY key) {
    auto& r = win::registry();
    std::lock_guard<std::mutex> lock(r.lock);
    win::Target t;
    if (win::LSTATUS s = win::resolve(r, key, true, t)) return Error{static_cast<win::DWORD>(s), "invalid key handle"};
    return r.store->keyName(*t.loc);
}

std::optional<std::string> registryRefusal() {
    auto& r = win::registry();
    std::lock_guard<std::mutex> lock(r.lock);
    if (auto dir = reg::runningWineserver(machine().prefix()))
        return "a wineserver is running for the prefix " + machine().prefix().string() + " (" + dir->string() +
               "): it holds the registry in memory and would overwrite any change, so nothing is changed; "
               "end the prefix's Windows programs (wineserver -k) and try again";
    return std::nullopt;
}

std::vector<std::string> registryWarnings() {
    auto& r = win::registry();
    std::lock_guard<std::mutex> lock(r.lock);
    return r.current().warnings();
}

std::optional<std::string> hiveFileProblem(const std::filesystem::path& prefix, std::string_view fileName) {
    const std::string where = "Windows prefix '" + prefix.string() + "'";
    const std::filesystem::path file = prefix / fileName;
    std::error_code ec;
    const auto status = std::filesystem::status(file, ec);
    if (!std::filesystem::exists(status)) return where + " has no " + std::string(fileName);
    // Never wait on a pipe put in the hive's place.
    const int fd = std::filesystem::is_regular_file(status) ? ::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK)
                                                            : -1;
    char head[64];
    const ssize_t n = fd >= 0 ? ::read(fd, head, sizeof head) : -1;
    if (fd >= 0) ::close(fd);
    if (n < 0) return where + ": " + std::string(fileName) + " cannot be read";
    std::string_view first(head, static_cast<std::size_t>(n));
    first = first.substr(0, first.find('\n'));
    if (!first.empty() && first.back() == '\r') first.remove_suffix(1);
    if (first != reg::syntax::kHeader) return where + ": " + std::string(fileName) + " is not a Wine registry file";
    return std::nullopt;
}

std::uint64_t registryChangeStamp() {
    auto& r = win::registry();
    std::lock_guard<std::mutex> lock(r.lock);
    return r.current().changeStamp();
}

} // namespace winsys
