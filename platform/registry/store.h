#pragma once
// The registry store: the key trees of the machine's three hives and the
// rules that join them into the registry a 32-bit program sees.
//
//   system.reg   HKLM
//   user.reg     the current user: HKCU and HKU\<SID>
//   userdef.reg  HKU\.Default
//
// Keys keep their subkeys sorted without regard to case, in Wine's order
// (found by binary search), and their values in creation order. A Location is what a key
// handle stands for: one key, the merged classes key of HKCR (user over
// machine), the HKU root, or an empty key (HKEY_PERFORMANCE_DATA).
//
// 32-bit view on 64-bit Windows: below HKLM\Software (but for Classes and
// Wow6432Node) names are looked up in the Wow6432Node child, and the key
// itself reads as that child. Below HKLM\Software\Classes and the users'
// Software\Classes only the names that their Wow6432Node child holds are
// redirected; any other name is shared by both views (and a new one is made
// in the shared place), as Windows 7 shares its class keys. Link keys ("#link" with a REG_LINK SymbolicLinkValue
// naming \Registry\Machine\... or \Registry\User\<SID>\...) are followed.
//
// The store is not thread-safe; registry.cpp serialises all calls.

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/core/machine.h"
#include "platform/core/result.h"
#include "platform/core/wintypes.h"
#include "platform/files/hostfile.h"

namespace winsys::reg {

// FILETIME ticks: 100 ns since 1601-01-01 UTC.
using FileTime = std::uint64_t;
FileTime fileTimeNow();
// Whole seconds since 1970, as the number after a hive's key line.
std::uint32_t unixSeconds(FileTime t);

// The order of subkeys: without regard to case, as Wine orders them (by
// lower-case letters, so "_x" comes before "a"); equal exactly when
// equalsNoCase says so.
int compareKeyNames(std::string_view a, std::string_view b);
struct LessKeyName {
    bool operator()(std::string_view a, std::string_view b) const { return compareKeyNames(a, b) < 0; }
};

struct Value {
    std::string name; // UTF-8; empty for the default value
    win::DWORD type = win::REG_NONE;
    std::vector<win::BYTE> data;
};

class Key {
public:
    Key(std::string name, Key* parent) : name_(std::move(name)), parent_(parent) {}

    const std::string& name() const { return name_; }
    Key* parent() const { return parent_; }
    bool deleted() const { return deleted_; }

    // Sorted by compareKeyNames.
    const std::vector<std::shared_ptr<Key>>& subkeys() const {
        if (sorted_ < subkeys_.size()) sortSubkeys();
        return subkeys_;
    }
    std::shared_ptr<Key> findSubkey(std::string_view name) const;
    // Finds `name` or inserts a new key by that name (case as given).
    std::shared_ptr<Key> addSubkey(std::string_view name, bool* created = nullptr);
    // Unlinks `child` and marks it and everything below it deleted.
    void removeSubkey(const Key* child);

    // In creation order.
    const std::vector<Value>& values() const { return values_; }
    const Value* findValue(std::string_view name) const;
    // Returns false when the value already held exactly this type and data.
    bool setValue(std::string_view name, win::DWORD type, const win::BYTE* data, std::size_t size);
    // The loader's path: values are appended as read, and a section's
    // repeated names are folded afterwards (the last data win).
    void appendLoadedValue(Value v) { values_.push_back(std::move(v)); indexed_ = false; }
    void dedupeLoadedValues();
    bool deleteValue(std::string_view name);
    void clearValues() { values_.clear(); indexed_ = false; }

    // What the hive file keeps of a key beyond names and values.
    std::uint32_t seconds = 0;          // number on the key line
    std::optional<FileTime> time;       // "#time="
    std::optional<std::string> klass;   // "#class=" (UTF-8)
    bool link = false;                  // "#link"
    // Lines of the key's section that the loader could not read (or that are
    // Wine's own options), written back as they stood.
    std::vector<std::string> unreadLines;

