// The job's progress sheet.
#include "shell/ProgressSheet.h"

#include "engine/Process.h"
#include "engine/ProgressEstimate.h"
#include "platform/DateFormat.h"
#include "platform/NativePath.h"
#include "shell/ConvertCommand.h"
#include "shell/PictavoAppDelegate.h"
#include "ui_ProgressPanel.h"
#include "widgets/ElidedLabel.h"
#include "widgets/SheetDialog.h"

#include <QDateTime>
#include <QDialog>
#include <QMainWindow>
#include <QTimer>
#include <QToolBar>

#include <utility>

namespace {

constexpr int kClockTickMs = 1000;
constexpr int kProgressRefreshMs = 50;

void showPath(ElidedLabel* label, const QString& path) {
    label->setTextAndDetail(NativePath::displayName(path), NativePath::displayPath(path));
}

} // namespace

ProgressSheet::ProgressSheet(PictavoAppDelegate& app) : m_app(app), m_ctx(app.context()) {}

ProgressSheet::~ProgressSheet() = default;

void ProgressSheet::setupProgressSheet() {
    // While a job runs only Cancel stops it; once it has ended, Esc and the
    // sheet's close request are the Close button.
    m_progressPanel = SheetDialog::onWindow(m_ctx.window, [this] {
        if (m_progressUi->closeProcessBtn->isEnabled()) {
            m_app.convert().closeProcessAction();
        }
    });
    m_progressPanel->setWindowModality(Qt::NonModal);
    m_progressUi = std::make_unique<Ui::ProgressPanel>();
    m_progressUi->setupUi(m_progressPanel);
    m_progressClock = new QTimer(m_progressPanel); // owned by the panel
    m_progressClock->setInterval(kClockTickMs);
    connect(m_progressClock, &QTimer::timeout, this, &ProgressSheet::refreshProgressTime);
    connect(m_progressUi->cancelProcessBtn, &QPushButton::clicked, this,
            &ProgressSheet::cancelProcessAction);
    connect(m_progressUi->viewLogBtn, &QPushButton::clicked, this, &ProgressSheet::viewLogAction);
    connect(m_progressUi->closeProcessBtn, &QPushButton::clicked, this,
            [this] { m_app.convert().closeProcessAction(); });
}

void ProgressSheet::showProgressSheet() {
    setWindowContentEnabled(false);
    m_progressPanel->show();
    m_progressPanel->raise();
    m_progressPanel->activateWindow();
}

void ProgressSheet::hideProgressSheet() {
    m_progressClock->stop();
    m_progressPanel->hide();
    setWindowContentEnabled(true);
}

void ProgressSheet::setWindowContentEnabled(bool enabled) {
    m_ctx.window->centralWidget()->setEnabled(enabled);
    for (QToolBar* bar : m_ctx.window->findChildren<QToolBar*>(Qt::FindDirectChildrenOnly)) {
        bar->setEnabled(enabled);
    }
}

namespace {

// A span of whole seconds in the words of a run's time taken, without their
// trailing space; a running clock reads "0 sec(s)" where those have none.
QString secondsInWords(qint64 seconds) {
    const QDateTime start = QDateTime::fromSecsSinceEpoch(0, Qt::UTC);
    const QString words = timeTakenString(start, start.addSecs(seconds), true).trimmed();
    return words.isEmpty() ? QStringLiteral("0 sec(s)") : words;
}

} // namespace

QString ProgressSheet::progressTimeText(qint64 elapsedMs, int pagesDone, int totalPages,
                                        bool inWords) {
    const auto span = [inWords](qint64 seconds) {
        return inWords ? secondsInWords(seconds) : clockText(seconds);
    };
    QString text = span(elapsedMs / 1000);
    if (const auto leftMs = estimatedMsLeft(pagesDone, totalPages, elapsedMs)) {
        text += QStringLiteral("  (about %1 left)").arg(span((*leftMs + 999) / 1000));
    }
    return text;
}

void ProgressSheet::showProgressTime(qint64 elapsedMs, int pagesDone) {
    m_progressUi->elapsedLabel->setText(progressTimeText(elapsedMs, pagesDone,
                                                         m_progressUi->progressBar->maximum(),
                                                         m_ctx.edition.elapsedTimeInWords));
}

