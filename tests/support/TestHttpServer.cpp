#include "support/TestHttpServer.h"

#include <QHostAddress>

namespace {

std::map<QByteArray, QByteArray> parseHeaders(const QList<QByteArray>& lines) {
    std::map<QByteArray, QByteArray> headers;
    for (const QByteArray& line : lines) {
        const qsizetype colon = line.indexOf(':');
        if (colon > 0) {
            headers[line.left(colon).trimmed().toLower()] = line.mid(colon + 1).trimmed();
        }
    }
    return headers;
}

QByteArray reasonFor(int status) {
    return status == 200 ? QByteArray("OK") : QByteArray("Status");
}

} // namespace

QByteArray TestHttpServer::Received::header(const QByteArray& name) const {
    const auto it = headers.find(name.toLower());
    return it == headers.end() ? QByteArray() : it->second;
}

TestHttpServer::TestHttpServer() {
    m_server.listen(QHostAddress::LocalHost);
    connect(&m_server, &QTcpServer::newConnection, this, &TestHttpServer::accept);
}

QString TestHttpServer::address() const {
    return QStringLiteral("http://127.0.0.1:%1").arg(m_server.serverPort());
}

void TestHttpServer::answerWith(int status, const QByteArray& body) {
    m_mode = Mode::Answer;
    m_status = status;
    m_body = body;
}

void TestHttpServer::answerHeld(int status, const QByteArray& body) {
    for (const QPointer<QTcpSocket>& socket : std::exchange(m_held, {})) {
        if (socket && socket->state() == QAbstractSocket::ConnectedState) {
            answer(*socket, status, body);
        }
    }
}

void TestHttpServer::accept() {
    while (QTcpSocket* socket = m_server.nextPendingConnection()) {
        m_connections[socket].socket = socket;
        connect(socket, &QTcpSocket::readyRead, this,
                [this, socket] { readFrom(m_connections[socket]); });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
            ++m_disconnected;
            Q_EMIT clientDisconnected();
            socket->deleteLater();
        });
        connect(socket, &QObject::destroyed, this, [this, socket] { m_connections.erase(socket); });
    }
}

void TestHttpServer::readFrom(Connection& connection) {
    connection.buffer += connection.socket->readAll();
    const qsizetype headerEnd = connection.buffer.indexOf("\r\n\r\n");
    if (connection.complete || headerEnd < 0) {
        return;
    }
    QList<QByteArray> lines = connection.buffer.left(headerEnd).split('\n');
    for (QByteArray& line : lines) {
        line = line.trimmed();
    }
    Received request;
    const QList<QByteArray> requestLine = lines.takeFirst().split(' ');
    request.method = requestLine.value(0);
    request.target = requestLine.value(1);
    request.headers = parseHeaders(lines);
    const qsizetype length = request.header("content-length").toLongLong();
    if (connection.buffer.size() < headerEnd + 4 + length) {
        return;
    }
    connection.complete = true;
    request.body = connection.buffer.mid(headerEnd + 4, length);
    m_received.append(request);

    QTcpSocket& socket = *connection.socket;
    switch (m_mode) {
    case Mode::Answer:
        answer(socket, m_status, m_body);
        break;
    case Mode::Close:
        socket.disconnectFromHost();
        break;
    case Mode::Hold:
        m_held.append(&socket);
        break;
    }
    Q_EMIT requestReceived();
}

void TestHttpServer::answer(QTcpSocket& socket, int status, const QByteArray& body) {
    socket.write("HTTP/1.1 " + QByteArray::number(status) + ' ' + reasonFor(status) +
                 "\r\nContent-Type: text/html\r\nContent-Length: " +
                 QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n" + body);
    socket.disconnectFromHost();
}

QList<FormPart> parseMultipart(const QByteArray& contentType, const QByteArray& body) {
    const qsizetype at = contentType.indexOf("boundary=");
    if (!contentType.startsWith("multipart/form-data") || at < 0) {
        return {};
    }
    QByteArray boundary = contentType.mid(at + 9).trimmed();
    if (boundary.startsWith('"') && boundary.endsWith('"')) {
        boundary = boundary.mid(1, boundary.size() - 2);
    }
    const QByteArray delimiter = "--" + boundary;
    const QByteArray opening = delimiter + "\r\n";
    const QByteArray closing = "\r\n" + delimiter + "--";
    const QByteArray separator = "\r\n" + delimiter;
    if (!body.startsWith(opening) || !body.trimmed().endsWith(closing)) {
        return {};
    }
    QList<FormPart> parts;
    qsizetype from = delimiter.size() + 2;
    while (true) {
        const qsizetype next = body.indexOf(separator, from);
        if (next < 0) {
            return {};
        }
        const QByteArray raw = body.mid(from, next - from);
        const qsizetype split = raw.indexOf("\r\n\r\n");
        if (split < 0) {
            return {};
        }
        FormPart part;
        part.headers = parseHeaders(raw.left(split).split('\n'));
        part.content = raw.mid(split + 4);
        parts.append(part);
        from = next + 2 + delimiter.size();
        if (body.mid(from, 2) == "--") {
            return parts;
        }
        from += 2; // the line break after the delimiter
    }
}
