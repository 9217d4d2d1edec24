// The details grid against the add-on tree's selection, through the main
// window's commands: after a refresh that moves the selection the grid
// describes the add-on now selected, after the restore window it is empty
// as the tree's selection is; and a restored add-on of a type outside the
// set shown appears in its own browser's set.

#include <QComboBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include "app/core/caxbackuper.h"
#include "app/core/comcalls.h"
#include "app/core/minfocollector.h"
#include "app/ui/fmain.h"
#include "app/ui/fobjectlist.h"
#include "app/ui/fproperties.h"
#include "app/ui/frestore.h"
#include "common/interfaces/table.h"
#include "common/interfaces/registry.h"
#include "components/interfaces/quarncust.h"
#include "platform/controls/property_grid.h"
#include "platform/controls/tree_view.h"
#include "tests/ui/shell/shell_support.h"

namespace {

using halvenlib::_CParams;
using shelltest::Machine;
using sorlix::ui::FMain;
using winsys::com::ComPtr;
using winsys::controls::PropertyGrid;
using winsys::controls::TreeView;

constexpr win::LONG kToolbar = sorlix::atIE32Toolbar;
constexpr win::LONG kFoxExtension = sorlix::atFirefox32Extension;
constexpr win::LONG kIE32Set = 2, kFirefox32Set = 5;

// The machine's add-ons: one registry key each under this key, named
// "<type> <name>"; an add-on is installed while its key exists.
constexpr const char* kAddons = "Software\\AddonsTest\\";

struct Installed {
    win::LONG type;
    const char* name;
};
const Installed kInstalled[] = {
    {kToolbar, "Alpha"}, {kToolbar, "Beta"}, {kFoxExtension, "Fox"},
};

std::string keyOf(win::LONG type, const std::string& name) { return kAddons + std::to_string(type) + " " + name; }

class Details : public Machine {
protected:
    Details() {
        std::string reg = "Windows Registry Editor Version 5.00\n";
        for (const Installed& a : kInstalled)
            reg += "\n[HKEY_CURRENT_USER\\" + keyOf(a.type, a.name) + "]\n\"Value\"=\"x\"\n";
        prefix.importReg(reg);
        for (const win::LONG type : {kToolbar, kFoxExtension})
            saved_.emplace_back(type, sorlix::MInfoCollector::ReplaceEnumeratorEntryForTesting(
                                          type, [type](bool) { return enumerate(type); }));
        sorlix::MInfoCollector::CollectAllAddonInfo();
    }
    ~Details() override {
        for (auto& [type, entry] : saved_) sorlix::MInfoCollector::ReplaceEnumeratorEntryForTesting(type, entry);
    }

    static ComPtr<quarncust::_CLittleConfig> removalRecord(win::LONG type, const std::string& name) {
        ComPtr<quarncust::_CLittleConfig> cfg;
        EXPECT_EQ(winsys::com::createInstance(quarncust::CLSID_CLittleConfig, &cfg), win::S_OK);
        EXPECT_EQ(cfg->AddRegistrySubkey(halvenlib::HKEY_CURRENT_USER, keyOf(type, name)), win::S_OK);
        return cfg;
    }

    // The add-ons of the type whose keys exist, as an enumerator lists them.
    static ComPtr<halvenlib::_CNodes> enumerate(win::LONG type) {
        ComPtr<halvenlib::_CNodes> nodes;
        EXPECT_EQ(winsys::com::createInstance(halvenlib::CLSID_CNodes, &nodes), win::S_OK);
        for (const Installed& a : kInstalled) {
            if (a.type != type || !installed(a.type, a.name)) continue;
            ComPtr<halvenlib::_CNode> node;
            EXPECT_EQ(nodes->Add(node.put()), win::S_OK);
            ComPtr<_CParams> params;
            EXPECT_EQ(node->get_params(params.put()), win::S_OK);
            testsupport::addParam(params.get(), "originalName", winsys::com::makeText(a.name));
            testsupport::addParam(params.get(), "description", winsys::com::makeText(std::string("About ") + a.name));
            testsupport::addParam(params.get(), "dLL", winsys::com::makeText(std::string("C:\\") + a.name + ".dll"));
            testsupport::addParam(params.get(), "backupCfg",
                                  winsys::com::makeObject(removalRecord(a.type, a.name).get()));
        }
        return nodes;
    }

    static bool installed(win::LONG type, const std::string& name) {
        win::VARIANT_BOOL exists = win::VARIANT_FALSE;
        EXPECT_EQ(sorlix::Registry->IsKeyExist(halvenlib::HKEY_CURRENT_USER, keyOf(type, name), &exists), win::S_OK);
        return exists != win::VARIANT_FALSE;
    }

    // Backs the add-on up and removes it, as a delete does.
    static void deleteAddon(win::LONG type, const std::string& name) {
        sorlix::CAxBackuper engine;
        std::string cause;
        ASSERT_TRUE(engine.Init(sorlix::DataFolder, sorlix::kProductRegistryKey,
                                sorlix::AddonTypeVisor->BackupObjectName(type), cause))
            << cause;
        ASSERT_TRUE(engine.Backup(name, "", removalRecord(type, name).get(), cause)) << cause;
        engine.RemoveByLittleConfig(removalRecord(type, name).get());
        ASSERT_FALSE(installed(type, name));
    }

