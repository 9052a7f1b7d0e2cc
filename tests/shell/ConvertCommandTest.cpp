#include "engine/Settings.h"
#include "filelist/FileList.h"
#include "platform/Constants.h"
#include "platform/Preferences.h"
#include "platform/Workspace.h"
#include "shell/Dialogs.h"
#include "shell/PictavoAppDelegate.h"
#include "support/TestEnvironment.h"
#include "support/TestTiff.h"

#include <QCheckBox>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QMainWindow>
#include <QPushButton>
#include <QSignalSpy>

#include <gtest/gtest.h>

#include <unistd.h>

namespace {

// An existing folder this process may not write to, even as root.
QString unwritableFolder() {
    const QString folder = makeTestFolder(QStringLiteral("readonly"));
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner);
    if (::access(QFile::encodeName(folder).constData(), W_OK) != 0) {
        return folder;
    }
    return QStringLiteral("/proc/1"); // root ignores permissions; procfs does not
}

class ConvertCommandTest : public ::testing::Test {
protected:
    MemoryPreferences preferences;
    RecordingWorkspace workspace;
    ScriptedDialogs dialogs;
    std::unique_ptr<PictavoAppDelegate> controller;
    QString in = makeTestFolder(QStringLiteral("in"));
    QString out = makeTestFolder(QStringLiteral("out"));

    void SetUp() override {
        controller = std::make_unique<PictavoAppDelegate>(
            PictavoAppDelegate::Services{&preferences, &workspace, &dialogs});
        controller->awakeFromNib();
        controller->settings().setIsOpenFolderAfterConversion(false);
    }

    void TearDown() override { (void)controller->applicationShouldTerminate(); }

    void addSources(const QList<std::pair<QString, int>>& sources) {
        std::vector<std::shared_ptr<FileItem>> items;
        for (const auto& [name, pages] : sources) {
            const QString path = QDir(in).filePath(name);
            EXPECT_TRUE(writeTestTiff(
                path, std::vector<TestTiffPage>(static_cast<size_t>(pages), rgbPage(16, 12))));
            items.push_back(FileItem::initWithURL(QUrl::fromLocalFile(path)));
        }
        controller->files().appendAll(items);
        controller->updateTotalLabel();
    }

    void useDefaultFolder(const QString& folder) {
        controller->settings().setOutputFolderPath(folder);
        controller->settings().setIsSetCurrentAsDefaultOutputFolderPath(true);
    }

    void convertAndWait() {
        QSignalSpy finished(controller.get(), &PictavoAppDelegate::conversionFinished);
        controller->convertAction();
        ASSERT_TRUE(finished.count() > 0 || finished.wait(60000));
    }

    QStringList outputs() const {
        return QDir(out).entryList(QDir::Files | QDir::Hidden, QDir::Name);
    }

    QPushButton* panelButton(const char* name) const {
        return controller->processViewPanel()->findChild<QPushButton*>(QString::fromUtf8(name));
    }
};

TEST_F(ConvertCommandTest, GoodDefaultFolderStartsAtOnce) {
    addSources({{QStringLiteral("scan.tif"), 2}, {QStringLiteral("memo.tif"), 1}});
    useDefaultFolder(out);
    convertAndWait();
    EXPECT_TRUE(dialogs.panelsShown().isEmpty());
    EXPECT_EQ(outputs(), (QStringList{QStringLiteral("memo1.jpg"), QStringLiteral("scan1.jpg"),
                                      QStringLiteral("scan2.jpg")}));
    ASSERT_NE(controller->process(), nullptr);
    EXPECT_EQ(controller->process()->message(),
              QStringLiteral("Total 3 files converted successfully."));
    EXPECT_TRUE(controller->processViewPanel()->isVisible());
    EXPECT_TRUE(panelButton("closeProcessBtn")->isEnabled());
    EXPECT_FALSE(panelButton("cancelProcessBtn")->isEnabled());
    auto* message =
        controller->processViewPanel()->findChild<QLabel*>(QStringLiteral("messageLabel"));
    EXPECT_EQ(message->text(), QStringLiteral("Total 3 files converted successfully."));
    auto* time = controller->window()->findChild<QLabel*>(QStringLiteral("labelTimeTaken"));
    EXPECT_TRUE(time->text().endsWith(QStringLiteral(" 2/2"))) << time->text().toStdString();

    panelButton("viewLogBtn")->click();
    EXPECT_EQ(workspace.requests().last().paths,
              QStringList{controller->process()->log().logFilePath()});

    panelButton("closeProcessBtn")->click();
    EXPECT_FALSE(controller->processViewPanel()->isVisible());
    EXPECT_EQ(controller->process(), nullptr);
    EXPECT_EQ(time->text(), QStringLiteral("Total Time Taken : 00:00 0/0"));
    EXPECT_EQ(controller->processedFilesForUsage(), 2);
    EXPECT_EQ(controller->files().size(), 2); // clear-processed-files is off
}

