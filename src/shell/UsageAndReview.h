#pragma once

#include <QObject>

class PictavoAppDelegate;
class UsagesReportingWindowController;
struct ShellContext;

// The usage record and the review prompt it leads to.
//
// Threads: main thread only.
class UsageAndReview : public QObject {
    Q_OBJECT
public:
    explicit UsageAndReview(PictavoAppDelegate& app);

    void setupUsagesReport();
    // The review prompt, when one is due.
    void validateReview();
    void recordProcessedFiles(int count);
    // The usage record and the review prompt; null without dialogs or a workspace.
    UsagesReportingWindowController* usagesReport() const { return m_usagesReport; }

private:
    PictavoAppDelegate& m_app;
    ShellContext& m_ctx;
    UsagesReportingWindowController* m_usagesReport = nullptr; // a child of this
};
