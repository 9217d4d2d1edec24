// The program from start-up to exit on a fresh demo machine, driven through
// its main window as a user would: a 32-bit toolbar, a 64-bit explorer bar
// and a 64-bit helper object are picked in the add-on tree and deleted with
// the delete command, then put back through the restore window. Each delete
// must take from the machine exactly what the add-on's removal records
// list; after the restores the machine must be as it was, apart from what
// the program may legitimately leave:
//  - its data folder (logs, scratch folders, the emptied backup folders);
//  - the empty keys of its backup index under
//    HKCU\Software\Vendrel Software (a value left there fails the compare);
//  - the component-category caches that an explorer bar's "deleteCfg"
//    lists: they are deleted without a backup, so they stay gone (the
//    shell builds them again).

#include <gtest/gtest.h>

#include <QComboBox>
#include <QPushButton>
#include <QTest>
#include <QToolButton>
#include <QTreeWidget>

#include <set>

#include "app/core/strings.h"
#include "app/ui/fobjectlist.h"
#include "app/ui/frestore.h"
#include "common/interfaces/records.h"
#include "common/interfaces/registry.h"
#include "common/interfaces/table.h"
#include "components/interfaces/quarncust.h"
#include "platform/com/variant.h"
#include "platform/controls/task_dialog.h"
#include "platform/controls/tree_view.h"
#include "tests/e2e/window/e2e_support.h"

