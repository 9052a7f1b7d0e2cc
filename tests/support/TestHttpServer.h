#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTcpServer>
#include <QTcpSocket>

#include <map>

// An HTTP/1.1 server on 127.0.0.1 for one test: it reads each request in full
// (headers and Content-Length body), records it, then answers, closes the
// connection without an answer, or holds the request until told.
class TestHttpServer : public QObject {
    Q_OBJECT
public:
    struct Received {
        QByteArray method;
        QByteArray target;                        // path and query
        std::map<QByteArray, QByteArray> headers; // names in lower case
        QByteArray body;
        QByteArray header(const QByteArray& name) const;
    };

    enum class Mode { Answer, Close, Hold };

    TestHttpServer();
    // "http://127.0.0.1:<port>"
    QString address() const;

    // How the next requests are met.
    void answerWith(int status, const QByteArray& body);
    void closeWithoutAnswer() { m_mode = Mode::Close; }
    void hold() { m_mode = Mode::Hold; }
    // Answers every held request that is still connected.
    void answerHeld(int status, const QByteArray& body);

    const QList<Received>& received() const { return m_received; }
    int disconnectedClients() const { return m_disconnected; }

Q_SIGNALS:
    void requestReceived();
    void clientDisconnected();

private:
    struct Connection {
        QPointer<QTcpSocket> socket;
        QByteArray buffer;
        bool complete = false;
    };
    void accept();
    void readFrom(Connection& connection);
    static void answer(QTcpSocket& socket, int status, const QByteArray& body);

    std::map<QTcpSocket*, Connection> m_connections;
    QList<QPointer<QTcpSocket>> m_held;
    QList<Received> m_received;
    Mode m_mode = Mode::Answer;
    int m_status = 200;
    QByteArray m_body = "OK";
    int m_disconnected = 0;
    // Last, so it goes first: its sockets still report to the members above.
    QTcpServer m_server;
};

// One part of a multipart/form-data body.
struct FormPart {
    std::map<QByteArray, QByteArray> headers; // names in lower case
    QByteArray content;
};

// The parts of `body` under the boundary named in `contentType`; empty when
// the body does not have the multipart form.
QList<FormPart> parseMultipart(const QByteArray& contentType, const QByteArray& body);
