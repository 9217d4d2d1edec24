#include "tools/regtool/commands.h"

#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>

#include "platform/core/text.h"
#include "tools/regtool/value_text.h"

namespace regtool {

namespace {

using winsys::RegKeyPath;

const char kDone[] = "The operation completed successfully.\n";

int fail(const std::string& message) {
    std::cerr << "regtool: " << message << "\n";
    return 1;
}

int fail(const std::string& what, win::LSTATUS status) {
    return fail(what + ": " + winsys::winErrorText(static_cast<win::DWORD>(status)));
}

std::string valueLabel(const std::string& name) { return name.empty() ? "(Default)" : "\"" + name + "\""; }

// reg.exe asks before it overwrites or deletes; with no terminal to ask,
// the caller must say /f.
bool confirmed(const std::string& situation, const std::string& action, bool force) {
    if (force) return true;
    if (!::isatty(STDIN_FILENO)) {
        fail(situation + "; add /f to " + action + " without asking");
        return false;
    }
    std::cout << situation << ", " << action << " (Yes/No)? " << std::flush;
    std::string answer;
    std::getline(std::cin, answer);
    if (winsys::equalsNoCase(answer, "y") || winsys::equalsNoCase(answer, "yes")) return true;
    fail("the operation was cancelled");
    return false;
}

int finish(bool quiet = false) {
    if (auto r = winsys::flushRegistry(); !r) return fail(r.error().message);
    if (!quiet) std::cout << kDone;
    return 0;
}

std::optional<RegKeyPath> keyArgument(const Options& o) {
    if (o.args.empty()) {
        fail("a key is required (see regtool --help)");
        return std::nullopt;
    }
    auto key = winsys::parseRegKeyPath(o.args[0]);
    if (!key) {
        fail(o.args[0] + ": " + key.error().message);
        return std::nullopt;
    }
    return key.value();
}

win::LSTATUS openKey(const RegKeyPath& key, win::REGSAM access, const Options& o, win::UniqueHKey& out) {
    return win::RegOpenKeyEx(key.root, key.subKey, 0, access | winsys::regViewFlag(o.view), out.put());
}

struct Value {
    std::string name;
    win::DWORD type = 0;
    std::vector<win::BYTE> data;
};

win::LSTATUS listValues(win::HKEY key, std::vector<Value>& out) {
    for (win::DWORD i = 0;; ++i) {
        Value v;
        win::LSTATUS s = win::RegEnumValue(key, i, &v.name, &v.type, &v.data);
        if (s == win::ERROR_NO_MORE_ITEMS) return win::ERROR_SUCCESS;
        if (s != win::ERROR_SUCCESS) return s;
        out.push_back(std::move(v));
    }
}

win::LSTATUS listSubKeys(win::HKEY key, std::vector<std::string>& out) {
    for (win::DWORD i = 0;; ++i) {
        std::string name;
        win::LSTATUS s = win::RegEnumKeyEx(key, i, &name);
        if (s == win::ERROR_NO_MORE_ITEMS) return win::ERROR_SUCCESS;
        if (s != win::ERROR_SUCCESS) return s;
        out.push_back(std::move(name));
    }
}

void printValue(const Value& v) {
    std::cout << "    " << (v.name.empty() ? "(Default)" : v.name) << "    " << typeName(v.type) << "    "
              << displayData(v.type, v.data) << "\n";
}

// Prints one key block of "query"; counts the values shown in `matches`.
// With /s a subkey that links back to a key above is named on stderr and
// not gone through again.
int queryKey(win::HKEY key, const std::string& path, const Options& o, int& matches, winsys::RegKeyChain& chain) {
    std::vector<Value> values;
    std::vector<std::string> subKeys;
    if (auto s = listValues(key, values); s != win::ERROR_SUCCESS) return fail("cannot read the values of " + path, s);
    if (auto s = listSubKeys(key, subKeys); s != win::ERROR_SUCCESS) return fail("cannot list the subkeys of " + path, s);

    // Without /v every key shows its path; with /v only the keys that hold the value.
    const bool everyKey = !o.value;
    bool headed = everyKey;
    if (everyKey) std::cout << "\n" << path << "\n";
    for (const auto& v : values) {
        if (o.value && !winsys::equalsNoCase(v.name, *o.value)) continue;
        if (!headed) std::cout << "\n" << path << "\n";
        headed = true;
        printValue(v);
        ++matches;
    }
    if (!o.recurse) {
        if (everyKey) {
            std::cout << "\n";
            for (const auto& name : subKeys) std::cout << path << "\\" << name << "\n";
        }
        return 0;
    }
    for (const auto& name : subKeys) {
        win::UniqueHKey child;
        const std::string childPath = path + "\\" + name;
        win::LSTATUS s = win::RegOpenKeyEx(key, name, 0, win::KEY_READ | winsys::regViewFlag(o.view), child.put());
        if (s != win::ERROR_SUCCESS) return fail("cannot open key " + childPath, s);
        auto entered = chain.enter(child.get(), childPath);
        if (!entered) return fail(entered.error().message);
        if (!*entered) {
            std::cerr << "regtool: " << chain.loopNote() << "\n";
            continue;
        }
        const int r = queryKey(child.get(), childPath, o, matches, chain);
        chain.leave();
        if (r != 0) return r;
    }
    return 0;
}

} // namespace

int runImport(const Options& o) {
    if (o.args.size() != 1) return fail("import takes one file (see regtool --help)");
    const std::string& file = o.args[0];
    std::ifstream in(file, std::ios::binary);
    if (!in) return fail("cannot open " + file, win::ERROR_FILE_NOT_FOUND);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) return fail("cannot read " + file, win::ERROR_READ_FAULT);
    auto ops = winsys::parseRegText(bytes, file);
    if (!ops) return fail(ops.error().message);
    if (auto r = winsys::applyRegOperations(ops.value(), o.view, file); !r) return fail(r.error().message);
    return finish();
}

