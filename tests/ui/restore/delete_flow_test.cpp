// DeleteFlow: the confirmation (the add-on's name, its kind said once),
// No deleting nothing, Yes backing up and then deleting both removal
// records, a failed backup deleting nothing, saying why, but still
// collecting the type again, parts that stay named with what Restore can
// do for them, the engine that cannot start, and the command on the add-on
// tree (a group or no selection does nothing; the tree is rebuilt where the
// user was).

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <map>
#include <stdexcept>

#include "app/core/cdb.h"
#include "app/core/minfocollector.h"
#include "app/ui/delete_flow.h"
#include "app/ui/fobjectlist.h"
#include "common/interfaces/table.h"
#include "platform/com/variant.h"
#include "platform/controls/tree_view.h"
#include "platform/registry/store.h"
#include "tests/support/file_tree.h"
#include "tests/support/records.h"
#include "tests/ui/restore/ui_support.h"

namespace {

using halvenlib::_CParam;
using halvenlib::_CParams;
using sorlix::ui::DeleteFlow;
using testsupport::addParam;
using testsupport::newParams;
using winsys::com::ComPtr;
using winsys::controls::TaskDialog;

constexpr win::LONG kToolbar = sorlix::atIE32Toolbar;
constexpr const char* kAddons = "Software\\AddonsTest\\";

// An add-on record; fields with an empty value are left out.
struct Addon {
    std::string displayName{}, originalName{}, description{};
    ComPtr<quarncust::_CLittleConfig> backupCfg{}, deleteCfg{};
    bool withOriginalName = true;
};

ComPtr<_CParams> record(const Addon& a) {
    ComPtr<_CParams> p = newParams();
    if (!a.displayName.empty()) addParam(p.get(), "displayName", winsys::com::makeText(a.displayName));
    if (a.withOriginalName) addParam(p.get(), "originalName", winsys::com::makeText(a.originalName));
    if (!a.description.empty()) addParam(p.get(), "description", winsys::com::makeText(a.description));
    addParam(p.get(), "dLL", winsys::com::makeText(""));
    addParam(p.get(), "scope", winsys::com::makeText("Everyone"));
    if (a.backupCfg) addParam(p.get(), "backupCfg", winsys::com::makeObject(a.backupCfg.get()));
    if (a.deleteCfg) addParam(p.get(), "deleteCfg", winsys::com::makeObject(a.deleteCfg.get()));
    return p;
}

// A folder of the host outside the prefix; removed with the object.
struct HostFolder {
    HostFolder() {
        std::string tmpl = (std::filesystem::temp_directory_path() / "sorlix-outside-XXXXXX").string();
        if (!::mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp failed");
        path = tmpl;
    }
    ~HostFolder() {
        std::error_code ec;
        std::filesystem::remove_all(path, ec);
    }
    // Its Windows path on drive Z:.
    std::string onZ() const {
        std::string s = "Z:" + path.string();
        for (char& c : s)
            if (c == '/') c = '\\';
        return s;
    }
    std::filesystem::path path;
};

class Delete : public uitest::Machine {
protected:
    Delete() {
        prefix.importReg(R"(Windows Registry Editor Version 5.00

[HKEY_CURRENT_USER\Software\AddonsTest\Alpha]
"Value"="alpha"

[HKEY_CURRENT_USER\Software\AddonsTest\Beta]
"Value"="beta"

[HKEY_CURRENT_USER\Software\AddonsTest\Gamma]
"Value"="gamma"

[HKEY_CURRENT_USER\Software\AddonsTest\Cache\Alpha]
"Value"="cached"
)");
        saved_ =
            sorlix::MInfoCollector::ReplaceEnumeratorEntryForTesting(kToolbar, [this](bool) { return enumerate(); });
    }
    ~Delete() override { sorlix::MInfoCollector::ReplaceEnumeratorEntryForTesting(kToolbar, std::move(saved_)); }

    static ComPtr<quarncust::_CLittleConfig> config(const std::string& key) { return subkeys({kAddons + key}); }

