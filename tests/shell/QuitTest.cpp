#include "ControllerFixture.h"
#include "engine/Process.h"
#include "engine/Settings.h"
#include "filelist/FileList.h"
#include "platform/Constants.h"
#include "platform/TerminationSignals.h"
#include "platform/ThreadHandOff.h"
#include "shell/Application.h"
#include "shell/Dialogs.h"
#include "shell/ImportFilesWindowController.h"
#include "shell/PictavoAppDelegate.h"
#include "support/TestEnvironment.h"
#include "support/TestTiff.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QWindow>
#include <QXmlStreamReader>

#include <chrono>
#include <csignal>
#include <functional>
#include <future>
#include <gtest/gtest.h>
#include <memory>
#include <mutex>

namespace {

// What the event loop returns when a quit never came and the watchdog ended it.
constexpr int kNeverQuit = 99;

class QuitTest : public ControllerFixture {
protected:
    QString in = makeTestFolder(QStringLiteral("in"));
    QString out = makeTestFolder(QStringLiteral("out"));

    void addSources(const QList<std::pair<QString, int>>& sources) { addRgbSources(in, sources); }

    void useDefaultFolder(const QString& folder) {
        controller->settings().setOutputFolderPath(folder);
        controller->settings().setIsSetCurrentAsDefaultOutputFolderPath(true);
    }

    // Runs the application's event loop as main does, `inLoop` first, and
    // returns what it ended with. A loop that no quit ends is ended by a
    // watchdog with kNeverQuit, so that the test fails instead of hanging.
    static int runEventLoop(const std::function<void()>& inLoop) {
        QTimer watchdog;
        watchdog.setSingleShot(true);
        QObject::connect(&watchdog, &QTimer::timeout, [] { QCoreApplication::exit(kNeverQuit); });
        watchdog.start(120000);
        QTimer::singleShot(0, qApp, inLoop);
        return QApplication::exec();
    }

    // Ctrl+Q as the window system delivers it: to `window`, where the
    // keyboard is.
    static void pressQuitKey(QWidget* window) {
        ASSERT_NE(window, nullptr);
        ASSERT_NE(window->windowHandle(), nullptr);
        QTest::keyClick(window->windowHandle(), Qt::Key_Q, Qt::ControlModifier);
    }

    QStringList outputs() const {
        return QDir(out).entryList(QDir::Files | QDir::Hidden, QDir::Name);
    }

    // The pages a saved log records as "Completed", by file name, sorted.
    static QStringList completedIn(const QString& logPath) {
        QFile file(logPath);
        EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << logPath.toStdString();
        QStringList names;
        QXmlStreamReader xml(&file);
        while (!xml.atEnd()) {
            xml.readNext();
            if (xml.isStartElement() && xml.name() == QStringLiteral("File") &&
                xml.attributes().value(QStringLiteral("Status")) == QStringLiteral("Completed")) {
                names.append(xml.attributes().value(QStringLiteral("NewFileName")).toString());
            }
        }
        EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
        names.sort();
        return names;
    }

    QByteArray storedPreferences() const { return readFileBytes(prefsPath); }

    // What quitting must have stored: the settings of now, and the recent
    // folders where the edition keeps them.
    void expectStored() const {
        const QByteArray stored = storedPreferences();
        EXPECT_TRUE(stored.contains("separator=quitsep")) << stored.toStdString();
        EXPECT_EQ(stored.contains("RECENTITEMS"), !isFirstEdition()) << stored.toStdString();
    }

    // Changes that only quitting writes: a separator and a recent folder.
    void changeWhatQuittingStores() {
        controller->settings().setSeparator(QStringLiteral("quitsep"));
        if (!isFirstEdition()) {
            controller->recentFolders()->addRecentItem({in});
        }
        ASSERT_FALSE(storedPreferences().contains("separator=quitsep"));
    }

