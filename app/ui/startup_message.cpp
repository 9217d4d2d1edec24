#include "app/ui/startup_message.h"

#include <QAbstractButton>
#include <QPixmap>

#include "app/ui/program_images.h"
#include "platform/controls/skin.h"
#include "platform/controls/task_dialog.h"
#include "platform/core/machine.h"

namespace sorlix::ui {

std::unique_ptr<QMessageBox> StartupMessageBox(const std::string& text, const std::string& title, MessageIcon icon) {
    auto box = std::make_unique<QMessageBox>();
    box->setWindowTitle(QString::fromStdString(title));
    box->setText(QString::fromStdString(text));
    winsys::controls::plainButton(*box, QMessageBox::Ok);
    // Without a machine the program folder cannot be reached (its path is a
    // Windows path): the box shows the style's own look and warning sign.
    if (!winsys::hasMachine()) {
        if (icon == MessageIcon::Exclamation) box->setIcon(QMessageBox::Warning);
        return box;
    }
    winsys::controls::SkinFramework skin;
    if (skin.LoadSkin(ProgramSkinFile(), "")) skin.ApplyWindow(box.get());
    if (icon == MessageIcon::Exclamation) {
        // The program file may be what start-up found missing.
        const QIcon image = LoadProgramIcon(kExclamationImage);
        if (!image.isNull()) box->setIconPixmap(image.pixmap(QSize(32, 32), box->devicePixelRatioF()));
    }
    return box;
}

void ShowStartupMessage(const std::string& text, const std::string& title, MessageIcon icon) {
    StartupMessageBox(text, title, icon)->exec();
}

} // namespace sorlix::ui