    // The toolbars installed on the machine, one per key of the test's,
    // Alpha with a cache deleted along with it. A name in brokenBackup_ also
    // lists a file that is not there, so that its backup fails.
    ComPtr<halvenlib::_CNodes> enumerate() {
        ++collections;
        ComPtr<halvenlib::_CNodes> nodes;
        EXPECT_EQ(winsys::com::createInstance(halvenlib::CLSID_CNodes, &nodes), win::S_OK);
        for (const char* name : {"Alpha", "Beta", "Gamma"}) {
            if (!keyExists(kAddons + std::string(name))) continue;
            ComPtr<halvenlib::_CNode> node;
            EXPECT_EQ(nodes->Add(node.put()), win::S_OK);
            ComPtr<_CParams> params;
            EXPECT_EQ(node->get_params(params.put()), win::S_OK);
            Addon a{.originalName = name, .description = std::string("About ") + name, .backupCfg = config(name)};
            if (std::string(name) == "Alpha") a.deleteCfg = config("Cache\\Alpha");
            if (brokenBackup == name) {
                win::VARIANT flag = winsys::com::makeBool(false);
                EXPECT_EQ(a.backupCfg->AddFileOrFolder("C:\\missing\\toolbar.dll", &flag), win::S_OK);
            }
            const ComPtr<_CParams> r = record(a);
            win::LONG count = 0;
            r->get_Count(&count);
            for (win::LONG i = 1; i <= count; ++i) {
                win::VARIANT index = winsys::com::makeLong(i), v;
                ComPtr<_CParam> param;
                r->get_Item(&index, param.put());
                std::string fieldName;
                param->get_Name(&fieldName);
                param->get_Value(&v);
                addParam(params.get(), fieldName, v);
            }
        }
        return nodes;
    }

    // (name, description) of the type's backups.
    static std::map<std::string, std::string> backups() {
        sorlix::CAxBackuper engine;
        std::string cause;
        EXPECT_TRUE(engine.Init(sorlix::DataFolder, sorlix::kProductRegistryKey, "IE32 Toolbar", cause));
        win::LONG count = 0;
        std::vector<sorlix::CAxBackuper::BackupRow> rows;
        EXPECT_TRUE(engine.ListBackups(count, rows, cause));
        std::map<std::string, std::string> found;
        for (win::LONG i = 0; i < count; ++i) found[rows[i].name] = rows[i].description;
        return found;
    }

    // The add-on ids of the catalogue's listing of the type, by display name.
    static std::map<std::string, std::string> listing() {
        std::map<std::string, std::string> ids;
        for (auto& [name, id] : testsupport::listingRows(sorlix::DB->TypeObjects(kToolbar).get())) ids[name] = id;
        return ids;
    }

    // The reason of the delete flow's "Backup failed" log line; empty without one.
    std::string loggedBackupFailure() const {
        const std::string lead = "Backup failed (IE32 Toolbar): ";
        for (const auto& line : program.log->lines)
            if (line.source == "FMain.RemovePlugin" && line.description.rfind(lead, 0) == 0)
                return line.description.substr(lead.size());
        return "";
    }

