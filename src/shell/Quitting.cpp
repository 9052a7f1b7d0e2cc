// Quitting: the ways a user asks for it, what is stored and how the workers
// are stopped and waited for.
#include "engine/Settings.h"
#include "shell/ConvertCommand.h"
#include "shell/FileSystemHelper.h"
#include "shell/ImportExport.h"
#include "shell/PictavoAppDelegate.h"
#include "shell/RecentFolders.h"
#include "shell/ReportingWorkspace.h"
#include "shell/WindowParts.h"

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QMainWindow>
#include <QThread>

#include <functional>
#include <utility>

namespace {

// The main window's close request, and the Quit key pressed where the menu's
// shortcut cannot reach: in another window of the program, or under a modal
// sheet, alert or file dialog that blocks the main window. Where the shortcut
// works it takes the key first, and no key press is left to see here.
class QuitRequests final : public QObject {
public:
    QuitRequests(QMainWindow& window, const QAction& quit, std::function<void()> onQuit,
                 QObject* parent)
        : QObject(parent), m_window(window), m_quit(quit), m_onQuit(std::move(onQuit)) {
        window.installEventFilter(this);
        qApp->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Close && watched == &m_window) {
            // The window stays until the program ends; quitting hides it.
            event->ignore();
            m_onQuit();
            return true;
        }
        if (event->type() == QEvent::KeyPress && isQuitKey(*static_cast<QKeyEvent*>(event))) {
            m_onQuit();
            return true;
        }
        return QObject::eventFilter(watched, event);
    }

private:
    bool isQuitKey(const QKeyEvent& key) const {
        const QKeySequence quit = m_quit.shortcut();
        return !quit.isEmpty() && QKeySequence(key.keyCombination()) == quit;
    }

    QMainWindow& m_window;
    const QAction& m_quit;
    std::function<void()> m_onQuit;
};

} // namespace

void PictavoAppDelegate::installQuitRequests() {
    connect(m_context.parts.quitMenuItem, &QAction::triggered, this,
            &PictavoAppDelegate::quitAction);
    new QuitRequests(
        *m_context.window, *m_context.parts.quitMenuItem,
        [this] { quitAction(); }, // a child of this
        this);
}

void PictavoAppDelegate::storeForQuit() {
    // 1: commit a value being typed.
    if (QWidget* focus = QApplication::focusWidget()) {
        focus->clearFocus();
    }
    // 2
    if (RecentFolders* recent = recentFolders()) {
        recent->storeRecentFolders();
    }
    // 3
    if (m_settings) {
        m_settings->synchronize();
    }
}

bool PictavoAppDelegate::applicationShouldTerminate() {
    storeForQuit();
    // Ending now must not leave a half-written page: the workers stop at their
    // next boundary and are waited for while their calls to this thread run.
    stopWorkers();
    convert().recordEndedJob();
    return true;
}

void PictavoAppDelegate::quitAction() {
    if (std::exchange(m_context.quitting, true)) {
        return;
    }
    storeForQuit();
    // The program looks gone at once; the page under way is still finished
    // and logged. A folder the job would open now would only open on a
    // program that has gone.
    if (m_desktop) {
        m_desktop->close();
    }
    for (QWidget* window : QApplication::topLevelWidgets()) {
        window->hide();
    }
    stopWorkers();
    convert().recordEndedJob();
    // Outside an event loop (a caller that runs none) there is nothing to end,
    // and an exit now would end the next loop as soon as it began.
    if (QThread::currentThread()->loopLevel() > 0) {
        QCoreApplication::exit(0);
    }
}

void PictavoAppDelegate::stopWorkers() {
    m_context.isProcessing = false;
    convert().stopJob();
    fileSystemHelper().joinLoader();
    importExport().joinExporter();
    convert().joinJob();
}

void PictavoAppDelegate::waitForWorker(const std::atomic<bool>& running) {
    // The worker's last calls wait for this thread, so it keeps serving them
    // until the worker has said it is done. Not a nested event loop: quitting
    // ends every loop, and one ended early would leave the worker waiting on
    // a thread that waits for it.
    while (running.load()) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
}