    // The usage store's count of converted files.
    int filesCountedAsConverted() const {
        const auto& features = controller->usage().usagesReport()->store().features();
        return features.empty() ? -1 : features.front().filesCount;
    }
};

enum class QuitBy { QuitKeyInTheSheet, CloseRequest, Terminate, HangUp };

struct QuitCase {
    const char* name;
    QuitBy how;
};

using QuitDuringRunInBothEditions = InBothEditionsWithCases<QuitTest, QuitCase>;

// The user asks to quit three pages into a run of three long sources: the run
// stops at its next page boundary, keeps and logs what it wrote, and the
// program ends with everything stored.
TEST_P(QuitDuringRunInBothEditions, StopsTheRunKeepsItsPagesStoresAndEnds) {
    start();
    addSources({{QStringLiteral("a.tif"), 20},
                {QStringLiteral("b.tif"), 20},
                {QStringLiteral("c.tif"), 20}});
    useDefaultFolder(out);
    // A folder opened as the program ends would open on nothing.
    controller->settings().setIsOpenFolderAfterConversion(true);
    changeWhatQuittingStores();
    QAction* quitItem = find<QAction>("quitMenuItem");
    const QuitBy how = testCase().how;
    int finishedWhileQuitting = 0;
    QObject::connect(
        controller.get(), &PictavoAppDelegate::processCreated, controller.get(), [&](Process* job) {
            // The worker holds its next page until the stop is heard, so a
            // loaded machine cannot finish the run before the request lands.
            auto stopHeard = std::make_shared<std::promise<void>>();
            const std::shared_future<void> stopped = stopHeard->get_future().share();
            QObject::connect(
                job, &Process::isCombiningChanged, job,
                [stopHeard, once = std::make_shared<std::once_flag>()](bool running) {
                    if (!running) {
                        std::call_once(*once, [&stopHeard] { stopHeard->set_value(); });
                    }
                },
                Qt::DirectConnection);
            // From the worker: the request is queued to the main
            // thread, as a key press or a click is.
            QObject::connect(
                job, &Process::totalPagesProcessedChanged, job,
                [this, how, stopped](int done) {
                    if (done != 3) {
                        return;
                    }
                    postToThreadOf(controller.get(), [this, how] {
                        switch (how) {
                        case QuitBy::QuitKeyInTheSheet:
                            pressQuitKey(controller->progressSheet().processViewPanel());
                            break;
                        case QuitBy::CloseRequest:
                            controller->window()->close();
                            break;
                        case QuitBy::Terminate:
                            ::raise(SIGTERM);
                            break;
                        case QuitBy::HangUp:
                            ::raise(SIGHUP);
                            break;
                        }
                    });
                    // Bounded: a quit that never stops the run fails below
                    // instead of hanging.
                    (void)stopped.wait_for(std::chrono::seconds(30));
                },
                Qt::DirectConnection);
            // Asked again while the last page is finished: the
            // main thread serves events as it waits, and the
            // second request changes nothing.
            QObject::connect(job, &Process::finished, controller.get(), [&] {
                if (controller->isQuitting()) {
                    ++finishedWhileQuitting;
                    quitItem->trigger();
                }
            });
        });

    // As the program has them; without the handlers the signal would end
    // this test.
    const std::unique_ptr<TerminationSignals> endOnSignal = quitOnTerminationSignals(*controller);
    ASSERT_TRUE(endOnSignal->isActive());
    const int countedBefore = filesCountedAsConverted();
    const int ended = runEventLoop([this] { pressCommand(UiCommand::Convert); });

    EXPECT_EQ(ended, 0);
    EXPECT_EQ(finishedWhileQuitting, 1);
    const Process* job = controller->convert().process();
    ASSERT_NE(job, nullptr);
    EXPECT_TRUE(job->isCompleted());
    EXPECT_TRUE(job->wasCancelled());
    EXPECT_FALSE(controller->window()->isVisible());
    const QStringList written = outputs();
    EXPECT_FALSE(written.isEmpty());
    EXPECT_LT(written.size(), 60);
    ASSERT_FALSE(job->log().logFilePath().isEmpty());
    EXPECT_EQ(completedIn(job->log().logFilePath()), written);
    expectStored();
    EXPECT_EQ(filesCountedAsConverted() - countedBefore, job->totalFileProcessed());
    for (const RecordingWorkspace::Request& request : workspace.requests()) {
        EXPECT_NE(request.action, QStringLiteral("open")) << request.paths.join(' ').toStdString();
    }
}

PICTAVO_CASES_IN_BOTH_EDITIONS(Ways, QuitDuringRunInBothEditions,
                               ::testing::Values(QuitCase{"QuitKey", QuitBy::QuitKeyInTheSheet},
                                                 QuitCase{"CloseRequest", QuitBy::CloseRequest},
                                                 QuitCase{"SIGTERM", QuitBy::Terminate},
                                                 QuitCase{"SIGHUP", QuitBy::HangUp}));

using QuitInBothEditions = InBothEditions<QuitTest>;
PICTAVO_IN_BOTH_EDITIONS(QuitInBothEditions);

TEST_P(QuitInBothEditions, QuitKeyInTheSheetOfAnEndedRunEndsTheProgram) {
    start();
    addSources({{QStringLiteral("a.tif"), 2}, {QStringLiteral("b.tif"), 1}});
    useDefaultFolder(out);
    controller->settings().setIsOpenFolderAfterConversion(false);
    changeWhatQuittingStores();
    QSignalSpy finished(controller.get(), &PictavoAppDelegate::conversionFinished);
    pressCommand(UiCommand::Convert);
    ASSERT_TRUE(finished.count() > 0 || finished.wait(60000));
    ASSERT_TRUE(controller->progressSheet().processViewPanel()->isVisible());

    const int countedBefore = filesCountedAsConverted();
    const int ended =
        runEventLoop([this] { pressQuitKey(controller->progressSheet().processViewPanel()); });

    EXPECT_EQ(ended, 0);
    EXPECT_EQ(outputs().size(), 3);
    EXPECT_EQ(completedIn(controller->convert().process()->log().logFilePath()), outputs());
    expectStored();
    EXPECT_EQ(filesCountedAsConverted() - countedBefore, 2);
}

TEST_P(QuitInBothEditions, QuitKeyWhileFilesAreAddedStopsTheLoader) {
    start();
    const QString folder = QDir(in).filePath(QStringLiteral("many"));
    QDir().mkpath(folder);
    for (int i = 0; i < 300; ++i) {
        ASSERT_TRUE(writeTestTiff(QDir(folder).filePath(QStringLiteral("f%1.tif").arg(i)),
                                  {grayPage(8, 8)}));
    }
    changeWhatQuittingStores();
    dialogs.answerNextPanel({true, {folder}});

    const int ended = runEventLoop([this] {
        pressCommand(UiCommand::AddFolder);
        // The loader waits for this thread before it reads a file.
        ASSERT_TRUE(controller->fileSystemHelper().isLoading());
        pressQuitKey(controller->window());
    });

    EXPECT_EQ(ended, 0);
    EXPECT_FALSE(controller->fileSystemHelper().isLoading());
    EXPECT_LT(controller->files().size(), 300);
    expectStored();
}

// What is in front of the main window when the user presses the Quit key.
enum class InFront { SettingsSheet, RemoveAllAlert, ImportWindow, FileDialog, AboutSheet };

struct InFrontCase {
    const char* name;
    InFront what;
};

// The real panels and alerts, which stay up until answered.
class QuitUnderAWindowTest : public InBothEditionsWithCases<QuitTest, InFrontCase> {
protected:
    QtDialogs realDialogs;

