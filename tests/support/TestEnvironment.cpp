#include "support/TestEnvironment.h"

#include "platform/SystemLog.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUuid>

#include <memory>
#include <mutex>

#include <unistd.h>

QString testHome() {
    return qEnvironmentVariable("HOME");
}

QString makeTestFolder(const QString& name) {
    const QString path = QDir(testHome())
                             .filePath(name + QLatin1Char('-') +
                                       QUuid::createUuid().toString(QUuid::WithoutBraces).left(8));
    QDir().mkpath(path);
    return path;
}

struct SystemLogCapture::Private {
    mutable std::mutex mutex;
    QStringList lines;
    std::unique_ptr<SystemLogRedirect> redirect;
};

SystemLogCapture::SystemLogCapture() : d(std::make_unique<Private>()) {
    d->redirect = std::make_unique<SystemLogRedirect>([p = d.get()](const QString& line) {
        const std::lock_guard lock(p->mutex);
        p->lines.append(line);
    });
}

SystemLogCapture::~SystemLogCapture() {
    d->redirect.reset(); // stop capturing before the lines go
}

QStringList SystemLogCapture::lines() const {
    const std::lock_guard lock(d->mutex);
    return d->lines;
}

UnwritableFolder::UnwritableFolder() : m_path(makeTestFolder(QStringLiteral("readonly"))) {
    QFile::setPermissions(m_path, QFile::ReadOwner | QFile::ExeOwner);
    if (::access(QFile::encodeName(m_path).constData(), W_OK) == 0) {
        m_refusal.emplace([refused = m_path](const QString& folder) {
            return !folder.isEmpty() && folder != refused && QFileInfo(folder).isDir();
        });
    }
}
