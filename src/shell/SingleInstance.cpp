#include "shell/SingleInstance.h"

#include "shell/FileSystemHelper.h"
#include "shell/PictavoAppDelegate.h"

#include <QCryptographicHash>
#include <QLocalSocket>
#include <QUrl>

#include <unistd.h>

namespace {

// Paths are separated by NUL, which no path can hold.
constexpr char kSeparator = '\0';

} // namespace

SingleInstance::SingleInstance(QString name, QObject* parent)
    : QObject(parent), m_name(std::move(name)) {
    connect(&m_server, &QLocalServer::newConnection, this, &SingleInstance::accept);
}

QString SingleInstance::defaultName(const QString& folder) {
    QString overridden = qEnvironmentVariable("PICTAVO_INSTANCE_NAME");
    if (!overridden.isEmpty()) {
        return overridden;
    }
    const QByteArray key =
        QCryptographicHash::hash(folder.toUtf8(), QCryptographicHash::Sha1).toHex().left(12);
    return QStringLiteral("pictavo-%1-%2").arg(::getuid()).arg(QString::fromLatin1(key));
}

bool SingleInstance::handOff(const QStringList& paths, int timeoutMs) {
    QLocalSocket socket;
    socket.connectToServer(m_name);
    if (!socket.waitForConnected(timeoutMs)) {
        return false;
    }
    QByteArray message;
    for (const QString& path : paths) {
        message += path.toUtf8();
        message += kSeparator;
    }
    socket.write(message);
    if (!socket.waitForBytesWritten(timeoutMs) && socket.bytesToWrite() > 0) {
        return false;
    }
    socket.disconnectFromServer();
    if (socket.state() != QLocalSocket::UnconnectedState) {
        socket.waitForDisconnected(timeoutMs);
    }
    return true;
}

bool SingleInstance::listen() {
    m_server.setSocketOptions(QLocalServer::UserAccessOption);
    if (m_server.listen(m_name)) {
        return true;
    }
    // Left behind by an instance that did not end cleanly: nobody answered
    // handOff(), so the name is free to take.
    QLocalServer::removeServer(m_name);
    return m_server.listen(m_name);
}

void SingleInstance::accept() {
    while (QLocalSocket* socket = m_server.nextPendingConnection()) {
        socket->setParent(this);
        auto buffer = std::make_shared<QByteArray>();
        connect(socket, &QLocalSocket::readyRead, socket,
                [socket, buffer] { *buffer += socket->readAll(); });
        connect(socket, &QLocalSocket::disconnected, this, [this, socket, buffer] {
            *buffer += socket->readAll();
            QStringList paths;
            for (const QByteArray& part : buffer->split(kSeparator)) {
                if (!part.isEmpty()) {
                    paths.append(QString::fromUtf8(part));
                }
            }
            socket->deleteLater();
            Q_EMIT received(paths);
        });
    }
}

void connectSingleInstance(SingleInstance& instance, PictavoAppDelegate& controller) {
    QObject::connect(&instance, &SingleInstance::received, &controller,
                     [&controller](const QStringList& paths) {
                         controller.fileSystemHelper().addHandedPaths(paths);
                         controller.openAppAction();
                     });
}
