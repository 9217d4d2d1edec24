// FAbout: its caption, version text and light frame, the website opened from the link
// and the picture (once per click, a failing shell call ignored), OK and
// Escape closing it.

#include <QImage>
#include <QLabel>
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

} // namespace
