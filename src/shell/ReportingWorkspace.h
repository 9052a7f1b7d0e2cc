#pragma once

#include "platform/Workspace.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

// A request the desktop could not carry out: nothing on it opens that kind of
// file, shows folders or web pages, or writes mail.
struct WorkspaceFailure {
    enum class Request { Open, Reveal, Information, Url };
    Request request = Request::Open;
    QStringList targets; // paths, or the one address
};

// What the user is told of `failures`, in the order they happened: what could
// not be opened and where it is, each path or address on a line of its own so
// that it can be copied.
QString cannotOpenMessage(const QList<WorkspaceFailure>& failures);

// The desktop's workspace, with the user told whenever it could not do what
// was asked; a request that does nothing visible would leave them waiting.
//
// Threads: main thread only; a worker goes through MainThreadWorkspace.
class ReportingWorkspace final : public Workspace {
public:
    using Tell = std::function<void(const QString& message)>;

    // `desktop` must outlive this; `tell` shows a message without waiting
    // for the user.
    ReportingWorkspace(Workspace& desktop, Tell tell);

    bool openFile(const QString& path) override;
    bool revealFiles(const QStringList& paths) override;
    bool showInformation(const QStringList& paths) override;
    bool openURL(const QString& url) override;

    // The desktop itself, for a first try whose failure has a fallback.
    Workspace& desktop() const { return m_desktop; }

    // While one lives, failures are gathered and told in one message when the
    // last one ends: a hundred files without a viewer make one alert.
    class Batch {
    public:
        explicit Batch(ReportingWorkspace& workspace);
        ~Batch();
        Batch(const Batch&) = delete;
        Batch& operator=(const Batch&) = delete;

    private:
        ReportingWorkspace& m_workspace;
    };

    // The program is ending: requests are dropped and nothing is told.
    void close() { m_closed = true; }

private:
    bool carryOut(WorkspaceFailure::Request request, const QStringList& targets,
                  const std::function<bool()>& ask);
    void tellPending();

    Workspace& m_desktop;
    Tell m_tell;
    QList<WorkspaceFailure> m_pending;
    int m_batches = 0;
    bool m_closed = false;
};
