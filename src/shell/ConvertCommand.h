#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

class FileItem;
class PictavoAppDelegate;
class Process;
class QCheckBox;
class QWidget;
class Workspace;
struct ShellContext;

// Convert: where the run writes, the job over the checked files on its
// worker, and what follows its sheet's Close. An edition with another rule
// for where a run may write overrides convertAction and split.
//
// Threads: main thread; the job's worker hands its end back to it.
class ConvertCommand : public QObject {
    Q_OBJECT
public:
    explicit ConvertCommand(PictavoAppDelegate& app);
    ~ConvertCommand() override;

    // The job's way to the desktop, and the output folder chooser's options.
    void setupConvertCommand();
    virtual void convertAction();
    void outputFolderChosen(bool accepted, const QStringList& paths);
    virtual void split();
    void closeProcessAction();
    // The current job, from split() until the progress sheet is closed.
    Process* process() const { return m_process.get(); }
    // The progress sheet is up: from split() until Close.
    bool isJobSheetUp() const { return m_jobSheetUp; }
    // The usage store hears of a job that ended without its sheet being closed.
    void recordEndedJob();
    // Stops the job at its next page boundary.
    void stopJob();
    // Waits for the job's worker, serving its calls meanwhile.
    void joinJob();

protected:
    // The job of a run over the checked files, with the settings of now.
    std::shared_ptr<Process> makeJob();
    // Starts `job` on its worker and shows the progress sheet.
    void launchJob(const std::shared_ptr<Process>& job);

    PictavoAppDelegate& m_app;
    ShellContext& m_ctx;

private:
    // The one place a job is started, on its worker.
    static void runJob(Process& job, const std::vector<std::shared_ptr<FileItem>>& checked);
    // Removes from the list the items `job` converted in full.
    void removeConvertedFiles(const Process& job);

    std::shared_ptr<Process> m_process;
    bool m_jobRecorded = false;
    bool m_jobSheetUp = false;
    QWidget* m_openPanelCustomView = nullptr; // owned by the window
    QCheckBox* m_isSetCurrentAsDefaultOutputFolder = nullptr;
    QCheckBox* m_isOpenFolderAfterConversion = nullptr;
    QString m_outputFolder;
    std::thread m_jobThread;
    // The job's way to the desktop: its requests run on this thread.
    std::unique_ptr<Workspace> m_jobWorkspace;
    std::atomic<bool> m_jobRunning{false};
};
