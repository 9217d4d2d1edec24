#pragma once
// TreeView: a tree of nodes found by key, each with a text and the index of
// an image of the tree's image list, over QTreeWidget. Positions count the
// nodes from 1, top to bottom, collapsed children included. Pointer
// positions in the notifications and in HitTest are twips of the tree's
// client area (1440 to the logical inch, so 15 to a pixel at 96 dpi).
//
// Changes made through the members raise no notification; the user's
// clicks, expansions and keyboard moves do. Shift+F10 and the Menu key ask
// for the selected node's context menu (ContextMenuKey), as a right click
// does with the pointer.

#include <QHash>
#include <QIcon>
#include <QTreeWidget>
#include <map>

namespace winsys::controls {

class TreeView : public QTreeWidget {
    Q_OBJECT
public:
    explicit TreeView(QWidget* parent = nullptr);

    // Image list: the PNG data (and the image at twice its size, for 200 %)
    // becomes image `index`; false when it is no image.
    bool AddImage(int index, const QByteArray& png, const QByteArray& png2x = {});

    // A new node under the node `parentKey` (top level when empty), last of
    // its siblings. Throws std::invalid_argument for a key already present
    // or a parent that is not there.
    QTreeWidgetItem* AddNode(const QString& parentKey, const QString& key, const QString& text, int image);
    void ClearNodes();
    int NodeCount() const { return static_cast<int>(byKey_.size()); }
    // Null when absent.
    QTreeWidgetItem* Node(const QString& key) const;
    QTreeWidgetItem* NodeAt(int position) const;
    // 0 for null.
    int PositionOf(const QTreeWidgetItem* node) const;

    static QString Key(const QTreeWidgetItem* node);
    static int Image(const QTreeWidgetItem* node);
    void SetImage(QTreeWidgetItem* node, int image);
    void SetExpanded(QTreeWidgetItem* node, bool expanded);

    // Null when nothing is selected.
    QTreeWidgetItem* SelectedNode() const;
    // Null clears the selection.
    void SelectNode(QTreeWidgetItem* node);

    // Where a menu opened from the keyboard for the selected node goes, in
    // global coordinates: below the node's text, or the tree's corner.
    QPoint ContextMenuPosition() const;

    // The width that shows every node's text whole (collapsed ones too),
    // the frame and a vertical scroll bar included.
    int ContentWidth() const;

    // Off: a press on a node's expand arrow does not open or close it, the
    // owner toggles nodes itself from MouseUp; the arrow still shows the
    // state and the keys still open and close.
    void SetArrowToggles(bool on) { arrowToggles_ = on; }

    // The node under the point, or null.
    QTreeWidgetItem* HitTest(double x, double y) const;
    double TwipsPerPixelX() const;
    double TwipsPerPixelY() const;

signals:
    void NodeClick(QTreeWidgetItem* node);
    void NodeExpand(QTreeWidgetItem* node);
    void NodeCollapse(QTreeWidgetItem* node);
    void MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, double x, double y);
    void MouseUp(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, double x, double y);
    void ContextMenuKey();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    QItemSelectionModel::SelectionFlags selectionCommand(const QModelIndex& index,
                                                         const QEvent* event) const override;

private:
    std::map<int, QIcon> images_;
    QHash<QString, QTreeWidgetItem*> byKey_;
    QTreeWidgetItem* pressed_ = nullptr;
    bool changing_ = false; // SetExpanded at work: Qt's signals are ours, not the user's
    bool arrowToggles_ = true;
    bool onArrow(const QPoint& pixel) const;
};

} // namespace winsys::controls
