#pragma once

#include "engine/Process.h"
#include "filelist/Arguments.h"
#include "filelist/FileItem.h"
#include "filelist/FileList.h"
#include "first_edition/FirstEdition.h"
#include "platform/Constants.h"
#include "platform/Preferences.h"
#include "platform/Workspace.h"
#include "shell/ColumnChooser.h"
#include "shell/ConvertCommand.h"
#include "shell/Dialogs.h"
#include "shell/EditionWindow.h"
#include "shell/FileSystemHelper.h"
#include "shell/HelpAndAbout.h"
#include "shell/ImportExport.h"
#include "shell/OutputSettings.h"
#include "shell/PictavoAppDelegate.h"
#include "shell/ProgressSheet.h"
#include "shell/RecentFolders.h"
#include "shell/TableCommands.h"
#include "shell/UsageAndReview.h"
#include "shell/UsagesReportingWindowController.h"
#include "shell/ViewHelper.h"
#include "support/TestEnvironment.h"
#include "support/TestTiff.h"
#include "widgets/SegmentedControl.h"

#include <QAbstractButton>
#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMainWindow>
#include <QSignalSpy>
#include <QUrl>

#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <tuple>
#include <utility>

// The main controller with a preferences file of its own, a recording
// workspace and scripted dialogs, as GUI tests drive it.
class ControllerFixture : public ::testing::Test {
protected:
    QString prefsPath =
        QDir(makeTestFolder(QStringLiteral("prefs"))).filePath(QStringLiteral("Pictavo2.conf"));
    std::unique_ptr<SettingsPreferences> preferences =
        std::make_unique<SettingsPreferences>(prefsPath);
    RecordingWorkspace workspace;
    Workspace* workspaceInUse = &workspace;
    ScriptedDialogs dialogs;
    // The dialogs the controller is given; a test of the real panels and
    // alerts points it at a QtDialogs.
    Dialogs* dialogsInUse = &dialogs;
    Edition edition = Edition::currentEdition();
    std::unique_ptr<PictavoAppDelegate> controller;
    // Changes the tested edition's names before start() hands it over.
    std::function<void(Edition&)> adjustEdition;

    // The edition whose program the test drives.
    virtual Edition::Id editionUnderTest() const { return Edition::Id::Current; }

    // The edition under test's names, folders and rules, also before start().
    Edition testedEdition() const {
        return editionUnderTest() == Edition::Id::First ? Edition::firstEdition()
                                                        : Edition::currentEdition();
    }

    // The time label with no run to tell of, in both editions.
    static QString idleTimeLabel() { return QStringLiteral("Total Time Taken : 00:00 0/0"); }

    // The time label after a load of less than a second: the first edition
    // writes a time taken in words, none for under a second.
    QString loadUnderASecondTimeLabel() const {
        return isFirstEdition() ? QStringLiteral("Total Time Taken :  0/0") : idleTimeLabel();
    }

    // Builds the window, as the application does at start-up.
    void start() {
        edition = testedEdition();
        if (adjustEdition) {
            adjustEdition(edition);
        }
        const PictavoAppDelegate::Services services{preferences.get(), workspaceInUse, dialogsInUse,
                                                    edition};
        controller = std::make_unique<PictavoAppDelegate>(
            services, editionUnderTest() == Edition::Id::First ? firstEditionGroups()
                                                               : EditionGroups::current());
        controller->awakeFromNib();
    }

    bool isFirstEdition() const { return editionUnderTest() == Edition::Id::First; }

    // Where an alert belongs: on `owner` as a sheet in the current edition,
    // application-modal (no window) in the first.
    const QWidget* alertWindowFor(const QWidget* owner) const {
        return isFirstEdition() ? nullptr : owner;
    }

    void TearDown() override {
        if (controller) {
            (void)controller->applicationShouldTerminate();
        }
    }

    ~ControllerFixture() override {
        controller.reset();
        restoreApplicationFolders();
    }

    // Sources of `pages` RGB pages each, written into `folder` and put in the
    // list as a finished load leaves the window.
    void addRgbSources(const QString& folder, const QList<std::pair<QString, int>>& sources) {
        std::vector<std::shared_ptr<FileItem>> items;
        for (const auto& [name, pages] : sources) {
            const QString path = QDir(folder).filePath(name);
            EXPECT_TRUE(writeTestTiff(
                path, std::vector<TestTiffPage>(static_cast<size_t>(pages), rgbPage(16, 12))));
            items.push_back(FileItem::initWithURL(QUrl::fromLocalFile(path)));
        }
        controller->files().appendAll(items);
        controller->editionWindow().resetView(true);
        controller->viewHelper().updateTotalLabel();
    }

