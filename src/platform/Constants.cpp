#include "platform/Constants.h"

#include "platform/DateFormat.h"
#include "platform/Edition.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

QString StringUtilities::getAppTitle(const Edition& edition, const QString& suffix) {
    return edition.displayName + suffix;
}

QString StringUtilities::getAppPath(const Edition& edition) {
    const QString base = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (base.isEmpty()) {
        return {};
    }
    return QDir(base).filePath(edition.appFolder);
}

QString StringUtilities::appSubfolderPath(const Edition& edition, const QString& subfolder) {
    QString app = getAppPath(edition);
    if (subfolder.isEmpty()) {
        return app;
    }
    return app.isEmpty() ? subfolder : QDir(app).filePath(subfolder);
}

bool StringUtilities::createApplicationUsersFolder(const Edition& edition, const QString& subfolder,
                                                   QString* error) {
    const QString path = appSubfolderPath(edition, subfolder);
    const QFileInfo info(path.isEmpty() ? QStringLiteral(".") : path);
    if (info.isDir()) {
        return true;
    }
    if (info.exists() || info.isSymLink()) {
        if (error != nullptr) {
            *error = QStringLiteral("“%1” exists and is not a folder.").arg(path);
        }
        return false;
    }
    if (!QDir().mkpath(path)) {
        if (error != nullptr) {
            *error = QStringLiteral("The folder “%1” could not be created.").arg(path);
        }
        return false;
    }
    return true;
}

QString StringUtilities::getStringFromDateFormat(const QString& pattern) {
    return formatDate(QDateTime::currentDateTime(), pattern);
}

QString StringUtilities::siteAddress() {
    QString site = qEnvironmentVariable("PICTAVO_SITE_URL");
    if (site.isEmpty()) {
        site = QStringLiteral("http://www.quorlen.example");
    }
    while (site.endsWith(QLatin1Char('/'))) {
        site.chop(1);
    }
    return site;
}

QString StringUtilities::pathForResource(const QString& name, const QString& type) {
    const QString programFolder = QCoreApplication::applicationDirPath();
    if (programFolder.isEmpty()) {
        return {};
    }
    return pathForResource(
        name, type,
        {programFolder, QDir(programFolder).filePath(QStringLiteral("../share/pictavo"))});
}

QString StringUtilities::pathForResource(const QString& name, const QString& type,
                                         const QStringList& folders) {
    if (name.isEmpty()) {
        return {};
    }
    const QString fileName = type.isEmpty() ? name : name + QLatin1Char('.') + type;
    for (const QString& folder : folders) {
        if (folder.isEmpty()) {
            continue; // not the working directory
        }
        const QFileInfo candidate(QDir(folder).filePath(fileName));
        if (candidate.isFile()) {
            return QDir::cleanPath(candidate.absoluteFilePath());
        }
    }
    return {};
}
