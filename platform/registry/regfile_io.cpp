#include "platform/registry/regfile.h"

// .reg operations against the registry: applying parsed operations and
// exporting a key tree, through the layer's Reg* calls only.

#include "platform/core/text.h"

namespace winsys {

namespace {

// Windows keeps key trees at most this deep; deeper means a link loop.
constexpr int kMaxDepth = 512;

bool isMissing(win::LSTATUS s) { return s == win::ERROR_FILE_NOT_FOUND || s == win::ERROR_PATH_NOT_FOUND; }

Error failure(std::string_view where, const std::string& what, win::LSTATUS s) {
    return Error{static_cast<win::DWORD>(s), std::string(where) + what + ": " + winErrorText(static_cast<win::DWORD>(s))};
}

bool samePath(const RegKeyPath& a, const RegKeyPath& b) {
    return a.root == b.root && equalsNoCase(a.subKey, b.subKey);
}

Result<void> appendTree(std::string& out, win::HKEY key, const std::string& path, win::REGSAM view, int depth) {
    if (depth > kMaxDepth)
        return Error{win::ERROR_BADKEY, path + ": the key tree is deeper than " + std::to_string(kMaxDepth) + " levels"};
    std::string defaultLine, lines;
    for (win::DWORD i = 0;; ++i) {
        std::string name;
        win::DWORD type = 0;
        std::vector<win::BYTE> data;
        const win::LSTATUS s = win::RegEnumValue(key, i, &name, &type, &data);
        if (s == win::ERROR_NO_MORE_ITEMS) break;
        if (s != win::ERROR_SUCCESS) return failure("", "cannot read the values of " + path, s);
        (name.empty() ? defaultLine : lines) += formatRegValue(name, type, data) + "\r\n";
    }
    out += "\r\n[" + path + "]\r\n" + defaultLine + lines;

    std::vector<std::string> subKeys;
    for (win::DWORD i = 0;; ++i) {
        std::string name;
        const win::LSTATUS s = win::RegEnumKeyEx(key, i, &name);
        if (s == win::ERROR_NO_MORE_ITEMS) break;
        if (s != win::ERROR_SUCCESS) return failure("", "cannot list the subkeys of " + path, s);
        subKeys.push_back(std::move(name));
    }
    for (const auto& name : subKeys) {
        const std::string childPath = path + "\\" + name;
        win::UniqueHKey child;
        const win::LSTATUS s = win::RegOpenKeyEx(key, name, 0, win::KEY_READ | view, child.put());
        if (s != win::ERROR_SUCCESS) return failure("", "cannot open key " + childPath, s);
        if (auto r = appendTree(out, child.get(), childPath, view, depth + 1); !r) return r;
    }
    return {};
}

// The key is opened in the view, emptied with RegDeleteTree, then removed
// with RegDeleteKeyEx, which does take the view. The handle goes to `keep`.
win::LSTATUS deleteTreeKeeping(const RegKeyPath& key, RegView view, std::vector<win::UniqueHKey>& keep) {
    const win::REGSAM viewFlag = regViewFlag(view);
    win::UniqueHKey k;
    win::LSTATUS s = win::RegOpenKeyEx(key.root, key.subKey, 0, win::KEY_ALL_ACCESS | viewFlag, k.put());
    if (isMissing(s)) return win::ERROR_FILE_NOT_FOUND;
    if (s != win::ERROR_SUCCESS) return s;
    s = win::RegDeleteTree(k.get(), "");
    keep.push_back(std::move(k));
    if (s != win::ERROR_SUCCESS) return s;
    return win::RegDeleteKeyEx(key.root, key.subKey, viewFlag, 0);
}

} // namespace

win::LSTATUS deleteRegTree(const RegKeyPath& key, RegView view) {
    std::vector<win::UniqueHKey> keep;
    return deleteTreeKeeping(key, view, keep);
}

Result<void> applyRegOperations(const std::vector<RegOperation>& ops, RegView view, std::string_view fileName) {
    const win::REGSAM viewFlag = regViewFlag(view);
    // Closing a handle writes the hives it changed; keeping every handle to
    // the end makes that one write per hive instead of one per key.
    std::vector<win::UniqueHKey> opened;
    win::HKEY current = nullptr;
    RegKeyPath currentPath;
    for (const auto& op : ops) {
        const std::string where = std::string(fileName) + ":" + std::to_string(op.line) + ": ";
        const bool valueOp = op.kind == RegOperation::Kind::SetValue || op.kind == RegOperation::Kind::DeleteValue;
        if (op.kind == RegOperation::Kind::CreateKey || (valueOp && !(current && samePath(currentPath, op.key)))) {
            win::UniqueHKey k;
            const win::LSTATUS s = win::RegCreateKeyEx(op.key.root, op.key.subKey, win::REG_OPTION_NON_VOLATILE,
                                                       win::KEY_ALL_ACCESS | viewFlag, k.put(), nullptr);
            if (s != win::ERROR_SUCCESS) return failure(where, "cannot create key " + op.key.text(), s);
            current = k.get();
            currentPath = op.key;
            opened.push_back(std::move(k));
        }
        win::LSTATUS s = win::ERROR_SUCCESS;
        switch (op.kind) {
        case RegOperation::Kind::CreateKey:
            break;
        case RegOperation::Kind::DeleteKey:
            current = nullptr;
            s = deleteTreeKeeping(op.key, view, opened);
            if (s != win::ERROR_SUCCESS && !isMissing(s)) return failure(where, "cannot delete key " + op.key.text(), s);
            break;
        case RegOperation::Kind::SetValue:
            s = win::RegSetValueEx(current, op.name, op.type, op.data);
            if (s != win::ERROR_SUCCESS)
                return failure(where, "cannot set value \"" + op.name + "\" of " + op.key.text(), s);
            break;
        case RegOperation::Kind::DeleteValue:
            s = win::RegDeleteValue(current, op.name);
            if (s != win::ERROR_SUCCESS && !isMissing(s))
                return failure(where, "cannot delete value \"" + op.name + "\" of " + op.key.text(), s);
            break;
        }
    }
    return {};
}

Result<std::string> exportRegTree(const RegKeyPath& key, RegView view) {
    const win::REGSAM viewFlag = regViewFlag(view);
    win::UniqueHKey k;
    const win::LSTATUS s = win::RegOpenKeyEx(key.root, key.subKey, 0, win::KEY_READ | viewFlag, k.put());
    if (s != win::ERROR_SUCCESS) return failure("", "cannot open key " + key.text(), s);
    std::string out = "Windows Registry Editor Version 5.00\r\n";
    if (auto r = appendTree(out, k.get(), key.text(), viewFlag, 0); !r) return r.error();
    out += "\r\n";
    return out;
}

} // namespace winsys
