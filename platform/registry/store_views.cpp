// The registry a program sees, built on the three hive trees: the roots,
// path lookup with the 32-bit view's redirection and link keys, and the
// merged HKEY_CLASSES_ROOT and HKEY_USERS.
#include "platform/registry/store.h"

#include "platform/core/text.h"
#include "platform/registry/store_detail.h"

namespace winsys::reg {

using namespace detail;

namespace {

constexpr int kMaxLinkHops = 16;
constexpr std::size_t kMaxDepth = 512; // Windows' limit on key nesting
constexpr std::string_view kCurrentConfig = "System\\CurrentControlSet\\Hardware Profiles\\Current";

std::string joinPath(std::string_view a, std::string_view b) {
    if (a.empty()) return std::string(b);
    if (b.empty()) return std::string(a);
    std::string joined;
    joined.reserve(a.size() + 1 + b.size());
    return joined.append(a).append(1, '\\').append(b);
}

std::size_t depthOf(const Key* k) {
    std::size_t d = 0;
    for (; k->parent(); k = k->parent()) ++d;
    return d;
}

} // namespace

// ---- Redirection and lookup ---------------------------------------------------

Store::Redirect Store::redirectOf(const Node& n) const {
    if (!is64bit_ || !n || n.key->deleted()) return Redirect::None;
    const Key* k = n.key.get();
    const Key* parent = k->parent();
    if (!parent) return Redirect::None;
    const Key* root = n.hive->tree.root.get();
    if (n.hive->id == HiveId::Machine && parent == root && equalsNoCase(k->name(), "Software")) return Redirect::Software;
    if (parent->parent() == root && equalsNoCase(parent->name(), "Software") && equalsNoCase(k->name(), "Classes"))
        return Redirect::Classes;
    return Redirect::None;
}

bool Store::hopsBefore(const Node& cur, std::string_view next) const {
    switch (redirectOf(cur)) {
    case Redirect::Software:
        return !equalsNoCase(next, "Classes") && !equalsNoCase(next, kWow64Node);
    case Redirect::Classes: {
        // Only the names Wow6432Node holds are redirected; the rest are shared.
        if (equalsNoCase(next, kWow64Node)) return false;
        const auto w = cur.key->findSubkey(kWow64Node);
        return w && w->findSubkey(next);
    }
    case Redirect::None:
        break;
    }
    return false;
}

void Store::noteChange(Hive* h, HiveMask* changed) {
    h->dirty = true;
    changes_ = nextStamp();
    if (changed) *changed |= maskOf(h->id);
}

Result<Node> Store::hiveRoot(HiveId id) {
    Hive& h = hive(id);
    if (h.failed) return Error{win::ERROR_REGISTRY_CORRUPT, h.failed->message};
    return Node{h.tree.root, &h};
}

Result<std::shared_ptr<Key>> Store::addKey(const Node& parent, std::string_view name, HiveMask* changed) {
    if (depthOf(parent.key.get()) + 1 > kMaxDepth)
        return Error{win::ERROR_INVALID_PARAMETER, "keys nest at most 512 deep"};
    auto k = parent.key->addSubkey(name);
    k->touch();
    parent.key->touch();
    noteChange(parent.hive, changed);
    return k;
}

Node Store::effective(const Node& named, bool view32, bool create, HiveMask* changed) {
    if (!view32 || redirectOf(named) != Redirect::Software) return named;
    auto w = named.key->findSubkey(kWow64Node);
    if (!w && create) {
        w = named.key->addSubkey(kWow64Node);
        w->touch();
        named.key->touch();
        noteChange(named.hive, changed);
    }
    return Node{w, w ? named.hive : nullptr};
}

Result<Node> Store::walk(Node cur, const Parts& parts, const WalkMode& mode, bool* created, HiveMask* changed,
                         int& hops) {
    if (created) *created = false;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (cur.key->deleted()) return keyDeleted();
        const std::string_view name = parts[i];
        const bool last = i + 1 == parts.size();
        if (mode.view32 && hopsBefore(cur, name)) {
            auto w = cur.key->findSubkey(kWow64Node);
            if (!w) {
                if (!mode.create) return notFound();
                auto added = addKey(cur, kWow64Node, changed);
                if (!added) return added.error();
                w = *added;
            }
            cur.key = w;
        }
        auto next = cur.key->findSubkey(name);
        if (!next) {
            if (!mode.create) return notFound();
            auto added = addKey(cur, name, changed);
            if (!added) return added.error();
            next = *added;
            if (created && last) *created = true;
        }
        Node n{next, cur.hive};
        if (!(last && mode.openLink)) {
            if (auto target = n.key->linkTarget()) {
                auto linked = followLink(*target, mode.create, changed, hops);
                if (!linked) return linked.error();
                n = *linked;
            }
        }
        cur = n;
    }
    return cur;
}

