// The convert command, the job's worker and its progress sheet.
#include "engine/Process.h"
#include "engine/ProgressEstimate.h"
#include "engine/Settings.h"
#include "filelist/FileList.h"
#include "platform/Constants.h"
#include "platform/DateFormat.h"
#include "platform/FolderAccess.h"
#include "platform/NativePath.h"
#include "platform/SystemLog.h"
#include "platform/ThreadHandOff.h"
#include "shell/AlertPanels.h"
#include "shell/ConvertedSources.h"
#include "shell/Dialogs.h"
#include "shell/MainThreadWorkspace.h"
#include "shell/PictavoAppDelegate.h"
#include "shell/ReportingWorkspace.h"
#include "ui_MainWindow.h"
#include "ui_OutputSettingsPanel.h"
#include "ui_ProgressPanel.h"
#include "widgets/ElidedLabel.h"
#include "widgets/SegmentedControl.h"
#include "widgets/SheetDialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QDateTime>
#include <QDialog>
#include <QFile>
#include <QMainWindow>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>

#include <exception>

namespace {

constexpr int kClockTickMs = 1000;
constexpr int kProgressRefreshMs = 50;

} // namespace

void PictavoAppDelegate::setupConvertCommand() {
    if (m_desktop) {
        m_jobWorkspace = std::make_unique<MainThreadWorkspace>(*m_desktop, *this);
    }
    // While a job runs only Cancel stops it; once it has ended, Esc and the
    // sheet's close request are the Close button.
    m_progressPanel = SheetDialog::onWindow(m_window.get(), [this] {
        if (m_progressUi->closeProcessBtn->isEnabled()) {
            closeProcessAction();
        }
    });
    m_progressPanel->setWindowModality(Qt::NonModal);
    m_progressUi = std::make_unique<Ui::ProgressPanel>();
    m_progressUi->setupUi(m_progressPanel);
    m_progressClock = new QTimer(m_progressPanel); // owned by the panel
    m_progressClock->setInterval(kClockTickMs);
    connect(m_progressClock, &QTimer::timeout, this, &PictavoAppDelegate::refreshProgressTime);
    connect(m_progressUi->cancelProcessBtn, &QPushButton::clicked, this,
            &PictavoAppDelegate::cancelProcessAction);
    connect(m_progressUi->viewLogBtn, &QPushButton::clicked, this,
            &PictavoAppDelegate::viewLogAction);
    connect(m_progressUi->closeProcessBtn, &QPushButton::clicked, this,
            &PictavoAppDelegate::closeProcessAction);

    m_openPanelCustomView = new QWidget(m_window.get()); // owned by the window; lent to the chooser
    m_openPanelCustomView->setObjectName(QStringLiteral("openPanelCustomView"));
    auto* layout = new QVBoxLayout(m_openPanelCustomView);
    m_isSetCurrentAsDefaultOutputFolder =
        new QCheckBox(QStringLiteral("Set as default output folder"));
    m_isSetCurrentAsDefaultOutputFolder->setObjectName(
        QStringLiteral("isSetCurrentAsDefaultOutputFolder"));
    m_isOpenFolderAfterConversion =
        new QCheckBox(QStringLiteral("Open output folder after conversion"));
    m_isOpenFolderAfterConversion->setObjectName(QStringLiteral("isOpenFolderAfterConversion"));
    layout->addWidget(m_isSetCurrentAsDefaultOutputFolder);
    layout->addWidget(m_isOpenFolderAfterConversion);
    // Parked out of sight until a chooser takes it in.
    m_openPanelCustomView->hide();
}

