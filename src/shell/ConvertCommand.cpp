// The convert command and the job's worker.
#include "shell/ConvertCommand.h"

#include "engine/Process.h"
#include "engine/Settings.h"
#include "filelist/FileList.h"
#include "platform/Constants.h"
#include "platform/DateFormat.h"
#include "platform/FolderAccess.h"
#include "platform/NativePath.h"
#include "platform/SystemLog.h"
#include "platform/ThreadHandOff.h"
#include "shell/AlertPanels.h"
#include "shell/Choosers.h"
#include "shell/ConvertedSources.h"
#include "shell/Dialogs.h"
#include "shell/EditionWindow.h"
#include "shell/FileSystemHelper.h"
#include "shell/MainThreadWorkspace.h"
#include "shell/PictavoAppDelegate.h"
#include "shell/ProgressSheet.h"
#include "shell/ReportingWorkspace.h"
#include "shell/UsageAndReview.h"
#include "shell/ViewHelper.h"
#include "ui_OutputSettingsPanel.h"
#include "widgets/BusyIndicator.h"
#include "widgets/CustomTableView.h"

#include <QCheckBox>
#include <QMainWindow>
#include <QStackedWidget>
#include <QVBoxLayout>

#include <exception>

ConvertCommand::ConvertCommand(PictavoAppDelegate& app)
    : m_app(app), m_ctx(app.context()), m_process(std::make_shared<Process>()) {}

ConvertCommand::~ConvertCommand() {
    joinJob();
}

