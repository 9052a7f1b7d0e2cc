#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QPair>
#include <QString>
#include <QUrl>

#include <functional>
#include <memory>

class QNetworkAccessManager;
class QNetworkReply;

// One HTTP request: a POST of a multipart/form-data body when a file part is
// set, otherwise a GET. After it ends, its status and response body.
//
// Threads: main thread only.
class FormRequest {
public:
    explicit FormRequest(QUrl url);

    const QUrl& url() const { return m_url; }
    void addRequestHeader(const QByteArray& name, const QByteArray& value);
    const QList<QPair<QByteArray, QByteArray>>& requestHeaders() const { return m_headers; }
    // The file part: `formName`, the file name from the path's last
    // component, the content type from its extension
    // ("application/octet-stream" when none is known), the bytes as on disk
    // when the request starts.
    void setFile(const QString& path, const QString& formName);
    const QString& filePath() const { return m_filePath; }
    const QString& fileFormName() const { return m_fileFormName; }

    int responseStatusCode() const { return m_statusCode; }
    QString responseString() const { return QString::fromUtf8(m_responseBody); }
    // Why a failed request failed.
    const QString& error() const { return m_error; }

private:
    friend class RequestQueue;
    QUrl m_url;
    QList<QPair<QByteArray, QByteArray>> m_headers;
    QString m_filePath;
    QString m_fileFormName;
    int m_statusCode = 0;
    QByteArray m_responseBody;
    QString m_error;
};

// Requests run in the background on Qt's network stack; their ends are told
// on the main thread. A request is finished when any response arrived,
// whatever its status, and failed on a transport error, time-out or
// cancellation (reset() cancels silently: no callback).
//
// Threads: main thread only.
class RequestQueue : public QObject {
    Q_OBJECT
public:
    using Callback = std::function<void(FormRequest& request)>;

    explicit RequestQueue(QObject* parent = nullptr);
    ~RequestQueue() override;

    // Cancels everything queued or running and clears the settings below.
    void reset();
    void setShowAccurateProgress(bool on) { m_accurateProgress = on; }
    bool showAccurateProgress() const { return m_accurateProgress; }
    void setRequestDidFinish(Callback callback) { m_finished = std::move(callback); }
    void setRequestDidFail(Callback callback) { m_failed = std::move(callback); }
    // Seconds without progress before a request fails; 0 for Qt's default.
    void setTimeoutSeconds(int seconds) { m_timeoutSeconds = seconds; }

    void addOperation(std::shared_ptr<FormRequest> request);
    // Starts the queued requests.
    void go();
    // Requests started and not yet ended.
    int requestsCount() const;
    // Bytes sent and to send over the running requests (with accurate progress).
    qint64 bytesSent() const { return m_bytesSent; }
    qint64 totalBytesToSend() const { return m_totalBytes; }

Q_SIGNALS:
    // After the callback of the last running request.
    void queueDidFinish();

private:
    struct Running;
    void start(const std::shared_ptr<FormRequest>& request);
    void ended(QNetworkReply* reply);
    void failLater(const std::shared_ptr<Running>& entry, const QString& error);
    void finish(const std::shared_ptr<Running>& entry, bool answered);
    void progressed(QNetworkReply* reply, qint64 sent, qint64 total);
    void recountBytes();
    std::shared_ptr<Running> find(const QNetworkReply* reply) const;

    std::unique_ptr<QNetworkAccessManager> m_network;
    QList<std::shared_ptr<FormRequest>> m_waiting;
    QList<std::shared_ptr<Running>> m_running;
    bool m_accurateProgress = false;
    int m_timeoutSeconds = 0;
    qint64 m_bytesSent = 0;
    qint64 m_totalBytes = 0;
    Callback m_finished;
    Callback m_failed;
};