void ProgressSheet::refreshProgressTime() {
    if (const Process* job = m_app.convert().process()) {
        showProgressTime(m_runClock.elapsed(), job->totalPagesProcessed());
    }
}

void ProgressSheet::watchProgress(Process& job, int totalPages) {
    Ui::ProgressPanel& ui = *m_progressUi;
    ui.progressBar->setRange(0, qMax(1, totalPages));
    ui.progressBar->setValue(0);
    ui.sourceFileLabel->clear();
    ui.outputFileLabel->clear();
    ui.messageLabel->clear();
    m_runClock.start();
    showProgressTime(0, 0);
    m_progressClock->start();
    const int total = job.totalFileSelected();
    ui.filesCountLabel->setText(QStringLiteral("0 of %1").arg(total));
    ui.cancelProcessBtn->setEnabled(true);
    ui.closeProcessBtn->setEnabled(false);
    ui.viewLogBtn->setEnabled(false);
    // The job's signals come from its worker; these connections queue them.
    // A run of small files reports hundreds of pages a second: the sheet
    // shows the latest a few times a second rather than drawing each.
    m_pendingProgress = {};
    connect(&job, &Process::sourcePathInProcessChanged, m_progressPanel,
            [this](const QString& path) { noteProgress([&](auto& p) { p.sourcePath = path; }); });
    connect(&job, &Process::outputPathInProcessChanged, m_progressPanel,
            [this](const QString& path) { noteProgress([&](auto& p) { p.outputPath = path; }); });
    connect(&job, &Process::totalPagesProcessedChanged, m_progressPanel,
            [this](int pages) { noteProgress([&](auto& p) { p.pages = pages; }); });
    connect(&job, &Process::totalFileProcessedChanged, m_progressPanel, [this, total](int done) {
        noteProgress(
            [&](auto& p) { p.filesText = QStringLiteral("%1 of %2").arg(done).arg(total); });
    });
    connect(&job, &Process::finished, m_progressPanel, [this, &job] {
        showProgress();
        showOutcome(job);
        Q_EMIT m_app.conversionFinished();
    });
}

void ProgressSheet::showOutcome(Process& job) {
    Ui::ProgressPanel& ui = *m_progressUi;
    m_progressClock->stop();
    ui.elapsedLabel->setText(job.timeTaken());
    QString message = job.message();
    if (job.log().logFilePath().isEmpty()) {
        message += QStringLiteral("\nThe log could not be written: ") + job.log().saveError();
    }
    ui.messageLabel->setText(message);
    // A cancelled run shows how far it got.
    ui.progressBar->setValue(job.wasCancelled() ? job.totalPagesProcessed()
                                                : ui.progressBar->maximum());
    ui.cancelProcessBtn->setEnabled(false);
    ui.closeProcessBtn->setEnabled(true);
    ui.viewLogBtn->setEnabled(!job.log().logFilePath().isEmpty());
    ui.closeProcessBtn->setFocus();
}

void ProgressSheet::noteProgress(const std::function<void(PendingProgress&)>& change) {
    change(m_pendingProgress);
    if (!std::exchange(m_progressRefreshQueued, true)) {
        QTimer::singleShot(kProgressRefreshMs, m_progressPanel, [this] { showProgress(); });
    }
}

void ProgressSheet::showProgress() {
    m_progressRefreshQueued = false;
    PendingProgress shown = std::exchange(m_pendingProgress, {});
    Ui::ProgressPanel& ui = *m_progressUi;
    if (shown.sourcePath) {
        showPath(ui.sourceFileLabel, *shown.sourcePath);
    }
    if (shown.outputPath) {
        showPath(ui.outputFileLabel, *shown.outputPath);
    }
    if (shown.pages) {
        ui.progressBar->setValue(*shown.pages);
    }
    if (shown.filesText) {
        ui.filesCountLabel->setText(*shown.filesText);
    }
}

void ProgressSheet::cancelProcessAction() {
    m_app.convert().stopJob();
}

void ProgressSheet::viewLogAction() {
    if (Process* job = m_app.convert().process()) {
        job->viewLog();
    }
}
