// FRestore: listing a type's backups, the placeholder, restoring the chosen
// backup and listing again where the user was, NothingChanged, the type
// list, the first listing when the window opens, Init's failure, Esc and
// Enter.

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QToolTip>
#include <QTreeWidget>

#include "app/core/strings.h"
#include "app/ui/frestore.h"
#include "platform/controls/image_store.h"
#include "tests/ui/restore/ui_support.h"
#include "tests/ui/tooltip_at.h"

namespace {

using sorlix::ui::FRestore;

constexpr win::LONG kToolbar = sorlix::atIE32Toolbar;
constexpr win::LONG kButton = sorlix::atIE32ToolbarButton;

class Restore : public uitest::Machine {
protected:
    Restore() {
        prefix.importReg(R"(Windows Registry Editor Version 5.00

[HKEY_CURRENT_USER\Software\Acme\One]
"Value"="one"

[HKEY_CURRENT_USER\Software\Acme\Two]
"Value"="two"

[HKEY_CURRENT_USER\Software\Acme\Three]
"Value"="three"
)");
    }

    static std::vector<std::string> rowTexts(const FRestore& w) {
        std::vector<std::string> texts;
        for (int i = 0; i < w.backupList()->topLevelItemCount(); ++i)
            texts.push_back(w.backupList()->topLevelItem(i)->text(0).toStdString());
        return texts;
    }
    static int rowOf(const FRestore& w, const std::string& text) {
        const auto items = w.backupList()->findItems(QString::fromStdString(text), Qt::MatchExactly, 0);
        return items.size() == 1 ? w.backupList()->indexOfTopLevelItem(items.front()) : -1;
    }
    static void choose(FRestore& w, int row) {
        w.backupList()->setCurrentItem(w.backupList()->topLevelItem(row));
        w.restoreButton()->click();
    }
    // The ids of the toolbars' backups.
    static std::vector<std::string> listedIds() {
        sorlix::CAxBackuper engine;
        std::string cause;
        EXPECT_TRUE(engine.Init(sorlix::DataFolder, sorlix::kProductRegistryKey,
                                sorlix::AddonTypeVisor->BackupObjectName(kToolbar), cause));
        win::LONG count = 0;
        std::vector<sorlix::CAxBackuper::BackupRow> rows;
        EXPECT_TRUE(engine.ListBackups(count, rows, cause));
        std::vector<std::string> ids;
        for (win::LONG i = 0; i < count; ++i) ids.push_back(rows[static_cast<std::size_t>(i)].id);
        return ids;
    }
    static int comboIndexOf(const FRestore& w, win::LONG addonType) {
        return w.addonTypeCombo()->findData(static_cast<int>(addonType));
    }
    static void open(FRestore& w, win::LONG addonType) {
        std::string cause = "stale";
        ASSERT_TRUE(w.Init(addonType, cause)) << cause;
        EXPECT_EQ(cause, "");
    }
};

TEST_F(Restore, ListsTheBackupsOfTheTypeWithNamesDescriptionsAndImage) {
    backup(kToolbar, "Acme Bar", "The Acme toolbar", subkeys({"Software\\Acme\\One"}).get());
    backup(kToolbar, "", "Nameless", subkeys({"Software\\Acme\\Two"}).get());
    backup(kButton, "Other kind", "", subkeys({"Software\\Acme\\Three"}).get());

    FRestore w;
    open(w, kToolbar);
    QTreeWidget* lv = w.backupList();
    ASSERT_EQ(lv->topLevelItemCount(), 2);
    EXPECT_EQ(lv->headerItem()->text(0), "Name");
    EXPECT_EQ(lv->headerItem()->text(1), "Description");
    const int named = rowOf(w, "Acme Bar"), nameless = rowOf(w, "(noname)");
    ASSERT_GE(named, 0);
    ASSERT_GE(nameless, 0);
    EXPECT_EQ(lv->topLevelItem(named)->text(1), "The Acme toolbar");
    EXPECT_EQ(lv->topLevelItem(nameless)->text(1), "Nameless");
    EXPECT_FALSE(lv->topLevelItem(named)->icon(0).isNull());
    EXPECT_EQ(w.addonTypeCombo()->currentData().toInt(), kToolbar);
    EXPECT_TRUE(w.NothingChanged());
    EXPECT_TRUE(dialogs.empty());
}

TEST_F(Restore, TheTypeListHoldsAllTypesWithTheirNumbers) {
    FRestore w;
    QComboBox* combo = w.addonTypeCombo();
    ASSERT_EQ(combo->count(), 24);
    for (int i = 0; i < combo->count(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(combo->itemData(i).toInt(), i + 1);
        EXPECT_EQ(combo->itemText(i).toStdString(), sorlix::AddonTypeVisor->TreeViewNodeNameIncludingBrowser(i + 1));
    }
    EXPECT_EQ(combo->currentIndex(), 0);
}

TEST_F(Restore, ATypeWithoutBackupsShowsThePlaceholderAndRestoreDoesNothing) {
    backup(kToolbar, "Acme Bar", "", subkeys({"Software\\Acme\\One"}).get());
    FRestore w;
    open(w, kButton);
    ASSERT_EQ(rowTexts(w), std::vector<std::string>{"There are no items to restore."});
    QTreeWidgetItem* placeholder = w.backupList()->topLevelItem(0);
    EXPECT_TRUE(placeholder->icon(0).isNull());
    EXPECT_EQ(placeholder->text(1), "");

    choose(w, 0);
    EXPECT_TRUE(dialogs.empty());
    EXPECT_TRUE(w.NothingChanged());
    EXPECT_EQ(rowTexts(w), std::vector<std::string>{"There are no items to restore."});
}

TEST_F(Restore, RestoresTheChosenBackupAndListsAgainAtTheSamePosition) {
    for (const char* name : {"One", "Two", "Three"})
        backup(kToolbar, name, "", subkeys({std::string("Software\\Acme\\") + name}).get());
    // The add-ons were deleted after their backup.
    for (const char* name : {"One", "Two", "Three"})
        sorlix::CAxBackuper().RemoveByLittleConfig(subkeys({std::string("Software\\Acme\\") + name}).get());
    ASSERT_FALSE(keyExists("Software\\Acme\\Two"));

    FRestore w;
    open(w, kToolbar);
    std::vector<std::string> before = rowTexts(w);
    ASSERT_EQ(before.size(), 3u);

    // The middle row: the next one moves into its place and stays chosen.
    choose(w, 1);
    const std::string restored = before[1];
    EXPECT_EQ(valueOf("Software\\Acme\\" + restored, "Value"),
              QString::fromStdString(restored).toLower().toStdString());
    ASSERT_EQ(shownTexts(), std::vector<std::string>{restored + " is restored."});
    EXPECT_EQ(dialogs.back().commonButtons, 0);
    EXPECT_EQ(dialogs.back().windowTitle, "Vendrel Sorlix");
    EXPECT_FALSE(w.NothingChanged());
    EXPECT_EQ(rowTexts(w), (std::vector<std::string>{before[0], before[2]}));
    ASSERT_NE(w.backupList()->currentItem(), nullptr);
    EXPECT_EQ(w.backupList()->currentItem()->text(0).toStdString(), before[2]);
    EXPECT_TRUE(w.backupList()->currentItem()->isSelected());

    // The last row: the list is shorter, so the new last row is chosen.
    choose(w, 1);
    EXPECT_EQ(rowTexts(w), std::vector<std::string>{before[0]});
    ASSERT_NE(w.backupList()->currentItem(), nullptr);
    EXPECT_EQ(w.backupList()->currentItem()->text(0).toStdString(), before[0]);

    choose(w, 0);
    EXPECT_EQ(rowTexts(w), std::vector<std::string>{"There are no items to restore."});
    for (const char* name : {"One", "Two", "Three"}) EXPECT_TRUE(keyExists(std::string("Software\\Acme\\") + name));
    EXPECT_TRUE(program.log->lines.empty());
}

TEST_F(Restore, AFailedRestoreIsReportedAndLoggedAndCountsAsAChange) {
    // An index entry that the store lists but cannot restore.
    prefix.importReg(R"(Windows Registry Editor Version 5.00

[HKEY_CURRENT_USER\Software\Vendrel Software\Vendrel Sorlix\Current Version\Backup\IE32 Toolbar\broken]
"Name"="Broken"
)");
    FRestore w;
    open(w, kToolbar);
    ASSERT_EQ(rowTexts(w), std::vector<std::string>{"Broken"});
    EXPECT_TRUE(w.NothingChanged());

    choose(w, 0);
    const std::string expected = "Cannot restore Broken toolbar. Invalid backup id: 'broken'";
    EXPECT_EQ(shownTexts(), std::vector<std::string>{expected});
    EXPECT_FALSE(w.NothingChanged());
    ASSERT_FALSE(program.log->lines.empty());
    const auto& line = program.log->lines.back();
    EXPECT_EQ(line.number, 0);
    EXPECT_EQ(line.description, expected);
    EXPECT_EQ(line.severity, halvenlib::sevError);
    EXPECT_EQ(line.source, "FRestore.cmdRestore_Click");
    EXPECT_EQ(rowTexts(w), std::vector<std::string>{"Broken"});
}

TEST_F(Restore, ChoosingTheListedTypeAgainDoesNotListAgain) {
    backup(kToolbar, "First", "", subkeys({"Software\\Acme\\One"}).get());
    FRestore w;
    open(w, kToolbar);
    ASSERT_EQ(rowTexts(w), std::vector<std::string>{"First"});
    // A backup made behind the window's back shows only once the type is listed again.
    backup(kToolbar, "Second", "", subkeys({"Software\\Acme\\Two"}).get());

    QComboBox* combo = w.addonTypeCombo();
    emit combo->activated(combo->currentIndex());
    EXPECT_EQ(rowTexts(w), std::vector<std::string>{"First"});

    combo->setCurrentIndex(comboIndexOf(w, kButton));
    EXPECT_EQ(rowTexts(w), std::vector<std::string>{"There are no items to restore."});
    combo->setCurrentIndex(comboIndexOf(w, kToolbar));
    EXPECT_EQ(rowTexts(w).size(), 2u);
    EXPECT_TRUE(dialogs.empty());
}

TEST_F(Restore, OpeningOnTheFirstTypeListsIt) {
    backup(kToolbar, "First", "", subkeys({"Software\\Acme\\One"}).get());
    struct Row {
        const char* label;
        win::LONG addonType;
    };
    for (const Row& row : {Row{"no type given", 0}, Row{"the first type", kToolbar}}) {
        SCOPED_TRACE(row.label);
        FRestore w;
        ASSERT_EQ(w.addonTypeCombo()->currentIndex(), 0); // chosen already before Init
        open(w, row.addonType);
        EXPECT_EQ(rowTexts(w), std::vector<std::string>{"First"});
        EXPECT_EQ(w.addonTypeCombo()->currentData().toInt(), kToolbar);
    }
}

TEST_F(Restore, BeforeInitAChangeOfTypeListsNothing) {
    backup(kButton, "Button", "", subkeys({"Software\\Acme\\One"}).get());
    FRestore w;
    w.addonTypeCombo()->setCurrentIndex(comboIndexOf(w, kButton));
    EXPECT_EQ(w.backupList()->topLevelItemCount(), 0);
    open(w, kButton);
    EXPECT_EQ(rowTexts(w), std::vector<std::string>{"Button"});
}

TEST_F(Restore, InitFailsWhenTheProgramFileCannotBeOpened) {
    sorlix::ui::setProgramFile("C:\\Program Files\\Vendrel Sorlix\\missing.exe");
    FRestore w;
    std::string cause;
    EXPECT_FALSE(w.Init(kToolbar, cause));
    EXPECT_EQ(cause, "CResource component failure in Function Init");
    ASSERT_EQ(program.log->lines.size(), 1u);
    EXPECT_EQ(program.log->lines[0].source, "FRestore.Init");
    EXPECT_EQ(program.log->lines[0].severity, halvenlib::sevError);
    EXPECT_EQ(program.log->lines[0].description, cause);
    EXPECT_EQ(w.backupList()->topLevelItemCount(), 0);
}

TEST_F(Restore, TheIconIsTheRestoreCommandsImage) {
    const std::vector<std::uint8_t> image = uitest::png(Qt::red);
    ASSERT_TRUE(winsys::controls::GlobalImageManager().SetIcon(
        5011, QByteArray(reinterpret_cast<const char*>(image.data()), static_cast<qsizetype>(image.size()))));
    FRestore w;
    EXPECT_FALSE(w.iconLabel()->pixmap().isNull());
    EXPECT_EQ(w.windowTitle(), "Restore Add-ons");
}

TEST_F(Restore, EscReleasedWithoutShiftClosesTheWindow) {
    struct Row {
        const char* label;
        Qt::KeyboardModifiers modifiers;
        bool closes;
    };
    for (const Row& row : {Row{"plain", Qt::NoModifier, true}, Row{"with shift", Qt::ShiftModifier, false},
                           Row{"with control", Qt::ControlModifier, false}}) {
        SCOPED_TRACE(row.label);
        FRestore w;
        open(w, kToolbar);
        w.show();
        QTest::keyPress(w.backupList(), Qt::Key_Escape, row.modifiers);
        EXPECT_TRUE(w.isVisible()); // pressing alone does not close it
        QTest::keyRelease(w.backupList(), Qt::Key_Escape, row.modifiers);
        EXPECT_EQ(w.isVisible(), !row.closes);
    }
}

// Without a mouse: the arrow keys choose a row, Alt+R restores it.
TEST_F(Restore, ArrowKeysThenAltRRestoreTheHighlightedBackup) {
    for (const char* name : {"One", "Two", "Three"})
        backup(kToolbar, name, "", subkeys({std::string("Software\\Acme\\") + name}).get());
    for (const char* name : {"One", "Two", "Three"})
        sorlix::CAxBackuper().RemoveByLittleConfig(subkeys({std::string("Software\\Acme\\") + name}).get());
    FRestore w;
    open(w, kToolbar);
    w.show();
    w.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
    const std::vector<std::string> before = rowTexts(w);
    ASSERT_EQ(before.size(), 3u);

    w.backupList()->setFocus();
    QTest::keyClick(w.backupList(), Qt::Key_Down);
    QTest::keyClick(w.backupList(), Qt::Key_Up);
    ASSERT_NE(w.backupList()->currentItem(), nullptr);
    EXPECT_TRUE(w.backupList()->currentItem()->isSelected());
    const std::string highlighted = w.backupList()->currentItem()->text(0).toStdString();
    QTest::keyClick(w.backupList(), Qt::Key_R, Qt::AltModifier);
    // The button's key clicks it after a short flash.
    QTRY_COMPARE(shownTexts(), std::vector<std::string>{highlighted + " is restored."});
    EXPECT_TRUE(keyExists("Software\\Acme\\" + highlighted));
    EXPECT_EQ(rowTexts(w).size(), 2u);
    // The focus is back on the list, so the keys go on from there.
    EXPECT_EQ(QApplication::focusWidget(), w.backupList());
    QTest::keyClick(w.backupList(), Qt::Key_Down);
    const std::string next = w.backupList()->currentItem()->text(0).toStdString();
    QTest::keyClick(w.backupList(), Qt::Key_R, Qt::AltModifier);
    QTRY_COMPARE(rowTexts(w).size(), 1u);
    EXPECT_TRUE(keyExists("Software\\Acme\\" + next));
}

// As on Windows, Enter presses the focused Restore button; on the list it
// restores the selected row. Alt+Enter is no press.
TEST_F(Restore, EnterOnTheButtonOrTheListRestoresTheSelectedBackup) {
    struct Row {
        const char* label;
        bool onList;
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        bool restores;
    };
    const Row rows[] = {
        {"Enter on the button", false, Qt::Key_Return, Qt::NoModifier, true},
        {"the keypad's Enter on the button", false, Qt::Key_Enter, Qt::KeypadModifier, true},
        {"Alt+Enter on the button", false, Qt::Key_Return, Qt::AltModifier, false},
        {"Enter on the list", true, Qt::Key_Return, Qt::NoModifier, true},
        {"the keypad's Enter on the list", true, Qt::Key_Enter, Qt::KeypadModifier, true},
        {"Alt+Enter on the list", true, Qt::Key_Return, Qt::AltModifier, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        dialogs.clear();
        for (const char* name : {"One", "Two"})
            backup(kToolbar, name, "", subkeys({std::string("Software\\Acme\\") + name}).get());
        sorlix::CAxBackuper().RemoveByLittleConfig(subkeys({"Software\\Acme\\One", "Software\\Acme\\Two"}).get());
        FRestore w;
        open(w, kToolbar);
        w.show();
        w.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
        const int two = rowOf(w, "Two");
        ASSERT_GE(two, 0);
        w.backupList()->setCurrentItem(w.backupList()->topLevelItem(two));
        QWidget* target = row.onList ? static_cast<QWidget*>(w.backupList()) : w.restoreButton();
        target->setFocus();
        ASSERT_EQ(QApplication::focusWidget(), target);

        QTest::keyClick(target, row.key, row.modifiers);
        if (row.restores) {
            EXPECT_EQ(shownTexts(), std::vector<std::string>{"Two is restored."});
            EXPECT_TRUE(keyExists("Software\\Acme\\Two"));
            EXPECT_EQ(rowTexts(w), std::vector<std::string>{"One"});
        } else {
            EXPECT_TRUE(dialogs.empty());
            EXPECT_FALSE(keyExists("Software\\Acme\\Two"));
            EXPECT_EQ(rowTexts(w).size(), 2u);
        }
        EXPECT_FALSE(keyExists("Software\\Acme\\One"));
        // The rest comes back, so the next row starts from an empty store.
        for (const std::string& id : listedIds()) {
            std::string cause;
            sorlix::CAxBackuper engine;
            ASSERT_TRUE(engine.Init(sorlix::DataFolder, sorlix::kProductRegistryKey,
                                    sorlix::AddonTypeVisor->BackupObjectName(kToolbar), cause));
            ASSERT_TRUE(engine.Restore(id, cause)) << cause;
        }
    }
}

// Tabbing into the list highlights its current row at once, so the first
// Down moves on from row 1 and, with a single backup, Alt+R restores it.
TEST_F(Restore, TabbingInSelectsTheCurrentRowWithOneBackupAsWithThree) {
    struct Row {
        const char* label;
        win::LONG type; // each row its own type, so its own backups
        std::vector<const char*> names;
        std::vector<Qt::Key> keys; // after tabbing in
        int restoredRow;           // the row Alt+R then restores
    };
    const Row rows[] = {
        {"one backup, Down", sorlix::atIE32Toolbar, {"One"}, {Qt::Key_Down}, 0},
        {"three backups, Down", sorlix::atIE32ToolbarButton, {"One", "Two", "Three"}, {Qt::Key_Down}, 1},
        {"three backups, Down Down Up", sorlix::atIE32MenuExtension, {"One", "Two", "Three"},
         {Qt::Key_Down, Qt::Key_Down, Qt::Key_Up}, 1},
        {"three backups, no key", sorlix::atIE32BHO, {"One", "Two", "Three"}, {}, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        dialogs.clear();
        const auto keyOf = [&row](const std::string& name) {
            return "Software\\Acme\\" + std::to_string(row.type) + name;
        };
        std::string reg = "Windows Registry Editor Version 5.00\n";
        for (const char* name : row.names) reg += "\n[HKEY_CURRENT_USER\\" + keyOf(name) + "]\n\"Value\"=\"x\"\n";
        prefix.importReg(reg);
        for (const char* name : row.names) {
            backup(row.type, name, "", subkeys({keyOf(name)}).get());
            sorlix::CAxBackuper().RemoveByLittleConfig(subkeys({keyOf(name)}).get());
        }
        FRestore w;
        open(w, row.type);
        w.show();
        w.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
        const std::vector<std::string> listed = rowTexts(w);
        ASSERT_EQ(listed.size(), row.names.size());

        w.addonTypeCombo()->setFocus();
        QTest::keyClick(w.addonTypeCombo(), Qt::Key_Tab);
        ASSERT_EQ(QApplication::focusWidget(), w.backupList());
        ASSERT_NE(w.backupList()->currentItem(), nullptr);
        EXPECT_EQ(w.backupList()->indexOfTopLevelItem(w.backupList()->currentItem()), 0);
        EXPECT_TRUE(w.backupList()->currentItem()->isSelected()) << "row 1 is highlighted as soon as it is current";
        for (const Qt::Key key : row.keys) QTest::keyClick(w.backupList(), key);
        const QList<QTreeWidgetItem*> selected = w.backupList()->selectedItems();
        ASSERT_EQ(selected.size(), 1);
        EXPECT_EQ(w.backupList()->indexOfTopLevelItem(selected.front()), row.restoredRow);

        const std::string expected = listed[static_cast<std::size_t>(row.restoredRow)];
        QTest::keyClick(w.backupList(), Qt::Key_R, Qt::AltModifier);
        QTRY_COMPARE(shownTexts(), std::vector<std::string>{expected + " is restored."});
        EXPECT_TRUE(keyExists(keyOf(expected)));
        w.close();
    }
}

TEST_F(Restore, TheListAndTheButtonFollowTheWindowsSize) {
    FRestore w;
    open(w, kToolbar);
    w.show();
    const QSize design = w.size();
    EXPECT_EQ(w.minimumSize(), design);
    const QRect list = w.backupList()->geometry(), button = w.restoreButton()->geometry();
    const QRect combo = w.addonTypeCombo()->geometry();
    w.resize(design + QSize(200, 120));
    QApplication::processEvents();
    EXPECT_EQ(w.backupList()->geometry(), list.adjusted(0, 0, 200, 120));
    EXPECT_EQ(w.restoreButton()->geometry(), button.translated(200, 120));
    EXPECT_EQ(w.addonTypeCombo()->geometry(), combo.adjusted(0, 0, 200, 0));
    // The columns share the new width: a third for the names.
    EXPECT_EQ(w.backupList()->columnWidth(0), w.backupList()->viewport()->width() / 3);

    // A skin that makes the button wider than its design: it grows to the
    // left, whole, in line with the list.
    w.setStyleSheet(QStringLiteral("QPushButton { min-width: 120px; padding: 4px 12px; }"));
    w.resize(design);
    QApplication::processEvents();
    const QRect wide = w.restoreButton()->geometry();
    EXPECT_GE(wide.width(), w.restoreButton()->sizeHint().width());
    EXPECT_EQ(wide.right(), w.backupList()->geometry().right());
    EXPECT_LE(wide.right(), w.width() - 1);
}

TEST_F(Restore, CutNamesAndDescriptionsShowWholeInTooltips) {
    const std::string longName(120, 'n'), longDescription(200, 'd');
    backup(kToolbar, longName, longDescription, subkeys({"Software\\Acme\\One"}).get());
    backup(kToolbar, "Two", "Short", subkeys({"Software\\Acme\\Two"}).get());
    FRestore w;
    open(w, kToolbar);
    w.show();
    QApplication::processEvents();
    QTreeWidget* lv = w.backupList();
    const int cut = rowOf(w, longName), whole = rowOf(w, "Two");
    ASSERT_TRUE(cut >= 0 && whole >= 0);
    EXPECT_EQ(uitest::toolTipAt(lv, lv->model()->index(cut, 0)).toStdString(), longName);
    EXPECT_EQ(uitest::toolTipAt(lv, lv->model()->index(cut, 1)).toStdString(), longDescription);
    EXPECT_EQ(uitest::toolTipAt(lv, lv->model()->index(whole, 0)), "");
    EXPECT_EQ(uitest::toolTipAt(lv, lv->model()->index(whole, 1)), "");
    QToolTip::hideText();
}

} // namespace
