#pragma once

#include "platform/Result.h"
#include "shell/ImportFilesWindowController.h"

#include <QObject>
#include <QString>

#include <atomic>
#include <thread>

class PictavoAppDelegate;
struct ShellContext;

// Import of a path list through its window, and export of the list as
// tab-delimited text on a worker of its own.
//
// Threads: main thread; the exporter's worker hands its outcome back to it.
class ImportExport : public QObject, public ImportFilesWindowControllerDelegate {
    Q_OBJECT
public:
    explicit ImportExport(PictavoAppDelegate& app);
    ~ImportExport() override;

    void importAction();
    void openImportFilesPanel();
    void ImportFilesWindowControllerDidFinish(ImportFilesWindowController* controller) override;
    // The import window's controller, once the import was first opened.
    ImportFilesWindowController* importFilesController() const { return m_importController; }
    void exportAction();
    // returnCode 1: write the list to `path`; anything else does nothing.
    void savePanelDidEnd(int returnCode, const QString& path);
    // Writes the list to `path` on a worker and returns at once;
    // exportFinished follows, after a failure was told to the user.
    void exportList(const QString& path);
    // Waits for the export's worker, serving its calls meanwhile.
    void joinExporter();

private:
    void exportDidEnd(const QString& path, const Status& written);

    PictavoAppDelegate& m_app;
    ShellContext& m_ctx;
    ImportFilesWindowController* m_importController = nullptr; // a child of this
    std::thread m_exporter;
    std::atomic<bool> m_exportRunning{false};
};
