#pragma once
// FRestore: the modal window that lists the backups of one add-on type (any
// of the 24 can be chosen) and restores the chosen one; the backup engine
// removes a backup once it is restored, so the type is listed again after.

#include <QDialog>
#include <QIcon>
#include <memory>
#include <string>
#include <vector>

#include "platform/core/wintypes.h"

class QComboBox;
class QLabel;
class QPushButton;
class QTreeWidget;

namespace winsys::controls {
class TaskDialog;
}

namespace sorlix::ui {

class FRestore : public QDialog {
    Q_OBJECT
public:
    explicit FRestore(QWidget* parent = nullptr);
    ~FRestore() override;

    // True while no restore was attempted since Init.
    bool NothingChanged() const;
    // The add-on types whose backups a restore was attempted on since Init,
    // in the order first met (a failed restore too: part of it may be back).
    const std::vector<win::LONG>& RestoredAddonTypes() const { return restoredTypes_; }
    // Lays the window out and lists DefaultAddonType's backups (the first
    // type for 0); false with the reason in FalseCause when it cannot.
    bool Init(win::LONG DefaultAddonType, std::string& FalseCause);
    // Nothing to release; called before the window goes.
    void Finalize();

    // The window's controls, for the program's tests.
    QComboBox* addonTypeCombo() const { return cboAddonType_; }
    QTreeWidget* backupList() const { return lv_; }
    QPushButton* restoreButton() const { return cmdRestore_; }
    QLabel* iconLabel() const { return lblIcon_; }

protected:
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void cboAddonType_Changed(int index);
    void RefreshListAddonTypeChanged();
    void cmdRestore_Click();
    void LayoutColumns();
    void SelectCurrentRow();

    QLabel* lblIcon_ = nullptr;
    QLabel* lblDescription_ = nullptr;
    QComboBox* cboAddonType_ = nullptr;
    QTreeWidget* lv_ = nullptr;
    QPushButton* cmdRestore_ = nullptr;
    std::unique_ptr<winsys::controls::TaskDialog> TaskDialog1_;
    QIcon image1_;

    win::LONG currentType_ = 0;
    bool ready_ = false;
    bool listEmpty_ = false;
    bool m_NothingChanged = true;
    std::vector<win::LONG> restoredTypes_;
};

} // namespace sorlix::ui
