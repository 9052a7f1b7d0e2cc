#pragma once

#include "platform/Workspace.h"

#include <QObject>

// The desktop's services belong to the main thread: a worker's request is
// carried out there, and the worker waits for it (as every call of a worker
// into the window does).
//
// Threads: any; `target` and `context` must outlive this.
class MainThreadWorkspace final : public Workspace {
public:
    MainThreadWorkspace(Workspace& target, QObject& context)
        : m_target(target), m_context(context) {}

    bool openFile(const QString& path) override;
    bool revealFiles(const QStringList& paths) override;
    bool showInformation(const QStringList& paths) override;
    bool openURL(const QString& url) override;

private:
    Workspace& m_target;
    QObject& m_context;
};