    // Stamps the key as changed now.
    void touch();
    // The link's target path when this is a followable link key.
    std::optional<std::string> linkTarget() const;
    // Marks this key and everything below it deleted (its hive's file, read
    // again, no longer holds it).
    void markDeleted();

private:
    std::string name_;
    Key* parent_;
    bool deleted_ = false;
    // The first sorted_ subkeys are in order; those after them came out of
    // order and are found through tailSlots_ until the next listing sorts
    // them in, so that filling a wide key in any order takes n log n time
    // rather than a move of the vector per key.
    mutable std::vector<std::shared_ptr<Key>> subkeys_;
    mutable std::size_t sorted_ = 0;
    // Open addressing by a hash of the upper-cased name, at most half full.
    struct TailSlot {
        std::uint64_t hash = 0;
        std::size_t position = 0; // in subkeys_, plus one; 0 for a free slot
    };
    mutable std::vector<TailSlot> tailSlots_;
    std::shared_ptr<Key> findSorted(std::string_view name) const;
    std::shared_ptr<Key> findInTail(std::string_view name, std::uint64_t hash) const;
    void addToTail(std::uint64_t hash, std::size_t position);
    void sortSubkeys() const;
    std::vector<Value> values_;
    // Position of a value by its upper-cased name, built on demand for keys
    // with many values so that filling a wide key is not quadratic.
    std::optional<std::size_t> valuePosition(std::string_view name) const;
    mutable std::unordered_map<std::string, std::size_t> valueIndex_;
    mutable bool indexed_ = false;
};

// One hive file's contents.
struct HiveTree {
    std::string relativeTo;  // header text after ";; All keys relative to "
    std::string arch;        // "win64", "win32", or empty when the file had no #arch line
    std::shared_ptr<Key> root = std::make_shared<Key>("", nullptr);
    // Lines the loader could not read, written back as they stood: those
    // before the first key, and the sections whose key line is bad.
    std::vector<std::string> unreadHead, unreadTail;
};

enum class HiveId { Machine = 0, User = 1, Default = 2 };
using HiveMask = unsigned; // bit (1 << HiveId)
inline HiveMask maskOf(HiveId h) { return 1u << static_cast<unsigned>(h); }
inline constexpr HiveMask kAllHives = 7;

struct Hive {
    HiveId id = HiveId::Machine;
    std::filesystem::path file;
    HiveTree tree;
    FileStamp stamp; // of the file when last read or written: another process's write changes it
    bool dirty = false;
    std::optional<Error> failed;       // the file could not be loaded: never touched
    std::vector<std::string> warnings; // bad lines skipped while loading
};

// A key of a hive; null key for "no such key".
struct Node {
    std::shared_ptr<Key> key;
    Hive* hive = nullptr;
    explicit operator bool() const { return key != nullptr; }
};

// The predefined keys, in the order of their HKEY values (0x80000000 + n).
enum class RootKey { ClassesRoot, CurrentUser, LocalMachine, Users, PerformanceData, CurrentConfig, DynData };

// A key handle's target. In the 32-bit view a redirected key's contents are
// found at each use (Wow6432Node children, shared class names).
struct Location {
    enum class Kind { Key, Classes, Users, Empty };
    Kind kind = Kind::Key;
    bool view32 = false;      // resolved in the 32-bit view
    Node named;               // Key: the key the path names
    Node user, machine;       // Classes: the two keys merged (either may be null)
    std::string classesPath;  // Classes: the path below HKCR
    std::uint64_t resolvedAt = 0; // Classes: the store's change stamp when user and machine were found
};

// Enumeration of a merged key lists names computed once per store change.
struct EnumCache {
    std::uint64_t stamp = ~std::uint64_t{0};
    std::vector<std::string> names;
};

class Store {
public:
    // Loads the machine's hives. A hive whose file cannot be read or has a
    // bad header is marked failed: its keys give ERROR_REGISTRY_CORRUPT and
    // its file is never written.
    static std::unique_ptr<Store> load(const Machine& m);
    Store(const Store&) = delete;
    Store& operator=(const Store&) = delete;
    ~Store();

