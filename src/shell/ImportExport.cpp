// Import of a path list and export of the list as tab-delimited text.
#include "shell/ImportExport.h"

#include "filelist/Arguments.h"
#include "filelist/FileList.h"
#include "filelist/FolderWalker.h"
#include "filelist/ListExport.h"
#include "platform/Constants.h"
#include "platform/SystemLog.h"
#include "platform/ThreadHandOff.h"
#include "shell/AlertPanels.h"
#include "shell/Dialogs.h"
#include "shell/FileSystemHelper.h"
#include "shell/PictavoAppDelegate.h"
#include "widgets/CustomTableView.h"

#include <QMainWindow>

#include <exception>

ImportExport::ImportExport(PictavoAppDelegate& app) : m_app(app), m_ctx(app.context()) {}

ImportExport::~ImportExport() {
    joinExporter();
}

void ImportExport::importAction() {
    m_app.fileSystemHelper().searchAction();
    openImportFilesPanel();
    m_ctx.parts.mainTableView->viewport()->update();
}

void ImportExport::openImportFilesPanel() {
    logFailures(QStringLiteral("(openImportFilesPanel)"), [&] {
        if (m_importController == nullptr) {
            m_importController =
                new ImportFilesWindowController(m_ctx.window, *m_ctx.dialogs, m_ctx.edition,
                                                this); // a child of this
            m_importController->setDelegate(this);
            m_importController->setAllowedTypes(allowedFileTypes().join(QLatin1Char(',')));
        }
        m_importController->resetView();
        m_importController->showSheet();
    });
}

void ImportExport::ImportFilesWindowControllerDidFinish(ImportFilesWindowController* controller) {
    m_ctx.parts.mainTableView->viewport()->update();
    if (controller == nullptr || controller->files().isEmpty()) {
        return;
    }
    Arguments request;
    request.urls = controller->files();
    request.isFolders = false;
    request.isIncludeSubdirectories = m_app.fileSystemHelper().inculdeSubfolders();
    m_app.fileSystemHelper().loadURLs(request);
}

void ImportExport::exportAction() {
    m_app.fileSystemHelper().searchAction();
    SavePanelRequest panel;
    panel.message = QStringLiteral("Export List To Tab Delimited Text File :");
    panel.allowedFileType = QStringLiteral("txt");
    panel.nameFieldStringValue = proposedExportName(QDateTime::currentDateTime());
    m_ctx.dialogs->beginSavePanel(m_ctx.window, panel, [this](bool accepted, const QString& path) {
        savePanelDidEnd(accepted ? 1 : 0, path);
    });
}

void ImportExport::savePanelDidEnd(int returnCode, const QString& path) {
    if (returnCode == 1 && !path.isEmpty()) {
        exportList(path);
    }
}

void ImportExport::exportList(const QString& path) {
    joinExporter();
    m_exportRunning = true;
    // The text is made on a worker: each row's dates are read from the file
    // system, which for a long list keeps a thread busy for seconds. The
    // items' URLs and sizes never change, so the worker reads them freely.
    m_exporter = std::thread([this, path, items = m_ctx.files->items()] {
        Status written;
        logFailures(QStringLiteral("(export)"), [&] { written = ::exportList(path, items); });
        postToThreadOf(this, [this, path, written] {
            m_exportRunning = false;
            exportDidEnd(path, written);
            Q_EMIT m_app.workerEnded();
        });
    });
}

void ImportExport::exportDidEnd(const QString& path, const Status& written) {
    if (!written) {
        if (m_ctx.quitting) {
            // No one is left to answer an alert.
            systemLog(QStringLiteral("The list could not be exported to “%1”: %2")
                          .arg(path, written.error()));
        } else {
            // A list the user believes saved must not be silently missing.
            informationAlertPanel(*m_ctx.dialogs, m_ctx.window,
                                  StringUtilities::getAppTitle(m_ctx.edition),
                                  QStringLiteral("The list could not be exported to “%1”.\n%2")
                                      .arg(path, written.error()));
        }
    }
    Q_EMIT m_app.exportFinished();
}

void ImportExport::joinExporter() {
    PictavoAppDelegate::waitForWorker(m_exportRunning);
    if (m_exporter.joinable()) {
        m_exporter.join();
    }
}