void ConvertCommand::setupConvertCommand() {
    if (m_ctx.desktop) {
        m_jobWorkspace = std::make_unique<MainThreadWorkspace>(*m_ctx.desktop, *this);
    }
    m_openPanelCustomView = new QWidget(m_ctx.window); // owned by the window; lent to the chooser
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

void ConvertCommand::convertAction() {
    // A list still being filled is not what the user checked.
    if (m_app.fileSystemHelper().isLoading()) {
        return;
    }
    logFailures(QStringLiteral("convertAction"), [&] {
        m_app.fileSystemHelper().searchAction();
        m_ctx.panel->settingTabView->setCurrentIndex(0);
        OpenPanelRequest panel = outputFolderChooser(QString());
        panel.title = QStringLiteral("Choose Output Folder : ");
        panel.directory = m_ctx.settings->outputFolderPath();
        panel.accessoryView = m_openPanelCustomView;
        m_outputFolder = m_ctx.settings->outputFolderPath();
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
        m_isOpenFolderAfterConversion->setChecked(m_ctx.settings->isOpenFolderAfterConversion());
        m_ctx.dialogs->beginOpenPanel(m_ctx.window, panel,
                                      [this](bool accepted, const QStringList& paths) {
                                          outputFolderChosen(accepted, paths);
                                      });
    });
}

void ConvertCommand::outputFolderChosen(bool accepted, const QStringList& paths) {
    if (!accepted || paths.isEmpty()) {
        return;
    }
    const QString& chosen = paths.first();
    if (!mayWriteInto(chosen)) {
        informationAlertPanel(
            *m_ctx.dialogs, m_ctx.window, StringUtilities::getAppTitle(m_ctx.edition),
            QStringLiteral("Application does not have write permission for selected output "
                           "folder!\r\n[ %1 ]\r\nPlease try again or later.")
                .arg(NativePath::displayPath(chosen)));
        return;
    }
    m_outputFolder = chosen;
    if (m_isSetCurrentAsDefaultOutputFolder->isChecked()) {
        m_ctx.settings->setOutputFolderPath(chosen);
        m_ctx.settings->setIsSetCurrentAsDefaultOutputFolderPath(true);
    }
    if (m_isOpenFolderAfterConversion->isChecked()) {
        m_ctx.settings->setIsOpenFolderAfterConversion(true);
    }
    split();
}

void ConvertCommand::split() {
    logFailures(QStringLiteral("(Split)"), [&] {
        const std::shared_ptr<Process> job = makeJob();
        job->setOutputFolder(m_outputFolder);
        launchJob(job);
    });
}

std::shared_ptr<Process> ConvertCommand::makeJob() {
    joinJob();
    m_jobRecorded = false;
    auto job = std::make_shared<Process>();
    job->setEdition(m_ctx.edition);
    job->setSettings(m_ctx.settings);
    m_process = job;
    return job;
}

void ConvertCommand::launchJob(const std::shared_ptr<Process>& job) {
    if (m_ctx.quitting) {
        return;
    }
    job->setWorkspace(m_jobWorkspace.get());
    job->setDelegate(&m_app.viewHelper());
    std::vector<std::shared_ptr<FileItem>> checked;
    int pages = 0;
    for (const auto& item : m_ctx.files->items()) {
        if (item->isSelected()) {
            checked.push_back(item);
            pages += qMax(0, item->pages());
        }
    }
    job->setTotalFileSelected(static_cast<int>(checked.size()));
    m_app.progressSheet().watchProgress(*job, pages);

    m_app.editionWindow().resetView(false);
    m_app.viewHelper().startProcess();
    m_ctx.parts.loadingIndicator->stop();
    m_app.viewHelper().resetViewForProcess(false);
    m_jobRunning = true;
    Q_EMIT m_app.processCreated(job.get());
    // The worker holds the job too, so closing the sheet never frees a
    // job that still runs.
    m_jobThread = std::thread([this, job, checked = std::move(checked)] {
        // The sources' paths are made here: for a long list that takes the
        // main thread a tenth of a second.
        runJob(*job, checked);
        postToThreadOf(this, [this] {
            m_jobRunning = false;
            Q_EMIT m_app.workerEnded();
        });
    });
    m_jobSheetUp = true;
    m_app.progressSheet().showProgressSheet();
}

void ConvertCommand::runJob(Process& job, const std::vector<std::shared_ptr<FileItem>>& checked) {
    for (const auto& item : checked) {
        const QString path = item->filePath().toLocalFile();
        job.outputFiles().push_back(
            {path, {SourceFile{path, item->pages(), item->hasUnreadablePages()}}});
    }
    job.start();
}

void ConvertCommand::closeProcessAction() {
    m_app.progressSheet().hideProgressSheet();
    m_jobSheetUp = false;
    m_ctx.window->activateWindow();
    if (m_ctx.settings->isClearProcessedFiles() && m_process) {
        removeConvertedFiles(*m_process);
    }
    m_app.viewHelper().resetViewForProcess(true);
    m_app.viewHelper().stopProcess();
    m_app.editionWindow().resetView(true);
    m_app.usage().recordProcessedFiles(m_process ? m_process->totalFileProcessed() : 0);
    if (m_process && m_process->isCompleted()) {
        joinJob();
        // The run's log keeps an entry for each source: a long run's takes a
        // fifth of a second to free, which a thread of its own does instead.
        m_jobThread = std::thread([job = std::exchange(m_process, nullptr)] {});
    }
    m_process.reset();
    m_app.fileSystemHelper().addPendingHandedPaths();
}

void ConvertCommand::removeConvertedFiles(const Process& job) {
    // Only what was written in full: a file the run failed on, skipped or
    // never reached stays for the next try.
    const QSet<QString> done = pathsConvertedInFull(job);
    std::vector<int> rows;
    for (int row = 0; row < m_ctx.files->size(); ++row) {
        if (done.contains(m_ctx.files->at(row)->filePath().toLocalFile())) {
            rows.push_back(row);
        }
    }
    m_ctx.files->removeRows(rows);
    m_ctx.parts.mainTableView->clearSelection();
}

void ConvertCommand::joinJob() {
    PictavoAppDelegate::waitForWorker(m_jobRunning);
    if (m_jobThread.joinable()) {
        m_jobThread.join();
    }
}

void ConvertCommand::recordEndedJob() {
    // A job whose sheet was never closed still counts its files.
    if (m_process && m_process->isCompleted() && !std::exchange(m_jobRecorded, true)) {
        m_app.usage().recordProcessedFiles(m_process->totalFileProcessed());
    }
}

void ConvertCommand::stopJob() {
    if (m_process) {
        m_process->stop();
    }
}
