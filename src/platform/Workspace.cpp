#include "platform/Workspace.h"

#include "platform/NativePath.h"

#include <QDesktopServices>
#include <QUrl>

bool DesktopWorkspace::openFile(const QString& path) {
    return QDesktopServices::openUrl(NativePath::systemUrl(path));
}

bool DesktopWorkspace::revealFiles(const QStringList& paths) {
    // Without a file manager that can select items, opening the folders of the
    // files is the closest thing.
    bool ok = !paths.isEmpty();
    QStringList opened;
    for (const QString& path : paths) {
        const QString file = NativePath::absolutePath(path);
        const QString folder = file.left(qMax(1, file.lastIndexOf(QLatin1Char('/'))));
        if (!opened.contains(folder)) {
            opened.append(folder);
            ok = QDesktopServices::openUrl(NativePath::systemUrl(folder)) && ok;
        }
    }
    return ok;
}

bool DesktopWorkspace::showInformation(const QStringList& paths) {
    return revealFiles(paths);
}

bool DesktopWorkspace::openURL(const QString& url) {
    return QDesktopServices::openUrl(QUrl(url));
}

bool RecordingWorkspace::record(Request request) {
    const std::lock_guard lock(m_mutex);
    m_requests.append(std::move(request));
    return !m_refusing;
}

void RecordingWorkspace::setRefusing(bool refusing) {
    const std::lock_guard lock(m_mutex);
    m_refusing = refusing;
}

bool RecordingWorkspace::openURL(const QString& url) {
    return record({QStringLiteral("url"), {url}});
}

bool RecordingWorkspace::openFile(const QString& path) {
    return record({QStringLiteral("open"), {path}});
}

bool RecordingWorkspace::revealFiles(const QStringList& paths) {
    return record({QStringLiteral("reveal"), paths});
}

bool RecordingWorkspace::showInformation(const QStringList& paths) {
    return record({QStringLiteral("info"), paths});
}

QList<RecordingWorkspace::Request> RecordingWorkspace::requests() const {
    const std::lock_guard lock(m_mutex);
    return m_requests;
}