int runExport(const Options& o) {
    if (o.args.empty() || o.args.size() > 2) return fail("export takes a key and at most one file (see regtool --help)");
    auto key = keyArgument(o);
    if (!key) return 1;
    std::vector<std::string> loops;
    auto text = winsys::exportRegTree(*key, o.view, &loops);
    if (!text) return fail(text.error().message);
    for (const auto& note : loops) std::cerr << "regtool: " << note << "\n";
    if (o.args.size() == 1) {
        // For a terminal or a pipe: UTF-8 and plain line ends.
        std::string out;
        out.reserve(text->size());
        for (std::size_t i = 0; i < text->size(); ++i)
            if (!((*text)[i] == '\r' && i + 1 < text->size() && (*text)[i + 1] == '\n')) out += (*text)[i];
        std::cout << out << std::flush;
        return std::cout ? 0 : fail("cannot write to standard output", win::ERROR_WRITE_FAULT);
    }
    const std::string& file = o.args[1];
    const auto bytes = winsys::encodeRegFile(text.value());
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) return fail("cannot write " + file, win::ERROR_WRITE_FAULT);
    std::cout << kDone;
    return 0;
}

int runQuery(const Options& o) {
    if (o.args.size() != 1) return fail("query takes one key (see regtool --help)");
    auto key = keyArgument(o);
    if (!key) return 1;
    win::UniqueHKey k;
    if (auto s = openKey(*key, win::KEY_READ, o, k); s != win::ERROR_SUCCESS)
        return fail("cannot open key " + key->text(), s);
    int matches = 0;
    winsys::RegKeyChain chain;
    if (auto top = chain.enter(k.get(), key->text()); !top) return fail(top.error().message);
    if (queryKey(k.get(), key->text(), o, matches, chain) != 0) return 1;
    if (o.value && o.recurse) {
        std::cout << "\nEnd of search: " << matches << " match(es) found.\n";
        return matches ? 0 : 1;
    }
    if (o.value && !matches)
        return fail("value " + valueLabel(*o.value) + " of " + key->text(), win::ERROR_FILE_NOT_FOUND);
    if (o.value) std::cout << "\n";
    return 0;
}