namespace {

namespace fs = std::filesystem;
using e2e::RegItem;
using e2e::RegState;
using halvenlib::_CParam;
using halvenlib::_CParams;
using quarncust::_CLittleConfig;
using win::LONG;
using winsys::com::ComPtr;
using winsys::controls::TaskDialog;
using winsys::controls::TreeView;

constexpr const char* kVerticalBars = "{00021493-0000-0000-C000-000000000046}";

// The vertical bars' category caches as the shell keeps them on 64-bit
// Windows; the demo machine has none, so the test adds them.
const char* const kCategoryCaches[] = {
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Discardable\\PostSetup\\Component Categories\\"
    "{00021493-0000-0000-C000-000000000046}\\Enum",
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Discardable\\PostSetup\\Component Categories64\\"
    "{00021493-0000-0000-C000-000000000046}\\Enum",
};

std::string lower(std::string_view s) { return winsys::lowerCase(s); }
bool equalsNoCase(const std::string& a, const std::string& b) { return winsys::equalsNoCase(a, b); }

bool startsWithNoCase(const std::string& s, const std::string& head) {
    return s.size() >= head.size() && lower(s.substr(0, head.size())) == lower(head);
}

// ---- Removal records --------------------------------------------------------

std::pair<win::HKEY, win::REGSAM> viewRoot(LONG root) {
    if (root == halvenlib::HKEY_LOCAL_MACHINE_64BIT) return {win::HKEY_LOCAL_MACHINE, win::KEY_WOW64_64KEY};
    if (root == halvenlib::HKEY_CLASSES_ROOT_64BIT) return {win::HKEY_CLASSES_ROOT, win::KEY_WOW64_64KEY};
    return {win::predefinedKey(static_cast<std::uint32_t>(root)), 0};
}

// Where a key named through a root of a 32-bit process lives in the state's
// terms (HKLM\..., HKU\<sid>\...); two places for the merged classes root.
std::vector<std::string> canonicalPaths(LONG root, const std::string& subkey) {
    const std::string user = "HKU\\" + winsys::machine().userSid();
    // The 32-bit view below a redirected key, unless the path names it already.
    const auto wow = [](const std::string& base, const std::string& rest) {
        if (startsWithNoCase(rest, "Wow6432Node\\") || equalsNoCase(rest, "Wow6432Node")) return base + "\\" + rest;
        return base + "\\Wow6432Node" + (rest.empty() ? "" : "\\" + rest);
    };
    const auto after = [&subkey](std::size_t n) { return subkey.size() > n ? subkey.substr(n + 1) : std::string(); };
    const std::string classes = "Software\\Classes", software = "Software";
    switch (static_cast<std::uint32_t>(root)) {
    case 1u: return {"HKLM\\" + subkey}; // HKEY_LOCAL_MACHINE_64BIT
    case 2u:                            // HKEY_CLASSES_ROOT_64BIT
        return {user + "\\Software\\Classes\\" + subkey, "HKLM\\Software\\Classes\\" + subkey};
    case 0x80000000u: return {wow(user + "\\Software\\Classes", subkey), wow("HKLM\\Software\\Classes", subkey)};
    case 0x80000001u:
        if (startsWithNoCase(subkey + "\\", classes + "\\"))
            return {wow(user + "\\Software\\Classes", after(classes.size()))};
        return {user + "\\" + subkey};
    case 0x80000002u:
        if (startsWithNoCase(subkey + "\\", classes + "\\"))
            return {wow("HKLM\\Software\\Classes", after(classes.size()))};
        if (startsWithNoCase(subkey + "\\", software + "\\")) return {wow("HKLM\\Software", after(software.size()))};
        return {"HKLM\\" + subkey};
    case 0x80000003u: return {"HKU\\" + subkey};
    default: return {};
    }
}

// What a removal record lists, read through the registry views before the
// delete: every key and value below each subkey item and each value item,
// with the places each may live; and the files under each file item.
struct Listed {
    struct Item {
        RegItem item; // path relative to the record's key
        std::vector<std::string> places;
    };
    std::vector<Item> registry;
    std::vector<std::string> files; // relative to drive_c
    struct Gone {
        LONG root;
        std::string subkey, value;
        bool isValue;
    };
    std::vector<Gone> gone;
};

void list(_CLittleConfig* cfg, const fs::path& driveC, Listed& out) {
    LONG n = 0;
    ASSERT_EQ(cfg->get_RegistrySubkeysCount(&n), win::S_OK);
    for (LONG i = 1; i <= n; ++i) {
        LONG root = 0;
        std::string subkey;
        ASSERT_EQ(cfg->get_RegistrySubkeyKey(i, &root), win::S_OK);
        ASSERT_EQ(cfg->get_RegistrySubkeySubkey(i, &subkey), win::S_OK);
        out.gone.push_back({root, subkey, "", false});
        const auto [key, view] = viewRoot(root);
        std::vector<RegItem> items;
        e2e::detail::walkRoot(key, subkey, view, "", items);
        for (RegItem& item : items) {
            std::vector<std::string> places;
            for (const std::string& p : canonicalPaths(root, subkey)) places.push_back(p + item.path);
            item.path.clear();
            out.registry.push_back({item, places});
        }
    }
    ASSERT_EQ(cfg->get_RegistryValuesCount(&n), win::S_OK);
    for (LONG i = 1; i <= n; ++i) {
        LONG root = 0;
        std::string subkey, name;
        ASSERT_EQ(cfg->get_RegistryValueKey(i, &root), win::S_OK);
        ASSERT_EQ(cfg->get_RegistryValueSubkey(i, &subkey), win::S_OK);
        ASSERT_EQ(cfg->get_RegistryValueValueName(i, &name), win::S_OK);
        out.gone.push_back({root, subkey, name, true});
        const auto [key, view] = viewRoot(root);
        win::UniqueHKey k;
        if (win::RegOpenKeyEx(key, subkey, 0, win::KEY_READ | view, k.put()) != win::ERROR_SUCCESS) continue;
        RegItem item{"", name, false, 0, {}};
        if (win::RegQueryValueEx(k.get(), name, &item.type, &item.data) != win::ERROR_SUCCESS) continue;
        out.registry.push_back({item, canonicalPaths(root, subkey)});
    }
    ASSERT_EQ(cfg->get_FileOrFoldersCount(&n), win::S_OK);
    for (LONG i = 1; i <= n; ++i) {
        std::string path;
        win::VARIANT_BOOL x64 = win::VARIANT_FALSE;
        ASSERT_EQ(cfg->get_FileOrFolder(i, &path), win::S_OK);
        ASSERT_EQ(cfg->get_FileOrFolderx64bitSystem32(i, &x64), win::S_OK);
        auto parsed = winsys::parseWindowsPath(path);
        ASSERT_TRUE(parsed) << path;
        auto host = winsys::resolveHostPath(parsed.value(), x64 == win::VARIANT_FALSE);
        if (!host) continue;
        const std::string rel = host.value().lexically_relative(driveC).generic_string();
        for (const auto& [file, content] : e2e::fileState(driveC))
            if (file == rel || file.rfind(rel + "/", 0) == 0) out.files.push_back(file);
    }
}

// Empty when `lostItems` are exactly the listed items, each at one of its
// places; else the first that does not pair up.
std::string pairUp(const std::vector<RegItem>& lostItems, const Listed& listed) {
    std::vector<bool> used(listed.registry.size(), false);
    for (const RegItem& l : lostItems) {
        bool paired = false;
        for (std::size_t i = 0; i < listed.registry.size() && !paired; ++i) {
            const Listed::Item& e = listed.registry[i];
            if (used[i] || e.item.isKey != l.isKey || !equalsNoCase(e.item.name, l.name) || e.item.type != l.type ||
                e.item.data != l.data)
                continue;
            for (const std::string& place : e.places)
                if (equalsNoCase(place, l.path)) paired = true;
            if (paired) used[i] = true;
        }
        if (!paired) return "lost but not listed: " + e2e::describe(l);
    }
    for (std::size_t i = 0; i < used.size(); ++i)
        if (!used[i])
            return "listed but not lost: " + e2e::describe(listed.registry[i].item) + " at " +
                   listed.registry[i].places.front();
    return {};
}

// ---- The catalogue and the windows -------------------------------------------

// The add-on id of the add-on with this display name, or empty.
std::string idOf(LONG type, const std::string& displayName) {
    for (const auto& [name, id] : testsupport::listingRows(sorlix::DB->TypeObjects(type).get()))
        if (name == displayName) return id;
    return {};
}

ComPtr<_CLittleConfig> config(_CParams* info, const std::string& key) {
    win::VARIANT_BOOL present = win::VARIANT_FALSE;
    info->IsInCollection(key, &present);
    if (present == win::VARIANT_FALSE) return {};
    win::VARIANT k = winsys::com::makeText(key);
    ComPtr<_CParam> param;
    info->get_Item(&k, param.put());
    win::VariantClear(&k);
    win::VARIANT v;
    param->get_Value(&v);
    ComPtr<_CLittleConfig> cfg;
    const win::VARIANT& d = winsys::com::deref(v);
    if (d.vt == win::VT_DISPATCH && d.pdispVal) d.pdispVal->QueryInterface(_CLittleConfig::iid, cfg.putVoid());
    win::VariantClear(&v);
    return cfg;
}

TreeView* tree(sorlix::ui::FMain& form) { return form.objectList()->findChild<TreeView*>(); }

// Whether the add-on tree shows an add-on of the type under this name.
bool shown(sorlix::ui::FMain& form, LONG type, const std::string& name) {
    TreeView* tv = tree(form);
    for (int i = 1; i <= tv->NodeCount(); ++i) {
        QTreeWidgetItem* node = tv->NodeAt(i);
        const std::string key = TreeView::Key(node).toStdString();
        if (node->text(0).toStdString() == name && sorlix::DB->AddonType(key) == type) return true;
    }
    return false;
}

// Clicks the add-on's node as the user would.
void click(sorlix::ui::FMain& form, const std::string& id) {
    TreeView* tv = tree(form);
    QTreeWidgetItem* node = tv->Node(QString::fromStdString(id));
    ASSERT_NE(node, nullptr);
    tv->scrollToItem(node);
    const QRect r = tv->visualItemRect(node);
    ASSERT_FALSE(r.isEmpty());
    QTest::mouseClick(tv->viewport(), Qt::LeftButton, Qt::NoModifier, r.center());
    ASSERT_EQ(tv->SelectedNode(), node);
}

QToolButton* ribbonButton(sorlix::ui::FMain& form, int id) {
    return form.findChild<QToolButton*>(QStringLiteral("cmd_%1").arg(id));
}

win::LONG backupCount(win::LONG type) {
    sorlix::CAxBackuper engine;
    std::string cause;
    win::LONG count = -1;
    std::vector<sorlix::CAxBackuper::BackupRow> rows;
    if (!engine.Init(sorlix::DataFolder, sorlix::kProductRegistryKey, sorlix::AddonTypeVisor->BackupObjectName(type),
                     cause) ||
        !engine.ListBackups(count, rows, cause))
        ADD_FAILURE() << cause;
    return count;
}

struct Target {
    LONG type;
    std::string name;
    bool hasDeleteCfg;
};

class EndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        e2e::ensureApplication();
        ASSERT_TRUE(demo.built()) << demo.output();
        const std::string opened = demo.open();
        ASSERT_EQ(opened, "");
        seedCategoryCaches();
        TaskDialog::setTestResponder([this](const winsys::controls::TaskDialogSettings& s) {
            dialogs.push_back(s);
            return (s.commonButtons & TaskDialog::kYes) ? TaskDialog::kYes : TaskDialog::kOk;
        });
    }
    void TearDown() override {
        TaskDialog::setTestResponder(nullptr);
        winsys::setMachine(nullptr);
    }

    void seedCategoryCaches() {
        for (const char* cache : kCategoryCaches) {
            win::UniqueHKey key;
            ASSERT_EQ(win::RegCreateKeyEx(win::HKEY_CURRENT_USER, cache, 0, win::KEY_ALL_ACCESS, key.put(), nullptr),
                      win::ERROR_SUCCESS);
            const std::vector<win::BYTE> bytes{0x61, 0x1b, 0x2c, 0x3d, 0x0a, 0x00, 0x5f, 0x4e};
            ASSERT_EQ(win::RegSetValueEx(key.get(), "Implementing", win::REG_BINARY, bytes), win::ERROR_SUCCESS);
        }
    }

    // Deletes the add-on through the tree and the ribbon and checks what went.
    void deleteAddon(sorlix::ui::FMain& form, const Target& t) {
        SCOPED_TRACE("delete " + t.name);
        const std::string id = idOf(t.type, t.name);
        ASSERT_FALSE(id.empty()) << "not collected";
        ASSERT_TRUE(shown(form, t.type, t.name));
        click(form, id);

        const ComPtr<_CParams> info = sorlix::DB->AddonInfo(id);
        ASSERT_TRUE(info);
        const ComPtr<_CLittleConfig> backupCfg = config(info.get(), "backupCfg");
        const ComPtr<_CLittleConfig> deleteCfg = config(info.get(), "deleteCfg");
        ASSERT_TRUE(backupCfg);
        ASSERT_EQ(static_cast<bool>(deleteCfg), t.hasDeleteCfg);
        Listed listed, cachesOnly;
        ASSERT_NO_FATAL_FAILURE(list(backupCfg.get(), demo.driveC(), listed));
        if (deleteCfg) {
            ASSERT_NO_FATAL_FAILURE(list(deleteCfg.get(), demo.driveC(), cachesOnly));
            ASSERT_FALSE(cachesOnly.registry.empty()) << "the caches to delete are missing";
            listed.registry.insert(listed.registry.end(), cachesOnly.registry.begin(), cachesOnly.registry.end());
            listed.gone.insert(listed.gone.end(), cachesOnly.gone.begin(), cachesOnly.gone.end());
        }
        ASSERT_FALSE(listed.registry.empty() && listed.files.empty()) << "the record lists nothing to remove";
        const RegState before = e2e::outsideProductKey(e2e::registryState());
        const e2e::FileState filesBefore = e2e::fileState(demo.driveC());
        const std::size_t dialogsBefore = dialogs.size();

        QToolButton* button = ribbonButton(form, 5001);
        ASSERT_NE(button, nullptr);
        button->click();

        // One question, answered Yes, and no message after it.
        ASSERT_EQ(dialogs.size(), dialogsBefore + 1);
        const auto& asked = dialogs.back();
        EXPECT_TRUE(asked.content.startsWith(QString::fromStdString("Are you sure you want to delete " + t.name)))
            << asked.content.toStdString();
        EXPECT_EQ(asked.commonButtons, TaskDialog::kYes + TaskDialog::kNo);
        EXPECT_TRUE(asked.windowTitle.startsWith("Delete ")) << asked.windowTitle.toStdString();

        const RegState after = e2e::outsideProductKey(e2e::registryState());
        EXPECT_EQ(e2e::firstDifference(RegState(), [&] {
                      RegState added;
                      for (const RegItem& i : e2e::lost(after, before)) added.emplace(e2e::sortKey(i), i);
                      return added;
                  }()),
                  "")
            << "the delete added or changed registry items";
        EXPECT_EQ(pairUp(e2e::lost(before, after), listed), "");
        for (const Listed::Gone& g : listed.gone) {
            const auto [key, view] = viewRoot(g.root);
            win::UniqueHKey k;
            const bool opened =
                win::RegOpenKeyEx(key, g.subkey, 0, win::KEY_READ | view, k.put()) == win::ERROR_SUCCESS;
            if (!g.isValue) {
                EXPECT_FALSE(opened) << "still there: " << g.subkey;
            } else if (opened) {
                win::DWORD type = 0;
                std::vector<win::BYTE> data;
                EXPECT_NE(win::RegQueryValueEx(k.get(), g.value, &type, &data), win::ERROR_SUCCESS)
                    << "still there: " << g.subkey << " " << g.value;
            }
        }
        e2e::FileState expectedFiles = filesBefore;
        for (const std::string& f : listed.files) expectedFiles.erase(f);
        EXPECT_EQ(e2e::firstDifference(expectedFiles, e2e::fileState(demo.driveC())), "");

        EXPECT_FALSE(shown(form, t.type, t.name));
        EXPECT_EQ(backupCount(t.type), 1);
        for (const RegItem& i : e2e::lost(before, after))
            for (const Listed::Item& c : cachesOnly.registry)
                for (const std::string& place : c.places)
                    if (equalsNoCase(place, i.path) && c.item.isKey == i.isKey && equalsNoCase(c.item.name, i.name))
                        uncached.insert(e2e::sortKey(i));
    }

    // Opens the restore window from the ribbon, restores the add-on's backup
    // and closes the window with Esc.
    void restoreAddon(sorlix::ui::FMain& form, const Target& t) {
        SCOPED_TRACE("restore " + t.name);
        QToolButton* button = ribbonButton(form, 5011);
        ASSERT_NE(button, nullptr);
        const std::size_t dialogsBefore = dialogs.size();
        bool closed = false;
        const bool opened = e2e::whileModal<sorlix::ui::FRestore>([button] { button->click(); }, [&](auto& w) {
            QComboBox* combo = w.addonTypeCombo();
            combo->setCurrentIndex(combo->findData(static_cast<int>(t.type)));
            ASSERT_EQ(combo->currentData().toInt(), t.type);
            QTreeWidget* lv = w.backupList();
            const auto rows = lv->findItems(QString::fromStdString(t.name), Qt::MatchExactly, 0);
            ASSERT_EQ(rows.size(), 1) << "backups listed: " << lv->topLevelItemCount();
            lv->setCurrentItem(rows.front());
            QTest::mouseClick(w.restoreButton(), Qt::LeftButton);
            EXPECT_EQ(lv->findItems(QString::fromStdString(t.name), Qt::MatchExactly, 0).size(), 0);
            QWidget* focus = w.focusWidget() ? w.focusWidget() : &w;
            QTest::keyClick(focus, Qt::Key_Escape);
            closed = !w.isVisible();
        });
        ASSERT_TRUE(opened) << "no restore window";
        EXPECT_TRUE(closed) << "Esc did not close the restore window";
        ASSERT_EQ(dialogs.size(), dialogsBefore + 1);
        EXPECT_EQ(dialogs.back().content.toStdString(), t.name + " is restored.");
        // The main window collected the set again.
        EXPECT_TRUE(shown(form, t.type, t.name));
        EXPECT_EQ(backupCount(t.type), 0);
    }

    e2e::DemoMachine demo;
    std::vector<winsys::controls::TaskDialogSettings> dialogs;
    std::set<std::string> uncached; // state keys of the caches that deleteCfg took
};

