#pragma once

#include "platform/Workspace.h"

#include <QString>
#include <QStringList>

// The desktop's file manager over D-Bus (org.freedesktop.FileManager1): shows
// files selected in their folder and opens their properties windows. When no
// file manager answers, the requests go to the fallback, which opens the
// containing folders instead.
//
// Threads: callable from any thread; each call waits for the file manager's
// reply (bounded by a timeout).
class FileManagerWorkspace final : public Workspace {
public:
    static const QString kFileManagerService;

    // `fallback` is not owned and must outlive this object; null uses a
    // DesktopWorkspace of its own. `service` is the bus name to call.
    explicit FileManagerWorkspace(Workspace* fallback = nullptr,
                                  QString service = kFileManagerService);

    bool openFile(const QString& path) override;
    bool revealFiles(const QStringList& paths) override;
    bool showInformation(const QStringList& paths) override;
    bool openURL(const QString& url) override;

    // The absolute file URLs the file manager is given, encoded.
    static QStringList fileUrls(const QStringList& paths);

private:
    // True when the file manager took the request.
    bool callFileManager(const QString& method, const QStringList& paths) const;

    DesktopWorkspace m_desktop;
    Workspace* m_fallback;
    QString m_service;
};
