#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <mutex>

// The desktop's workspace service: opens files and folders with their default
// application and shows files in the file manager. No command text is ever
// built from file names.
//
// Threads: callable from any thread (the real implementation hands the
// request to the desktop and returns).
class Workspace {
public:
    virtual ~Workspace() = default;

    // Opens a file with its default application, or a folder in the file
    // manager; false when the desktop refused.
    virtual bool openFile(const QString& path) = 0;
    // Shows the files selected in the file manager.
    virtual bool revealFiles(const QStringList& paths) = 0;
    // Opens the file manager's information window of each file.
    virtual bool showInformation(const QStringList& paths) = 0;
    // Opens a web address in the user's browser.
    virtual bool openURL(const QString& url) = 0;
};

// The desktop through QDesktopServices and the file manager's D-Bus interface.
class DesktopWorkspace final : public Workspace {
public:
    bool openFile(const QString& path) override;
    bool revealFiles(const QStringList& paths) override;
    bool showInformation(const QStringList& paths) override;
    bool openURL(const QString& url) override;
};

// Remembers every request; for tests and for programs without a desktop.
// Answers that the desktop did it, or, once told to refuse, that it could not.
class RecordingWorkspace final : public Workspace {
public:
    struct Request {
        QString action; // "open", "reveal", "info" or "url"
        QStringList paths;
        bool operator==(const Request&) const = default;
    };

    bool openFile(const QString& path) override;
    bool revealFiles(const QStringList& paths) override;
    bool showInformation(const QStringList& paths) override;
    bool openURL(const QString& url) override;

    QList<Request> requests() const;
    // A desktop without a file manager, viewer or browser: requests are
    // still remembered, and answered false.
    void setRefusing(bool refusing);

private:
    bool record(Request request);

    mutable std::mutex m_mutex;
    QList<Request> m_requests;
    bool m_refusing = false;
};