    void SetUp() override { dialogsInUse = &realDialogs; }

    // Brings `what` up; the first edition's alert waits in an event loop of
    // its own until it is answered.
    void bringUp(InFront what) {
        switch (what) {
        case InFront::SettingsSheet:
            openSettings();
            break;
        case InFront::RemoveAllAlert:
            pressCommand(UiCommand::RemoveAll);
            break;
        case InFront::ImportWindow:
            controller->importExport().importAction();
            break;
        case InFront::FileDialog:
            pressCommand(UiCommand::AddFiles);
            break;
        case InFront::AboutSheet:
            controller->help().aboutAction();
            break;
        }
    }

    // Where the keyboard is: the modal window in front, else (the first
    // edition's settings pane) the main window.
    QWidget* keyboardWindow() const {
        QWidget* front = QApplication::activeModalWidget();
        return front != nullptr ? front : controller->window();
    }
};

TEST_P(QuitUnderAWindowTest, QuitKeyEndsTheProgram) {
    start();
    addSources({{QStringLiteral("a.tif"), 1}, {QStringLiteral("b.tif"), 1}});
    changeWhatQuittingStores();
    const InFront what = testCase().what;
    bool wasInFront = false;
    const int ended = runEventLoop([&] {
        // Queued first, so that it also runs inside an alert's own loop.
        QTimer::singleShot(0, qApp, [&] {
            wasInFront = what == InFront::SettingsSheet && isFirstEdition()
                             ? controller->window()->isVisible() // a pane, not a sheet
                             : QApplication::activeModalWidget() != nullptr;
            pressQuitKey(keyboardWindow());
        });
        bringUp(what);
    });

    EXPECT_TRUE(wasInFront);
    EXPECT_EQ(ended, 0);
    expectStored();
    // A question the quit left unanswered was not taken for a yes.
    EXPECT_EQ(controller->files().size(), 2);
    EXPECT_FALSE(controller->fileSystemHelper().isProcessing());
}

PICTAVO_CASES_IN_BOTH_EDITIONS(
    Windows, QuitUnderAWindowTest,
    ::testing::Values(InFrontCase{"SettingsSheet", InFront::SettingsSheet},
                      InFrontCase{"RemoveAllAlert", InFront::RemoveAllAlert},
                      InFrontCase{"ImportWindow", InFront::ImportWindow},
                      InFrontCase{"FileDialog", InFront::FileDialog},
                      InFrontCase{"AboutSheet", InFront::AboutSheet}));

// Qt gives a window under a modal one neither the window system's close
// request nor clicks; while the progress sheet is up the window's menus open,
// and they offer only what can run.
TEST_P(QuitInBothEditions, MenusOpenUnderTheProgressSheetWithOnlyWhatCanRun) {
    start();
    addSources({{QStringLiteral("a.tif"), 2}, {QStringLiteral("b.tif"), 2}});
    useDefaultFolder(out);
    QSignalSpy finished(controller.get(), &PictavoAppDelegate::conversionFinished);
    pressCommand(UiCommand::Convert);
    // The worker waits for this thread after its first source, so the run
    // cannot end before events are served again.
    ASSERT_TRUE(controller->progressSheet().processViewPanel()->isVisible());
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);

