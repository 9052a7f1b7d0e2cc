#include "http/RequestQueue.h"

#include <QFile>
#include <QFileInfo>
#include <QHttpMultiPart>
#include <QMimeDatabase>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>

#include <algorithm>

namespace {

const QString kFallbackContentType = QStringLiteral("application/octet-stream");

// By the extension alone: name patterns such as "README*" or "Makefile" are
// not extensions.
QString contentTypeFor(const QString& path) {
    const QString suffix = QFileInfo(path).suffix();
    if (suffix.isEmpty()) {
        return kFallbackContentType;
    }
    const QMimeType type = QMimeDatabase().mimeTypeForFile(QStringLiteral("file.") + suffix,
                                                           QMimeDatabase::MatchExtension);
    return type.isValid() && !type.isDefault() ? type.name() : kFallbackContentType;
}

QByteArray quoted(const QString& text) {
    QByteArray bytes = text.toUtf8();
    bytes.replace('\\', "\\\\").replace('"', "\\\"");
    return '"' + bytes + '"';
}

// A response arrived when there is a status line and the transport did not
// break: HTTP error statuses are answers too.
bool responseArrived(const QNetworkReply& reply) {
    if (!reply.attribute(QNetworkRequest::HttpStatusCodeAttribute).isValid()) {
        return false;
    }
    const QNetworkReply::NetworkError error = reply.error();
    return error == QNetworkReply::NoError ||
           (error >= QNetworkReply::ContentAccessDenied && error != QNetworkReply::ProtocolFailure);
}

} // namespace

FormRequest::FormRequest(QUrl url) : m_url(std::move(url)) {}

void FormRequest::addRequestHeader(const QByteArray& name, const QByteArray& value) {
    m_headers.append({name, value});
}

void FormRequest::setFile(const QString& path, const QString& formName) {
    m_filePath = path;
    m_fileFormName = formName;
}

struct RequestQueue::Running {
    std::shared_ptr<FormRequest> request;
    QPointer<QNetworkReply> reply;
    qint64 sent = 0;
    qint64 total = 0;
};

RequestQueue::RequestQueue(QObject* parent)
    : QObject(parent), m_network(std::make_unique<QNetworkAccessManager>()) {}

RequestQueue::~RequestQueue() {
    reset();
}

void RequestQueue::reset() {
    const auto running = std::exchange(m_running, {});
    for (const std::shared_ptr<Running>& entry : running) {
        if (QNetworkReply* reply = entry->reply) {
            // Disconnected first: abort() finishes the reply at once, and a
            // cancelled request must not be told as failed.
            disconnect(reply, nullptr, this, nullptr);
            reply->abort();
            reply->deleteLater();
        }
    }
    m_waiting.clear();
    m_finished = nullptr;
    m_failed = nullptr;
    m_accurateProgress = false;
    m_timeoutSeconds = 0;
    m_bytesSent = 0;
    m_totalBytes = 0;
}

void RequestQueue::addOperation(std::shared_ptr<FormRequest> request) {
    if (request) {
        m_waiting.append(std::move(request));
    }
}

void RequestQueue::go() {
    const auto waiting = std::exchange(m_waiting, {});
    for (const std::shared_ptr<FormRequest>& request : waiting) {
        start(request);
    }
}

int RequestQueue::requestsCount() const {
    return static_cast<int>(m_running.size());
}

void RequestQueue::start(const std::shared_ptr<FormRequest>& request) {
    auto entry = std::make_shared<Running>();
    entry->request = request;
    m_running.append(entry);

    QNetworkRequest networkRequest(request->url());
    for (const auto& [name, value] : request->requestHeaders()) {
        networkRequest.setRawHeader(name, value);
    }
    if (m_timeoutSeconds > 0) {
        networkRequest.setTransferTimeout(m_timeoutSeconds * 1000);
    }

    QNetworkReply* reply = nullptr;
    if (request->filePath().isEmpty()) {
        reply = m_network->get(networkRequest);
    } else {
        QFile file(request->filePath());
        if (!file.open(QIODevice::ReadOnly)) {
            failLater(entry, QStringLiteral("Cannot read “%1”: %2")
                                 .arg(request->filePath(), file.errorString()));
            return;
        }
        auto multiPart = std::make_unique<QHttpMultiPart>(QHttpMultiPart::FormDataType);
        QHttpPart part;
        part.setRawHeader("Content-Disposition",
                          "form-data; name=" + quoted(request->fileFormName()) +
                              "; filename=" + quoted(QFileInfo(request->filePath()).fileName()));
        part.setRawHeader("Content-Type", contentTypeFor(request->filePath()).toUtf8());
        part.setBody(file.readAll());
        multiPart->append(part);
        reply = m_network->post(networkRequest, multiPart.get());
        multiPart.release()->setParent(reply); // the body lives as long as its reply
    }
    entry->reply = reply;
    connect(reply, &QNetworkReply::finished, this, [this, reply] { ended(reply); });
    connect(reply, &QNetworkReply::uploadProgress, this,
            [this, reply](qint64 sent, qint64 total) { progressed(reply, sent, total); });
}

// The failure is told from the event loop, as a network failure would be, so
// that no callback runs inside go(); a reset before then cancels it.
void RequestQueue::failLater(const std::shared_ptr<Running>& entry, const QString& error) {
    entry->request->m_error = error;
    QMetaObject::invokeMethod(
        this,
        [this, weak = std::weak_ptr<Running>(entry)] {
            if (const std::shared_ptr<Running> pending = weak.lock()) {
                finish(pending, false);
            }
        },
        Qt::QueuedConnection);
}

void RequestQueue::progressed(QNetworkReply* reply, qint64 sent, qint64 total) {
    if (!m_accurateProgress) {
        return;
    }
    const auto entry = find(reply);
    if (!entry) {
        return;
    }
    entry->sent = std::max<qint64>(sent, 0);
    entry->total = std::max<qint64>(total, 0);
    recountBytes();
}

void RequestQueue::recountBytes() {
    m_bytesSent = 0;
    m_totalBytes = 0;
    for (const std::shared_ptr<Running>& entry : std::as_const(m_running)) {
        m_bytesSent += entry->sent;
        m_totalBytes += entry->total;
    }
}

std::shared_ptr<RequestQueue::Running> RequestQueue::find(const QNetworkReply* reply) const {
    const auto it = std::find_if(m_running.begin(), m_running.end(),
                                 [reply](const auto& entry) { return entry->reply == reply; });
    return it == m_running.end() ? nullptr : *it;
}

void RequestQueue::ended(QNetworkReply* reply) {
    reply->deleteLater();
    const auto entry = find(reply);
    if (!entry) {
        return;
    }
    FormRequest& request = *entry->request;
    const bool answered = responseArrived(*reply);
    request.m_statusCode = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    request.m_responseBody = reply->isOpen() ? reply->readAll() : QByteArray();
    if (!answered) {
        request.m_error = reply->errorString();
    }
    finish(entry, answered);
}

void RequestQueue::finish(const std::shared_ptr<Running>& entry, bool answered) {
    if (!m_running.removeOne(entry)) {
        return;
    }
    recountBytes();
    // A copy: the callback may reset this queue, which clears the stored one,
    // or even destroy the queue's owner.
    const Callback callback = answered ? m_finished : m_failed;
    const QPointer<RequestQueue> alive(this);
    if (callback) {
        callback(*entry->request);
    }
    if (alive && m_running.isEmpty() && m_waiting.isEmpty()) {
        Q_EMIT queueDidFinish();
    }
}
