#include "app/ui/frestore.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QTreeWidget>
#include <algorithm>
#include <vector>

#include "app/core/caxbackuper.h"
#include "app/core/comcalls.h"
#include "app/core/cresource.h"
#include "app/core/mmain.h"
#include "app/core/strings.h"
#include "app/ui/messages.h"
#include "app/ui/program_images.h"
#include "platform/com/message_queue.h"
#include "platform/com/variant.h"
#include "platform/controls/elided_text_tips.h"
#include "platform/controls/enter_presses_button.h"
#include "platform/controls/image_store.h"
#include "platform/controls/task_dialog.h"

namespace sorlix::ui {

using win::LONG;
using winsys::com::ComPtr;

namespace {

constexpr int kRestoreCommand = 5011;
constexpr int kBackupImage = 1501;

// Positions are given in twips, 15 to the pixel.
QRect twips(int left, int top, int width, int height) { return {left / 15, top / 15, width / 15, height / 15}; }

const CAddonTypeVisor& visor() { return ProgramObject(AddonTypeVisor); }

const QSize kDesignSize(9465 / 15, 5655 / 15);

} // namespace

FRestore::FRestore(QWidget* parent)
    : QDialog(parent), TaskDialog1_(std::make_unique<winsys::controls::TaskDialog>(this)) {
    setObjectName(QStringLiteral("FRestore"));
    setWindowTitle("Restore Add-ons");
    resize(kDesignSize);
    // Smaller, the texts and the list would be cut; larger, the list and
    // the button follow the window's edges (resizeEvent).
    setMinimumSize(kDesignSize);

    lblIcon_ = new QLabel(this);
    lblIcon_->setGeometry(twips(240, 150, 480, 480));
    lblIcon_->setAccessibleName(QStringLiteral("Restore"));
    lblDescription_ = new QLabel("To restore an add-on, select it from the list and then click Restore.", this);
    // Our fonts are wider than the ones the layout was drawn for: the text
    // runs on to the list's right edge instead of being cut.
    lblDescription_->setGeometry(twips(900, 300, 240 + 8985 - 900, 195));
    cboAddonType_ = new QComboBox(this);
    cboAddonType_->setAccessibleName(QStringLiteral("Add-on type"));
    cboAddonType_->setGeometry(twips(240, 780, 8985, 315));
    lv_ = new QTreeWidget(this);
    lv_->setAccessibleName(QStringLiteral("Backups"));
    lv_->setGeometry(twips(240, 1140, 8985, 3750));
    lv_->setRootIsDecorated(false);
    lv_->setSelectionMode(QAbstractItemView::SingleSelection);
    lv_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    winsys::controls::ElidedTextTips::Install(lv_);
    lv_->installEventFilter(this);
    cmdRestore_ = new QPushButton("&Restore", this);
    cmdRestore_->setGeometry(twips(8085, 4995, 1140, 345));
    cmdRestore_->setAutoDefault(false);

    // Before Init these only fill the window; none of them may stop it.
    try {
        lblIcon_->setPixmap(winsys::controls::GlobalImageManager().Icon(kRestoreCommand).pixmap(32, 32));
    } catch (const std::exception&) {
    }
    try {
        const ComPtr<halvenlib::_CGumArray> types = visor().AddonSetTypes(asAll);
        const LONG rows = RowCount(types.get());
        for (LONG row = 1; row <= rows; ++row) {
            const LONG addonType = CellLong(types.get(), row, 1);
            cboAddonType_->addItem(QString::fromStdString(visor().TreeViewNodeNameIncludingBrowser(addonType)),
                                   static_cast<int>(addonType));
        }
    } catch (const std::exception&) {
    }
    if (cboAddonType_->count() > 0) cboAddonType_->setCurrentIndex(0);

    // A programmatic change notifies through the first, the user's choice
    // through the second (also when it is the entry already chosen).
    connect(cboAddonType_, &QComboBox::currentIndexChanged, this, &FRestore::cboAddonType_Changed);
    connect(cboAddonType_, &QComboBox::activated, this, &FRestore::cboAddonType_Changed);
    connect(cmdRestore_, &QPushButton::clicked, this, &FRestore::cmdRestore_Click);
    winsys::controls::PressFocusedButtonOnEnter(this);
}

FRestore::~FRestore() = default;

bool FRestore::NothingChanged() const { return m_NothingChanged; }

bool FRestore::Init(LONG DefaultAddonType, std::string& FalseCause) {
    FalseCause.clear();
    try {
        CResource module;
        OpenProgramResources(module);
        image1_ = LoadIconResource(module, kBackupImage);

        lv_->setColumnCount(2);
        lv_->setHeaderLabels({"Name", "Description"});
        LayoutColumns();
        QCoreApplication::processEvents();
        winsys::pumpOneMessage();
        ready_ = true;

        int index = 0;
        if (DefaultAddonType != 0) {
            const std::string caption = visor().TreeViewNodeNameIncludingBrowser(DefaultAddonType);
            index = cboAddonType_->findText(QString::fromStdString(caption));
            if (index < 0) index = 0;
        }
        cboAddonType_->setCurrentIndex(index);
        // The combo notifies only on a change, and its first entry is chosen
        // already: list here whatever it did.
        cboAddonType_Changed(index);
        m_NothingChanged = true;
        restoredTypes_.clear();
        return true;
    } catch (const std::exception& e) {
        LogError(e, "FRestore.Init");
        FalseCause = DescribeError(e).text;
        return false;
    }
}

void FRestore::Finalize() {}

void FRestore::cboAddonType_Changed(int index) {
    if (!ready_ || index < 0) return;
    const LONG addonType = cboAddonType_->itemData(index).toInt();
    if (addonType == currentType_) return;
    currentType_ = addonType;
    RefreshListAddonTypeChanged();
}

void FRestore::RefreshListAddonTypeChanged() {
    try {
        CAxBackuper backuper;
        std::string falseCause;
        backuper.Init(DataFolder, kProductRegistryKey, visor().BackupObjectName(currentType_), falseCause);
        LONG count = 0;
        std::vector<CAxBackuper::BackupRow> rows;
        const bool listed = backuper.ListBackups(count, rows, falseCause);

        int position = -1;
        if (QTreeWidgetItem* item = lv_->currentItem(); item && item->isSelected())
            position = lv_->indexOfTopLevelItem(item);
        lv_->clear();
        if (!listed) {
            LONG buttons = 0, result = 0;
            ShowMessage(*TaskDialog1_, falseCause, buttons, "", result);
            return;
        }
        if (count <= 0) {
            listEmpty_ = true;
            lv_->addTopLevelItem(new QTreeWidgetItem(QStringList{QString::fromStdString(LoadResString(179))}));
            return;
        }
        listEmpty_ = false;
        // Drawn once, after all rows are in.
        lv_->setUpdatesEnabled(false);
        const std::string noname = LoadResString(110);
        for (LONG i = 0; i < count && i < static_cast<LONG>(rows.size()); ++i) {
            const CAxBackuper::BackupRow& row = rows[static_cast<std::size_t>(i)];
            auto* item = new QTreeWidgetItem(QStringList{QString::fromStdString(row.name.empty() ? noname : row.name),
                                                         QString::fromStdString(row.description)});
            item->setData(0, Qt::UserRole, QString::fromStdString(row.id));
            item->setIcon(0, image1_);
            lv_->addTopLevelItem(item);
        }
        lv_->setUpdatesEnabled(true);
        if (position >= 0) {
            const int last = lv_->topLevelItemCount() - 1;
            lv_->setCurrentItem(lv_->topLevelItem(std::min(position, last)));
        }
    } catch (const std::exception& e) {
        lv_->setUpdatesEnabled(true);
        LogError(e, "FRestore.RefreshListAddonTypeChanged");
    }
}

void FRestore::cmdRestore_Click() {
    try {
        QTreeWidgetItem* item = lv_->currentItem();
        if (listEmpty_ || !item || !item->isSelected()) return;
        const std::string backupId = item->data(0, Qt::UserRole).toString().toStdString();
        const std::string name = item->text(0).toStdString();

        CAxBackuper backuper;
        std::string falseCause;
        LONG buttons = 0, result = 0;
        if (!backuper.Init(DataFolder, kProductRegistryKey, visor().BackupObjectName(currentType_), falseCause)) {
            ShowMessage(*TaskDialog1_, falseCause, buttons, "", result);
        } else {
            m_NothingChanged = false;
            if (std::find(restoredTypes_.begin(), restoredTypes_.end(), currentType_) == restoredTypes_.end())
                restoredTypes_.push_back(currentType_);
            const std::string typeName = visor().AddonTypeName(currentType_);
            if (backuper.Restore(backupId, falseCause)) {
                ShowMessage(*TaskDialog1_, FormatString(LoadResString(176), {name, typeName}), buttons, "", result);
            } else {
                const std::string text = FormatString(LoadResString(177), {name, typeName, falseCause});
                LogLine(0, text, halvenlib::sevError, "FRestore.cmdRestore_Click");
                ShowMessage(*TaskDialog1_, text, buttons, "", result);
            }
        }
        RefreshListAddonTypeChanged();
        lv_->setFocus();
    } catch (const std::exception& e) {
        LogError(e, "FRestore.cmdRestore_Click");
    }
}

// The list's current row is the one Restore acts on, so it is selected as
// soon as the list has the focus: the keys and Alt+R then act on the row
// the user sees, with one backup as with many.
void FRestore::SelectCurrentRow() {
    if (listEmpty_ || lv_->topLevelItemCount() == 0) return;
    QTreeWidgetItem* item = lv_->currentItem() ? lv_->currentItem() : lv_->topLevelItem(0);
    lv_->setCurrentItem(item);
    item->setSelected(true);
}

bool FRestore::eventFilter(QObject* watched, QEvent* event) {
    if (watched == lv_ && event->type() == QEvent::FocusIn) SelectCurrentRow();
    // Enter on the list restores the row it shows selected, as Restore does.
    if (watched == lv_ && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) &&
            !(key->modifiers() & ~Qt::KeyboardModifiers(Qt::KeypadModifier))) {
            if (!key->isAutoRepeat()) cmdRestore_Click();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void FRestore::LayoutColumns() {
    const int width = lv_->viewport()->width();
    const int first = width / 3;
    lv_->setColumnWidth(0, first);
    lv_->setColumnWidth(1, width - first);
}

void FRestore::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    // The controls keep their design places and grow with the window: the
    // texts and the list to the right, the list down, the button with the
    // bottom right corner.
    const int dx = width() - kDesignSize.width(), dy = height() - kDesignSize.height();
    lblDescription_->setGeometry(twips(900, 300, 240 + 8985 - 900, 195).adjusted(0, 0, dx, 0));
    cboAddonType_->setGeometry(twips(240, 780, 8985, 315).adjusted(0, 0, dx, 0));
    lv_->setGeometry(twips(240, 1140, 8985, 3750).adjusted(0, 0, dx, dy));
    // The skin may make the button wider than its design width: it grows
    // to the left, its right edge staying in line with the list's.
    QRect button = twips(8085, 4995, 1140, 345).translated(dx, dy);
    const int buttonWidth = std::max(button.width(), cmdRestore_->sizeHint().width());
    button.setLeft(button.right() + 1 - buttonWidth);
    cmdRestore_->setGeometry(button);
    LayoutColumns();
}

void FRestore::keyPressEvent(QKeyEvent* event) {
    // The window closes when Esc is released, not pressed.
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void FRestore::keyReleaseEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && !event->isAutoRepeat() &&
        !(event->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier))) {
        reject();
        return;
    }
    QDialog::keyReleaseEvent(event);
}

} // namespace sorlix::ui
