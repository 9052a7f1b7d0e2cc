#include "shell/UsageAndReview.h"

#include "platform/Constants.h"
#include "shell/PictavoAppDelegate.h"
#include "shell/ReportingWorkspace.h"
#include "shell/UsagesReportingWindowController.h"

#include <QMainWindow>

namespace {

constexpr qint64 kReviewFileCountLimit = 500;

} // namespace

UsageAndReview::UsageAndReview(PictavoAppDelegate& app) : m_app(app), m_ctx(app.context()) {}

void UsageAndReview::setupUsagesReport() {
    if (m_ctx.dialogs == nullptr || m_ctx.desktop == nullptr) {
        return;
    }
    m_usagesReport = new UsagesReportingWindowController( // a child of this
        m_ctx.window, *m_ctx.dialogs, *m_ctx.desktop, m_ctx.edition, this);
    UsageStore& store = m_usagesReport->store();
    store.setReviewFileCountLimit(kReviewFileCountLimit);
    store.setIsReviewEnabled(true);
    store.setReviewURL(StringUtilities::siteAddress() + QStringLiteral("/review.php?pid=2015"));
    if (store.features().empty()) {
        store.features().push_back(
            FeatureUsages::initWithName(QStringLiteral("Output Files"), 1, 0));
        (void)store.save();
    }
}

void UsageAndReview::validateReview() {
    if (m_usagesReport != nullptr) {
        m_usagesReport->validate(false);
    }
}

void UsageAndReview::recordProcessedFiles(int count) {
    if (m_usagesReport != nullptr) {
        m_usagesReport->updateUsages(QStringLiteral("Output Files"), count);
    }
}
