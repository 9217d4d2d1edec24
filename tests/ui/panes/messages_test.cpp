// Messages to the user: each message the windows show, through ShowMessage
// into a task dialog answered by the test; a second message keeps nothing
// of the first; and the real dialog's buttons and answers, including a
// dialog closed without a button.

#include "app/ui/messages.h"

#include <QAbstractButton>
#include <QMessageBox>
#include <QPushButton>
#include <QProxyStyle>
#include <QStyleFactory>
#include <QTimer>
#include <algorithm>
#include <functional>

#include "tests/ui/panes/panes_support.h"

namespace {

using winsys::controls::TaskDialog;
using winsys::controls::TaskDialogSettings;

class Messages : public panestest::Machine {
protected:
    Messages() {
        TaskDialog::setTestResponder([this](const TaskDialogSettings& s) {
            shown.push_back(s);
            return answer;
        });
    }
    ~Messages() override { TaskDialog::setTestResponder(nullptr); }

    TaskDialog dialog;
    std::vector<TaskDialogSettings> shown;
    int answer = TaskDialog::kOk;
};

TEST_F(Messages, EachMessageShowsItsTextButtonsAndTitle) {
    const struct {
        const char* label;
        const char* text;
        win::LONG buttons;
        const char* title;
        const char* shownTitle;
        int answer;
    } rows[] = {
        {"delete confirmed", "Are you sure you want to delete Foo toolbar?", 6, "Delete toolbar", "Delete toolbar", 2},
        {"delete declined", "Are you sure you want to delete Foo toolbar?", 6, "Delete toolbar", "Delete toolbar", 4},
        {"backup engine cannot start", "The data folder cannot be written.", 1, "Delete toolbar", "Delete toolbar", 1},
        {"backup failed", "Cannot delete Foo toolbar. ", 1, "Delete toolbar", "Delete toolbar", 1},
        {"restore window cannot start", "No backups can be read.", 1, "", "Vendrel Sorlix", 1},
        {"file entry missing", "Toolbar is improperly installed or configured", 0, "", "Vendrel Sorlix", 1},
        {"file not found", "File not found:\nC:\\x\\a.dll", 1, "", "Vendrel Sorlix", 1},
        {"restored", "Foo is restored.", 1, "Restore Add-ons", "Restore Add-ons", 1},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.label);
        shown.clear();
        answer = r.answer;
        win::LONG buttons = r.buttons, result = -1;
        sorlix::ui::ShowMessage(dialog, r.text, buttons, r.title, result);
        ASSERT_EQ(shown.size(), 1u);
        EXPECT_EQ(shown[0].windowTitle.toStdString(), r.shownTitle);
        EXPECT_EQ(shown[0].content.toStdString(), r.text);
        EXPECT_EQ(shown[0].commonButtons, r.buttons);
        EXPECT_TRUE(shown[0].allowCancellation);
        EXPECT_EQ(result, r.answer);
        EXPECT_EQ(buttons, r.buttons);
    }
}

TEST_F(Messages, ASecondMessageKeepsNothingOfTheFirst) {
    win::LONG buttons = 6, result = 0;
    sorlix::ui::ShowMessage(dialog, "first", buttons, "First title", result);
    // Settings made on the dialog outside the wrapper go as well.
    dialog.SetAllowCancellation(false);
    buttons = 0;
    sorlix::ui::ShowMessage(dialog, "second", buttons, "", result);
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[1].windowTitle, "Vendrel Sorlix");
    EXPECT_EQ(shown[1].content, "second");
    EXPECT_EQ(shown[1].commonButtons, 0);
    EXPECT_TRUE(shown[1].allowCancellation);
}

// A style that gives dialog buttons their stock images, as some desktops do.
class ButtonImagesStyle : public QProxyStyle {
public:
    using QProxyStyle::QProxyStyle;
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* data) const override {
        if (hint == SH_DialogButtonBox_ButtonsHaveIcons) return 1;
        return QProxyStyle::styleHint(hint, option, widget, data);
    }
};