    static TreeView* tree(FMain& form) { return form.objectList()->findChild<TreeView*>("tv"); }

    static QTreeWidgetItem* node(FMain& form, const QString& caption) {
        TreeView* tv = tree(form);
        for (int i = 1; i <= tv->NodeCount(); ++i)
            if (tv->NodeAt(i)->text(0) == caption) return tv->NodeAt(i);
        return nullptr;
    }

    static void click(TreeView* tv, QTreeWidgetItem* item) {
        ASSERT_NE(item, nullptr);
        QTest::mouseClick(tv->viewport(), Qt::LeftButton, Qt::NoModifier, tv->visualItemRect(item).center());
        ASSERT_EQ(tv->SelectedNode(), item);
    }

    // (label, value) rows of the grid, and of the details list of an add-on.
    static std::vector<std::pair<std::string, std::string>> gridRows(FMain& form) {
        auto* grid = form.propertiesPane()->findChild<PropertyGrid*>("PropertyGrid1");
        std::vector<std::pair<std::string, std::string>> rows;
        QTreeWidgetItem* category = grid->topLevelItem(0);
        for (int i = 0; i < category->childCount(); ++i)
            rows.emplace_back(PropertyGrid::Title(category->child(i)).toStdString(),
                              PropertyGrid::Value(category->child(i)).toStdString());
        return rows;
    }
    static std::vector<std::pair<std::string, std::string>> detailsOf(const QTreeWidgetItem* item) {
        std::vector<std::pair<std::string, std::string>> rows;
        const ComPtr<_CParams> details = sorlix::DB->Details(TreeView::Key(item).toStdString());
        win::LONG count = 0;
        details->get_Count(&count);
        for (win::LONG i = 1; i <= count; ++i) {
            win::VARIANT index = winsys::com::makeLong(i), value;
            ComPtr<halvenlib::_CParam> entry;
            details->get_Item(&index, entry.put());
            std::string name;
            entry->get_Name(&name);
            entry->get_Value(&value);
            rows.emplace_back(name, sorlix::VariantText(value));
            win::VariantClear(&value);
        }
        return rows;
    }

private:
    std::vector<std::pair<win::LONG, sorlix::MInfoCollector::EnumeratorEntry>> saved_;
};

TEST_F(Details, AfterARefreshThatMovesTheSelectionTheGridDescribesTheAddonNowSelected) {
    FMain form;
    form.Load();
    form.show();
    form.objectList()->RefreshTree(kIE32Set, false);
    // Beta is the last toolbar; the toolbar buttons' group follows.
    click(tree(form), node(form, "Beta"));
    ASSERT_EQ(gridRows(form), detailsOf(node(form, "Beta")));

    form.CommandBars_Execute(5003); // F5
    QTreeWidgetItem* selected = tree(form)->SelectedNode();
    ASSERT_NE(selected, nullptr);
    ASSERT_EQ(selected->text(0), "Alpha");
    EXPECT_EQ(gridRows(form), detailsOf(selected));
}

// The restore window opens over the Internet Explorer (32-bit) set; a
// Firefox extension and a toolbar are restored in it.
TEST_F(Details, AfterTheRestoreWindowTheGridIsEmptyAndEachRestoredAddonIsInItsSet) {
    ASSERT_NO_FATAL_FAILURE(deleteAddon(kFoxExtension, "Fox"));
    ASSERT_NO_FATAL_FAILURE(deleteAddon(kToolbar, "Beta"));
    shelltest::AnsweredDialogs dialogs;
    FMain form;
    form.Load();
    form.show();
    sorlix::MInfoCollector::CollectAllAddonInfo();
    form.objectList()->RefreshTree(kIE32Set, false);
    ASSERT_EQ(node(form, "Beta"), nullptr);
    click(tree(form), node(form, "Alpha"));
    ASSERT_FALSE(gridRows(form).empty());

    bool restored = false;
    QTimer driver;
    driver.setInterval(20);
    QObject::connect(&driver, &QTimer::timeout, [&] {
        auto* w = qobject_cast<sorlix::ui::FRestore*>(QApplication::activeModalWidget());
        if (!w) return;
        driver.stop();
        for (const auto& [type, name] : {std::pair{kFoxExtension, "Fox"}, std::pair{kToolbar, "Beta"}}) {
            w->addonTypeCombo()->setCurrentIndex(w->addonTypeCombo()->findData(static_cast<int>(type)));
            const auto rows = w->backupList()->findItems(name, Qt::MatchExactly, 0);
            if (rows.size() != 1) break;
            w->backupList()->setCurrentItem(rows.front());
            w->restoreButton()->click();
        }
        restored = installed(kFoxExtension, "Fox") && installed(kToolbar, "Beta");
        w->close();
    });
    driver.start();
    form.CommandBars_Execute(5011);
    ASSERT_TRUE(restored);

    // Nothing is selected after the window, so the grid describes nothing.
    EXPECT_EQ(tree(form)->SelectedNode(), nullptr);
    EXPECT_TRUE(gridRows(form).empty());
    EXPECT_NE(node(form, "Beta"), nullptr);

    // The Firefox set shows the extension that came back, without a refresh.
    form.objectList()->RefreshTree(kFirefox32Set, false);
    EXPECT_NE(node(form, "Fox"), nullptr);
}

} // namespace
