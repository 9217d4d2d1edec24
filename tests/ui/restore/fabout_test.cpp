// FAbout: its caption, version text and light frame, the website opened from the link
// and the picture (once per click, a failing shell call ignored), OK and
// Escape closing it.

#include <QImage>
#include <QLabel>
#include <QStyle>
#include <cmath>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include "app/ui/fabout.h"
#include "platform/system/shell.h"
#include "tests/ui/restore/ui_support.h"

namespace {

using sorlix::ui::FAbout;

class About : public uitest::Machine {
protected:
    About() : savedPath_(qgetenv("PATH")) {
        // No host program can open the address: the shell call fails here.
        qputenv("PATH", emptyFolder_.path().toLocal8Bit());
        winsys::clearShellRequests();
    }
    ~About() override {
        qputenv("PATH", savedPath_);
        winsys::clearShellRequests();
    }

    // The contrast ratio of two colours, from their relative luminance.
    static double contrast(const QColor& a, const QColor& b) {
        const auto luminance = [](const QColor& c) {
            const auto channel = [](double v) { return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
            return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) + 0.0722 * channel(c.blueF());
        };
        const double la = luminance(a), lb = luminance(b);
        return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
    }

    static winsys::ShellRequest websiteRequest() {
        return {"open", FAbout::kWebsite, "", "", win::SW_SHOWNORMAL};
    }

private:
    QByteArray savedPath_;
    QTemporaryDir emptyFolder_;
};

TEST_F(About, ShowsTheProductNameAndVersion) {
    FAbout w;
    w.show();
    EXPECT_EQ(w.windowTitle(), "About Vendrel Sorlix");
    EXPECT_EQ(w.nameLabel()->text(), "Vendrel Sorlix\nVersion 1.0.0");
    EXPECT_TRUE(w.websiteLabel()->text().contains(FAbout::kWebsite));
    EXPECT_FALSE(w.picture()->pixmap().isNull());

    // The light frame: white 14 pixels inside the edges, not at them.
    const QImage drawn = w.grab().toImage();
    const int middle = drawn.height() / 2;
    EXPECT_EQ(drawn.pixelColor(14, middle), QColor(Qt::white));
    EXPECT_EQ(drawn.pixelColor(drawn.width() - 15, middle), QColor(Qt::white));
    EXPECT_NE(drawn.pixelColor(4, middle), QColor(Qt::white));
}

TEST_F(About, TheLinkAndThePictureOpenTheWebsiteOnce) {
    FAbout w;
    w.show();
    QTest::mouseClick(w.websiteLabel(), Qt::LeftButton);
    EXPECT_EQ(winsys::recordedShellRequests(), std::vector<winsys::ShellRequest>{websiteRequest()});
    QTest::mouseClick(w.websiteLabel(), Qt::RightButton);
    QTest::mouseClick(w.picture(), Qt::LeftButton);
    EXPECT_EQ(winsys::recordedShellRequests().size(), 1u);

    QTest::mouseDClick(w.picture(), Qt::LeftButton);
    EXPECT_EQ(winsys::recordedShellRequests(), std::vector<winsys::ShellRequest>(2, websiteRequest()));
    // The address could not be opened: nothing said, the box stays.
    EXPECT_TRUE(dialogs.empty());
    EXPECT_TRUE(w.isVisible());
}

TEST_F(About, OkAndEscapeCloseIt) {
    {
        FAbout w;
        w.show();
        w.okButton()->click();
        EXPECT_FALSE(w.isVisible());
        EXPECT_EQ(w.result(), QDialog::Accepted);
    }
    for (QWidget* (*target)(FAbout&) : {+[](FAbout& w) -> QWidget* { return &w; },
                                        +[](FAbout& w) -> QWidget* { return w.okButton(); }}) {
        FAbout w;
        w.show();
        QTest::keyClick(target(w), Qt::Key_Escape);
        EXPECT_FALSE(w.isVisible());
    }
}

// Every text readable on the box's background and shown whole, alone and
// under a window that carries the program's skin.
TEST_F(About, EveryTextIsReadableAndWhole) {
    QWidget skinned;
    skinned.setObjectName("FMain");
    skinned.setStyleSheet("QWidget#FMain { background: #d6e3f3; } QLabel { color: black; }");
    for (QWidget* owner : {static_cast<QWidget*>(nullptr), &skinned}) {
        SCOPED_TRACE(owner ? "under a skinned window" : "alone");
        FAbout w(owner);
        w.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
        const QColor background = w.palette().color(w.backgroundRole());
        // What is drawn behind the texts is that colour.
        EXPECT_EQ(w.grab().toImage().pixelColor(w.width() / 2, w.height() - 5), background);
        const QList<QLabel*> labels = w.findChildren<QLabel*>();
        ASSERT_GE(labels.size(), 5);
        for (QLabel* label : labels) {
            if (label == w.picture()) continue;
            SCOPED_TRACE(label->text().toStdString());
            EXPECT_GE(contrast(label->palette().color(label->foregroundRole()), background), 4.5);
            const int needed = label->wordWrap() ? label->heightForWidth(label->width()) : label->sizeHint().height();
            EXPECT_GE(label->height(), needed);
            if (!label->wordWrap()) {
                EXPECT_GE(label->width(), label->sizeHint().width());
            }
            EXPECT_TRUE(w.rect().adjusted(15, 15, -15, -15).contains(label->geometry()));
        }
        EXPECT_TRUE(w.rect().adjusted(15, 15, -15, -15).contains(w.okButton()->geometry()));
    }
}

} // namespace
