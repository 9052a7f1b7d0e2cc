#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

class PictavoAppDelegate;
class Process;
class QDialog;
class QTimer;
struct ShellContext;
namespace Ui {
class ProgressPanel;
}

// The job's progress sheet: the source and page under way, the time taken
// and left, the outcome, and its Cancel, View Log and Close.
//
// Threads: main thread; the job's signals reach it queued.
class ProgressSheet : public QObject {
    Q_OBJECT
public:
    explicit ProgressSheet(PictavoAppDelegate& app);
    ~ProgressSheet() override;

    void setupProgressSheet();
    // Shows `job`'s progress over `totalPages` from now on.
    void watchProgress(Process& job, int totalPages);
    // The sheet is not modal, so that the menus and the window's close
    // request still reach the window; what lies under it is disabled instead.
    void showProgressSheet();
    void hideProgressSheet();
    void cancelProcessAction();
    void viewLogAction();
    // The sheet's time: elapsed, and the time left once it can be told; in
    // clock digits, or in the words of a run's time taken.
    static QString progressTimeText(qint64 elapsedMs, int pagesDone, int totalPages,
                                    bool inWords = false);
    QDialog* processViewPanel() const { return m_progressPanel; }
    Ui::ProgressPanel& ui() const { return *m_progressUi; }

private:
    // What the job reported since the sheet last showed its progress.
    struct PendingProgress {
        std::optional<QString> sourcePath;
        std::optional<QString> outputPath;
        std::optional<int> pages;
        std::optional<QString> filesText;
    };
    void noteProgress(const std::function<void(PendingProgress&)>& change);
    void showProgress();
    void showOutcome(Process& job);
    void refreshProgressTime();
    void showProgressTime(qint64 elapsedMs, int pagesDone);
    void setWindowContentEnabled(bool enabled);

    PictavoAppDelegate& m_app;
    ShellContext& m_ctx;
    std::unique_ptr<Ui::ProgressPanel> m_progressUi;
    QDialog* m_progressPanel = nullptr; // owned by the window
    QTimer* m_progressClock = nullptr;  // owned by the panel
    QElapsedTimer m_runClock;
    PendingProgress m_pendingProgress;
    bool m_progressRefreshQueued = false;
};