// The real dialog, worked by a timer while it runs modally.
TEST(TaskDialogBox, ShowsTheGivenButtonsAndAnswersWithTheFlag) {
    panestest::ensureApplication();
    const QString styleBefore = QApplication::style()->name();
    QApplication::setStyle(new ButtonImagesStyle(QStyleFactory::create(styleBefore)));
    const struct {
        const char* label;
        int flags;
        std::vector<QString> buttons; // in the order shown
        const char* press;            // null: closed without a button
        int answer;
    } rows[] = {
        {"no flags shows OK alone", 0, {"OK"}, "OK", 1},
        {"no flags, closed", 0, {"OK"}, nullptr, 1},
        {"OK", 1, {"OK"}, "OK", 1},
        {"Yes of Yes/No", 6, {"Yes", "No"}, "Yes", 2},
        {"No of Yes/No", 6, {"Yes", "No"}, "No", 4},
        {"Yes/No closed counts as No", 6, {"Yes", "No"}, nullptr, 4},
        {"all three, closed", 7, {"OK", "Yes", "No"}, nullptr, 4},
        {"Yes alone, closed", 2, {"Yes"}, nullptr, 1},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.label);
        TaskDialog dialog;
        dialog.SetAllowCancellation(true);
        dialog.SetWindowTitle("Vendrel Sorlix");
        dialog.SetContent("text");
        dialog.SetCommonButtons(r.flags);
        std::vector<QString> seen;
        QString title, text;
        bool stockImages = false; // the skin draws the box: no style images
        QTimer worker;
        worker.setInterval(10);
        QObject::connect(&worker, &QTimer::timeout, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box) return;
            worker.stop();
            title = box->windowTitle();
            text = box->text();
            stockImages = box->icon() != QMessageBox::NoIcon;
            for (QAbstractButton* b : box->buttons())
                stockImages = stockImages || (b->isVisibleTo(box) && !b->icon().isNull());
            for (QAbstractButton* b : box->buttons())
                if (b->isVisibleTo(box)) seen.push_back(b->text().remove('&'));
            std::sort(seen.begin(), seen.end(), [](const QString& a, const QString& b) {
                const QStringList order{"OK", "Yes", "No"};
                return order.indexOf(a) < order.indexOf(b);
            });
            if (!r.press) {
                QTest::keyClick(box, Qt::Key_Escape);
                return;
            }
            for (QAbstractButton* b : box->buttons())
                if (b->text().remove('&') == r.press) b->click();
        });
        worker.start();
        const int answer = dialog.ShowDialog();
        EXPECT_EQ(title, "Vendrel Sorlix");
        EXPECT_EQ(text, "text");
        EXPECT_EQ(seen, r.buttons);
        EXPECT_FALSE(stockImages);
        EXPECT_EQ(answer, r.answer);
    }
    QApplication::setStyle(styleBefore);
}

// A wrapped message never leaves its last word alone on a line: the blank
// before each line's last word does not break.
TEST(TaskDialogBox, TheLastTwoWordsOfEachLineStayTogether) {
    const QString nb(QChar(0x00a0));
    const struct {
        const char* label;
        QString text, shown;
    } rows[] = {
        {"a sentence", "Delete the Mega toolbar button and related menu?",
         "Delete the Mega toolbar button and related" + nb + "menu?"},
        {"each line of several", "File not found:\nC:\\a b.dll", "File not" + nb + "found:\nC:\\a" + nb + "b.dll"},
        {"a trailing blank is no break", "Cannot delete Acme. ", "Cannot delete" + nb + "Acme. "},
        {"one word", "Restored.", "Restored."},
        {"empty", "", ""},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.label);
        EXPECT_EQ(winsys::controls::KeepLastWordsTogether(r.text), r.shown);
    }
}

// One line per part that stayed, right under the heading; a part without a
// copy in the backup says that Restore cannot bring it back.
TEST(PartlyDeleted, NamesEachPartThatStayedAndWhatRestoreCanDo) {
    using sorlix::ui::StayedPart;
    const std::string heading = "Acme Toolbar was not deleted completely. What could not be deleted:\n";
    const std::string trailer = "\n\nIts backup is kept: Restore puts back the backed-up parts that were deleted.";
    const std::string noCopy = " It has no backup: Restore cannot put it back.";
    const struct {
        const char* label;
        std::vector<StayedPart> stayed;
        std::string lines;
    } rows[] = {
        {"a backed-up part", {{"Cannot delete 'C:\\a'. Busy.", true}}, "Cannot delete 'C:\\a'. Busy."},
        {"a part never backed up", {{"Cannot delete 'C:\\c'. Busy.", false}}, "Cannot delete 'C:\\c'. Busy." + noCopy},
        {"both kinds, in their order",
         {{"Cannot delete 'C:\\a'. Busy.", true},
          {"Cannot delete 'HKEY_CURRENT_USER\\Cache' v", false},
          {"Cannot delete 'C:\\b'. Busy.", true}},
         "Cannot delete 'C:\\a'. Busy.\nCannot delete 'HKEY_CURRENT_USER\\Cache' v" + noCopy +
             "\nCannot delete 'C:\\b'. Busy."},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.label);
        EXPECT_EQ(sorlix::ui::PartlyDeletedMessage("Acme Toolbar", r.stayed), heading + r.lines + trailer);
    }
}

} // namespace
