#pragma once
// DockingPaneManager: panes by id on QDockWidget inside a host main window
// that has no central widget, so the panes share its whole area. A pane
// gets its content window through the AttachPane notification, raised when
// the pane is created and has none yet. Panes cannot be closed, so none is
// lost for the session; they can be moved, resized and floated.

#include <QObject>
#include <QString>
#include <memory>
#include <vector>

class QDockWidget;
class QMainWindow;
class QWidget;

namespace winsys::controls {

enum class DockingDirection { Left, Right, Top, Bottom };

class Pane {
public:
    Pane(int id, QDockWidget* dock) : id_(id), dock_(dock) {}
    int Id() const { return id_; }
    QString Title() const;
    // The content window of the pane (taken over by it).
    void SetHandle(QWidget* window);
    QWidget* Handle() const;
    // Shows the pane and gives its content the focus.
    void Select();
    QDockWidget* dock() const { return dock_; }

private:
    int id_;
    QDockWidget* dock_;
};

struct DockingOptions {
    bool floatable = true;
    bool movable = true;
    bool animated = true;
    bool nested = true; // panes may split one side of the host
};

class DockingPaneManager : public QObject {
    Q_OBJECT
public:
    explicit DockingPaneManager(QMainWindow* host);
    ~DockingPaneManager() override;

    void SetOptions(const DockingOptions& options);

    // Creates pane `id` titled `title`, of width x height pixels; docked at `direction` of
    // the host, or, with `neighbour`, at that side of the neighbour.
    Pane* CreatePane(int id, const QString& title, int width, int height, DockingDirection direction, Pane* neighbour = nullptr);
    // Null when there is no such pane.
    Pane* FindPane(int id) const;
    int PaneCount() const { return static_cast<int>(panes_.size()); }

signals:
    void AttachPane(Pane* item);

private:
    QMainWindow* host_;
    DockingOptions options_;
    std::vector<std::unique_ptr<Pane>> panes_;
};

} // namespace winsys::controls
