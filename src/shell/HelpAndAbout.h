#pragma once

#include <QObject>
#include <QPointer>

class PictavoAppDelegate;
class QDialog;
struct ShellContext;

// Help and about: the menus' names for the edition, the user guide, the web
// site and review page, the logs folder, and the About sheet.
//
// Threads: main thread only.
class HelpAndAbout : public QObject {
    Q_OBJECT
public:
    explicit HelpAndAbout(PictavoAppDelegate& app);

    // The menus' items named for the edition.
    void setupVersion();
    void aboutAction();
    // The user guide, opened with the desktop's PDF viewer.
    void helpAction();
    void websiteAction();
    void rateUs();
    void openLogsFolder();
    // The About sheet while it is shown.
    QDialog* aboutWindow() const;

private:
    PictavoAppDelegate& m_app;
    ShellContext& m_ctx;
    QPointer<QDialog> m_aboutWindow;
};
