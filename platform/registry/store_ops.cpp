// The operations on a Location: values, enumeration (merged for HKCR),
// deleting keys and trees.
#include "platform/registry/store.h"

#include <algorithm>

#include "platform/core/text.h"
#include "platform/registry/store_detail.h"

namespace winsys::reg {

using namespace detail;

// ---- Values and enumeration -------------------------------------------------------

Result<void> Store::check(const Location& at) const {
    if (at.kind == Location::Kind::Key && at.named.key->deleted()) return keyDeleted();
    if (at.kind == Location::Kind::Classes && (at.user || at.machine) && !live(at.user) && !live(at.machine))
        return keyDeleted();
    return {};
}

Node Store::readNode(const Node& named, bool view32) { return effective(live(named), view32, false, nullptr); }

Result<const Value*> Store::queryValue(const Location& at, std::string_view name) {
    if (auto c = check(at); !c) return c.error();
    if (at.kind == Location::Kind::Key) {
        const Node e = readNode(at.named, at.view32);
        if (const Value* v = e ? e.key->findValue(name) : nullptr) return v;
    } else if (at.kind == Location::Kind::Classes) {
        for (const Node* side : {&at.user, &at.machine}) {
            const Node e = readNode(*side, at.view32);
            if (const Value* v = e ? e.key->findValue(name) : nullptr) return v;
        }
    }
    return notFound();
}

Result<Node> Store::writeNode(const Location& at, HiveMask& changed) {
    switch (at.kind) {
    case Location::Kind::Key:
        return effective(at.named, at.view32, true, &changed);
    case Location::Kind::Classes: {
        for (const Node* side : {&at.user, &at.machine})
            if (Node e = readNode(*side, at.view32)) return e;
        if (Node u = live(at.user)) return effective(u, at.view32, true, &changed);
        if (Node m = live(at.machine)) return effective(m, at.view32, true, &changed);
        // HKCR itself before any classes exist: the machine's are made.
        auto root = hiveRoot(HiveId::Machine);
        if (!root) return root.error();
        int hops = 0;
        auto n = walk(*root, classesParts({}), WalkMode{at.view32, false, true}, nullptr, &changed, hops);
        if (!n) return n.error();
        return effective(*n, at.view32, true, &changed);
    }
    case Location::Kind::Users:
    case Location::Kind::Empty:
        break;
    }
    return accessDenied();
}

Result<void> Store::setValue(const Location& at, std::string_view name, win::DWORD type, const win::BYTE* data,
                             std::size_t size, HiveMask& changed) {
    if (auto c = check(at); !c) return c.error();
    auto target = writeNode(at, changed);
    if (!target) return target.error();
    if (target->key->setValue(name, type, data, size)) {
        target->key->touch();
        noteChange(target->hive, &changed);
    }
    return {};
}

Result<void> Store::deleteValue(const Location& at, std::string_view name, HiveMask& changed) {
    if (auto c = check(at); !c) return c.error();
    bool any = false;
    auto remove = [&](const Node& named) {
        const Node e = readNode(named, at.view32);
        if (e && e.key->deleteValue(name)) {
            e.key->touch();
            noteChange(e.hive, &changed);
            any = true;
        }
    };
    if (at.kind == Location::Kind::Key) remove(at.named);
    // A merged key loses the value in both places, or it would reappear.
    if (at.kind == Location::Kind::Classes) {
        remove(at.user);
        remove(at.machine);
    }
    if (!any) return notFound();
    return {};
}

bool Store::mergesClasses(const Node& e, bool view32) const { return view32 && e && redirectOf(e) == Redirect::Classes; }

std::vector<const std::string*> Store::viewSubkeyNames(const Node& e, bool view32) const {
    std::vector<const std::string*> names;
    if (!e) return names;
    const auto& own = e.key->subkeys();
    if (!mergesClasses(e, view32)) {
        names.reserve(own.size());
        for (const auto& k : own) names.push_back(&k->name());
        return names;
    }
    // A classes key in the 32-bit view: its shared names, with those that
    // Wow6432Node holds taken from there; Wow6432Node itself is not listed.
    static const std::vector<std::shared_ptr<Key>> kNone;
    const auto w = e.key->findSubkey(kWow64Node);
    const auto& redirected = w ? w->subkeys() : kNone;
    names.reserve(own.size() + redirected.size());
    std::size_t i = 0, j = 0;
    while (i < own.size() || j < redirected.size()) {
        const int c = i == own.size()          ? 1
                      : j == redirected.size() ? -1
                                               : compareKeyNames(own[i]->name(), redirected[j]->name());
        if (c < 0 && !equalsNoCase(own[i]->name(), kWow64Node)) names.push_back(&own[i]->name());
        if (c >= 0) names.push_back(&redirected[j]->name());
        if (c <= 0) ++i;
        if (c >= 0) ++j;
    }
    return names;
}

void Store::refreshKeyNames(const Node& e, bool view32, EnumCache& cache) {
    if (cache.stamp == changes_) return;
    cache.names.clear();
    for (const std::string* name : viewSubkeyNames(e, view32)) cache.names.push_back(*name);
    cache.stamp = changes_;
}

void Store::refreshClassesKeys(const Location& at, EnumCache& cache) {
    if (cache.stamp == changes_) return;
    cache.names.clear();
    const std::vector<const std::string*> a = viewSubkeyNames(readNode(at.user, at.view32), at.view32);
    const std::vector<const std::string*> b = viewSubkeyNames(readNode(at.machine, at.view32), at.view32);
    cache.names.reserve(a.size() + b.size());
    std::size_t i = 0, j = 0;
    while (i < a.size() || j < b.size()) {
        const int c = i == a.size() ? 1 : j == b.size() ? -1 : compareKeyNames(*a[i], *b[j]);
        if (c <= 0) cache.names.push_back(*a[i]);
        else cache.names.push_back(*b[j]);
        if (c <= 0) ++i;
        if (c >= 0) ++j;
    }
    cache.stamp = changes_;
}

void Store::refreshClassesValues(const Location& at, EnumCache& cache) {
    if (cache.stamp == changes_) return;
    cache.names.clear();
    const Node u = readNode(at.user, at.view32);
    const Node m = readNode(at.machine, at.view32);
    if (u)
        for (const Value& v : u.key->values()) cache.names.push_back(v.name);
    if (m)
        for (const Value& v : m.key->values())
            if (!u || !u.key->findValue(v.name)) cache.names.push_back(v.name);
    cache.stamp = changes_;
}

std::vector<std::string> Store::userNames() const {
    std::vector<std::string> names{".Default", userSid_};
    if (compareKeyNames(names[0], names[1]) > 0) std::swap(names[0], names[1]);
    return names;
}

Result<std::string> Store::enumSubkey(const Location& at, std::size_t index, EnumCache& cache) {
    if (auto c = check(at); !c) return c.error();
    switch (at.kind) {
    case Location::Kind::Key: {
        const Node e = readNode(at.named, at.view32);
        if (mergesClasses(e, at.view32)) {
            refreshKeyNames(e, at.view32, cache);
            if (index >= cache.names.size()) return noMoreItems();
            return cache.names[index];
        }
        if (!e || index >= e.key->subkeys().size()) return noMoreItems();
        return e.key->subkeys()[index]->name();
    }
    case Location::Kind::Classes:
        refreshClassesKeys(at, cache);
        if (index >= cache.names.size()) return noMoreItems();
        return cache.names[index];
    case Location::Kind::Users: {
        auto names = userNames();
        if (index >= names.size()) return noMoreItems();
        return names[index];
    }
    case Location::Kind::Empty:
        break;
    }
    return noMoreItems();
}

Result<const Value*> Store::enumValue(const Location& at, std::size_t index, EnumCache& cache) {
    if (auto c = check(at); !c) return c.error();
    if (at.kind == Location::Kind::Key) {
        const Node e = readNode(at.named, at.view32);
        if (!e || index >= e.key->values().size()) return noMoreItems();
        return &e.key->values()[index];
    }
    if (at.kind == Location::Kind::Classes) {
        refreshClassesValues(at, cache);
        if (index >= cache.names.size()) return noMoreItems();
        auto v = queryValue(at, cache.names[index]);
        if (!v) return noMoreItems();
        return *v;
    }
    return noMoreItems();
}

Result<std::pair<std::size_t, std::size_t>> Store::countInfo(const Location& at, EnumCache& keys,
                                                            EnumCache& values) {
    if (auto c = check(at); !c) return c.error();
    switch (at.kind) {
    case Location::Kind::Key: {
        const Node e = readNode(at.named, at.view32);
        if (!e) return std::pair<std::size_t, std::size_t>{0, 0};
        if (mergesClasses(e, at.view32)) {
            refreshKeyNames(e, at.view32, keys);
            return std::pair{keys.names.size(), e.key->values().size()};
        }
        return std::pair{e.key->subkeys().size(), e.key->values().size()};
    }
    case Location::Kind::Classes:
        refreshClassesKeys(at, keys);
        refreshClassesValues(at, values);
        return std::pair{keys.names.size(), values.names.size()};
    case Location::Kind::Users:
        return std::pair<std::size_t, std::size_t>{2, 0};
    case Location::Kind::Empty:
        break;
    }
    return std::pair<std::size_t, std::size_t>{0, 0};
}

bool Store::hasValues(const Location& at) {
    if (at.kind == Location::Kind::Key) {
        const Node e = readNode(at.named, at.view32);
        return e && !e.key->values().empty();
    }
    if (at.kind == Location::Kind::Classes) {
        for (const Node* side : {&at.user, &at.machine}) {
            const Node e = readNode(*side, at.view32);
            if (e && !e.key->values().empty()) return true;
        }
    }
    return false;
}

// ---- Deleting ---------------------------------------------------------------------

Result<std::vector<Node>> Store::deletionTargets(const Location& from, std::string_view path, bool view32) {
    auto parts = splitPath(path);
    if (!parts) return parts.error();
    Location at = from;
    if (!parts->empty()) {
        auto opened = open(from, path, view32, true);
        if (!opened) return opened.error();
        at = *opened;
    } else if (auto c = check(from); !c) {
        return c.error();
    }
    std::vector<Node> targets;
    if (at.kind == Location::Kind::Key) {
        // In the 32-bit view HKLM\Software stands for its Wow6432Node child.
        Node n = at.view32 && redirectOf(at.named) == Redirect::Software ? readNode(at.named, true) : at.named;
        if (!n) return notFound();
        targets.push_back(n);
    } else if (at.kind == Location::Kind::Classes && !splitPath(at.classesPath)->empty()) {
        for (const Node* side : {&at.user, &at.machine})
            if (Node n = live(*side)) targets.push_back(n);
    }
    if (targets.empty()) return accessDenied();
    for (const Node& n : targets)
        if (!n.key->parent()) return accessDenied(); // a hive's root
    return targets;
}

void Store::unlink(const Node& n, HiveMask& changed) {
    Key* parent = n.key->parent();
    parent->removeSubkey(n.key.get());
    parent->touch();
    noteChange(n.hive, &changed);
}

Result<void> Store::deleteKey(const Location& from, std::string_view path, bool view32, HiveMask& changed) {
    if (auto c = check(from); !c) return c.error();
    auto targets = deletionTargets(from, path, path.empty() ? from.view32 : view32 && is64bit_);
    if (!targets) return targets.error();
    for (const Node& n : *targets)
        if (!n.key->subkeys().empty()) return accessDenied();
    for (const Node& n : *targets) unlink(n, changed);
    return {};
}

Result<void> Store::deleteTree(const Location& from, std::string_view path, bool view32, HiveMask& changed) {
    if (auto c = check(from); !c) return c.error();
    auto parts = splitPath(path);
    if (!parts) return parts.error();
    if (!parts->empty()) {
        auto targets = deletionTargets(from, path, view32 && is64bit_);
        if (!targets) return targets.error();
        for (const Node& n : *targets) unlink(n, changed);
        return {};
    }
    // An empty path empties `from` and keeps it.
    std::vector<Node> nodes;
    if (from.kind == Location::Kind::Key) nodes.push_back(readNode(from.named, from.view32));
    else if (from.kind == Location::Kind::Classes)
        nodes = {readNode(from.user, from.view32), readNode(from.machine, from.view32)};
    else return accessDenied();
    for (const Node& n : nodes) {
        if (!n || (n.key->subkeys().empty() && n.key->values().empty())) continue;
        while (!n.key->subkeys().empty()) n.key->removeSubkey(n.key->subkeys().back().get());
        n.key->clearValues();
        n.key->touch();
        noteChange(n.hive, &changed);
    }
    return {};
}

// ---- Copying -----------------------------------------------------------------------

Result<void> Store::copyKeyInto(const Key& source, const Node& into, HiveMask& changed) {
    for (const Key* k = into.key.get(); k; k = k->parent())
        if (k == &source) return Error{win::ERROR_INVALID_PARAMETER, "a key cannot be copied into itself"};
    // Depth first with an explicit stack: the source's nesting is bounded
    // by the destination's depth check in addKey.
    struct Step {
        const Key* from;
        Node to;
    };
    std::vector<Step> pending{{&source, into}};
    while (!pending.empty()) {
        const Step step = pending.back();
        pending.pop_back();
        for (const Value& v : step.from->values())
            step.to.key->setValue(v.name, v.type, v.data.data(), v.data.size());
        if (step.from->link) step.to.key->link = true;
        if (step.from->klass) step.to.key->klass = step.from->klass;
        // Lines the loader could not read go along as they stood (once).
        for (const std::string& line : step.from->unreadLines)
            if (std::find(step.to.key->unreadLines.begin(), step.to.key->unreadLines.end(), line) ==
                step.to.key->unreadLines.end())
                step.to.key->unreadLines.push_back(line);
        step.to.key->touch();
        noteChange(step.to.hive, &changed);
        for (const auto& sub : step.from->subkeys()) {
            auto added = addKey(step.to, sub->name(), &changed);
            if (!added) return added.error();
            pending.push_back(Step{sub.get(), Node{*added, step.to.hive}});
        }
    }
    return {};
}

Result<void> Store::copyTree(const Location& from, std::string_view path, const Location& to, HiveMask& changed) {
    if (auto c = check(to); !c) return c.error();
    Location src = from;
    if (auto parts = splitPath(path); !parts) return parts.error();
    else if (!parts->empty()) {
        auto opened = open(from, path, from.view32, true);
        if (!opened) return opened.error();
        src = *opened;
    } else if (auto c = check(from); !c) {
        return c.error();
    }
    std::vector<Node> sources;
    if (src.kind == Location::Kind::Key) sources.push_back(readNode(src.named, src.view32));
    else if (src.kind == Location::Kind::Classes)
        sources = {readNode(src.machine, src.view32), readNode(src.user, src.view32)};
    else return accessDenied();
    auto target = writeNode(to, changed);
    if (!target) return target.error();
    for (const Node& n : sources)
        if (n)
            if (auto r = copyKeyInto(*n.key, *target, changed); !r) return r;
    return {};
}

HiveMask Store::hivesOf(const Location& at) const {
    switch (at.kind) {
    case Location::Kind::Key:
        return at.named.hive ? maskOf(at.named.hive->id) : 0;
    case Location::Kind::Classes:
        return maskOf(HiveId::User) | maskOf(HiveId::Machine);
    case Location::Kind::Users:
        return maskOf(HiveId::User) | maskOf(HiveId::Default);
    case Location::Kind::Empty:
        break;
    }
    return 0;
}

} // namespace winsys::reg
