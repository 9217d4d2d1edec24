#include "platform/pe/version.h"

#include <algorithm>
#include <iterator>

#include "platform/core/lasterror.h"
#include "platform/core/text.h"
#include "platform/pe/bytes.h"

namespace {

using namespace winsys::pebytes;
using Bytes = std::span<const std::uint8_t>;
using win::WORD;

constexpr WORD kTextValue = 1;
constexpr std::size_t kHeaderSize = 6; // wLength, wValueLength, wType

// One node, every offset relative to the block and inside [start, end).
struct Node {
    std::size_t start = 0, end = 0;
    std::size_t keyAt = 0, keyBytes = 0;
    WORD type = 0;
    std::size_t valueAt = 0, valueBytes = 0;
    std::size_t childrenAt = 0;
};

std::optional<Node> readNode(Bytes b, std::size_t at, std::size_t limit) {
    if (at > limit || limit - at < kHeaderSize) return std::nullopt;
    const std::size_t length = u16(b, at);
    if (length < kHeaderSize) return std::nullopt;
    Node n;
    n.start = at;
    n.end = at + std::min(length, limit - at);
    const WORD valueLength = u16(b, at + 2);
    n.type = u16(b, at + 4);
    n.keyAt = at + kHeaderSize;
    std::size_t p = n.keyAt;
    for (;; p += 2) {
        if (p + 2 > n.end) return std::nullopt; // the key must end inside the node
        if (u16(b, p) == 0) break;
    }
    n.keyBytes = p - n.keyAt;
    n.valueAt = std::min(align4(p + 2), n.end);
    const std::size_t declared = n.type == kTextValue ? std::size_t{valueLength} * 2 : valueLength;
    n.valueBytes = std::min(declared, n.end - n.valueAt);
    n.childrenAt = std::min(align4(n.valueAt + declared), n.end);
    return n;
}

std::string key(Bytes b, const Node& n) { return winsys::fromUtf16leBytes(b.data() + n.keyAt, n.keyBytes); }

// Calls f(child) for each child in order until f returns false.
template <class F>
void forEachChild(Bytes b, const Node& parent, F f) {
    std::size_t at = parent.childrenAt;
    while (auto child = readNode(b, at, parent.end)) {
        if (!f(*child)) return;
        at = align4(child->end);
    }
}

std::optional<Node> child(Bytes b, const Node& parent, std::string_view name) {
    std::optional<Node> found;
    forEachChild(b, parent, [&](const Node& c) {
        if (winsys::equalsNoCase(key(b, c), name)) found = c;
        return !found;
    });
    return found;
}

// A text value, cut at its first NUL.
std::string text(Bytes b, const Node& n) {
    std::size_t units = 0;
    while (units * 2 + 2 <= n.valueBytes && u16(b, n.valueAt + units * 2) != 0) ++units;
    return winsys::fromUtf16leBytes(b.data() + n.valueAt, units * 2);
}

std::optional<win::VS_FIXEDFILEINFO> fixedInfo(Bytes b, const Node& root) {
    using F = win::VS_FIXEDFILEINFO;
    static constexpr win::DWORD F::*kFields[] = {
        &F::dwSignature,     &F::dwStrucVersion,     &F::dwFileVersionMS, &F::dwFileVersionLS, &F::dwProductVersionMS,
        &F::dwProductVersionLS, &F::dwFileFlagsMask, &F::dwFileFlags,     &F::dwFileOS,        &F::dwFileType,
        &F::dwFileSubtype,   &F::dwFileDateMS,       &F::dwFileDateLS,
    };
    static_assert(sizeof kFields / sizeof kFields[0] * 4 == sizeof(F));
    if (root.valueBytes < sizeof(F) || u32(b, root.valueAt) != win::VS_FFI_SIGNATURE) return std::nullopt;
    F f;
    for (std::size_t i = 0; i < std::size(kFields); ++i) f.*kFields[i] = u32(b, root.valueAt + 4 * i);
    return f;
}

} // namespace

namespace win {

BOOL VerQueryValue(std::span<const BYTE> block, std::string_view subBlock, const void** buffer, UINT* len) {
    auto node = readNode(block, 0, block.size());
    bool isRoot = true;
    while (node && !subBlock.empty()) {
        const std::size_t cut = std::min(subBlock.find('\\'), subBlock.size());
        const std::string_view part = subBlock.substr(0, cut);
        subBlock.remove_prefix(std::min(cut + 1, subBlock.size()));
        if (part.empty()) continue;
        node = child(block, *node, part);
        isRoot = false;
    }
    if (!node || (isRoot && !fixedInfo(block, *node))) {
        SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
        return 0;
    }
    if (buffer) *buffer = block.data() + node->valueAt;
    if (len) *len = static_cast<UINT>(node->type == kTextValue ? node->valueBytes / 2 : node->valueBytes);
    return 1;
}

} // namespace win

namespace winsys {

std::string translationKey(Translation t) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    const std::uint32_t both = std::uint32_t{t.language} << 16 | t.codePage;
    std::string out(8, '0');
    for (int i = 0; i < 8; ++i) out[static_cast<std::size_t>(i)] = kHex[(both >> (28 - 4 * i)) & 0xF];
    return out;
}

std::vector<std::optional<VersionValue>> queryVersionStrings(std::span<const std::uint8_t> block,
                                                             std::string_view table,
                                                             std::span<const char* const> names) {
    std::vector<std::optional<VersionValue>> found(names.size());
    auto root = readNode(block, 0, block.size());
    if (root) root = child(block, *root, "StringFileInfo");
    if (root) root = child(block, *root, table);
    if (!root) return found;
    std::size_t left = names.size();
    forEachChild(block, *root, [&](const Node& c) {
        const std::string name = key(block, c);
        for (std::size_t i = 0; i < names.size(); ++i) {
            if (found[i] || !equalsNoCase(name, names[i])) continue;
            found[i] = VersionValue{block.data() + c.valueAt,
                                    static_cast<win::UINT>(c.type == kTextValue ? c.valueBytes / 2 : c.valueBytes)};
            --left;
        }
        return left > 0;
    });
    return found;
}

const std::string* VersionInfo::find(std::string_view tableKey, std::string_view name) const {
    for (const auto& t : tables) {
        if (!equalsNoCase(t.key, tableKey)) continue;
        for (const auto& [n, value] : t.strings)
            if (equalsNoCase(n, name)) return &value;
    }
    return nullptr;
}

Result<VersionInfo> parseVersionInfo(std::span<const std::uint8_t> block) {
    auto root = readNode(block, 0, block.size());
    if (!root) return Error{win::ERROR_RESOURCE_TYPE_NOT_FOUND, "unreadable version resource"};
    VersionInfo info;
    info.fixed = fixedInfo(block, *root);
    forEachChild(block, *root, [&](const Node& section) {
        const std::string name = key(block, section);
        if (equalsNoCase(name, "StringFileInfo")) {
            forEachChild(block, section, [&](const Node& table) {
                StringTable& t = info.tables.emplace_back();
                t.key = key(block, table);
                forEachChild(block, table, [&](const Node& s) {
                    t.strings.emplace_back(key(block, s), text(block, s));
                    return true;
                });
                return true;
            });
        } else if (equalsNoCase(name, "VarFileInfo")) {
            if (auto var = child(block, section, "Translation"))
                for (std::size_t i = 0; i + 4 <= var->valueBytes; i += 4)
                    info.translations.push_back({u16(block, var->valueAt + i), u16(block, var->valueAt + i + 2)});
        }
        return true;
    });
    return info;
}

} // namespace winsys