    int collections = 0;
    std::string brokenBackup;
    TaskDialog dialog;
    sorlix::ui::FObjectList list;
    int focused = 0;
    DeleteFlow flow{list, dialog, [this] { ++focused; }};

private:
    sorlix::MInfoCollector::EnumeratorEntry saved_;
};

TEST_F(Delete, TheConfirmationNamesTheAddonAndItsKindOnce) {
    answer = TaskDialog::kNo;
    struct Row {
        const char* displayName;
        const char* wording;
        const char* asked;
        const char* title;
    };
    const Row rows[] = {
        {"Acme", "Toolbar", "Acme Toolbar", "Delete Toolbar"},
        {"Acme Toolbar", "Toolbar", "Acme Toolbar", "Delete Toolbar"},
        {"Acme TOOLBAR", "Toolbar", "Acme TOOLBAR", "Delete Toolbar"},
        {"Bar", "Toolbar", "Bar Toolbar", "Delete Toolbar"},
        {"Handy Explorer bar", "Explorer Bar", "Handy Explorer bar", "Delete Explorer Bar"},
        {"Mega", "toolbar button and related menu", "Mega toolbar button and related menu",
         "Delete Toolbar Button And Related Menu"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.displayName);
        dialogs.clear();
        const ComPtr<_CParams> r = record({.displayName = row.displayName, .originalName = "Beta",
                                           .backupCfg = config("Beta")});
        EXPECT_FALSE(flow.RemoveAddon(r.get(), row.wording, "IE32 Toolbar"));
        ASSERT_EQ(dialogs.size(), 1u);
        EXPECT_EQ(dialogs[0].content.toStdString(), std::string("Are you sure you want to delete ") + row.asked + "?");
        EXPECT_EQ(dialogs[0].windowTitle.toStdString(), row.title);
        EXPECT_EQ(dialogs[0].commonButtons, TaskDialog::kYes + TaskDialog::kNo);
    }
    // No: nothing backed up, nothing deleted.
    EXPECT_TRUE(keyExists("Software\\AddonsTest\\Beta"));
    EXPECT_TRUE(backups().empty());
    EXPECT_TRUE(program.log->lines.empty());
}

TEST_F(Delete, YesBacksUpThenDeletesBothRemovalRecords) {
    answer = TaskDialog::kYes;
    struct Row {
        const char* label;
        Addon addon;
        const char* backupName;
        const char* backupDescription;
        std::vector<std::string> gone;
    };
    const Row rows[] = {
        {"named, with a cache", {.displayName = "Alpha", .originalName = "Alpha", .description = "About Alpha",
                                 .backupCfg = config("Alpha"), .deleteCfg = config("Cache\\Alpha")},
         "Alpha", "About Alpha", {"Alpha", "Cache\\Alpha"}},
        {"without name and description", {.displayName = "Beta", .backupCfg = config("Beta"),
                                          .withOriginalName = false},
         "(noname)", "", {"Beta"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        dialogs.clear();
        EXPECT_TRUE(flow.RemoveAddon(record(row.addon).get(), "Toolbar", "IE32 Toolbar"));
        EXPECT_EQ(dialogs.size(), 1u); // the confirmation alone
        for (const std::string& key : row.gone) EXPECT_FALSE(keyExists(kAddons + key)) << key;
        ASSERT_EQ(backups().count(row.backupName), 1u);
        EXPECT_EQ(backups()[row.backupName], row.backupDescription);
    }
    EXPECT_TRUE(keyExists("Software\\AddonsTest\\Gamma"));
    EXPECT_TRUE(program.log->lines.empty());

    // The cache was deleted without a backup: restoring brings back the add-on alone.
    sorlix::CAxBackuper engine;
    std::string cause;
    ASSERT_TRUE(engine.Init(sorlix::DataFolder, sorlix::kProductRegistryKey, "IE32 Toolbar", cause));
    win::LONG count = 0;
    std::vector<sorlix::CAxBackuper::BackupRow> found;
    ASSERT_TRUE(engine.ListBackups(count, found, cause));
    for (win::LONG i = 0; i < count; ++i) ASSERT_TRUE(engine.Restore(found[i].id, cause)) << cause;
    EXPECT_EQ(valueOf("Software\\AddonsTest\\Alpha", "Value"), "alpha");
    EXPECT_FALSE(keyExists("Software\\AddonsTest\\Cache\\Alpha"));
}

TEST_F(Delete, AFailedBackupDeletesNothingAndIsReported) {
    answer = TaskDialog::kYes;
    const ComPtr<quarncust::_CLittleConfig> cfg = config("Alpha");
    win::VARIANT flag = winsys::com::makeBool(false);
    ASSERT_EQ(cfg->AddFileOrFolder("C:\\missing\\toolbar.dll", &flag), win::S_OK);
    const ComPtr<_CParams> r = record({.displayName = "Alpha", .originalName = "Alpha", .backupCfg = cfg,
                                       .deleteCfg = config("Cache\\Alpha")});

    EXPECT_TRUE(flow.RemoveAddon(r.get(), "Toolbar", "IE32 Toolbar")); // collected again all the same
    EXPECT_TRUE(keyExists("Software\\AddonsTest\\Alpha"));
    EXPECT_TRUE(keyExists("Software\\AddonsTest\\Cache\\Alpha"));
    EXPECT_TRUE(backups().empty());
    ASSERT_EQ(dialogs.size(), 2u);
    EXPECT_EQ(dialogs[1].content.toStdString(),
              "Cannot delete Alpha Toolbar. Cannot back up 'C:\\missing\\toolbar.dll'. It does not exist.");
    EXPECT_EQ(dialogs[1].windowTitle.toStdString(), "Delete Toolbar");
    EXPECT_EQ(dialogs[1].commonButtons, TaskDialog::kOk);
    bool logged = false;
    for (const auto& line : program.log->lines)
        if (line.source == "FMain.RemovePlugin") {
            logged = true;
            EXPECT_EQ(line.number, 0);
            EXPECT_EQ(line.severity, halvenlib::sevInternalError);
            EXPECT_EQ(line.description.rfind("Backup failed (IE32 Toolbar): ", 0), 0u) << line.description;
            EXPECT_GT(line.description.size(), std::string("Backup failed (IE32 Toolbar): ").size());
        }
    EXPECT_TRUE(logged);
}

// A full disk: the backup's first registry write fails, so the add-on and
// its cache stay, no backup is listed, and the user is told.
TEST_F(Delete, ABackupThatCannotWriteTheRegistryDeletesNothing) {
    answer = TaskDialog::kYes;
    const ComPtr<_CParams> r = record({.displayName = "Alpha", .originalName = "Alpha", .backupCfg = config("Alpha"),
                                       .deleteCfg = config("Cache\\Alpha")});
    winsys::testing::failHiveWrites(winsys::testing::HiveWriteFault::AfterBytes, 100, ENOSPC);
    const bool collected = flow.RemoveAddon(r.get(), "Toolbar", "IE32 Toolbar");
    winsys::testing::failHiveWrites(winsys::testing::HiveWriteFault::None);
    EXPECT_TRUE(collected);
    prefix.reopen();
    EXPECT_TRUE(keyExists("Software\\AddonsTest\\Alpha"));
    EXPECT_TRUE(keyExists("Software\\AddonsTest\\Cache\\Alpha"));
    EXPECT_TRUE(backups().empty());
    ASSERT_EQ(dialogs.size(), 2u);
    const std::string reason = loggedBackupFailure();
    EXPECT_FALSE(reason.empty());
    EXPECT_EQ(dialogs[1].content.toStdString(), "Cannot delete Alpha Toolbar. " + reason);
}

// Every way the engine refuses a backup: the message is string 158 and the
// engine's reason, which names the entry at fault, as the log line does;
// nothing of the add-on goes.
TEST_F(Delete, ARefusedBackupSaysWhyAndDeletesNothing) {
    answer = TaskDialog::kYes;
    const std::string addon = "C:\\Program Files\\Alpha";
    const std::filesystem::path folder = prefix.host(addon);
    const HostFolder outside;
    struct Row {
        const char* label;
        std::function<bool()> make; // false: the host cannot make it here
        std::string item;           // what the record lists besides the add-on's key
        std::string named;          // what the reason must name
    };
    const Row rows[] = {
        {"a pipe", [&] { return ::mkfifo((folder / "pipe").c_str(), 0644) == 0; }, addon,
         addon + "\\pipe' is a pipe"},
        {"a socket",
         [&] {
             const int s = ::socket(AF_UNIX, SOCK_STREAM, 0);
             sockaddr_un at{};
             at.sun_family = AF_UNIX;
             const std::string path = (folder / "sock").string();
             if (path.size() >= sizeof at.sun_path) return false;
             path.copy(at.sun_path, path.size());
             const bool made = ::bind(s, reinterpret_cast<sockaddr*>(&at), sizeof at) == 0;
             ::close(s);
             return made;
         },
         addon, addon + "\\sock' is a socket"},
        {"a device", [&] { return ::mknod((folder / "zero").c_str(), S_IFCHR | 0666, makedev(1, 5)) == 0; }, addon,
         addon + "\\zero' is a device"},
        {"two names differing only in case",
         [&] {
             testsupport::writeHost(folder / "Case.txt", "first");
             testsupport::writeHost(folder / "CASE.txt", "second");
             return true;
         },
         addon, "differ only in case"},
        {"a name Windows cannot hold",
         [&] {
             testsupport::writeHost(folder / "bad?.txt", "x");
             return true;
         },
         addon, addon + "\\bad?.txt' has a name that Windows cannot hold"},
        {"a name that is no text",
         [&] {
             testsupport::writeHost(folder / "bad\xff.txt", "x");
             return true;
         },
         addon, "has a name that Windows cannot hold"},
        {"a missing item", [] { return true; }, addon + "\\gone.dll", addon + "\\gone.dll'. It does not exist"},
        {"the program's own data folder", [] { return true; }, sorlix::DataFolder, "program's own data"},
        {"a place outside the prefix",
         [&] {
             testsupport::writeHost(outside.path / "host.txt", "the host's");
             return true;
         },
         outside.onZ(), "outside the Windows prefix"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        dialogs.clear();
        program.log->lines.clear();
        std::filesystem::remove_all(folder);
        prefix.writeFile(addon + "\\toolbar.dll", "the toolbar");
        if (!row.make()) continue; // e.g. no device files without root
        const auto before = testsupport::exactTreeOf(folder);
        const ComPtr<quarncust::_CLittleConfig> cfg = config("Alpha");
        win::VARIANT flag = winsys::com::makeBool(false);
        ASSERT_EQ(cfg->AddFileOrFolder(row.item, &flag), win::S_OK);
        const ComPtr<_CParams> r = record({.displayName = "Alpha", .originalName = "Alpha", .backupCfg = cfg,
                                           .deleteCfg = config("Cache\\Alpha")});

        EXPECT_TRUE(flow.RemoveAddon(r.get(), "Toolbar", "IE32 Toolbar"));
        ASSERT_EQ(dialogs.size(), 2u);
        const std::string reason = loggedBackupFailure();
        EXPECT_NE(reason.find(row.named), std::string::npos) << reason;
        // As the dialog shows it: a name that is no text shows a stand-in character.
        EXPECT_EQ(dialogs[1].content, QString::fromStdString("Cannot delete Alpha Toolbar. " + reason));
        EXPECT_EQ(dialogs[1].windowTitle.toStdString(), "Delete Toolbar");
        EXPECT_EQ(dialogs[1].commonButtons, TaskDialog::kOk);
        EXPECT_EQ(testsupport::exactTreeOf(folder), before);
        EXPECT_TRUE(keyExists("Software\\AddonsTest\\Alpha"));
        EXPECT_TRUE(keyExists("Software\\AddonsTest\\Cache\\Alpha"));
        EXPECT_TRUE(backups().empty());
    }
}

// A part that cannot be deleted stays and is named, one line each; only
// the parts the backup holds are said to come back with Restore.
TEST_F(Delete, PartsThatStayAreNamedWithWhatRestoreCanDo) {
    answer = TaskDialog::kYes;
    const std::string addon = "C:\\Program Files\\Alpha";
    prefix.writeFile(addon + "\\toolbar.dll", "the toolbar");
    prefix.writeFile(addon + "\\locked.dat", "locked");
    const testsupport::ImmutableFile locked(prefix.host(addon + "\\locked.dat"));
    if (!locked) GTEST_SKIP() << "the host cannot make a file immutable here (needs root and a file system that can)";
    const ComPtr<quarncust::_CLittleConfig> cfg = config("Alpha");
    win::VARIANT flag = winsys::com::makeBool(false);
    ASSERT_EQ(cfg->AddFileOrFolder(addon, &flag), win::S_OK);
    // A cache entry a delete may not reach: it is never backed up.
    const ComPtr<quarncust::_CLittleConfig> cache = config("Cache\\Alpha");
    const HostFolder elsewhere;
    testsupport::writeHost(elsewhere.path / "cache.dat", "cached");
    const std::string outside = elsewhere.onZ() + "\\cache.dat";
    ASSERT_EQ(cache->AddFileOrFolder(outside, &flag), win::S_OK);
    const ComPtr<_CParams> r = record({.displayName = "Alpha", .originalName = "Alpha", .backupCfg = cfg,
                                       .deleteCfg = cache});

    EXPECT_TRUE(flow.RemoveAddon(r.get(), "Toolbar", "IE32 Toolbar"));
    ASSERT_EQ(dialogs.size(), 2u);
    const std::string text = dialogs[1].content.toStdString();
    const std::string heading = "Alpha Toolbar was not deleted completely. What could not be deleted:\n";
    ASSERT_EQ(text.rfind(heading, 0), 0u) << text;
    std::vector<std::string> lines;
    for (std::size_t at = heading.size(), end; at <= text.size(); at = end + 1) {
        end = std::min(text.find('\n', at), text.size());
        lines.push_back(text.substr(at, end - at));
    }
    ASSERT_EQ(lines.size(), 4u) << text;
    EXPECT_EQ(lines[0].rfind("Cannot delete '" + addon + "'. ", 0), 0u) << lines[0];
    EXPECT_NE(lines[0].find("locked.dat"), std::string::npos) << lines[0];
    EXPECT_EQ(lines[0].find("Restore"), std::string::npos) << lines[0];
    EXPECT_EQ(lines[1], "Cannot delete '" + outside +
                            "'. It leads outside the Windows prefix. It has no backup: Restore cannot put it back.");
    EXPECT_EQ(lines[2], "");
    EXPECT_EQ(lines[3], "Its backup is kept: Restore puts back the backed-up parts that were deleted.");
    EXPECT_EQ(dialogs[1].windowTitle.toStdString(), "Delete Toolbar");
    EXPECT_EQ(dialogs[1].commonButtons, TaskDialog::kOk);
    // The keys went; the backup stays listed.
    EXPECT_FALSE(keyExists("Software\\AddonsTest\\Alpha"));
    EXPECT_FALSE(keyExists("Software\\AddonsTest\\Cache\\Alpha"));
    EXPECT_EQ(backups().count("Alpha"), 1u);
}

TEST_F(Delete, AnEngineThatCannotStartIsReportedAndNothingHappens) {
    answer = TaskDialog::kYes;
    const ComPtr<_CParams> r = record({.displayName = "Alpha", .originalName = "Alpha", .backupCfg = config("Alpha")});
    EXPECT_FALSE(flow.RemoveAddon(r.get(), "Toolbar", ""));
    ASSERT_EQ(dialogs.size(), 2u);
    EXPECT_EQ(dialogs[1].content.toStdString(), "BackupObjectName is empty");
    EXPECT_EQ(dialogs[1].windowTitle.toStdString(), "Delete Toolbar");
    EXPECT_EQ(dialogs[1].commonButtons, TaskDialog::kOk);
    EXPECT_TRUE(keyExists("Software\\AddonsTest\\Alpha"));
}

class DeleteFromTree : public Delete {
protected:
    DeleteFromTree() {
        list.Init(nullptr, nullptr);
        sorlix::MInfoCollector::RecollectAddonInfo(kToolbar);
        list.RefreshTree(sorlix::asIE32, false);
        tv = list.findChild<winsys::controls::TreeView*>();
    }
    void select(const std::string& displayName) {
        const auto found = tv->findItems(QString::fromStdString(displayName), Qt::MatchExactly | Qt::MatchRecursive);
        ASSERT_EQ(found.size(), 1);
        tv->SelectNode(found.front());
    }
    std::string selectedText() const { return tv->SelectedNode() ? tv->SelectedNode()->text(0).toStdString() : ""; }

    winsys::controls::TreeView* tv = nullptr;
};

TEST_F(DeleteFromTree, DeletesTheSelectedAddonAndRebuildsTheTreeWhereTheUserWas) {
    answer = TaskDialog::kYes;
    struct Row {
        const char* deleted;
        const char* selectedAfter;
        std::vector<std::string> left;
    };
    // Beta's place goes to Gamma; Gamma is the last of its group, so the node above it is chosen.
    const Row rows[] = {{"Beta", "Gamma", {"Alpha", "Gamma"}}, {"Gamma", "Alpha", {"Alpha"}}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.deleted);
        dialogs.clear();
        const int collected = collections, focusedBefore = focused;
        const auto idsBefore = listing();
        select(row.deleted);
        flow.MenuRemove();
        ASSERT_EQ(dialogs.size(), 1u);
        EXPECT_EQ(dialogs[0].content.toStdString(), std::string("Are you sure you want to delete ") + row.deleted +
                                                        " Toolbar?");
        EXPECT_FALSE(keyExists(kAddons + std::string(row.deleted)));
        EXPECT_EQ(collections, collected + 1);
        std::vector<std::string> left;
        for (const auto& [name, id] : listing()) {
            left.push_back(name);
            EXPECT_NE(id, idsBefore.at(name)) << "the type is collected anew";
            EXPECT_NE(tv->Node(QString::fromStdString(id)), nullptr);
        }
        EXPECT_EQ(left, row.left);
        EXPECT_EQ(selectedText(), row.selectedAfter);
        EXPECT_EQ(list.CurrentAddonSet(), sorlix::asIE32);
        EXPECT_EQ(focused, focusedBefore + 1);
    }
    EXPECT_EQ(backups().size(), 2u);
}

TEST_F(DeleteFromTree, AFailedBackupStillCollectsTheTypeAgain) {
    answer = TaskDialog::kYes;
    brokenBackup = "Beta";
    sorlix::MInfoCollector::RecollectAddonInfo(kToolbar);
    list.RefreshTree(sorlix::asIE32, false);
    const auto idsBefore = listing();
    const int collected = collections;
    select("Beta");
    flow.MenuRemove();
    ASSERT_EQ(dialogs.size(), 2u);
    EXPECT_EQ(dialogs[1].content.toStdString(),
              "Cannot delete Beta Toolbar. Cannot back up 'C:\\missing\\toolbar.dll'. It does not exist.");
    EXPECT_TRUE(keyExists("Software\\AddonsTest\\Beta"));
    EXPECT_EQ(collections, collected + 1);
    ASSERT_EQ(listing().size(), 3u);
    EXPECT_NE(listing().at("Beta"), idsBefore.at("Beta"));
    EXPECT_EQ(selectedText(), "Beta");
    EXPECT_EQ(focused, 1);
}

TEST_F(DeleteFromTree, NoAnswerAGroupOrNoSelectionDeletesNothing) {
    answer = TaskDialog::kNo;
    select("Beta");
    const auto idsBefore = listing();
    flow.MenuRemove();
    EXPECT_EQ(dialogs.size(), 1u);
    EXPECT_EQ(listing(), idsBefore); // not collected again

    answer = TaskDialog::kYes;
    dialogs.clear();
    tv->SelectNode(tv->NodeAt(1)); // the toolbars' group
    flow.MenuRemove();
    tv->SelectNode(nullptr);
    flow.MenuRemove();
    EXPECT_TRUE(dialogs.empty());
    for (const char* name : {"Alpha", "Beta", "Gamma"}) EXPECT_TRUE(keyExists(kAddons + std::string(name)));
    EXPECT_TRUE(backups().empty());
    EXPECT_EQ(focused, 1); // only the answered delete gave the tree the focus
}

} // namespace
