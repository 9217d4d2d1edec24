#include "app/main/file_properties_sheet.h"

#include <QDateTime>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLocale>
#include <QVBoxLayout>

#include "platform/files/files.h"
#include "platform/pe/pefile.h"

namespace sorlix::app {

namespace {

// FILETIME counts 100 ns from 1601-01-01; Unix time from 1970-01-01.
QString dateText(const win::FILETIME& time) {
    const std::uint64_t ticks = (std::uint64_t{time.dwHighDateTime} << 32) | time.dwLowDateTime;
    if (ticks == 0) return {};
    const qint64 unixMs = static_cast<qint64>(ticks / 10000) - 11644473600000LL;
    return QLocale().toString(QDateTime::fromMSecsSinceEpoch(unixMs), QLocale::LongFormat);
}

QString versionText(win::DWORD ms, win::DWORD ls) {
    return QStringLiteral("%1.%2.%3.%4").arg(ms >> 16).arg(ms & 0xFFFF).arg(ls >> 16).arg(ls & 0xFFFF);
}

void addRow(QFormLayout* form, const QString& label, const QString& value) {
    auto* text = new QLabel(value);
    text->setTextInteractionFlags(Qt::TextSelectableByMouse);
    text->setWordWrap(true);
    form->addRow(label, text);
}

} // namespace

bool ShowFilePropertiesSheet(const MFileProps::PropertiesRequest& request) {
    win::WIN32_FILE_ATTRIBUTE_DATA data;
    if (!win::GetFileAttributesEx(request.lpFile, &data)) return false;

    const std::string& path = request.lpFile;
    const auto cut = path.find_last_of('\\');
    const QString name = QString::fromStdString(cut == std::string::npos ? path : path.substr(cut + 1));
    const QString folder = QString::fromStdString(cut == std::string::npos ? std::string() : path.substr(0, cut));
    const bool isFolder = (data.dwFileAttributes & win::FILE_ATTRIBUTE_DIRECTORY) != 0;

    QDialog sheet(static_cast<QWidget*>(request.hwnd));
    sheet.setObjectName(QStringLiteral("filePropertiesSheet"));
    sheet.setWindowTitle(QStringLiteral("%1 Properties").arg(name));
    auto* form = new QFormLayout;
    addRow(form, QStringLiteral("Name:"), name);
    addRow(form, QStringLiteral("Location:"), folder);
    addRow(form, QStringLiteral("Type:"), isFolder ? QStringLiteral("File folder") : QStringLiteral("File"));
    if (!isFolder) {
        const std::uint64_t size = (std::uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow;
        addRow(form, QStringLiteral("Size:"),
               QStringLiteral("%1 (%2 bytes)").arg(QLocale().formattedDataSize(static_cast<qint64>(size)),
                                                   QLocale().toString(static_cast<qulonglong>(size))));
    }
    addRow(form, QStringLiteral("Created:"), dateText(data.ftCreationTime));
    addRow(form, QStringLiteral("Modified:"), dateText(data.ftLastWriteTime));
    addRow(form, QStringLiteral("Accessed:"), dateText(data.ftLastAccessTime));

    if (!isFolder) {
        if (auto version = winsys::readVersionInfo(path)) {
            const winsys::VersionInfo& info = version.value();
            if (info.fixed) {
                addRow(form, QStringLiteral("File version:"),
                       versionText(info.fixed->dwFileVersionMS, info.fixed->dwFileVersionLS));
                addRow(form, QStringLiteral("Product version:"),
                       versionText(info.fixed->dwProductVersionMS, info.fixed->dwProductVersionLS));
            }
            if (!info.tables.empty()) {
                for (const auto& [key, text] : info.tables.front().strings)
                    addRow(form, QString::fromStdString(key) + QLatin1Char(':'), QString::fromStdString(text));
            }
        }
    }

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &sheet, &QDialog::accept);
    auto* column = new QVBoxLayout(&sheet);
    column->addLayout(form);
    column->addWidget(buttons);
    sheet.resize(420, sheet.sizeHint().height());
    sheet.exec();
    return true;
}

} // namespace sorlix::app