Result<Node> Store::followLink(const std::string& target, bool create, HiveMask* changed, int& hops) {
    if (++hops > kMaxLinkHops) return Error{win::ERROR_CANTOPEN, "link keys form a loop: '" + target + "'"};
    auto parts = splitPath(std::string_view(target).substr(target.rfind('\\', 0) == 0 ? 1 : 0));
    if (!parts) return parts.error();
    const Parts& p = *parts;
    std::size_t skip = 0;
    std::optional<HiveId> id;
    if (p.size() >= 2 && equalsNoCase(p[0], "Registry") && equalsNoCase(p[1], "Machine")) {
        id = HiveId::Machine;
        skip = 2;
    } else if (p.size() >= 3 && equalsNoCase(p[0], "Registry") && equalsNoCase(p[1], "User")) {
        if (equalsNoCase(p[2], userSid_)) id = HiveId::User;
        else if (equalsNoCase(p[2], ".Default")) id = HiveId::Default;
        skip = 3;
    }
    if (!id) return Error{win::ERROR_FILE_NOT_FOUND, "link to a place outside the hives: '" + target + "'"};
    auto root = hiveRoot(*id);
    if (!root) return root.error();
    const Parts rest(p.begin() + static_cast<std::ptrdiff_t>(skip), p.end());
    return walk(*root, rest, WalkMode{false, false, create}, nullptr, changed, hops);
}

Result<Location> Store::classes(std::string_view path, bool view32, bool openLink) {
    auto parts = splitPath(path);
    if (!parts) return parts.error();
    Location loc;
    loc.kind = Location::Kind::Classes;
    loc.view32 = view32;
    loc.classesPath = std::string(path);
    loc.resolvedAt = changes_;
    const Parts full = classesParts(*parts);
    for (HiveId id : {HiveId::User, HiveId::Machine}) {
        auto root = hiveRoot(id);
        if (!root) return root.error();
        int hops = 0;
        auto n = walk(*root, full, WalkMode{view32, openLink, false}, nullptr, nullptr, hops);
        if (!n && n.error().code != win::ERROR_FILE_NOT_FOUND) return n.error();
        (id == HiveId::User ? loc.user : loc.machine) = n ? *n : Node{};
    }
    if (!parts->empty() && !loc.user && !loc.machine) return notFound();
    return loc;
}

Result<Location> Store::classesBelow(const Location& from, const Parts& parts, std::string_view path, bool openLink) {
    // A walk from a merged key's own keys ends where one from the hive roots
    // would (it passes through them); a side the key lacks (or lost) is
    // looked up from its root when the store changed since it was found
    // missing, since it may have been made since.
    Location loc;
    loc.kind = Location::Kind::Classes;
    loc.view32 = from.view32;
    loc.classesPath = joinPath(from.classesPath, path);
    loc.resolvedAt = changes_;
    const bool unchanged = from.resolvedAt == changes_;
    std::optional<Parts> full;
    for (HiveId id : {HiveId::User, HiveId::Machine}) {
        const Node base = live(id == HiveId::User ? from.user : from.machine);
        int hops = 0;
        Result<Node> n = notFound();
        if (base) {
            n = walk(base, parts, WalkMode{from.view32, openLink, false}, nullptr, nullptr, hops);
        } else if (!unchanged) {
            auto root = hiveRoot(id);
            if (!root) return root.error();
            if (!full) full = classesParts(splitPath(loc.classesPath).value());
            n = walk(*root, *full, WalkMode{from.view32, openLink, false}, nullptr, nullptr, hops);
        }
        if (!n && n.error().code != win::ERROR_FILE_NOT_FOUND) return n.error();
        (id == HiveId::User ? loc.user : loc.machine) = n ? *n : Node{};
    }
    if (!loc.user && !loc.machine) return notFound();
    return loc;
}

int Store::existingClassesDepth(HiveId id, const Parts& parts, bool view32) {
    auto root = hiveRoot(id);
    if (!root) return -1;
    for (std::size_t k = parts.size(); k-- > 0;) {
        int hops = 0;
        const Parts prefix(parts.begin(), parts.begin() + static_cast<std::ptrdiff_t>(k));
        if (walk(*root, classesParts(prefix), WalkMode{view32, false, false}, nullptr, nullptr, hops))
            return static_cast<int>(k);
    }
    return -1;
}

// ---- Roots, open, create --------------------------------------------------------