int runAdd(const Options& o) {
    if (o.args.size() != 1) return fail("add takes one key (see regtool --help)");
    auto key = keyArgument(o);
    if (!key) return 1;
    if (!o.value && (o.type || o.data)) return fail("/t and /d need /v NAME or /ve");
    win::DWORD type = win::REG_SZ;
    if (o.type) {
        auto t = typeFromName(*o.type);
        if (!t) return fail("unknown value type '" + *o.type + "'");
        type = *t;
    }
    std::vector<win::BYTE> data;
    if (o.value) {
        auto d = dataFromText(type, o.data.value_or(""), o.separator);
        if (!d) return fail(d.error().message);
        data = std::move(d).value();
    }

    win::UniqueHKey k;
    win::LSTATUS s = win::RegCreateKeyEx(key->root, key->subKey, win::REG_OPTION_NON_VOLATILE,
                                         win::KEY_ALL_ACCESS | winsys::regViewFlag(o.view), k.put(), nullptr);
    if (s != win::ERROR_SUCCESS) return fail("cannot create key " + key->text(), s);
    if (o.value) {
        win::DWORD oldType = 0;
        std::vector<win::BYTE> old;
        if (win::RegQueryValueEx(k.get(), *o.value, &oldType, &old) == win::ERROR_SUCCESS &&
            !confirmed("Value " + valueLabel(*o.value) + " exists in " + key->text(), "overwrite", o.force))
            return 1;
        s = win::RegSetValueEx(k.get(), *o.value, type, data);
        if (s != win::ERROR_SUCCESS) return fail("cannot set value " + valueLabel(*o.value) + " of " + key->text(), s);
    }
    k.reset();
    return finish();
}

int runDelete(const Options& o) {
    if (o.args.size() != 1) return fail("delete takes one key (see regtool --help)");
    auto key = keyArgument(o);
    if (!key) return 1;
    if (o.value && o.allValues) return fail("/v, /ve and /va exclude each other");

    if (!o.value && !o.allValues) {
        if (key->subKey.empty()) return fail(key->text() + ": a root key cannot be deleted");
        win::UniqueHKey k;
        if (auto s = openKey(*key, win::KEY_READ, o, k); s != win::ERROR_SUCCESS)
            return fail("cannot open key " + key->text(), s);
        k.reset();
        if (!confirmed("Key " + key->text() + " and everything below it will be deleted", "delete", o.force))
            return 1;
        if (auto s = winsys::deleteRegTree(*key, o.view); s != win::ERROR_SUCCESS)
            return fail("cannot delete key " + key->text(), s);
        return finish();
    }

    win::UniqueHKey k;
    if (auto s = openKey(*key, win::KEY_ALL_ACCESS, o, k); s != win::ERROR_SUCCESS)
        return fail("cannot open key " + key->text(), s);
    std::vector<std::string> names;
    if (o.value) {
        win::DWORD type = 0;
        std::vector<win::BYTE> data;
        if (auto s = win::RegQueryValueEx(k.get(), *o.value, &type, &data); s != win::ERROR_SUCCESS)
            return fail("value " + valueLabel(*o.value) + " of " + key->text(), s);
        names.push_back(*o.value);
    } else {
        std::vector<Value> values;
        if (auto s = listValues(k.get(), values); s != win::ERROR_SUCCESS)
            return fail("cannot read the values of " + key->text(), s);
        for (auto& v : values) names.push_back(std::move(v.name));
    }
    const std::string what = o.value ? "Value " + valueLabel(*o.value) + " of " + key->text()
                                     : "All values of " + key->text();
    if (!confirmed(what + " will be deleted", "delete", o.force)) return 1;
    for (const auto& name : names) {
        if (auto s = win::RegDeleteValue(k.get(), name); s != win::ERROR_SUCCESS)
            return fail("cannot delete value " + valueLabel(name) + " of " + key->text(), s);
    }
    k.reset();
    return finish();
}

} // namespace regtool