void PictavoAppDelegate::convertAction() {
    // A list still being filled is not what the user checked.
    if (isLoading()) {
        return;
    }
    try {
        searchAction();
        m_panelUi->settingTabView->setCurrentIndex(0);
        OpenPanelRequest panel;
        panel.title = QStringLiteral("Choose Output Folder : ");
        panel.canChooseFiles = false;
        panel.canChooseDirectories = true;
        panel.canCreateDirectories = true;
        panel.directory = m_settings->outputFolderPath();
        panel.accessoryView = m_openPanelCustomView;
        m_outputFolder = m_settings->outputFolderPath();
        if (!m_outputFolder.isEmpty()) {
            if (mayWriteInto(m_outputFolder)) {
                split();
                return;
            }
            panel.message =
                NativePath::exists(m_outputFolder)
                    ? QStringLiteral(
                          "Application does not have write permission for selected output "
                          "folder!\r\n[ %1 ]\r\nPlease select valid output folder.")
                          .arg(NativePath::displayPath(m_outputFolder))
                    : QStringLiteral(
                          "Output folder [ %1 ] is missing!\r\nPlease select valid output folder.")
                          .arg(NativePath::displayPath(m_outputFolder));
        } else {
            panel.message = QStringLiteral("Please select output folder!");
        }
        m_isSetCurrentAsDefaultOutputFolder->setChecked(false);
        m_isOpenFolderAfterConversion->setChecked(m_settings->isOpenFolderAfterConversion());
        m_services.dialogs->beginOpenPanel(m_window.get(), panel,
                                           [this](bool accepted, const QStringList& paths) {
                                               outputFolderChosen(accepted, paths);
                                           });
    } catch (const std::exception& e) {
        systemLogError(QStringLiteral("convertAction"), QString::fromLocal8Bit(e.what()));
    }
}

void PictavoAppDelegate::outputFolderChosen(bool accepted, const QStringList& paths) {
    if (!accepted || paths.isEmpty()) {
        return;
    }
    const QString& chosen = paths.first();
    if (!mayWriteInto(chosen)) {
        informationAlertPanel(
            *m_services.dialogs, m_window.get(), StringUtilities::getAppTitle(edition()),
            QStringLiteral("Application does not have write permission for selected output "
                           "folder!\r\n[ %1 ]\r\nPlease try again or later.")
                .arg(NativePath::displayPath(chosen)));
        return;
    }
    m_outputFolder = chosen;
    if (m_isSetCurrentAsDefaultOutputFolder->isChecked()) {
        m_settings->setOutputFolderPath(chosen);
        m_settings->setIsSetCurrentAsDefaultOutputFolderPath(true);
    }
    if (m_isOpenFolderAfterConversion->isChecked()) {
        m_settings->setIsOpenFolderAfterConversion(true);
    }
    split();
}

void PictavoAppDelegate::split() {
    try {
        const std::shared_ptr<Process> job = makeJob();
        job->setOutputFolder(m_outputFolder);
        launchJob(job);
    } catch (const std::exception& e) {
        systemLogError(QStringLiteral("(Split)"), QString::fromLocal8Bit(e.what()));
    }
}

std::shared_ptr<Process> PictavoAppDelegate::makeJob() {
    joinJob();
    m_jobRecorded = false;
    auto job = std::make_shared<Process>();
    job->setEdition(edition());
    job->setSettings(m_settings.get());
    m_process = job;
    return job;
}

void PictavoAppDelegate::launchJob(const std::shared_ptr<Process>& job) {
    if (m_quitting) {
        return;
    }
    job->setWorkspace(m_jobWorkspace.get());
    job->setDelegate(this);
    std::vector<std::shared_ptr<FileItem>> checked;
    int pages = 0;
    for (const auto& item : m_files->items()) {
        if (item->isSelected()) {
            checked.push_back(item);
            pages += qMax(0, item->pages());
        }
    }
    job->setTotalFileSelected(static_cast<int>(checked.size()));
    watchProgress(*job, pages);

    resetView(false);
    startProcess();
    m_parts.loadingIndicator->stop();
    resetViewForProcess(false);
    m_jobRunning = true;
    Q_EMIT processCreated(job.get());
    // The worker holds the job too, so closing the sheet never frees a
    // job that still runs.
    m_jobThread = std::thread([this, job, checked = std::move(checked)] {
        // The sources' paths are made here: for a long list that takes the
        // main thread a tenth of a second.
        for (const auto& item : checked) {
            const QString path = item->filePath().toLocalFile();
            job->outputFiles().push_back(
                {path, {SourceFile{path, item->pages(), item->hasUnreadablePages()}}});
        }
        job->start();
        postToThreadOf(this, [this] {
            m_jobRunning = false;
            Q_EMIT workerEnded();
        });
    });
    showProgressSheet();
}

