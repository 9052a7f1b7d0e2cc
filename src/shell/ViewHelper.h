#pragma once

#include "engine/Process.h"

#include <QString>

class PictavoAppDelegate;
struct ShellContext;

// The status under the list: its totals, the time taken, the busy look while
// a load or a job runs, and whether Convert can act.
//
// Threads: main thread, except updateTimeTakenLabel and updateTotalPagesLabel,
// which workers call; each runs its body on the main thread and returns when
// it is done.
class ViewHelper : public ProcessDelegate {
public:
    explicit ViewHelper(PictavoAppDelegate& app);

    void startProcess();
    void stopProcess();
    void resetViewForProcess(bool enable);
    void updateTimeTakenLabel(const QString& text) override;
    void updateTotalLabel();
    void updateTotalPagesLabel();
    // Convert can act: checked files with pages, and no load or job under way.
    void refreshConvertCommand();

private:
    QString timeLabelText(const QString& time, int done, int total) const;

    PictavoAppDelegate& m_app;
    ShellContext& m_ctx;
};
