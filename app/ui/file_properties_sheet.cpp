#include "app/ui/file_properties_sheet.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QFrame>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QTabWidget>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <QPushButton>
#include <QStyle>
#include <algorithm>
#include <ctime>
#include <utility>
#include <vector>

#include "app/ui/program_images.h"
#include "platform/controls/elided_text_tips.h"
#include "platform/core/text.h"
#include "platform/files/files.h"
#include "platform/pe/pefile.h"
#include "platform/system/regread.h"

namespace sorlix::ui {

namespace {

// Images of the program file shown at the sheet's top left, 32 pixels and
// drawn again at 64 for screens at 200 %.
constexpr int kFileImage = 1602;
constexpr int kFolderImage = 1603;
constexpr int kPictureSize = 32;
// The sheet's narrowest width, and the widest that its details list asks for.
constexpr int kNarrowestSheet = 380;
constexpr int kWidestDetails = 560;

// FILETIME counts 100 ns from 1601-01-01; Unix time from 1970-01-01.
constexpr std::uint64_t kUnixEpochTicks = 116444736000000000ULL;

// "Saturday, March 7, 2026, 4:05:09 PM": the long date, then the long time,
// in local time; empty for a time the file system did not keep.
QString dateText(const win::FILETIME& time, const winsys::RegionalFormats& formats) {
    const std::uint64_t ticks = (std::uint64_t{time.dwHighDateTime} << 32) | time.dwLowDateTime;
    if (ticks < kUnixEpochTicks) return {};
    const std::time_t seconds = static_cast<std::time_t>((ticks - kUnixEpochTicks) / 10000000ULL);
    std::tm local{};
    if (!localtime_r(&seconds, &local)) return {};
    return QString::fromStdString(winsys::formatDate(local, formats.longDate) + ", " +
                                  winsys::formatTime(local, formats.timeFormat, formats.am, formats.pm));
}

QString versionText(win::DWORD ms, win::DWORD ls) {
    return QStringLiteral("%1.%2.%3.%4").arg(ms >> 16).arg(ms & 0xFFFF).arg(ls >> 16).arg(ls & 0xFFFF);
}

// The type's name of an extension (".txt") as the shell gives it: the
// machine's class of the extension and that class's description, or the
// usual name of a few program files, or "<EXT> File".
QString typeName(const std::string& extension) {
    // The shell is a native program: it reads the classes in the 64-bit view.
    const win::REGSAM view = win::KEY_WOW64_64KEY;
    if (auto progId = winsys::sysreg::readText(win::HKEY_CLASSES_ROOT, extension, "", view);
        progId && !progId->text.empty())
        if (auto description = winsys::sysreg::readText(win::HKEY_CLASSES_ROOT, progId->text, "", view);
            description && !description->text.empty())
            return QString::fromStdString(description->text);
    static const std::pair<const char*, const char*> known[] = {
        {".exe", "Application"},    {".dll", "Application extension"}, {".ocx", "ActiveX control"},
        {".sys", "System file"},    {".js", "JavaScript File"},        {".txt", "Text Document"},
        {".xml", "XML Document"},   {".htm", "HTML Document"},         {".html", "HTML Document"},
    };
    for (const auto& [ext, text] : known)
        if (winsys::equalsNoCase(extension, ext)) return QString::fromLatin1(text);
    return QString::fromStdString(extension.substr(1)).toUpper() + QStringLiteral(" File");
}

// "Text Document (.txt)": the type's name with the extension in lower case;
// "File" for a name without an extension.
QString typeOfFile(const std::string& name) {
    const auto dot = name.find_last_of('.');
    if (dot == std::string::npos || dot + 1 == name.size()) return QStringLiteral("File");
    const std::string extension = name.substr(dot);
    return QStringLiteral("%1 (%2)").arg(typeName(extension), QString::fromStdString(winsys::lowerCase(extension)));
}

// The version fields of the Details page, in Windows' order and under its
// labels; fields the file does not have are left out.
std::vector<std::pair<QString, QString>> versionFields(const std::string& path) {
    auto read = winsys::readVersionInfo(path);
    if (!read) return {};
    const winsys::VersionInfo& info = read.value();
    // The first translation's table, as the shell reads it; else the first table.
    const winsys::StringTable* table = nullptr;
    if (!info.translations.empty()) {
        const std::string key = winsys::translationKey(info.translations.front());
        for (const auto& t : info.tables)
            if (winsys::equalsNoCase(t.key, key)) {
                table = &t;
                break;
            }
    }
    if (!table && !info.tables.empty()) table = &info.tables.front();
    const auto text = [&](const char* name) -> QString {
        if (!table) return {};
        for (const auto& [key, value] : table->strings)
            if (winsys::equalsNoCase(key, name)) return QString::fromStdString(value).trimmed();
        return {};
    };

    std::vector<std::pair<QString, QString>> rows;
    const auto add = [&](const char* label, const QString& value) {
        if (!value.isEmpty()) rows.emplace_back(QString::fromLatin1(label), value);
    };
    add("File description", text("FileDescription"));
    add("File version", info.fixed ? versionText(info.fixed->dwFileVersionMS, info.fixed->dwFileVersionLS)
                                   : text("FileVersion"));
    add("Product name", text("ProductName"));
    const QString productVersion = text("ProductVersion");
    add("Product version", !productVersion.isEmpty() || !info.fixed
                               ? productVersion
                               : versionText(info.fixed->dwProductVersionMS, info.fixed->dwProductVersionLS));
    add("Copyright", text("LegalCopyright"));
    add("Original filename", text("OriginalFilename"));
    return rows;
}

QFrame* line() {
    auto* frame = new QFrame;
    frame->setObjectName(QStringLiteral("sheetLine"));
    frame->setFrameShape(QFrame::HLine);
    frame->setFrameShadow(QFrame::Plain);
    return frame;
}

// The General page: rows of label and value, groups parted by lines.
class GeneralPage {
public:
    explicit GeneralPage(QWidget* page) : grid_(new QGridLayout(page)) {
        grid_->setHorizontalSpacing(16);
        grid_->setVerticalSpacing(6);
        grid_->setColumnStretch(1, 1);
    }
    void header(const QPixmap& picture, const QString& name) {
        auto* image = new QLabel;
        image->setObjectName(QStringLiteral("sheetPicture"));
        image->setFixedSize(kPictureSize, kPictureSize);
        image->setPixmap(picture);
        grid_->addWidget(image, row_, 0);
        auto* text = new QLabel(name);
        text->setObjectName(QStringLiteral("sheetName"));
        text->setTextInteractionFlags(Qt::TextSelectableByMouse);
        text->setAccessibleName(QStringLiteral("Name"));
        grid_->addWidget(text, row_++, 1);
    }
    // Only a path wraps; a date or a size stays on its line.
    void row(const QString& label, const QString& value, bool wraps = false) {
        auto* caption = new QLabel(label);
        auto* text = new QLabel(value);
        text->setTextInteractionFlags(Qt::TextSelectableByMouse);
        text->setWordWrap(wraps);
        text->setAccessibleName(QString(label).remove(QLatin1Char(':')));
        caption->setBuddy(text);
        grid_->addWidget(caption, row_, 0, Qt::AlignTop);
        grid_->addWidget(text, row_++, 1);
    }
    void separator() { grid_->addWidget(line(), row_++, 0, 1, 2); }
    void end() { grid_->setRowStretch(row_, 1); }

private:
    QGridLayout* grid_;
    int row_ = 0;
};

} // namespace

QString SizeText(unsigned long long bytes, const winsys::RegionalFormats& formats) {
    const QString count = QString::fromStdString(winsys::groupedNumber(bytes, formats));
    const QString exact = QStringLiteral("(%1 bytes)").arg(count);
    if (bytes < 1024) return QStringLiteral("%1 bytes %2").arg(bytes).arg(exact); // short: no grouping
    // Each unit from 1 to 1000 of it: two, one, then no decimals.
    static const char* const units[] = {"KB", "MB", "GB", "TB", "PB", "EB"};
    long double unit = 1024.0L;
    int u = 0;
    while (u + 1 < 6 && static_cast<long double>(bytes) >= 1000.0L * unit) {
        unit *= 1024.0L;
        ++u;
    }
    const long double value = static_cast<long double>(bytes) / unit;
    const int decimals = value < 10 ? 2 : value < 100 ? 1 : 0;
    long double scale = 1;
    for (int i = 0; i < decimals; ++i) scale *= 10;
    const auto cut = static_cast<unsigned long long>(value * scale);
    QString shown = QString::number(cut / static_cast<unsigned long long>(scale));
    if (decimals > 0)
        shown += QString::fromStdString(formats.decimal) +
                 QStringLiteral("%1").arg(cut % static_cast<unsigned long long>(scale), decimals, 10, QLatin1Char('0'));
    return QStringLiteral("%1 %2 %3").arg(shown, QLatin1String(units[u]), exact);
}

FilePropertiesSheet::FilePropertiesSheet(QWidget* owner) : QDialog(owner) {}

std::unique_ptr<FilePropertiesSheet> FilePropertiesSheet::Create(const std::string& path, QWidget* owner) {
    win::WIN32_FILE_ATTRIBUTE_DATA data;
    if (!win::GetFileAttributesEx(path, &data)) return nullptr;

    std::string trimmed = path;
    while (trimmed.size() > 3 && trimmed.back() == '\\') trimmed.pop_back();
    const auto cut = trimmed.find_last_of('\\');
    const std::string fileName = cut == std::string::npos ? trimmed : trimmed.substr(cut + 1);
    std::string folder = cut == std::string::npos ? std::string() : trimmed.substr(0, cut);
    if (folder.size() == 2 && folder[1] == ':') folder += '\\'; // "C:\", as the shell writes a drive
    const bool isFolder = (data.dwFileAttributes & win::FILE_ATTRIBUTE_DIRECTORY) != 0;
    const winsys::RegionalFormats formats = winsys::userRegionalFormats();
    const QString name = QString::fromStdString(fileName);

    std::unique_ptr<FilePropertiesSheet> sheet(new FilePropertiesSheet(owner));
    sheet->setObjectName(QStringLiteral("filePropertiesSheet"));
    sheet->setWindowTitle(QStringLiteral("%1 Properties").arg(name));
    sheet->setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    QPixmap picture;
    // The sheet also opens without the program's images.
    if (const QIcon image = LoadProgramIcon(isFolder ? kFolderImage : kFileImage); !image.isNull())
        picture = image.pixmap(QSize(kPictureSize, kPictureSize), qApp->devicePixelRatio());

    sheet->pages_ = new QTabWidget;
    sheet->pages_->setObjectName(QStringLiteral("sheetPages"));
    sheet->general_ = new QWidget;
    GeneralPage general(sheet->general_);
    general.header(picture, name);
    general.separator();
    if (isFolder) {
        general.row(QStringLiteral("Type:"), QStringLiteral("File folder"));
        general.row(QStringLiteral("Location:"), QString::fromStdString(folder), true);
        general.separator();
        general.row(QStringLiteral("Created:"), dateText(data.ftCreationTime, formats));
    } else {
        general.row(QStringLiteral("Type of file:"), typeOfFile(fileName));
        general.separator();
        general.row(QStringLiteral("Location:"), QString::fromStdString(folder), true);
        const unsigned long long size = (std::uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow;
        general.row(QStringLiteral("Size:"), SizeText(size, formats));
        general.separator();
        general.row(QStringLiteral("Created:"), dateText(data.ftCreationTime, formats));
        general.row(QStringLiteral("Modified:"), dateText(data.ftLastWriteTime, formats));
        general.row(QStringLiteral("Accessed:"), dateText(data.ftLastAccessTime, formats));
    }
    general.end();
    sheet->pages_->addTab(sheet->general_, QStringLiteral("General"));

    if (const auto fields = isFolder ? std::vector<std::pair<QString, QString>>{} : versionFields(path);
        !fields.empty()) {
        auto* list = new QTreeWidget;
        list->setObjectName(QStringLiteral("sheetDetails"));
        list->setAccessibleName(QStringLiteral("Details"));
        list->setColumnCount(2);
        list->setHeaderLabels({QStringLiteral("Property"), QStringLiteral("Value")});
        list->setRootIsDecorated(false);
        list->setItemsExpandable(false);
        list->setSelectionMode(QAbstractItemView::SingleSelection);
        auto* group = new QTreeWidgetItem(list, QStringList{QStringLiteral("Description")});
        group->setFirstColumnSpanned(true);
        group->setFlags(Qt::ItemIsEnabled);
        QFont bold = group->font(0);
        bold.setBold(true);
        group->setFont(0, bold);
        for (const auto& [label, value] : fields) new QTreeWidgetItem(group, QStringList{label, value});
        winsys::controls::ElidedTextTips::Install(list);
        list->expandAll();
        list->resizeColumnToContents(0);
        list->header()->setStretchLastSection(true);
        // Wide enough for every value whole, up to a bound; a value longer
        // still shows whole in its tooltip.
        int widest = 0;
        for (int i = 0; i < group->childCount(); ++i)
            widest = std::max(widest, list->fontMetrics().horizontalAdvance(group->child(i)->text(1)));
        const int textMargins = 2 * (list->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, list) + 1);
        list->setMinimumWidth(
            std::min(kWidestDetails, list->columnWidth(0) + widest + textMargins + 2 * list->frameWidth()));
        sheet->details_ = list;
        auto* page = new QWidget;
        auto* column = new QVBoxLayout(page);
        column->addWidget(list);
        sheet->pages_->addTab(page, QStringLiteral("Details"));
    }

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok);
    // The skin draws the button; the style's stock image does not belong.
    buttons->button(QDialogButtonBox::Ok)->setIcon(QIcon());
    QObject::connect(buttons, &QDialogButtonBox::accepted, sheet.get(), &QDialog::accept);
    auto* outer = new QVBoxLayout(sheet.get());
    outer->addWidget(sheet->pages_);
    outer->addWidget(buttons);
    // Windows' sheet is narrow, as wide as a date line, as tall as its
    // General page; wider where the details list asks for it.
    sheet->resize(std::max(kNarrowestSheet, sheet->sizeHint().width()), sheet->sizeHint().height());
    return sheet;
}

QString FilePropertiesSheet::generalValue(const QString& label) const {
    const auto* grid = static_cast<QGridLayout*>(general_->layout());
    for (int r = 0; r < grid->rowCount(); ++r) {
        const auto* caption = grid->itemAtPosition(r, 0);
        const auto* value = grid->itemAtPosition(r, 1);
        const auto* captionLabel = caption ? qobject_cast<QLabel*>(caption->widget()) : nullptr;
        const auto* valueLabel = value ? qobject_cast<QLabel*>(value->widget()) : nullptr;
        if (captionLabel && valueLabel && captionLabel->text() == label) return valueLabel->text();
    }
    return {};
}

bool ShowFilePropertiesSheet(const MFileProps::PropertiesRequest& request) {
    auto sheet = FilePropertiesSheet::Create(request.lpFile, static_cast<QWidget*>(request.hwnd));
    if (!sheet) return false;
    sheet->exec();
    return true;
}

} // namespace sorlix::ui
