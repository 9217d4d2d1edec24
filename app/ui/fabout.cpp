#include "app/ui/fabout.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>
#include <string>

#include "app/core/strings.h"
#include "app/ui/program_images.h"
#include "platform/controls/dialog_frame.h"
#include "platform/controls/task_dialog.h"
#include "platform/system/shell.h"

namespace sorlix::ui {

namespace {

constexpr int kProductPicture = 2001;
// The light frame runs this far inside the window's edges.
constexpr int kFrameInset = 14;
// The texts wrap at this width; the box takes the height they need.
constexpr int kTextWidth = 330;
const QColor kBackground(0x1f, 0x3a, 0x5f);
const QColor kText(Qt::white);

std::string productText() {
    return LoadResString(100) + "\nVersion " + std::to_string(kAppMajor) + "." + std::to_string(kAppMinor) + "." +
           std::to_string(kAppRevision);
}

} // namespace

const char* const FAbout::kWebsite = "https://www.vendrel.example/";

FAbout::FAbout(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("FAbout"));
    setWindowTitle("About Vendrel Sorlix");
    winsys::controls::UseFixedDialogFrame(this);
    // The box's own colours: white texts and lines on navy. A style sheet
    // (not a palette) so that the skin's sheet above it cannot take the
    // colour of the texts away from them.
    setStyleSheet(QStringLiteral("QDialog#FAbout { background: %1; }"
                                 "QDialog#FAbout QLabel { color: %2; background: transparent; }")
                      .arg(kBackground.name(), kText.name()));

    Image1_ = new QLabel(this);
    Image1_->setFixedSize(96, 96);
    Image1_->setAlignment(Qt::AlignCenter);
    Image1_->setCursor(Qt::PointingHandCursor);
    Image1_->setAccessibleName(QStringLiteral("Vendrel Sorlix"));
    // Drawn at the label's size and twice it: sharp at 100 % and 200 %. The
    // box also opens without the program's images.
    const QIcon picture = LoadProgramIcon(kProductPicture);
    if (!picture.isNull()) Image1_->setPixmap(picture.pixmap(Image1_->size(), Image1_->devicePixelRatioF()));

    lblName_ = new QLabel(QString::fromStdString(productText()), this);
    QFont bold = lblName_->font();
    bold.setBold(true);
    bold.setPointSizeF(bold.pointSizeF() * 1.3);
    lblName_->setFont(bold);

    using winsys::controls::KeepLastWordsTogether;
    auto* copyright = new QLabel(KeepLastWordsTogether("Copyright \u00a9 2026 Vendrel Software. All rights reserved."), this);
    copyright->setWordWrap(true);
    auto* legal = new QLabel(
        KeepLastWordsTogether("This program is protected by copyright law. Copying or passing on this program, or "
                              "any part of it, without the written consent of Vendrel Software is not allowed."),
        this);
    legal->setWordWrap(true);

    const QString address = QString::fromLatin1(kWebsite);
    const QString shown = QString(address).remove("https://").remove(QChar('/'));
    lblVisitWebsite_ = new QLabel(
        QString("<a href=\"%1\" style=\"color:#ffffff; text-decoration:none\">%2</a>").arg(address, shown), this);
    lblVisitWebsite_->setTextFormat(Qt::RichText);
    // Its clicks are handled below, so that one click opens the site once.
    lblVisitWebsite_->setTextInteractionFlags(Qt::NoTextInteraction);
    lblVisitWebsite_->setCursor(Qt::PointingHandCursor);

    cmdOK_ = new QPushButton("OK", this);
    cmdOK_->setDefault(true);
    connect(cmdOK_, &QPushButton::clicked, this, &QDialog::accept);

    auto* texts = new QVBoxLayout;
    texts->addWidget(lblName_);
    texts->addSpacing(8);
    texts->addWidget(copyright);
    texts->addWidget(legal);
    texts->addSpacing(8);
    texts->addWidget(lblVisitWebsite_);
    texts->addStretch();

    auto* content = new QHBoxLayout;
    content->addWidget(Image1_, 0, Qt::AlignTop);
    content->addSpacing(12);
    content->addLayout(texts, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdOK_);

    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(kFrameInset + 12, kFrameInset + 12, kFrameInset + 12, kFrameInset + 12);
    outer->addLayout(content);
    outer->addLayout(buttons);
    for (QLabel* label : {lblName_, copyright, legal, lblVisitWebsite_}) label->setFixedWidth(kTextWidth);
    // As large as its texts need, and no larger: nothing is cut.
    outer->setSizeConstraint(QLayout::SetFixedSize);

    Image1_->installEventFilter(this);
    lblVisitWebsite_->installEventFilter(this);
}

void FAbout::paintEvent(QPaintEvent* event) {
    QDialog::paintEvent(event);
    QPainter painter(this);
    painter.setPen(QColor(255, 255, 255));
    painter.drawRect(rect().adjusted(kFrameInset, kFrameInset, -kFrameInset - 1, -kFrameInset - 1));
}

bool FAbout::eventFilter(QObject* watched, QEvent* event) {
    const bool pictureDoubleClick = watched == Image1_ && event->type() == QEvent::MouseButtonDblClick;
    const bool linkPressed = watched == lblVisitWebsite_ && event->type() == QEvent::MouseButtonPress &&
                             static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton;
    if (pictureDoubleClick || linkPressed) {
        OpenWebsite();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void FAbout::OpenWebsite() {
    // Nothing is said when the address cannot be opened.
    try {
        win::ShellExecute("open", kWebsite, "", "", win::SW_SHOWNORMAL);
    } catch (const std::exception&) {
    }
}

} // namespace sorlix::ui
