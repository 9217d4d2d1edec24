#include "platform/controls/task_dialog.h"

#include <QAbstractButton>
#include <QPushButton>
#include <QMessageBox>
#include <utility>

#include "platform/controls/dialog_frame.h"

namespace winsys::controls {

namespace {

TaskDialog::Responder& testResponder() {
    static TaskDialog::Responder responder;
    return responder;
}

} // namespace

QAbstractButton* plainButton(QMessageBox& box, QMessageBox::StandardButton which) {
    QPushButton* button = box.addButton(which);
    // The skin draws the buttons; the style's stock images do not belong.
    button->setIcon(QIcon());
    return button;
}

void TaskDialog::setTestResponder(Responder responder) { testResponder() = std::move(responder); }

QString KeepLastWordsTogether(const QString& text) {
    QStringList lines = text.split(QLatin1Char('\n'));
    for (QString& line : lines) {
        qsizetype end = line.size();
        while (end > 0 && line[end - 1].isSpace()) --end; // a trailing blank is no break
        const qsizetype blank = end > 0 ? line.lastIndexOf(QLatin1Char(' '), end - 1) : -1;
        if (blank > 0 && !line[blank - 1].isSpace()) line[blank] = QChar(0x00a0);
    }
    return lines.join(QLatin1Char('\n'));
}

int TaskDialog::ShowDialog() {
    if (testResponder()) return testResponder()(settings_);

    const int flags = settings_.commonButtons == 0 ? kOk : settings_.commonButtons;
    QMessageBox box(owner_);
    UseFixedDialogFrame(&box);
    box.setWindowTitle(settings_.windowTitle);
    // A wrapped line never leaves a single word on the last line.
    box.setText(KeepLastWordsTogether(settings_.content));
    box.setIcon(QMessageBox::NoIcon);
    QAbstractButton* ok = (flags & kOk) ? plainButton(box, QMessageBox::Ok) : nullptr;
    QAbstractButton* yes = (flags & kYes) ? plainButton(box, QMessageBox::Yes) : nullptr;
    QAbstractButton* no = (flags & kNo) ? plainButton(box, QMessageBox::No) : nullptr;
    if (settings_.allowCancellation) {
        // Escape and the close button must never mean Yes: without No or OK
        // they go to a button the user does not see.
        QAbstractButton* escape = no ? no : ok;
        if (!escape) {
            escape = box.addButton(QMessageBox::Cancel);
            escape->hide();
        }
        box.setEscapeButton(escape);
    }
    box.exec();

    QAbstractButton* pressed = box.clickedButton();
    if (pressed && pressed == yes) return kYes;
    if (pressed && pressed == ok) return kOk;
    // Any other way out of a question is a No.
    return no ? kNo : kOk;
}

} // namespace winsys::controls
