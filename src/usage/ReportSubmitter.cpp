#include "usage/ReportSubmitter.h"

#include "platform/Constants.h"
#include "platform/SystemLog.h"
#include "usage/UsageStore.h"

#include <QFileInfo>
#include <QUrl>

#include <memory>

ReportSubmitter::ReportSubmitter(UsageStore& store, QObject* parent)
    : QObject(parent), m_store(store) {}

bool ReportSubmitter::submitReport() {
    bool queued = false;
    logFailures(QStringLiteral("submitReport"), [&] { queued = queueReport(); });
    return queued;
}

bool ReportSubmitter::queueReport() {
    const QString path = m_store.filePath();
    if (!QFileInfo(path).isFile()) {
        return false;
    }
    m_queue.reset();
    m_queue.setShowAccurateProgress(true);
    m_queue.setRequestDidFail([this](FormRequest& request) { postFailed(request); });
    m_queue.setRequestDidFinish([this](FormRequest& request) { postFinished(request); });

    const QString address =
        submitAddress(StringUtilities::siteAddress(), QDateTime::currentDateTimeUtc());
    const QUrl url(address, QUrl::StrictMode);
    if (!url.isValid() || url.isRelative()) {
        systemLogError(
            QStringLiteral("submitReport"),
            QStringLiteral("“%1” is not an address: %2").arg(address, url.errorString()));
        return false;
    }
    auto request = std::make_shared<FormRequest>(url);
    request->addRequestHeader("UPLOAD_ID", kUploadId);
    request->setFile(path, QStringLiteral("file"));
    m_queue.addOperation(std::move(request));
    m_queue.go();
    return true;
}

void ReportSubmitter::postFinished(FormRequest& request) {
    if (!isAccepted(request.responseString())) {
        Q_EMIT reportEnded(false);
        return;
    }
    m_store.setLastReportSentOn(QDateTime::currentDateTime());
    m_store.save();
    Q_EMIT reportEnded(true);
}

void ReportSubmitter::postFailed(FormRequest& /*request*/) {
    Q_EMIT reportEnded(false);
}

bool ReportSubmitter::isAccepted(const QString& responseText) {
    QString text = responseText;
    text.replace(QStringLiteral("<br>"), QStringLiteral("\n"));
    text.replace(QStringLiteral("&nbsp;"), QStringLiteral(" "));
    return text == QLatin1String("OK");
}

QString ReportSubmitter::submitAddress(const QString& siteAddress, const QDateTime& now) {
    const double seconds = static_cast<double>(now.toMSecsSinceEpoch()) / 1000.0;
    return siteAddress + QLatin1String(kEndpointPath) + QStringLiteral("?f=") +
           QString::number(seconds, 'f', 6);
}
