#include "shell/FileManagerWorkspace.h"

#include "platform/NativePath.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QUrl>

#include <utility>

namespace {

const QString kFileManagerPath = QStringLiteral("/org/freedesktop/FileManager1");
const QString kFileManagerInterface = QStringLiteral("org.freedesktop.FileManager1");
// Long enough for a file manager that is started by the call itself.
constexpr int kReplyTimeoutMs = 10000;

} // namespace

const QString FileManagerWorkspace::kFileManagerService =
    QStringLiteral("org.freedesktop.FileManager1");

FileManagerWorkspace::FileManagerWorkspace(Workspace* fallback, QString service)
    : m_fallback(fallback != nullptr ? fallback : &m_desktop), m_service(std::move(service)) {}

QStringList FileManagerWorkspace::fileUrls(const QStringList& paths) {
    QStringList urls;
    for (const QString& path : paths) {
        urls.append(QString::fromLatin1(NativePath::systemUrl(path).toEncoded()));
    }
    return urls;
}

bool FileManagerWorkspace::callFileManager(const QString& method, const QStringList& paths) const {
    if (paths.isEmpty()) {
        return false;
    }
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        return false;
    }
    QDBusMessage call =
        QDBusMessage::createMethodCall(m_service, kFileManagerPath, kFileManagerInterface, method);
    // The second argument is the startup notification id; we have none.
    call << fileUrls(paths) << QString();
    const QDBusMessage reply = bus.call(call, QDBus::Block, kReplyTimeoutMs);
    return reply.type() == QDBusMessage::ReplyMessage;
}

bool FileManagerWorkspace::openFile(const QString& path) {
    return m_fallback->openFile(path);
}

bool FileManagerWorkspace::openURL(const QString& url) {
    return m_fallback->openURL(url);
}

bool FileManagerWorkspace::revealFiles(const QStringList& paths) {
    return callFileManager(QStringLiteral("ShowItems"), paths) || m_fallback->revealFiles(paths);
}

bool FileManagerWorkspace::showInformation(const QStringList& paths) {
    return callFileManager(QStringLiteral("ShowItemProperties"), paths) ||
           m_fallback->showInformation(paths);
}
