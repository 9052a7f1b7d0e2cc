#include "filelist/ListExport.h"

#include "filelist/FileItem.h"
#include "platform/AtomicFile.h"
#include "platform/DateFormat.h"
#include "platform/NativePath.h"

#include <QFile>

#include <cerrno>

namespace {

const QString kHeader = QStringLiteral(
    "Name\tPages\tSize\tType\tModified Date\tAccessed Date\tCreated Date\tLocation\n");

QString oneField(QString text) {
    text.replace(QLatin1Char('\t'), QLatin1Char(' '));
    text.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return text;
}

QString lineOf(const FileItem& item) {
    const QChar tab = QLatin1Char('\t');
    return oneField(item.name()) + tab + QString::number(item.pages()) + tab + item.sizeInKB() +
           tab + oneField(item.type()) + tab + exportDateText(item.dateModified()) + tab +
           exportDateText(item.dateAccessed()) + tab + exportDateText(item.dateCreated()) + tab +
           oneField(item.location()) + QLatin1Char('\n');
}

} // namespace

QString exportDateText(const QDateTime& date) {
    if (!date.isValid()) {
        return QStringLiteral("(null)");
    }
    return date.toUTC().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) + QStringLiteral(" +0000");
}

QString proposedExportName(const QDateTime& now, const QLocale& locale) {
    return QStringLiteral("Export %1.txt")
        .arg(formatDate(now, QStringLiteral("dd-MMM-yyyy hh-mm-ss a"), locale));
}

QByteArray exportListText(const std::vector<std::shared_ptr<FileItem>>& items) {
    QString text = kHeader;
    for (const auto& item : items) {
        if (item) {
            text += lineOf(*item);
        }
    }
    return text.toUtf8();
}

Status exportList(const QString& path, const std::vector<std::shared_ptr<FileItem>>& items) {
    const QByteArray bytes = exportListText(items);
    AtomicFile file(path);
    if (Status created = file.create(); !created) {
        return created;
    }
    {
        const std::unique_ptr<QFile> out = NativePath::openForWriting(file.temporaryPath());
        if (!out || out->write(bytes) != bytes.size() || !out->flush()) {
            const QString why = out ? out->errorString() : errnoText(errno);
            return Status::failure(QStringLiteral("Cannot write “%1”: %2").arg(path, why));
        }
    }
    return file.commit();
}