struct FolderMessageCase {
    std::string name;
    int folder; // 0 none, 1 deleted, 2 unwritable
    const char* expectedStart;
};

class FolderMessageTest : public ConvertCommandTest,
                          public ::testing::WithParamInterface<FolderMessageCase> {};

TEST_P(FolderMessageTest, ChooserSaysWhyItOpened) {
    addSources({{QStringLiteral("scan.tif"), 1}});
    QString folder;
    if (GetParam().folder == 1) {
        folder = QDir(out).filePath(QStringLiteral("deleted"));
    } else if (GetParam().folder == 2) {
        folder = unwritableFolder();
    }
    useDefaultFolder(folder);
    dialogs.answerNextPanel({false, {}});
    controller->convertAction();
    ASSERT_EQ(dialogs.panelsShown().size(), 1);
    const OpenPanelRequest& panel = dialogs.panelsShown().first();
    QString expected = QString::fromUtf8(GetParam().expectedStart);
    expected.replace(QStringLiteral("@"), folder);
    EXPECT_EQ(panel.message, expected);
    EXPECT_EQ(panel.title, QStringLiteral("Choose Output Folder : "));
    EXPECT_FALSE(panel.canChooseFiles);
    EXPECT_TRUE(panel.canChooseDirectories);
    EXPECT_NE(panel.accessoryView, nullptr);
    EXPECT_FALSE(controller->isProcessing());
}

INSTANTIATE_TEST_SUITE_P(
    Folders, FolderMessageTest,
    ::testing::Values(
        FolderMessageCase{"NoFolder", 0, "Please select output folder!"},
        FolderMessageCase{"Deleted", 1,
                          "Output folder [ @ ] is missing!\r\nPlease select valid output folder."},
        FolderMessageCase{
            "Unwritable", 2,
            "Application does not have write permission for selected output folder!\r\n[ @ "
            "]\r\nPlease select valid output folder."}),
    ByName());

TEST_F(ConvertCommandTest, UnwritableChoiceAlertsAndStartsNothing) {
    addSources({{QStringLiteral("scan.tif"), 1}});
    const QString folder = unwritableFolder();
    dialogs.answerNextPanel({true, {folder}});
    controller->convertAction();
    ASSERT_EQ(dialogs.alertsShown().size(), 1);
    EXPECT_EQ(dialogs.alertsShown().first().messageText, QStringLiteral("Pictavo"));
    EXPECT_EQ(dialogs.alertsShown().first().informativeText,
              QStringLiteral(
                  "Application does not have write permission for selected output folder!\r\n[ %1 "
                  "]\r\nPlease try again or later.")
                  .arg(folder));
    EXPECT_FALSE(controller->isProcessing());
    EXPECT_TRUE(controller->settings().outputFolderPath().isEmpty());
}

