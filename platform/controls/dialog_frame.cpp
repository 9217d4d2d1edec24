#include "platform/controls/dialog_frame.h"

#include <QWidget>

namespace winsys::controls {

void UseFixedDialogFrame(QWidget* dialog) {
    dialog->setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                           Qt::MSWindowsFixedSizeDialogHint);
}

} // namespace winsys::controls
