#pragma once
// TaskDialog: a modal message with a window title, a text and common
// buttons given as flags (1 OK, 2 Yes, 4 No); ShowDialog returns the flag of
// the button pressed. Closing it any other way answers No when No was
// offered, else OK. Reset puts every setting back to its default.
//
// Tests answer dialogs instead of a person: setTestResponder installs a
// function that receives each dialog's settings and returns the answer; the
// dialog is then never shown.

#include <QMessageBox>
#include <QString>
#include <functional>

class QAbstractButton;
class QWidget;

namespace winsys::controls {

struct TaskDialogSettings {
    QString windowTitle;
    QString content;
    int commonButtons = 0; // 0 shows OK alone
    bool allowCancellation = false;
};

class TaskDialog {
public:
    static constexpr int kOk = 1, kYes = 2, kNo = 4;

    explicit TaskDialog(QWidget* owner = nullptr) : owner_(owner) {}

    void Reset() { settings_ = TaskDialogSettings{}; }
    void SetAllowCancellation(bool on) { settings_.allowCancellation = on; }
    void SetWindowTitle(const QString& title) { settings_.windowTitle = title; }
    void SetContent(const QString& text) { settings_.content = text; }
    void SetCommonButtons(int flags) { settings_.commonButtons = flags; }
    const TaskDialogSettings& settings() const { return settings_; }

    // Modal; returns the pressed button's flag.
    int ShowDialog();

    using Responder = std::function<int(const TaskDialogSettings&)>;
    // Null puts real dialogs back.
    static void setTestResponder(Responder responder);

private:
    QWidget* owner_;
    TaskDialogSettings settings_;
};

// Adds the standard button without the style's stock image; the program's
// start-up message makes its button with it too.
QAbstractButton* plainButton(QMessageBox& box, QMessageBox::StandardButton which);

// The text with the blank before each line's last word made unbreakable,
// so that wrapping never leaves that word alone on a line.
QString KeepLastWordsTogether(const QString& text);

} // namespace winsys::controls