TEST_F(EndToEnd, DeletedAddonsLoseWhatTheirRecordsListAndComeBackWhole) {
    const RegState initial = e2e::registryState();
    const e2e::FileState initialFiles = e2e::fileState(demo.driveC());
    ASSERT_EQ(initial.count(lower(e2e::productKeyPath())), 0u) << "the fresh machine has a backup index";
    const Target targets[] = {
        {sorlix::atIE32Toolbar, "Bluebird Search Toolbar", false},
        {sorlix::atIE64ExplorerBar, "Tidewater News Sidebar", true},
        {sorlix::atIE64BHO, "Quick Translate", false},
        {sorlix::atSafariExtension, "Tab Tidy", false},
        {sorlix::atSafariPlugin, "Pinwheel Player", false},
        {sorlix::atOpera32Extension, "Google Adsense Monitor", false},
        {sorlix::atOpera64Plugin, "Fern Reader", false},
        {sorlix::atFirefox32Extension, "Greasemonkey", false},
        {sorlix::atWaterfox64Extension, "All-in-One Sidebar", false},
        {sorlix::atShared32Plugin, "Cloudberry Viewer", false},
        {sorlix::atFirefox32Plugin, "Wavelet Streams", false},
        {sorlix::atChromeExtension, "New Window With Tabs To Right", false},
        {sorlix::atChromePlugin, "Glimmer Slides", false},
    };
    std::string dataFolder;
    bool ran = false;

    const auto end = e2e::runProgram(
        [&](sorlix::ui::FMain& form) {
            ran = true;
            dataFolder = sorlix::DataFolder;
            EXPECT_TRUE(form.isVisible());
            // Start-up and collection read the machine and leave it as it was.
            EXPECT_EQ(e2e::firstDifference(e2e::outsideProductKey(initial),
                                           e2e::outsideProductKey(e2e::registryState())),
                      "");
            EXPECT_EQ(e2e::firstDifference(initialFiles, e2e::fileState(demo.driveC())), "");
            // The same sidebar in the 32-bit view, which must outlive the 64-bit one's delete.
            ASSERT_TRUE(shown(form, sorlix::atIE32ExplorerBar, "Tidewater News Sidebar"));

            for (const Target& t : targets) {
                deleteAddon(form, t);
                if (HasFatalFailure()) return;
            }
            EXPECT_TRUE(shown(form, sorlix::atIE32ExplorerBar, "Tidewater News Sidebar"));
            for (const Target& t : targets) {
                restoreAddon(form, t);
                if (HasFatalFailure()) return;
            }

            RegState expected = e2e::withoutEmptyProductKeys(initial);
            for (const std::string& key : uncached) expected.erase(key);
            EXPECT_EQ(e2e::firstDifference(expected, e2e::withoutEmptyProductKeys(e2e::registryState())), "");
            EXPECT_EQ(e2e::firstDifference(initialFiles, e2e::fileState(demo.driveC())), "");
        },
        [](const std::string& message, const std::string&, sorlix::MessageIcon) {
            ADD_FAILURE() << "start-up message: " << message;
        });
    ASSERT_TRUE(ran);
    EXPECT_EQ(end, sorlix::MMain::StartupEnd::MainFormClosed);
    EXPECT_TRUE(equalsNoCase(dataFolder, "C:\\users\\demo\\AppData\\Local\\Vendrel Sorlix")) << dataFolder;
    EXPECT_EQ(uncached.size(), 2 * std::size(kCategoryCaches)) << "each cache: its key and its value";

    // What the program wrote back to the hives on exit, read afresh from disk.
    ASSERT_EQ(demo.open(), "");
    RegState expected = e2e::withoutEmptyProductKeys(initial);
    for (const std::string& key : uncached) expected.erase(key);
    EXPECT_EQ(e2e::firstDifference(expected, e2e::withoutEmptyProductKeys(e2e::registryState())), "");
    EXPECT_EQ(e2e::firstDifference(initialFiles, e2e::fileState(demo.driveC())), "");

    // The backup store is empty: no backup folders, no index values.
    const fs::path backups = demo.driveC() / e2e::dataFolderRelative() / "Backup";
    for (const Target& t : targets) {
        const fs::path word = backups / sorlix::CAddonTypeVisor().BackupObjectName(t.type);
        EXPECT_TRUE(!fs::exists(word) || fs::is_empty(word)) << word;
    }
    // The run logged no failure.
    std::ifstream log(demo.driveC() / e2e::dataFolderRelative() / "short.log");
    ASSERT_TRUE(log);
    for (std::string line; std::getline(log, line);) {
        EXPECT_EQ(line.find("\tError\t"), std::string::npos) << line;
        EXPECT_EQ(line.find("\tInternalError\t"), std::string::npos) << line;
    }
}

} // namespace
