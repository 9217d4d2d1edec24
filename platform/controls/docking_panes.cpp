#include "platform/controls/docking_panes.h"

#include <QDockWidget>
#include <QMainWindow>

namespace winsys::controls {

namespace {

Qt::DockWidgetArea areaOf(DockingDirection direction) {
    switch (direction) {
    case DockingDirection::Left: return Qt::LeftDockWidgetArea;
    case DockingDirection::Right: return Qt::RightDockWidgetArea;
    case DockingDirection::Top: return Qt::TopDockWidgetArea;
    case DockingDirection::Bottom: return Qt::BottomDockWidgetArea;
    }
    return Qt::LeftDockWidgetArea;
}

} // namespace

QString Pane::Title() const { return dock_->windowTitle(); }

void Pane::SetHandle(QWidget* window) { dock_->setWidget(window); }

QWidget* Pane::Handle() const { return dock_->widget(); }

void Pane::Select() {
    dock_->show();
    dock_->raise();
    if (QWidget* content = dock_->widget()) content->setFocus(Qt::OtherFocusReason);
}

DockingPaneManager::DockingPaneManager(QMainWindow* host) : QObject(host), host_(host) { SetOptions(options_); }

DockingPaneManager::~DockingPaneManager() = default;

void DockingPaneManager::SetOptions(const DockingOptions& options) {
    options_ = options;
    QMainWindow::DockOptions dockOptions;
    if (options.animated) dockOptions |= QMainWindow::AnimatedDocks;
    if (options.nested) dockOptions |= QMainWindow::AllowNestedDocks;
    host_->setDockOptions(dockOptions);
    for (const auto& pane : panes_) {
        QDockWidget::DockWidgetFeatures features;
        if (options.floatable) features |= QDockWidget::DockWidgetFloatable;
        if (options.movable) features |= QDockWidget::DockWidgetMovable;
        pane->dock()->setFeatures(features);
    }
}

Pane* DockingPaneManager::CreatePane(int id, const QString& title, int width, int height, DockingDirection direction, Pane* neighbour) {
    auto* dock = new QDockWidget(host_);
    dock->setObjectName(QStringLiteral("pane_%1").arg(id));
    dock->setWindowTitle(title);
    panes_.push_back(std::make_unique<Pane>(id, dock));
    Pane* pane = panes_.back().get();
    SetOptions(options_);

    if (neighbour && (direction == DockingDirection::Right || direction == DockingDirection::Bottom)) {
        host_->splitDockWidget(neighbour->dock(), dock,
                               direction == DockingDirection::Right ? Qt::Horizontal : Qt::Vertical);
    } else {
        host_->addDockWidget(neighbour ? host_->dockWidgetArea(neighbour->dock()) : areaOf(direction), dock);
    }
    host_->resizeDocks({dock}, {width}, Qt::Horizontal);
    host_->resizeDocks({dock}, {height}, Qt::Vertical);
    emit AttachPane(pane);
    return pane;
}

Pane* DockingPaneManager::FindPane(int id) const {
    for (const auto& pane : panes_)
        if (pane->Id() == id) return pane.get();
    return nullptr;
}

} // namespace winsys::controls
