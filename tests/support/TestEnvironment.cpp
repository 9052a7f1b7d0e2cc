#include "support/TestEnvironment.h"

#include "platform/SystemLog.h"

#include <QDir>
#include <QUuid>

#include <memory>
#include <mutex>

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