void PictavoAppDelegate::showProgressSheet() {
    m_jobSheetUp = true;
    setWindowContentEnabled(false);
    m_progressPanel->show();
    m_progressPanel->raise();
    m_progressPanel->activateWindow();
}

void PictavoAppDelegate::setWindowContentEnabled(bool enabled) {
    m_window->centralWidget()->setEnabled(enabled);
    for (QToolBar* bar : m_window->findChildren<QToolBar*>(Qt::FindDirectChildrenOnly)) {
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

QString PictavoAppDelegate::progressTimeText(qint64 elapsedMs, int pagesDone, int totalPages,
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

void PictavoAppDelegate::showProgressTime(qint64 elapsedMs, int pagesDone) {
    m_progressUi->elapsedLabel->setText(progressTimeText(
        elapsedMs, pagesDone, m_progressUi->progressBar->maximum(), edition().elapsedTimeInWords));
}

void PictavoAppDelegate::refreshProgressTime() {
    if (m_process) {
        showProgressTime(m_runClock.elapsed(), m_process->totalPagesProcessed());
    }
}

namespace {

void showPath(ElidedLabel* label, const QString& path) {
    label->setTextAndDetail(NativePath::displayName(path), NativePath::displayPath(path));
}

} // namespace

void PictavoAppDelegate::watchProgress(Process& job, int totalPages) {
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
    connect(&job, &Process::finished, m_progressPanel, [this, &ui, &job] {
        showProgress();
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
        Q_EMIT conversionFinished();
    });
}

void PictavoAppDelegate::noteProgress(const std::function<void(PendingProgress&)>& change) {
    change(m_pendingProgress);
    if (!std::exchange(m_progressRefreshQueued, true)) {
        QTimer::singleShot(kProgressRefreshMs, m_progressPanel, [this] { showProgress(); });
    }
}

void PictavoAppDelegate::showProgress() {
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

void PictavoAppDelegate::cancelProcessAction() {
    if (m_process) {
        m_process->stop();
    }
}

void PictavoAppDelegate::viewLogAction() {
    if (m_process) {
        m_process->viewLog();
    }
}

void PictavoAppDelegate::closeProcessAction() {
    m_progressClock->stop();
    m_progressPanel->hide();
    m_jobSheetUp = false;
    setWindowContentEnabled(true);
    m_window->activateWindow();
    if (m_settings->isClearProcessedFiles() && m_process) {
        removeConvertedFiles(*m_process);
    }
    resetViewForProcess(true);
    stopProcess();
    resetView(true);
    recordProcessedFiles(m_process ? m_process->totalFileProcessed() : 0);
    if (m_process && m_process->isCompleted()) {
        joinJob();
        // The run's log keeps an entry for each source: a long run's takes a
        // fifth of a second to free, which a thread of its own does instead.
        m_jobThread = std::thread([job = std::exchange(m_process, nullptr)] {});
    }
    m_process.reset();
    addPendingHandedPaths();
}

void PictavoAppDelegate::removeConvertedFiles(const Process& job) {
    // Only what was written in full: a file the run failed on, skipped or
    // never reached stays for the next try.
    const QSet<QString> done = pathsConvertedInFull(job);
    std::vector<int> rows;
    for (int row = 0; row < m_files->size(); ++row) {
        if (done.contains(m_files->at(row)->filePath().toLocalFile())) {
            rows.push_back(row);
        }
    }
    m_files->removeRows(rows);
    m_parts.mainTableView->clearSelection();
}

void PictavoAppDelegate::recordProcessedFiles(int count) {
    if (m_usagesReport != nullptr) {
        m_usagesReport->updateUsages(QStringLiteral("Output Files"), count);
    }
}

void PictavoAppDelegate::joinJob() {
    waitForWorker(m_jobRunning);
    if (m_jobThread.joinable()) {
        m_jobThread.join();
    }
}
