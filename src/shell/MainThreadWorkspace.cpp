#include "shell/MainThreadWorkspace.h"

#include "platform/ThreadHandOff.h"

bool MainThreadWorkspace::openFile(const QString& path) {
    bool done = false;
    runOnThreadOf(&m_context, [&] { done = m_target.openFile(path); });
    return done;
}

bool MainThreadWorkspace::revealFiles(const QStringList& paths) {
    bool done = false;
    runOnThreadOf(&m_context, [&] { done = m_target.revealFiles(paths); });
    return done;
}

bool MainThreadWorkspace::showInformation(const QStringList& paths) {
    bool done = false;
    runOnThreadOf(&m_context, [&] { done = m_target.showInformation(paths); });
    return done;
}

bool MainThreadWorkspace::openURL(const QString& url) {
    bool done = false;
    runOnThreadOf(&m_context, [&] { done = m_target.openURL(url); });
    return done;
}
