#include "platform/controls/enter_presses_button.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPointer>
#include <QPushButton>
#include <QToolButton>
#include <QWidget>

namespace winsys::controls {

namespace {

class EnterPresser : public QObject {
public:
    explicit EnterPresser(QWidget* window) : QObject(window), window_(window) {}

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched != window_ || event->type() != QEvent::KeyPress) return false;
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter) return false;
        // Alt+Enter and the like are commands of their own.
        if (key->modifiers() & ~Qt::KeyboardModifiers(Qt::KeypadModifier)) return false;
        QWidget* focus = QApplication::focusWidget();
        if (!focus || focus->window() != window_ || !focus->isEnabled()) return false;
        auto* button = qobject_cast<QAbstractButton*>(focus);
        if (!button || !(qobject_cast<QPushButton*>(button) || qobject_cast<QToolButton*>(button))) return false;
        // The button is pressed as Space presses it, so that it acts as it
        // does for Space (a menu button opens its menu and runs nothing);
        // held down, the key presses it once.
        if (!key->isAutoRepeat()) {
            const QPointer<QAbstractButton> pressed(button);
            QKeyEvent down(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier, QStringLiteral(" "));
            QCoreApplication::sendEvent(pressed, &down);
            QKeyEvent up(QEvent::KeyRelease, Qt::Key_Space, Qt::NoModifier, QStringLiteral(" "));
            if (pressed) QCoreApplication::sendEvent(pressed, &up);
        }
        return true;
    }

private:
    QWidget* window_;
};

} // namespace

void PressFocusedButtonOnEnter(QWidget* window) { window->installEventFilter(new EnterPresser(window)); }

} // namespace winsys::controls
