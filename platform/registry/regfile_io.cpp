#include "platform/registry/regfile.h"

// .reg operations against the registry: applying parsed operations and
// exporting a key tree, through the layer's Reg* calls only.

#include "platform/core/text.h"

namespace winsys {

namespace {

// Windows keeps key trees at most this deep.
constexpr std::size_t kMaxDepth = 512;

bool isMissing(win::LSTATUS s) { return s == win::ERROR_FILE_NOT_FOUND || s == win::ERROR_PATH_NOT_FOUND; }

Error failure(std::string_view where, const std::string& what, win::LSTATUS s) {
    return Error{static_cast<win::DWORD>(s), std::string(where) + what + ": " + winErrorText(static_cast<win::DWORD>(s))};
}

bool samePath(const RegKeyPath& a, const RegKeyPath& b) {
    return a.root == b.root && equalsNoCase(a.subKey, b.subKey);
}

Result<void> appendTree(std::string& out, win::HKEY key, const std::string& path, win::REGSAM view, RegKeyChain& chain,
                        std::vector<std::string>* loops) {
    if (chain.depth() > kMaxDepth)
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
        auto entered = chain.enter(child.get(), childPath);
        if (!entered) return entered.error();
        if (!*entered) {
            if (loops) loops->push_back(chain.loopNote());
            continue;
        }
        auto r = appendTree(out, child.get(), childPath, view, chain, loops);
        chain.leave();
        if (!r) return r;
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

Result<bool> RegKeyChain::enter(win::HKEY key, const std::string& path) {
    auto name = registryKeyName(key);
    if (!name) return failure("", "cannot open key " + path, static_cast<win::LSTATUS>(name.error().code));
    for (std::size_t i = 0; i < names_.size(); ++i)
        if (names_[i] == *name) {
            note_ = path + " is a link back to " + paths_[i] + ": its keys are not gone through again";
            return false;
        }
    names_.push_back(std::move(*name));
    paths_.push_back(path);
    return true;
}

void RegKeyChain::leave() {
    names_.pop_back();
    paths_.pop_back();
}

win::LSTATUS deleteRegTree(const RegKeyPath& key, RegView view) {
    std::vector<win::UniqueHKey> keep;
    return deleteTreeKeeping(key, view, keep);
}

namespace {

Result<void> applyInBatch(const std::vector<RegOperation>& ops, RegView view, std::string_view fileName) {
    const win::REGSAM viewFlag = regViewFlag(view);
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

} // namespace

Result<void> applyRegOperations(const std::vector<RegOperation>& ops, RegView view, std::string_view fileName) {
    if (auto b = beginRegistryBatch(); !b)
        return Error{b.error().code, std::string(fileName) + ": " + b.error().message + "; nothing of the file was imported"};
    if (auto r = applyInBatch(ops, view, fileName); !r) {
        abandonRegistryBatch();
        return Error{r.error().code, r.error().message + "; nothing of the file was imported"};
    }
    if (auto w = commitRegistryBatch(); !w)
        return Error{w.error().code, std::string(fileName) + ": " + w.error().message + "; nothing of the file was imported"};
    return {};
}

Result<std::string> exportRegTree(const RegKeyPath& key, RegView view, std::vector<std::string>* loops) {
    const win::REGSAM viewFlag = regViewFlag(view);
    win::UniqueHKey k;
    const win::LSTATUS s = win::RegOpenKeyEx(key.root, key.subKey, 0, win::KEY_READ | viewFlag, k.put());
    if (s != win::ERROR_SUCCESS) return failure("", "cannot open key " + key.text(), s);
    std::string out = "Windows Registry Editor Version 5.00\r\n";
    RegKeyChain chain;
    if (auto top = chain.enter(k.get(), key.text()); !top) return top.error();
    if (auto r = appendTree(out, k.get(), key.text(), viewFlag, chain, loops); !r) return r.error();
    out += "\r\n";
    return out;
}

} // namespace winsys