TEST_F(ConvertCommandTest, ChooserCheckBoxesFeedTheSettings) {
    addSources({{QStringLiteral("scan.tif"), 1}});
    controller->settings().setIsOpenFolderAfterConversion(true);
    dialogs.answerNextPanel({false, {}});
    controller->convertAction(); // sets the boxes as the chooser opens
    auto* makeDefault = controller->window()->findChild<QCheckBox*>(
        QStringLiteral("isSetCurrentAsDefaultOutputFolder"));
    auto* openAfter =
        controller->window()->findChild<QCheckBox*>(QStringLiteral("isOpenFolderAfterConversion"));
    ASSERT_NE(makeDefault, nullptr);
    ASSERT_NE(openAfter, nullptr);
    EXPECT_FALSE(makeDefault->isChecked());
    EXPECT_TRUE(openAfter->isChecked());

    // The user ticks "default", unticks "open" and chooses a folder.
    makeDefault->setChecked(true);
    openAfter->setChecked(false);
    QSignalSpy finished(controller.get(), &PictavoAppDelegate::conversionFinished);
    controller->outputFolderChosen(true, {out});
    ASSERT_TRUE(finished.count() > 0 || finished.wait(60000));
    EXPECT_EQ(controller->settings().outputFolderPath(), out);
    EXPECT_TRUE(controller->settings().isSetCurrentAsDefaultOutputFolderPath());
    EXPECT_TRUE(
        controller->settings().isOpenFolderAfterConversion()); // unticking never turns it off
    EXPECT_EQ(outputs(), QStringList{QStringLiteral("scan1.jpg")});
}

TEST_F(ConvertCommandTest, SplitTakesCheckedItemsInListOrder) {
    addSources({{QStringLiteral("a.tif"), 1},
                {QStringLiteral("b.tif"), 1},
                {QStringLiteral("c.tif"), 1},
                {QStringLiteral("d.tif"), 1},
                {QStringLiteral("e.tif"), 1}});
    controller->files().setChecked(1, false);
    controller->files().setChecked(4, false);
    useDefaultFolder(out);
    convertAndWait();
    const Process* job = controller->process();
    ASSERT_NE(job, nullptr);
    EXPECT_EQ(job->totalFileSelected(), 3);
    ASSERT_EQ(job->outputFiles().size(), 3U);
    EXPECT_TRUE(job->outputFiles()[0].filename.endsWith(QStringLiteral("a.tif")));
    EXPECT_TRUE(job->outputFiles()[1].filename.endsWith(QStringLiteral("c.tif")));
    EXPECT_TRUE(job->outputFiles()[2].filename.endsWith(QStringLiteral("d.tif")));
    EXPECT_EQ(outputs(), (QStringList{QStringLiteral("a1.jpg"), QStringLiteral("c1.jpg"),
                                      QStringLiteral("d1.jpg")}));
}

TEST_F(ConvertCommandTest, CancelMidRunAndClearProcessedFiles) {
    addSources({{QStringLiteral("long.tif"), 30},
                {QStringLiteral("next.tif"), 1},
                {QStringLiteral("kept.tif"), 1}});
    controller->files().setChecked(2, false);
    controller->settings().setIsClearProcessedFiles(true);
    useDefaultFolder(out);
    bool closableWhileRunning = true;
    // Cancel, as the sheet's button does, once three pages are done.
    QObject::connect(controller.get(), &PictavoAppDelegate::processCreated, controller.get(),
                     [&](Process* job) {
                         closableWhileRunning = panelButton("closeProcessBtn")->isEnabled();
                         QObject::connect(
                             job, &Process::totalPagesProcessedChanged, job,
                             [job](int done) {
                                 if (done == 3) {
                                     job->stop();
                                 }
                             },
                             Qt::DirectConnection);
                     });
    QSignalSpy finished(controller.get(), &PictavoAppDelegate::conversionFinished);
    controller->convertAction();
    ASSERT_TRUE(finished.count() > 0 || finished.wait(60000));
    EXPECT_FALSE(closableWhileRunning); // a running job is never closed
    EXPECT_EQ(controller->process()->message(), QStringLiteral("Process cancelled!"));
    EXPECT_EQ(outputs().size(), 3);
    panelButton("closeProcessBtn")->click();
    ASSERT_EQ(controller->files().size(), 1); // both checked items go, also the one never reached
    EXPECT_TRUE(
        controller->files().at(0)->filePath().toLocalFile().endsWith(QStringLiteral("kept.tif")));
}

} // namespace