    std::uint64_t machineSerial() const { return serial_; }
    // Unique across stores; a new one at every change of the trees.
    std::uint64_t changeStamp() const { return changes_; }
    bool is64bit() const { return is64bit_; }
    Hive& hive(HiveId id) { return hives_[static_cast<int>(id)]; }

    // `view32` asks for the 32-bit view; it means nothing on 32-bit Windows.
    Result<Location> root(RootKey which, bool view32);
    Result<Location> open(const Location& from, std::string_view path, bool view32, bool openLink);
    // Opens or creates; `created` tells which. Changed hives go into `changed`.
    Result<Location> create(const Location& from, std::string_view path, bool view32, bool openLink, bool* created,
                            HiveMask& changed);

    // Fails with ERROR_KEY_DELETED when the location's key is gone.
    Result<void> check(const Location& at) const;
    Result<const Value*> queryValue(const Location& at, std::string_view name);
    Result<void> setValue(const Location& at, std::string_view name, win::DWORD type, const win::BYTE* data,
                          std::size_t size, HiveMask& changed);
    // A merged key loses the value in both places.
    Result<void> deleteValue(const Location& at, std::string_view name, HiveMask& changed);
    Result<std::string> enumSubkey(const Location& at, std::size_t index, EnumCache& cache);
    Result<const Value*> enumValue(const Location& at, std::size_t index, EnumCache& cache);
    // Numbers of subkeys and values.
    Result<std::pair<std::size_t, std::size_t>> countInfo(const Location& at, EnumCache& keys, EnumCache& values);
    bool hasValues(const Location& at);

    // Deletes a key without subkeys (ERROR_ACCESS_DENIED otherwise, and for
    // a hive's root); an empty path names `from` itself. A link key is
    // deleted, not its target; a merged key goes from both places.
    Result<void> deleteKey(const Location& from, std::string_view path, bool view32, HiveMask& changed);
    // Deletes a key with everything below it; an empty path empties `from`.
    Result<void> deleteTree(const Location& from, std::string_view path, bool view32, HiveMask& changed);

    // Copies the values and subkeys of `path` below `from` into `to`; a link
    // key is copied as a link and never descended through. A merged classes
    // key is copied machine first, then user, so the user's values win.
    Result<void> copyTree(const Location& from, std::string_view path, const Location& to, HiveMask& changed);

    // The hives a location reads from or writes to.
    HiveMask hivesOf(const Location& at) const;
    // Writes the dirty hives in `which`, all or none: every temporary file is
    // written and flushed before the first rename. When one fails, the dirty
    // hives of `which` are read again from their files, so that what the
    // store holds is what the disk holds, and the first error is returned.
    Result<void> flush(HiveMask which);
    // Drops the unwritten changes of the hives in `which`: each dirty one is
    // read again from its file (locations move over with rebind()).
    void discard(HiveMask which);
    // Reads again each hive whose file another process changed since this
    // store read or wrote it; returns those hives. Locations of their old
    // trees are moved over with rebind().
    HiveMask refresh();
    // Points a location's keys of reloaded hives at the same keys of the new
    // trees (or at deleted keys when the file no longer holds them).
    void rebind(Location& at) const;
    // Frees the trees that reloading replaced. Until then they stay whole,
    // since rebind() finds a key's place in the new tree through its old
    // parents; call it once every location has been rebound.
    void releaseReplacedTrees() { replaced_.clear(); }

    // Serialises the writers of one prefix across processes: an exclusive
    // lock on a file in the prefix, held from reading a hive to writing it.
    Result<void> lockWriters();
    void unlockWriters();
    // The full name of the key a location stands for, after links and the
    // view's redirection ("\\Registry\\Machine\\Software\\X"): two
    // locations of one key give the same name. Merged classes keys name both
    // of their keys.
    Result<std::string> keyName(const Location& at);

    // Bad lines skipped and hives that failed, for people.
    std::vector<std::string> warnings() const;

private:
    Store() = default;

    enum class Redirect { None, Software, Classes };
    struct WalkMode {
        bool view32;
        bool openLink; // the last name is not followed when it is a link
        bool create;
    };
    using Parts = std::vector<std::string_view>;