Result<Location> Store::root(RootKey which, bool view32) {
    view32 = view32 && is64bit_;
    Location loc;
    loc.view32 = view32;
    switch (which) {
    case RootKey::LocalMachine:
    case RootKey::CurrentUser: {
        auto r = hiveRoot(which == RootKey::LocalMachine ? HiveId::Machine : HiveId::User);
        if (!r) return r.error();
        loc.named = *r;
        return loc;
    }
    case RootKey::Users:
        loc.kind = Location::Kind::Users;
        return loc;
    case RootKey::ClassesRoot:
        return classes("", view32, false);
    case RootKey::CurrentConfig: {
        auto r = hiveRoot(HiveId::Machine);
        if (!r) return r.error();
        int hops = 0;
        auto n = walk(*r, splitPath(kCurrentConfig).value(), WalkMode{false, false, false}, nullptr, nullptr, hops);
        if (!n) return n.error();
        loc.named = *n;
        return loc;
    }
    case RootKey::PerformanceData:
        loc.kind = Location::Kind::Empty;
        return loc;
    case RootKey::DynData:
        break;
    }
    return notFound();
}

Result<Node> Store::userHive(std::string_view name) {
    if (equalsNoCase(name, ".Default")) return hiveRoot(HiveId::Default);
    if (equalsNoCase(name, userSid_)) return hiveRoot(HiveId::User);
    return notFound();
}

Result<Location> Store::open(const Location& from, std::string_view path, bool view32, bool openLink) {
    view32 = view32 && is64bit_;
    if (auto c = check(from); !c) return c.error();
    auto parts = splitPath(path);
    if (!parts) return parts.error();
    // No path: the same key, in the view it was opened in.
    if (parts->empty()) return from;
    Location loc;
    loc.view32 = view32;
    Node start;
    Parts rest = *parts;
    switch (from.kind) {
    case Location::Kind::Empty:
        return notFound();
    case Location::Kind::Classes:
        if (from.view32 == view32) return classesBelow(from, *parts, path, openLink);
        return classes(joinPath(from.classesPath, path), view32, openLink);
    case Location::Kind::Users: {
        auto h = userHive(rest.front());
        if (!h) return h.error();
        start = *h;
        rest.erase(rest.begin());
        break;
    }
    case Location::Kind::Key:
        start = from.named;
        break;
    }
    int hops = 0;
    auto n = walk(start, rest, WalkMode{view32, openLink, false}, nullptr, nullptr, hops);
    if (!n) return n.error();
    loc.named = *n;
    return loc;
}

Result<Location> Store::create(const Location& from, std::string_view path, bool view32, bool openLink,
                               bool* created, HiveMask& changed) {
    *created = false;
    view32 = view32 && is64bit_;
    if (auto c = check(from); !c) return c.error();
    auto parts = splitPath(path);
    if (!parts) return parts.error();
    if (parts->empty() && from.kind != Location::Kind::Empty) return from;
    Location loc;
    loc.view32 = view32;
    Node start;
    Parts rest = *parts;
    switch (from.kind) {
    case Location::Kind::Empty:
        return accessDenied();
    case Location::Kind::Classes: {
        const std::string full = joinPath(from.classesPath, path);
        auto existing = classes(full, view32, openLink);
        if (existing || existing.error().code != win::ERROR_FILE_NOT_FOUND) return existing;
        // A new key goes to the user's classes when its parent is there.
        const Parts fullParts = splitPath(full).value();
        const int u = existingClassesDepth(HiveId::User, fullParts, view32);
        const int m = existingClassesDepth(HiveId::Machine, fullParts, view32);
        auto root = hiveRoot(u >= 1 && u >= m ? HiveId::User : HiveId::Machine);
        if (!root) return root.error();
        int hops = 0;
        auto n = walk(*root, classesParts(fullParts), WalkMode{view32, openLink, true}, created, &changed, hops);
        if (!n) return n.error();
        effective(*n, view32, true, &changed);
        return classes(full, view32, openLink);
    }
    case Location::Kind::Users: {
        auto h = userHive(rest.front());
        if (!h) return h.error().code == win::ERROR_FILE_NOT_FOUND ? accessDenied() : h.error();
        start = *h;
        rest.erase(rest.begin());
        break;
    }
    case Location::Kind::Key:
        start = from.named;
        break;
    }
    int hops = 0;
    auto n = walk(start, rest, WalkMode{view32, openLink, true}, created, &changed, hops);
    if (!n) return n.error();
    effective(*n, view32, true, &changed);
    loc.named = *n;
    return loc;
}

} // namespace winsys::reg
