#include "tests/platform/registry/tree_compare.h"

namespace regtest {

namespace {

std::string diff(const winsys::reg::Key& a, const winsys::reg::Key& b, bool withTimes, const std::string& path) {
    if (a.name() != b.name()) return path + ": name '" + a.name() + "' vs '" + b.name() + "'";
    if (a.klass != b.klass) return path + ": class differs";
    if (a.link != b.link) return path + ": link mark differs";
    if (withTimes && (a.seconds != b.seconds || a.time != b.time)) return path + ": time differs";
    if (a.values().size() != b.values().size())
        return path + ": " + std::to_string(a.values().size()) + " vs " + std::to_string(b.values().size()) + " values";
    for (std::size_t i = 0; i < a.values().size(); ++i) {
        const auto& x = a.values()[i];
        const auto& y = b.values()[i];
        if (x.name != y.name || x.type != y.type || x.data != y.data)
            return path + ": value #" + std::to_string(i) + " '" + x.name + "' vs '" + y.name + "'";
    }
    if (a.subkeys().size() != b.subkeys().size())
        return path + ": " + std::to_string(a.subkeys().size()) + " vs " + std::to_string(b.subkeys().size()) +
               " subkeys";
    for (std::size_t i = 0; i < a.subkeys().size(); ++i) {
        std::string d = diff(*a.subkeys()[i], *b.subkeys()[i], withTimes, path + "\\" + a.subkeys()[i]->name());
        if (!d.empty()) return d;
    }
    return {};
}

} // namespace

std::string treeDifference(const winsys::reg::Key& a, const winsys::reg::Key& b, bool withTimes) {
    return diff(a, b, withTimes, "");
}

std::size_t countKeys(const winsys::reg::Key& k) {
    std::size_t n = 1;
    for (const auto& s : k.subkeys()) n += countKeys(*s);
    return n;
}

std::size_t countValues(const winsys::reg::Key& k) {
    std::size_t n = k.values().size();
    for (const auto& s : k.subkeys()) n += countValues(*s);
    return n;
}

} // namespace regtest