    // Change stamps are unique across stores, so that no enumeration cache
    // of a dropped store looks fresh.
    static std::uint64_t nextStamp();
    Redirect redirectOf(const Node& n) const;
    // True when the 32-bit view looks `next` up in cur's Wow6432Node child.
    bool hopsBefore(const Node& cur, std::string_view next) const;
    void noteChange(Hive* h, HiveMask* changed);
    Result<Node> hiveRoot(HiveId id);
    Result<Node> userHive(std::string_view name);
    Result<std::shared_ptr<Key>> addKey(const Node& parent, std::string_view name, HiveMask* changed);
    // The key that holds a named key's contents in the view.
    Node effective(const Node& named, bool view32, bool create, HiveMask* changed);
    Node readNode(const Node& named, bool view32);
    Result<Node> writeNode(const Location& at, HiveMask& changed);
    Result<Node> walk(Node from, const Parts& parts, const WalkMode& mode, bool* created, HiveMask* changed,
                      int& hops);
    Result<Node> followLink(const std::string& target, bool create, HiveMask* changed, int& hops);
    Result<Location> classes(std::string_view path, bool view32, bool openLink);
    // A path below a merged classes key, in the view it was opened in.
    Result<Location> classesBelow(const Location& from, const Parts& parts, std::string_view path, bool openLink);
    int existingClassesDepth(HiveId id, const Parts& parts, bool view32);
    bool mergesClasses(const Node& e, bool view32) const;
    // The names a key lists in the view, sorted: its subkeys' own, valid
    // while the tree is unchanged.
    std::vector<const std::string*> viewSubkeyNames(const Node& e, bool view32) const;
    void refreshKeyNames(const Node& e, bool view32, EnumCache& cache);
    void refreshClassesKeys(const Location& at, EnumCache& cache);
    void refreshClassesValues(const Location& at, EnumCache& cache);
    std::vector<std::string> userNames() const;
    Result<std::vector<Node>> deletionTargets(const Location& from, std::string_view path, bool view32);
    void unlink(const Node& n, HiveMask& changed);
    Result<void> copyKeyInto(const Key& source, const Node& into, HiveMask& changed);

    void reloadHive(Hive& h);
    void rebindNode(Node& n) const;

    std::uint64_t serial_ = 0;
    int lockFd_ = -1;
    int lockDepth_ = 0;
    bool is64bit_ = true;
    std::string userSid_;
    Hive hives_[3];
    std::vector<std::shared_ptr<Key>> replaced_; // old roots awaiting releaseReplacedTrees()
    std::uint64_t changes_ = 0; // stamp of the last change; merged enumerations compare against it
};

// Writes `bytes` to `file` atomically: a temporary file in the same folder,
// fsync, rename over the old file, fsync of the folder. On failure the old
// file is untouched and the temporary file removed.
Result<void> writeFileAtomically(const std::filesystem::path& file, std::string_view bytes);

// The two halves of writeFileAtomically, for writing several files together:
// stageFile writes and flushes the temporary file (removing it on failure);
// commitStaged renames it over the file and flushes the folder; dropStaged
// removes it unused.
struct StagedFile {
    std::filesystem::path file, temporary;
};
Result<StagedFile> stageFile(const std::filesystem::path& file, std::string_view bytes);
Result<void> commitStaged(const StagedFile& staged);
void dropStaged(const StagedFile& staged);

// Win32 error number for an errno value of a failed write.
win::DWORD winErrorFromErrno(int err);

} // namespace winsys::reg

namespace winsys::testing {

// Makes hive writes fail, to test that an interrupted write leaves the old
// file whole: after `afterBytes` bytes of the temporary file, or just before
// the rename. The failure reports `err`. With `onlyFile` ("user.reg") only
// that hive's writes fail. HiveWriteFault::None restores. Set it while no
// other thread writes.
enum class HiveWriteFault { None, AfterBytes, BeforeRename };
void failHiveWrites(HiveWriteFault where, std::size_t afterBytes = 0, int err = EIO, std::string onlyFile = {});

// The hive files this process has written (renamed into place) so far.
std::uint64_t hiveWritesDone();

} // namespace winsys::testing
