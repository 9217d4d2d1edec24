#pragma once
// The file-properties sheet of this program, laid out as Windows' own: a
// "General" page (name, type, location, size, dates in the user's regional
// format and local time) and, for a file with a version resource, a
// "Details" page with its version fields under Windows' labels. Installed
// into MFileProps at start-up.

#include <QDialog>
#include <QString>
#include <memory>
#include <string>

#include "app/core/mfileprops.h"
#include "platform/system/regional.h"

class QTabWidget;
class QTreeWidget;

namespace sorlix::ui {

class FilePropertiesSheet : public QDialog {
    Q_OBJECT
public:
    // The sheet of a file or folder (a Windows path); null when it does not
    // exist.
    static std::unique_ptr<FilePropertiesSheet> Create(const std::string& windowsPath, QWidget* owner);

    QTabWidget* pages() const { return pages_; }
    // The value of a row of the General page by its label ("Size:"); empty
    // when the page has no such row.
    QString generalValue(const QString& label) const;
    // The Details page's list (Property, Value), or null without one.
    QTreeWidget* detailsList() const { return details_; }

private:
    explicit FilePropertiesSheet(QWidget* owner);

    QTabWidget* pages_ = nullptr;
    QWidget* general_ = nullptr;
    QTreeWidget* details_ = nullptr;
};

// Shows the sheet modally, owned by the window whose handle the request
// carries (the QWidget itself); false when the path does not exist.
bool ShowFilePropertiesSheet(const MFileProps::PropertiesRequest& request);

// Windows' short form of a size with the size in bytes: "2.50 KB (2,560
// bytes)", "512 bytes (512 bytes)", "1.17 MB (1,228,800 bytes)"; three
// significant digits, cut rather than rounded, in the user's separators.
QString SizeText(unsigned long long bytes, const winsys::RegionalFormats& formats);

} // namespace sorlix::ui
