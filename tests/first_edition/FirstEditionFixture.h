#pragma once

#include "engine/Settings.h"
#include "filelist/FileList.h"
#include "first_edition/FirstEditionAppDelegate.h"
#include "platform/Edition.h"
#include "platform/Preferences.h"
#include "platform/Workspace.h"
#include "shell/Dialogs.h"
#include "support/TestEnvironment.h"
#include "support/TestTiff.h"

#include <QDir>
#include <QMainWindow>
#include <QSignalSpy>
#include <QUrl>

#include <functional>
#include <gtest/gtest.h>
#include <memory>

// The first edition's controller with a preferences file of its own, a
// recording workspace and scripted dialogs, as GUI tests drive it.
class FirstEditionFixture : public ::testing::Test {
protected:
    QString prefsPath =
        QDir(makeTestFolder(QStringLiteral("prefs"))).filePath(QStringLiteral("Pictavo1.conf"));
    std::unique_ptr<SettingsPreferences> preferences =
        std::make_unique<SettingsPreferences>(prefsPath);
    RecordingWorkspace workspace;
    ScriptedDialogs dialogs;
    std::unique_ptr<FirstEditionAppDelegate> controller;
    QString data = makeTestFolder(QStringLiteral("data"));

    // Builds the window, as the application does at start-up.
    void start() {
        controller = std::make_unique<FirstEditionAppDelegate>(PictavoAppDelegate::Services{
            preferences.get(), &workspace, &dialogs, Edition::firstEdition()});
        controller->awakeFromNib();
        QMainWindow* window = controller->window();
        ASSERT_NE(window, nullptr);
        window->show();
    }

    void TearDown() override {
        if (controller) {
            (void)controller->applicationShouldTerminate();
        }
    }

    // Runs one load to its end, as the user would see it.
    void waitForLoad(const std::function<void()>& trigger) {
        QSignalSpy finished(controller.get(), &PictavoAppDelegate::loadFinished);
        trigger();
        ASSERT_TRUE(finished.count() > 0 || finished.wait(30000));
    }

    // A TIFF of `pages` small grey pages in `folder` (the data folder by default).
    QString tiff(const QString& name, int pages = 1, const QString& folder = QString()) {
        const QString path = QDir(folder.isEmpty() ? data : folder).filePath(name);
        EXPECT_TRUE(writeTestTiff(
            path, std::vector<TestTiffPage>(static_cast<size_t>(pages), grayPage(8, 8))));
        return path;
    }

    // Adds the files as a drop of local files would, and waits for the load.
    void addPaths(const QStringList& paths) {
        Arguments request;
        for (const QString& path : paths) {
            request.urls.append(QUrl::fromLocalFile(path));
        }
        waitForLoad([&] { controller->loadURLs(request); });
    }

    QStringList listedNames() const {
        QStringList out;
        for (const auto& item : controller->files().items()) {
            out.append(QFileInfo(item->filePath().toLocalFile()).fileName());
        }
        out.sort();
        return out;
    }

    template <typename T> T* find(const char* name) const {
        T* widget = controller->window()->findChild<T*>(QString::fromUtf8(name));
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }
};