    // Runs one load to its end, as the user would see it.
    void waitForLoad(const std::function<void()>& trigger) {
        QSignalSpy finished(controller.get(), &PictavoAppDelegate::loadFinished);
        trigger();
        ASSERT_TRUE(finished.count() > 0 || finished.wait(30000));
    }

    template <typename T> T* find(const char* name) const {
        T* widget = controller->window()->findChild<T*>(QString::fromUtf8(name));
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }

    // The commands both windows offer, each behind a control of its own.
    enum class UiCommand {
        AddFiles,
        AddFolder,
        Remove,
        IncludeSubfolders,
        Import,
        Export,
        Convert,
        MoveUp,
        MoveDown,
        RemoveAll
    };

    // Presses the control the user presses for `command` in the edition
    // under test: a segment of the command bar in the current edition (Add
    // Folder has none: its menu item), a button or the toolbar's item in the
    // first.
    void pressCommand(UiCommand command) {
        if (isFirstEdition()) {
            if (command == UiCommand::Export) {
                QAction* item = find<QAction>("exportToolbarItem");
                ASSERT_NE(item, nullptr);
                // A disabled toolbar item cannot be pressed.
                if (item->isEnabled()) {
                    item->trigger();
                }
                return;
            }
            QAbstractButton* button = find<QAbstractButton>(firstEditionButton(command));
            ASSERT_NE(button, nullptr);
            button->click(); // refuses a disabled button itself
            return;
        }
        if (command == UiCommand::AddFolder) {
            QAction* item = find<QAction>("addFolderMenuItem");
            ASSERT_NE(item, nullptr);
            item->trigger();
            return;
        }
        const auto [bar, index] = currentEditionSegment(command);
        SegmentedControl* segments = find<SegmentedControl>(bar);
        ASSERT_NE(segments, nullptr);
        segments->click(index);
    }

    // Whether the include-subfolders control shows the choice as on: its
    // segment selected in the current edition, its check box ticked in the first.
    bool isIncludeSubfoldersShownOn() const {
        if (isFirstEdition()) {
            const QAbstractButton* box = find<QAbstractButton>("inculdeSubfoldersBtn");
            return box != nullptr && box->isChecked();
        }
        const SegmentedControl* segments = find<SegmentedControl>("filesFoldersSegmented");
        return segments != nullptr && segments->isSelected(2);
    }

    // Whether the control of `command` can be pressed now.
    bool isCommandEnabled(UiCommand command) const {
        if (isFirstEdition()) {
            if (command == UiCommand::Export) {
                const QAction* item = find<QAction>("exportToolbarItem");
                return item != nullptr && item->isEnabled();
            }
            const QAbstractButton* button = find<QAbstractButton>(firstEditionButton(command));
            return button != nullptr && button->isEnabled();
        }
        // Add Folder's menu item runs while Add Files' segment is enabled.
        const auto [bar, index] =
            currentEditionSegment(command == UiCommand::AddFolder ? UiCommand::AddFiles : command);
        const SegmentedControl* segments = find<SegmentedControl>(bar);
        return segments != nullptr && segments->isEnabled(index);
    }

    // Brings the settings panel before the user: the sheet of the command
    // bar's segment in the current edition; the pane beside the list in the
    // first, shown unless the user hid it.
    void openSettings() {
        if (isFirstEdition()) {
            QAction* item = find<QAction>("preferencesToolbarItem");
            ASSERT_NE(item, nullptr);
            if (!item->isChecked()) {
                item->trigger();
            }
            return;
        }
        SegmentedControl* command = find<SegmentedControl>("commandSegmented");
        ASSERT_NE(command, nullptr);
        command->click(0);
    }

private:
    // The application folders outlive a test in this program. What a test
    // leaves there (files counted in the usage record, a file where the logs
    // go) is put back, so that the next test starts as a fresh program would.
    struct KeptUsageRecord {
        QString path;
        bool existed = false;
        QByteArray bytes;
    };
    QList<KeptUsageRecord> keptUsageRecords = [] {
        QList<KeptUsageRecord> kept;
        for (const Edition& e : {Edition::currentEdition(), Edition::firstEdition()}) {
            const QString path =
                QDir(StringUtilities::getAppPath(e)).filePath(QStringLiteral("Usages.Log"));
            QFile file(path);
            const bool existed = file.open(QIODevice::ReadOnly);
            kept.append({path, existed, existed ? file.readAll() : QByteArray()});
        }
        return kept;
    }();

