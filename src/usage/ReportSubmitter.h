#pragma once

#include "http/RequestQueue.h"

#include <QDateTime>
#include <QObject>
#include <QString>

class UsageStore;

// Uploads "Usages.Log" to the maker's site and records an accepted report in
// the store. One queue, reset by every submit: at most one upload runs.
//
// Threads: main thread only; the store must outlive this.
class ReportSubmitter : public QObject {
    Q_OBJECT
public:
    static constexpr const char* kUploadId = "qtd58w710295";
    static constexpr const char* kEndpointPath = "/error/usagesubmit.php";

    explicit ReportSubmitter(UsageStore& store, QObject* parent = nullptr);

    // Queues one upload of the store's file; false when there is no file or
    // the request could not be built ("Error in submitReport : %@").
    bool submitReport();
    // The queue's callbacks, public so that a host can be tested without a
    // network.
    void postFinished(FormRequest& request);
    void postFailed(FormRequest& request);

    RequestQueue& networkQueue() { return m_queue; }

    // The server's answer counts only as exactly "OK", after every "<br>"
    // became a line feed and every "&nbsp;" a space.
    static bool isAccepted(const QString& responseText);
    // "<site>/error/usagesubmit.php?f=<seconds since 1970, six decimals>".
    static QString submitAddress(const QString& siteAddress, const QDateTime& now);

Q_SIGNALS:
    // The upload ended: accepted by the server, or not (refused or failed).
    void reportEnded(bool accepted);

private:
    // Builds the upload request and starts it; false when there is nothing to send.
    bool queueReport();
    UsageStore& m_store;
    RequestQueue m_queue;
};