    QMenuBar* bar = controller->window()->menuBar();
    auto* fileMenu = find<QMenu>("fileMenu");
    auto* editMenu = find<QMenu>("editMenu");
    auto* helpMenu = find<QMenu>("helpMenu");
    const struct {
        QMenu* menu;
        std::vector<std::pair<const char*, bool>> items;
    } menus[] = {
        {fileMenu,
         {{"addFilesMenuItem", false},
          {"addFolderMenuItem", false},
          {"includeSubfoldersMenuItem", false},
          {"importMenuItem", false},
          {"exportMenuItem", false},
          {"outputSettingsMenuItem", false},
          {"convertMenuItem", false}}},
        {editMenu,
         {{"selectAllMenuItem", false},
          {"removeMenuItem", false},
          {"removeAllMenuItem", false},
          {"cancelLoadMenuItem", false}}},
        {helpMenu,
         {{"helpMenuItem", true},
          {"websiteMenuItem", true},
          {"rateMenuItem", true},
          {"aboutMenuItem", true}}},
    };
    for (const auto& [menu, items] : menus) {
        ASSERT_NE(menu, nullptr);
        const QPoint title = bar->actionGeometry(menu->menuAction()).center();
        QTest::mouseClick(controller->window()->windowHandle(), Qt::LeftButton, {},
                          bar->mapTo(controller->window(), title));
        EXPECT_TRUE(menu->isVisible()) << menu->objectName().toStdString();
        for (const auto& [name, enabled] : items) {
            EXPECT_EQ(find<QAction>(name)->isEnabled(), enabled) << name;
        }
        menu->hide();
    }
    QAction* quit = find<QAction>("quitMenuItem");
    EXPECT_TRUE(quit->isEnabled());

    find<QPushButton>("cancelProcessBtn")->click();
    ASSERT_TRUE(finished.count() > 0 || finished.wait(60000));
    find<QPushButton>("closeProcessBtn")->click();
    EXPECT_TRUE(controller->window()->centralWidget()->isEnabled());
}

} // namespace