    static QStringList logsFolders() {
        return {
            StringUtilities::appSubfolderPath(Edition::currentEdition(), QStringLiteral("Logs")),
            StringUtilities::appSubfolderPath(Edition::firstEdition(), QStringLiteral("Logs"))};
    }
    // Which of the logs folders stood as folders.
    QList<bool> keptLogsFolders = [] {
        QList<bool> kept;
        for (const QString& logs : logsFolders()) {
            kept.append(QFileInfo(logs).isDir());
        }
        return kept;
    }();

    void restoreApplicationFolders() const {
        for (const KeptUsageRecord& kept : keptUsageRecords) {
            QFile::remove(kept.path);
            QFile file(kept.path);
            if (kept.existed && file.open(QIODevice::WriteOnly)) {
                file.write(kept.bytes);
            }
        }
        const QStringList folders = logsFolders();
        for (qsizetype i = 0; i < folders.size(); ++i) {
            const QString& logs = folders.at(i);
            QFile::remove(logs); // a file where the folder goes
            if (keptLogsFolders.at(i)) {
                QDir().mkpath(logs);
            } else {
                QDir(logs).removeRecursively();
            }
        }
    }

    static const char* firstEditionButton(UiCommand command) {
        switch (command) {
        case UiCommand::AddFiles:
            return "addFilesBtn";
        case UiCommand::AddFolder:
            return "addFolderBtn";
        case UiCommand::Remove:
            return "removeBtn";
        case UiCommand::IncludeSubfolders:
            return "inculdeSubfoldersBtn";
        case UiCommand::Import:
            return "importBtn";
        case UiCommand::Export:
            return "exportToolbarItem";
        case UiCommand::Convert:
            return "convertBtn";
        case UiCommand::MoveUp:
            return "moveUpButton";
        case UiCommand::MoveDown:
            return "moveDownButton";
        case UiCommand::RemoveAll:
            return "removeAllFilesButton";
        }
        return "";
    }

    static std::pair<const char*, int> currentEditionSegment(UiCommand command) {
        switch (command) {
        case UiCommand::AddFiles:
        case UiCommand::AddFolder:
            return {"filesFoldersSegmented", 0};
        case UiCommand::Remove:
            return {"filesFoldersSegmented", 1};
        case UiCommand::IncludeSubfolders:
            return {"filesFoldersSegmented", 2};
        case UiCommand::Import:
            return {"filesFoldersSegmented", 3};
        case UiCommand::Export:
            return {"filesFoldersSegmented", 4};
        case UiCommand::Convert:
            return {"commandSegmented", 1};
        case UiCommand::MoveUp:
            return {"navigationSegmented", 0};
        case UiCommand::MoveDown:
            return {"navigationSegmented", 1};
        case UiCommand::RemoveAll:
            return {"navigationSegmented", 2};
        }
        return {"", -1};
    }
};

// Runs the tests of `Fixture` once in each edition's program: what is shared
// must hold in both.
template <typename Fixture>
class InBothEditions : public Fixture, public ::testing::WithParamInterface<Edition::Id> {
protected:
    Edition::Id editionUnderTest() const override { return this->GetParam(); }
};

inline std::string editionName(const ::testing::TestParamInfo<Edition::Id>& info) {
    return info.param == Edition::Id::First ? "FirstEdition" : "CurrentEdition";
}

#define PICTAVO_IN_BOTH_EDITIONS(Suite)                                                            \
    INSTANTIATE_TEST_SUITE_P(                                                                      \
        Editions, Suite, ::testing::Values(Edition::Id::Current, Edition::Id::First), editionName)

// Runs the tests of `Fixture` over each case of type `Case` (with a `name`
// member) in each edition's program.
template <typename Fixture, typename Case>
class InBothEditionsWithCases
    : public Fixture,
      public ::testing::WithParamInterface<std::tuple<Case, Edition::Id>> {
protected:
    Edition::Id editionUnderTest() const override { return std::get<1>(this->GetParam()); }
    const Case& testCase() const { return std::get<0>(this->GetParam()); }
};

struct ByNameAndEdition {
    template <typename Case>
    std::string
    operator()(const ::testing::TestParamInfo<std::tuple<Case, Edition::Id>>& info) const {
        return std::string(std::get<0>(info.param).name) + "_" +
               (std::get<1>(info.param) == Edition::Id::First ? "FirstEdition" : "CurrentEdition");
    }
};

#define PICTAVO_CASES_IN_BOTH_EDITIONS(Prefix, Suite, cases)                                       \
    INSTANTIATE_TEST_SUITE_P(                                                                      \
        Prefix, Suite,                                                                             \
        ::testing::Combine(cases, ::testing::Values(Edition::Id::Current, Edition::Id::First)),    \
        ByNameAndEdition())
