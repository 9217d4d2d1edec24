#include "app/enumerators/cieenumerator.h"

// Every registration is read through the shared registry object; the class
// of a toolbar, button or helper object is looked up in the same registry
// view as the place it is registered in, so that a 64-bit add-on finds its
// 64-bit class. Each entry and each worker is one error trap that logs with
// sevInternalError and the source "CIEEnumerator.<procedure>".

#include <exception>

#include "app/core/comcalls.h"
#include "app/core/globals.h"
#include "app/core/mapi.h"
#include "app/core/mmain.h"
#include "app/core/mmainhelpers.h"
#include "app/core/msid.h"
#include "app/core/resume_next.h"
#include "app/core/strings.h"
#include "common/interfaces/global.h"
#include "common/interfaces/registry.h"
#include "components/interfaces/quarncust.h"
#include "platform/com/class_registry.h"
#include "platform/com/com_error.h"
#include "platform/com/variant.h"
#include "platform/core/text.h"

namespace sorlix {

namespace {

using halvenlib::_CCollection;
using halvenlib::_CNode;
using halvenlib::_CNodes;
using halvenlib::_CParams;
using quarncust::_CLittleConfig;
using win::LONG;
using winsys::com::call;
using winsys::com::check;
using winsys::com::ComPtr;

constexpr const char* kToolbarKey = "Software\\Microsoft\\Internet Explorer\\Toolbar";
constexpr const char* kUserToolbarPath = "\\Software\\Microsoft\\Internet Explorer\\Toolbar\\WebBrowser";
constexpr const char* kExtensionsKey = "Software\\Microsoft\\Internet Explorer\\Extensions";
constexpr const char* kMenuExtKey = "Software\\Microsoft\\Internet Explorer\\MenuExt";
constexpr const char* kBHOKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Browser Helper Objects";
constexpr const char* kCategoryCache =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Discardable\\PostSetup\\Component Categories\\%1\\Enum";
constexpr const char* kCategoryCache64 =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Discardable\\PostSetup\\Component Categories64\\%1\\Enum";

// String-table ids.
constexpr LONG kScopeEveryone = 123;
constexpr LONG kScopeDefault = 124;

struct BarCategory {
    const char* CatID;
    LONG typeText;
};
constexpr BarCategory kBarCategories[] = {
    {"{00021493-0000-0000-C000-000000000046}", 186}, // vertical
    {"{00021494-0000-0000-C000-000000000046}", 187}, // horizontal
};

// Toolbars that Windows itself brings (lower case, backslash included so
// that "myieframe.dll" is no match).
constexpr const char* kSystemToolbarFiles[] = {"\\browseui.dll", "\\msdxm.ocx", "\\shell32.dll", "\\ieframe.dll",
                                               "\\explorerframe.dll"};

constexpr const char* kSystemBars[] = {
    "{EFA24E61-B078-11D0-89E4-00C04FC9E26E}", "{EFA24E64-B078-11D0-89E4-00C04FC9E26E}",
    "{EFA24E62-B078-11D0-89E4-00C04FC9E26E}", "{30D02401-6A81-11D0-8274-00C04FD5AE38}",
    "{32683183-48A0-441B-A342-7C2A440A9478}", "{C4EE31F3-4768-11D2-BE5C-00A0C9A83DA1}",
    "{4D5C8C25-D075-11D0-B416-00C04FB90376}", "{BDEADE7F-C265-11D0-BCED-00A0C90AB50F}",
    "{21569614-B795-46B1-85F4-E737A8DC09AD}",
};

constexpr std::size_t kClassIdLength = 38;

// Runs `f` as one error trap of `procedure`; true when it failed (logged).
template <class F>
bool trapped(const char* procedure, F&& f) {
    const std::string source = std::string("CIEEnumerator.") + procedure;
    try {
        f();
        return false;
    } catch (const std::exception& e) {
        const ErrorText error = DescribeError(e);
        LogLine(error.number, error.text, halvenlib::sevInternalError, source);
    }
    return true;
}

std::string fullFileName(const std::string& file) {
    return ProgramObject(FileChecker).GetFullFileNameFromShortFilename(file);
}

// Runs `f` with file-system redirection off when `x64`: the file of a 64-bit
// add-on is read in the 64-bit view, where a path in the system folder
// means the 64-bit one.
template <class F>
auto inFileView(bool x64, F&& f) {
    if (!x64) return f();
    struct Revert {
        Revert() { MMain::DisableWow64Redirection(); }
        // A failed revert is logged rather than thrown from here.
        ~Revert() { trapped("RevertWow64Redirection", [] { MMain::RevertWow64Redirection(); }); }
    } revert;
    return f();
}

// ---- Collections and records ----

LONG count(_CCollection* c) {
    LONG n = 0;
    call([&] { return c->get_Count(&n); });
    return n;
}

ComPtr<_CNodes> newNodes() {
    ComPtr<_CNodes> nodes;
    check(winsys::com::createInstance(halvenlib::CLSID_CNodes, &nodes));
    return nodes;
}

// A new node of `result` with `id` as its Id, and its parameters.
ComPtr<_CParams> newRecord(_CNodes* result, const std::string& id, ComPtr<_CNode>* node = nullptr) {
    ComPtr<_CNode> n;
    call([&] { return result->Add(n.put()); });
    call([&] { return n->put_Id(id); });
    ComPtr<_CParams> params;
    call([&] { return n->get_params(params.put()); });
    if (node) *node = std::move(n);
    return params;
}

void addText(_CParams* params, const std::string& name, const std::string& value) {
    AddParam(params, name, winsys::com::makeText(value));
}

ComPtr<_CLittleConfig> newConfig() {
    ComPtr<_CLittleConfig> cfg;
    check(winsys::com::createInstance(quarncust::CLSID_CLittleConfig, &cfg));
    return cfg;
}
ComPtr<_CLittleConfig> subkeyConfig(LONG root, const std::string& subkey) {
    ComPtr<_CLittleConfig> cfg = newConfig();
    call([&] { return cfg->AddRegistrySubkey(root, subkey); });
    return cfg;
}
void addConfig(_CParams* params, const std::string& name, const ComPtr<_CLittleConfig>& cfg) {
    AddParam(params, name, winsys::com::makeObject(cfg.get()));
}

ComPtr<_CCollection> versionInfo(const std::string& file) {
    ComPtr<_CCollection> info;
    const ComPtr<halvenlib::_CGlobal> g = Global();
    call([&] { return g->FileVersionInfo(file, info.put()); });
    return info;
}
void addVersionFields(_CCollection* info, _CParams* params) {
    MMain::AddParamFromCollection(info, params, "CompanyName", "manufacturer");
    MMain::AddParamFromCollection(info, params, "ProductVersion", "version");
    MMain::AddParamFromCollection(info, params, "FileDescription", "description");
}

// ---- Registry ----

std::string keyName(LONG root);

// Windows' own bound on a display name. A stranger's registry may hold
// megabytes where a name or a file is expected; every copy of it down to
// the listing would cost as much again.
constexpr std::size_t kMaxShownUnits = 32767;

// `text` within the bound; a longer one is cut, ellipsis included, with
// one log line naming the key (itself cut: a subkey name may be as long).
std::string bounded(std::string text, LONG root, const std::string& subkey, const std::string& what) {
    if (text.size() <= kMaxShownUnits || winsys::utf16Length(text) <= kMaxShownUnits) return text;
    const std::string key = winsys::cutWithEllipsis(keyName(root) + "\\" + subkey, 1024);
    LogLine(0, FormatString("%1 of '%2' is longer than %3 characters; only its beginning is read.",
                            {what, key, std::to_string(kMaxShownUnits)}),
            halvenlib::sevWarning, "CIEEnumerator");
    return winsys::cutWithEllipsis(text, kMaxShownUnits - 1); // and the ellipsis
}

// The text, or "" when it cannot be read; within the bound.
std::string queryString(LONG root, std::string subkey, std::string valueName) {
    std::string value;
    win::VARIANT_BOOL ok = win::VARIANT_FALSE;
    call([&] { return required(Registry)->QuerySTRING(&root, &subkey, &valueName, &value, &ok); });
    return bounded(std::move(value), root, subkey,
                   valueName.empty() ? std::string("The default value") : "The value \"" + valueName + "\"");
}

// The server file of a class, as stored.
std::string serverOf(LONG classesRoot, const std::string& classId) {
    return queryString(classesRoot, "CLSID\\" + classId + "\\InProcServer32", "");
}

ComPtr<_CCollection> subkeyNames(LONG root, std::string subkey) {
    ComPtr<_CCollection> names;
    call([&] { return required(Registry)->EnumKey(&root, &subkey, names.put()); });
    return names;
}

bool valueNames(LONG root, const std::string& subkey, ComPtr<_CCollection>& names, std::string& cause) {
    win::VARIANT_BOOL ok = win::VARIANT_FALSE;
    call([&] { return required(Registry)->EnumValuesEx(root, subkey, names.put(), &cause, &ok); });
    return ok != win::VARIANT_FALSE;
}

std::string keyName(LONG root) {
    std::string name;
    call([&] { return required(Registry)->GetKeyName(root, &name); });
    return name;
}

// ---- Texts ----

std::string withoutAmpersands(std::string s) {
    std::erase(s, '&');
    return s;
}

// A button's caption: resolved when indirect, without its accelerator marks.
std::string caption(LONG root, const std::string& path, const std::string& valueName) {
    return withoutAmpersands(MAPI::LoadIndirectString(queryString(root, path, valueName)));
}

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// "res://file/page" -> "file": the resource module of the address.
std::string resourceModule(const std::string& address) {
    std::string file = address.substr(6);
    if (const auto slash = file.find('/', 1); slash != std::string::npos) file.erase(slash);
    return file;
}

bool isSystemToolbar(const std::string& file) {
    const std::string lower = winsys::lowerCase(file);
    for (const char* name : kSystemToolbarFiles)
        if (contains(lower, name)) return true;
    return false;
}

bool isSystemBar(const std::string& upperClassId) {
    for (const char* id : kSystemBars)
        if (upperClassId == id) return true;
    return false;
}

bool isClassIdLength(const std::string& name) { return winsys::utf16Length(name) == kClassIdLength; }

// Who a user key's add-ons are installed for.
std::string userScope(const std::string& user) {
    if (winsys::upperCase(user) == ".DEFAULT") return LoadResString(kScopeDefault);
    if (user.rfind("S-", 0) == 0) {
        std::string domain, account;
        MSidToSam::SidToSam(user, domain, account);
        return account;
    }
    return {};
}

// The per-user pass: `fill(names, key, scope)` for every user key whose
// path gives at least one name through `read` (null when unreadable).
template <class Read, class Fill>
void forEachUser(const std::string& path, Read read, Fill fill) {
    const ComPtr<_CCollection> users = subkeyNames(halvenlib::HKEY_USERS, "");
    const LONG n = count(users.get());
    for (LONG i = 1; i <= n; ++i) {
        const std::string user = ItemText(users.get(), i);
        const std::string key = user + path;
        const ComPtr<_CCollection> names = read(key);
        if (!names || count(names.get()) == 0) continue;
        fill(names.get(), key, userScope(user));
    }
}

} // namespace

LONG CIEEnumerator::machineRoot() const {
    return X64 ? halvenlib::HKEY_LOCAL_MACHINE_64BIT : halvenlib::HKEY_LOCAL_MACHINE;
}

LONG CIEEnumerator::classesRoot() const {
    return X64 ? halvenlib::HKEY_CLASSES_ROOT_64BIT : halvenlib::HKEY_CLASSES_ROOT;
}

// ---- Toolbars ----

ComPtr<_CNodes> CIEEnumerator::EnumToolbars(bool IE64bit) {
    ComPtr<_CNodes> result;
    bool redirected = false;
    bool failed = trapped("EnumToolbars", [&] {
        X64 = IE64bit;
        result = newNodes();
        if (IE64bit) {
            MMain::DisableWow64Redirection();
            redirected = true;
        }
        const LONG root = machineRoot();
        ComPtr<_CCollection> values;
        std::string cause;
        if (valueNames(root, kToolbarKey, values, cause))
            FillTBInfo(values.get(), result.get(), root, kToolbarKey, LoadResString(kScopeEveryone));
        else
            LogLine(0, FormatString("Cannot enumerate '%1\\%2': %3.", {keyName(root), kToolbarKey, cause}),
                    halvenlib::sevError, "");

        forEachUser(
            kUserToolbarPath,
            [&](const std::string& key) {
                ComPtr<_CCollection> names;
                std::string ignored;
                return valueNames(halvenlib::HKEY_USERS, key, names, ignored) ? names : nullptr;
            },
            [&](_CCollection* names, const std::string& key, const std::string& scope) {
                FillTBInfo(names, result.get(), halvenlib::HKEY_USERS, key, scope);
            });
    });
    if (redirected && trapped("EnumToolbars", [] { MMain::RevertWow64Redirection(); })) failed = true;
    return failed ? nullptr : result;
}

void CIEEnumerator::FillTBInfo(_CCollection* values, _CNodes* result, LONG root, const std::string& key,
                               const std::string& scope) {
    trapped("FillTBInfo", [&] {
        const LONG classes = classesRoot();
        const LONG n = count(values);
        for (LONG i = 1; i <= n; ++i) {
            const std::string id = ItemText(values, i);
            if (!isClassIdLength(id)) continue;
            const std::string name = queryString(classes, "CLSID\\" + id, "");
            const std::string file = serverOf(classes, id);
            if (isSystemToolbar(file)) continue;
            const std::string originalName = MAPI::Trim(withoutAmpersands(name));

            const ComPtr<_CLittleConfig> cfg = newConfig();
            call([&] { return cfg->AddRegistryValue(root, key, id); });

            const ComPtr<_CParams> params = newRecord(result, id);
            if (!originalName.empty()) addText(params.get(), "originalName", originalName);
            addText(params.get(), "dLL", fullFileName(file));
            AddParam(params.get(), "file64bitSystem32", winsys::com::makeBool(X64));
            AddParam(params.get(), "key", winsys::com::makeLong(root));
            addText(params.get(), "hive", key);
            addText(params.get(), "scope", scope);
            addConfig(params.get(), "backupCfg", cfg);

            const ComPtr<_CCollection> info = versionInfo(file);
            addVersionFields(info.get(), params.get());
            std::string websearch = originalName;
            for (const char* entry : {"ProductName", "FileDescription", "LegalCopyright"})
                if (websearch.empty() && HasItem(info.get(), entry)) websearch = ItemText(info.get(), entry);
            if (websearch.empty()) websearch = file;
            addText(params.get(), "websearchName", websearch);
        }
    });
}

// ---- Toolbar buttons ----

ComPtr<_CNodes> CIEEnumerator::EnumToolbarButtons(bool IE64bit) {
    ComPtr<_CNodes> result;
    const bool failed = trapped("EnumToolbarButtons", [&] {
        X64 = IE64bit;
        result = newNodes();
        const LONG root = machineRoot();
        FillTBButtonInfo(root, kExtensionsKey, LoadResString(kScopeEveryone), subkeyNames(root, kExtensionsKey).get(),
                         result.get());
        forEachUser(
            std::string("\\") + kExtensionsKey,
            [](const std::string& key) { return subkeyNames(halvenlib::HKEY_USERS, key); },
            [&](_CCollection* names, const std::string& key, const std::string& scope) {
                FillTBButtonInfo(halvenlib::HKEY_USERS, key, scope, names, result.get());
            });
    });
    return failed ? nullptr : result;
}

void CIEEnumerator::FillTBButtonInfo(LONG root, const std::string& key, const std::string& scope,
                                     _CCollection* subkeys, _CNodes* result) {
    trapped("FillTBButtonInfo", [&] {
        const LONG n = count(subkeys);
        for (LONG i = 1; i <= n; ++i) {
            const std::string id = ItemText(subkeys, i);
            if (!isClassIdLength(id)) continue;
            const std::string path = key + "\\" + id;
            ComPtr<_CNode> node;
            const ComPtr<_CParams> params = newRecord(result, id, &node);

            const std::string button = caption(root, path, "buttontext");
            addText(params.get(), "buttontext", button);
            const std::string menu = caption(root, path, "menutext");
            addText(params.get(), "menutext", menu);

            std::string file = queryString(root, path, "script");
            if (file.empty()) file = queryString(root, path, "exec");
            if (!file.empty() && winsys::startsWithNoCase(file, "res://")) file = resourceModule(file);
            if (file.empty()) {
                const std::string extension = queryString(root, path, "ClsidExtension");
                if (!extension.empty()) file = serverOf(classesRoot(), extension);
            }

            addText(params.get(), "websearchName", button != menu ? button + " " + menu : button);
            addText(params.get(), "originalName", button.empty() ? menu : button);
            addText(params.get(), "dLL", inFileView(X64, [&] { return fullFileName(file); }));
            AddParam(params.get(), "file64bitSystem32", winsys::com::makeBool(X64));
            addText(params.get(), "scope", scope);
            addConfig(params.get(), "backupCfg", subkeyConfig(root, path));
            if (!file.empty())
                inFileView(X64, [&] { MMain::AddFileInfoToResultNode(node.get(), file); });
        }
    });
}

// ---- Context-menu extensions ----

ComPtr<_CNodes> CIEEnumerator::EnumContextMenus(bool IE64bit) {
    ComPtr<_CNodes> result;
    const bool failed = trapped("EnumContextMenus", [&] {
        X64 = IE64bit;
        result = newNodes();
        const LONG root = machineRoot();
        FillContextMenuInfo(root, kMenuExtKey, LoadResString(kScopeEveryone), subkeyNames(root, kMenuExtKey).get(),
                            result.get());
        forEachUser(
            std::string("\\") + kMenuExtKey,
            [](const std::string& key) { return subkeyNames(halvenlib::HKEY_USERS, key); },
            [&](_CCollection* names, const std::string& key, const std::string& scope) {
                FillContextMenuInfo(halvenlib::HKEY_USERS, key, scope, names, result.get());
            });
    });
    return failed ? nullptr : result;
}

void CIEEnumerator::FillContextMenuInfo(LONG root, const std::string& key, const std::string& scope,
                                        _CCollection* subkeys, _CNodes* result) {
    trapped("FillContextMenuInfo", [&] {
        const LONG n = count(subkeys);
        for (LONG i = 1; i <= n; ++i) {
            // The subkey's name is the menu text.
            const std::string entry = ItemText(subkeys, i);
            // The full name stays the key's path; only the shown name is bounded.
            const std::string clean = bounded(withoutAmpersands(entry), root, key, "A subkey name");
            ComPtr<_CNode> node;
            const ComPtr<_CParams> params = newRecord(result, entry, &node);
            addText(params.get(), "name", clean);

            const std::string path = key + "\\" + entry;
            std::string file = queryString(root, path, "");
            if (winsys::startsWithNoCase(file, "res://")) file = resourceModule(file);
            else if (winsys::startsWithNoCase(file, "file://")) file = file.substr(7);
            file = inFileView(X64, [&] { return fullFileName(file); });

            addText(params.get(), "websearchName", clean);
            addText(params.get(), "originalName", clean);
            addText(params.get(), "dLL", file);
            AddParam(params.get(), "file64bitSystem32", winsys::com::makeBool(X64));
            addText(params.get(), "scope", scope);
            addConfig(params.get(), "backupCfg", subkeyConfig(root, path));
            inFileView(X64, [&] { MMain::AddFileInfoToResultNode(node.get(), file); });
        }
    });
}

// ---- Explorer bars ----

ComPtr<_CNodes> CIEEnumerator::EnumExplorerBars(bool IE64bit) {
    ComPtr<_CNodes> result;
    const bool failed = trapped("EnumObjects", [&] {
        X64 = IE64bit;
        result = newNodes();
        for (const BarCategory& category : kBarCategories) {
            ComPtr<_CCollection> classes;
            call([&] {
                return required(Registry)->EnumClassesOfCategory(category.CatID, win::toVariantBool(!IE64bit),
                                                                 win::toVariantBool(IE64bit), classes.put());
            });
            FillExplorerBarInfo(classes.get(), result.get(), category.CatID, LoadResString(category.typeText),
                                IE64bit);
        }
    });
    return failed ? nullptr : result;
}

void CIEEnumerator::FillExplorerBarInfo(_CCollection* classes, _CNodes* result, const std::string& CatID,
                                        const std::string& typeText, bool is64bit) {
    trapped("FillExplorerBarInfo", [&] {
        const LONG root = is64bit ? halvenlib::HKEY_CLASSES_ROOT_64BIT : halvenlib::HKEY_CLASSES_ROOT;
        const LONG n = count(classes);
        for (LONG i = 1; i <= n; ++i) {
            std::string id = ItemText(classes, i);
            if (!isClassIdLength(id)) continue;
            id = winsys::upperCase(id);
            if (isSystemBar(id)) continue;

            std::string name = queryString(root, "CLSID\\" + id, "");
            std::string file = serverOf(root, id);
            const std::string url = queryString(root, "CLSID\\" + id + "\\Instance\\InitPropertyBag", "Url");
            // A bar that the browser's own view hosts is the page of its "Url".
            if (contains(winsys::lowerCase(file), "shdocvw.dll") && !contains(winsys::lowerCase(url), "shdocvw.dll"))
                file = url;

            const ComPtr<_CParams> params = newRecord(result, id);
            const ComPtr<_CCollection> info = inFileView(X64, [&] { return versionInfo(file); });
            addVersionFields(info.get(), params.get());
            if (name.empty() && HasItem(info.get(), "ProductName")) name = ItemText(info.get(), "ProductName");
            name = withoutAmpersands(name);

            addText(params.get(), "websearchName", name);
            addText(params.get(), "originalName", name);
            addText(params.get(), "dLL", inFileView(X64, [&] { return fullFileName(file); }));
            AddParam(params.get(), "file64bitSystem32", winsys::com::makeBool(X64));
            addText(params.get(), "cATID", CatID);
            addText(params.get(), "type", typeText);
            addConfig(params.get(), "backupCfg",
                      subkeyConfig(root, FormatString("CLSID\\%1\\Implemented Categories\\%2", {id, CatID})));

            // The component-category caches; 64-bit Windows keeps a second one.
            const ComPtr<_CLittleConfig> caches =
                subkeyConfig(halvenlib::HKEY_CURRENT_USER, FormatString(kCategoryCache, {CatID}));
            if (MMain::IsWindows64bit()) {
                const std::string subkey = FormatString(kCategoryCache64, {CatID});
                call([&] { return caches->AddRegistrySubkey(halvenlib::HKEY_CURRENT_USER, subkey); });
            }
            addConfig(params.get(), "deleteCfg", caches);
        }
    });
}

// ---- Browser helper objects ----

ComPtr<_CNodes> CIEEnumerator::EnumBHOs(bool IE64bit) {
    ComPtr<_CNodes> result;
    const bool failed = trapped("EnumBHOs", [&] {
        X64 = IE64bit;
        result = newNodes();
        const LONG root = machineRoot();
        FillBHOInfo(subkeyNames(root, kBHOKey).get(), result.get(), root);
    });
    return failed ? nullptr : result;
}

void CIEEnumerator::FillBHOInfo(_CCollection* subkeys, _CNodes* result, LONG root) {
    trapped("FillBHOInfo", [&] {
        const LONG n = count(subkeys);
        for (LONG i = 1; i <= n; ++i) {
            const std::string id = ItemText(subkeys, i);
            if (!isClassIdLength(id)) continue;
            const std::string key = std::string(kBHOKey) + "\\" + id;
            std::string name = queryString(root, key, "");
            const std::string file = serverOf(classesRoot(), id);

            const ComPtr<_CParams> params = newRecord(result, id);
            const ComPtr<_CCollection> info = inFileView(X64, [&] { return versionInfo(file); });
            addVersionFields(info.get(), params.get());
            if (name.empty() && HasItem(info.get(), "ProductName")) name = ItemText(info.get(), "ProductName");
            name = withoutAmpersands(name);

            addText(params.get(), "iD", id);
            addText(params.get(), "websearchName", name);
            addText(params.get(), "originalName", name);
            addText(params.get(), "dLL", inFileView(X64, [&] { return fullFileName(file); }));
            AddParam(params.get(), "file64bitSystem32", winsys::com::makeBool(X64));
            addConfig(params.get(), "backupCfg", subkeyConfig(root, key));
        }
    });
}

} // namespace sorlix
