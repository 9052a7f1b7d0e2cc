#include "ControllerFixture.h"
#include "filelist/FileList.h"
#include "platform/Constants.h"
#include "platform/Edition.h"
#include "shell/SingleInstance.h"
#include "support/TestTiff.h"
#include "widgets/SegmentedControl.h"

#include <QAction>
#include <QCheckBox>
#include <QDialog>
#include <QLabel>
#include <QMenu>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QUrlQuery>

#include <gtest/gtest.h>

namespace {

class CommandBarTest : public ControllerFixture {
protected:
    QString data = makeTestFolder(QStringLiteral("data"));

    void SetUp() override { start(); }

    SegmentedControl* bar(const char* name) const { return find<SegmentedControl>(name); }

    void addOneFile() {
        const QString path = QDir(data).filePath(QStringLiteral("a.tif"));
        ASSERT_TRUE(writeTestTiff(path, {grayPage(8, 8)}));
        controller->files().appendAll({FileItem::initWithURL(QUrl::fromLocalFile(path))});
        controller->editionWindow().resetView(true);
        controller->viewHelper().updateTotalLabel();
    }

    QStringList urlsOpened() const {
        QStringList urls;
        for (const auto& request : workspace.requests()) {
            if (request.action == QLatin1String("url")) {
                urls += request.paths;
            }
        }
        return urls;
    }
};

TEST_F(CommandBarTest, SegmentsRunTheirCommandsAndActAsPushButtons) {
    addOneFile();
    bar("filesFoldersSegmented")->click(0);
    EXPECT_EQ(dialogs.panelsShown().last().message, QStringLiteral("Select TIFF File(s):"));
    bar("filesFoldersSegmented")->click(4);
    EXPECT_EQ(dialogs.savePanelsShown().size(), 1);
    bar("filesFoldersSegmented")->click(5);
    EXPECT_EQ(workspace.requests().last(),
              (RecordingWorkspace::Request{
                  QStringLiteral("open"),
                  {StringUtilities::appSubfolderPath(edition, QStringLiteral("Logs"))}}));
    bar("helpSegmented")->click(0);
    bar("helpSegmented")->click(2);
    EXPECT_EQ(urlsOpened(),
              (QStringList{StringUtilities::siteAddress() + QStringLiteral("/pictavo/"),
                           controller->usage().usagesReport()->store().reviewURL()}));
    for (const int segment : {0, 4, 5}) {
        EXPECT_FALSE(bar("filesFoldersSegmented")->isSelected(segment)) << segment;
    }
    EXPECT_FALSE(bar("helpSegmented")->isSelected(0));
    EXPECT_TRUE(bar("helpSegmented")->isSelected(2)); // the review segment stays selected

    bar("commandSegmented")->click(0);
    EXPECT_TRUE(controller->outputSettings().outputSettingPanel()->isVisible());
    EXPECT_FALSE(bar("commandSegmented")->isSelected(0));
    controller->outputSettings().closeOutputSetting();
    bar("filesFoldersSegmented")->click(3);
    EXPECT_TRUE(controller->importExport().importFilesController()->window()->isVisible());
}

using CommandsInBothEditions = InBothEditions<CommandBarTest>;
PICTAVO_IN_BOTH_EDITIONS(CommandsInBothEditions);

TEST_P(CommandsInBothEditions, SubfoldersToggleTwiceReturnsToTheStart) {
    const bool before = controller->fileSystemHelper().inculdeSubfolders();
    EXPECT_EQ(isIncludeSubfoldersShownOn(), before);
    pressCommand(UiCommand::IncludeSubfolders);
    EXPECT_EQ(controller->fileSystemHelper().inculdeSubfolders(), !before);
    EXPECT_EQ(isIncludeSubfoldersShownOn(), !before);
    EXPECT_EQ(find<QAction>("includeSubfoldersMenuItem")->isChecked(), !before);
    pressCommand(UiCommand::IncludeSubfolders);
    EXPECT_EQ(controller->fileSystemHelper().inculdeSubfolders(), before);
    EXPECT_EQ(isIncludeSubfoldersShownOn(), before);
    SettingsPreferences reopened(prefsPath);
    EXPECT_EQ(reopened.value(QStringLiteral("INCLUDESUBFOLDERS")).toBool(), before);
}

TEST_F(CommandBarTest, MissingGuideIsLoggedAndNothingOpens) {
    SystemLogCapture capture;
    bar("helpSegmented")->click(1);
    ASSERT_EQ(capture.lines().size(), 1);
    EXPECT_TRUE(capture.lines().first().startsWith(QStringLiteral("Error in [helpAction:] : ")))
        << capture.lines().first().toStdString();
    EXPECT_TRUE(capture.lines().first().contains(QStringLiteral("MACPictavo2.pdf")));
    EXPECT_TRUE(workspace.requests().isEmpty());
    EXPECT_TRUE(dialogs.alertsShown().isEmpty());
}

TEST_P(CommandsInBothEditions, AboutShowsItsTextsAndEndsWithOkOrEscape) {
    const QString title = StringUtilities::getAppTitle(edition);
    const QString titleLine = QStringLiteral("%1 (%2)").arg(title, edition.version);
    for (const bool byEscape : {false, true}) {
        controller->help().aboutAction();
        QDialog* about = controller->help().aboutWindow();
        ASSERT_NE(about, nullptr);
        EXPECT_TRUE(about->isVisible());
        EXPECT_EQ(about->windowModality(), Qt::WindowModal);
        EXPECT_EQ(about->parentWidget(), controller->window());
        const auto text = [about](const char* name) {
            return about->findChild<QLabel*>(QString::fromUtf8(name))->text();
        };
        EXPECT_EQ(text("aboutTitle"), titleLine);
        EXPECT_EQ(text("aboutThanks"), QStringLiteral("Thank you for using %1.").arg(title));
        EXPECT_EQ(text("aboutCopyright"), edition.copyright);
        EXPECT_FALSE(about->findChild<QLabel*>(QStringLiteral("aboutIcon"))->pixmap().isNull());
        const QUrl mail(about->findChild<QLabel*>(QStringLiteral("aboutSupportLink"))
                            ->property("mailUrl")
                            .toString());
        EXPECT_EQ(mail.scheme(), QStringLiteral("mailto"));
        const QUrlQuery query(mail);
        EXPECT_EQ(query.queryItemValue(QStringLiteral("subject"), QUrl::FullyDecoded),
                  QStringLiteral("Support for [%1]").arg(titleLine));
        EXPECT_EQ(query.queryItemValue(QStringLiteral("body"), QUrl::FullyDecoded),
                  QStringLiteral("Note:\rPlease explain your issues with details if necessary with "
                                 "screenshot of application."));
        auto* ok = about->findChild<QPushButton*>(QStringLiteral("aboutOKBtn"));
        EXPECT_EQ(ok->toolTip(), QStringLiteral("Click to continue with %1.").arg(title));
        if (byEscape) {
            QTest::keyClick(about, Qt::Key_Escape);
        } else {
            ok->click();
        }
        EXPECT_FALSE(about->isVisible());
    }
}

TEST_P(CommandsInBothEditions, MenusFollowTheControlsAndRunNothingThatCannotRun) {
    QMenu* edit = find<QMenu>("editMenu");
    QMenu* file = find<QMenu>("fileMenu");
    Q_EMIT edit->aboutToShow();
    EXPECT_FALSE(find<QAction>("selectAllMenuItem")->isEnabled());
    EXPECT_FALSE(find<QAction>("removeMenuItem")->isEnabled());
    EXPECT_FALSE(find<QAction>("removeAllMenuItem")->isEnabled());
    EXPECT_FALSE(find<QAction>("exportMenuItem")->isEnabled());
    EXPECT_FALSE(find<QAction>("convertMenuItem")->isEnabled());
    EXPECT_TRUE(find<QAction>("importMenuItem")->isEnabled());
    Q_EMIT edit->aboutToHide();

    // A shortcut for a command that cannot run does nothing.
    find<QAction>("exportMenuItem")->trigger();
    find<QAction>("convertMenuItem")->trigger();
    EXPECT_TRUE(dialogs.savePanelsShown().isEmpty());
    EXPECT_TRUE(dialogs.panelsShown().isEmpty());

    addOneFile();
    Q_EMIT file->aboutToShow();
    EXPECT_TRUE(find<QAction>("exportMenuItem")->isEnabled());
    EXPECT_TRUE(find<QAction>("convertMenuItem")->isEnabled());
    Q_EMIT file->aboutToHide();
    find<QAction>("selectAllMenuItem")->trigger();
    EXPECT_EQ(controller->table().selectedRows(), std::vector<int>{0});
    dialogs.answerNextAlert(kAlertFirstButton + 1); // keep the files
    find<QAction>("removeAllMenuItem")->trigger();
    EXPECT_EQ(dialogs.alertsShown().size(), 1);
    EXPECT_EQ(controller->files().size(), 1);
}

// The keys every desktop uses for these commands.
TEST_P(CommandsInBothEditions, StandardKeysOnTheMenus) {
    const struct {
        const char* item;
        const char* keys;
    } cases[] = {{"addFilesMenuItem", "Ctrl+O"},  {"quitMenuItem", "Ctrl+Q"},
                 {"selectAllMenuItem", "Ctrl+A"}, {"removeMenuItem", "Del"},
                 {"helpMenuItem", "F1"},          {"outputSettingsMenuItem", "Ctrl+,"},
                 {"importMenuItem", "Ctrl+I"},    {"exportMenuItem", "Ctrl+E"},
                 {"convertMenuItem", "Ctrl+R"}};
    for (const auto& c : cases) {
        EXPECT_EQ(find<QAction>(c.item)->shortcut(), QKeySequence(QString::fromUtf8(c.keys)))
            << c.item;
    }
}

TEST_F(CommandBarTest, SecondStartHandsItsPathsToTheRunningOne) {
    const QString name = QStringLiteral("pictavo-test-%1").arg(QCoreApplication::applicationPid());
    SingleInstance instance(name);
    ASSERT_TRUE(instance.listen());
    connectSingleInstance(instance, *controller);
    const QString path = QDir(data).filePath(QStringLiteral("handed.tif"));
    ASSERT_TRUE(writeTestTiff(path, {grayPage(8, 8)}));

    QSignalSpy received(&instance, &SingleInstance::received);
    QSignalSpy loaded(controller.get(), &PictavoAppDelegate::loadFinished);
    QProcess second;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("PICTAVO_INSTANCE_NAME"), name);
    second.setProcessEnvironment(environment);
    second.start(QStringLiteral(PICTAVO_PATH), {path});
    ASSERT_TRUE(received.wait(30000));
    // It may well have ended while the hand-off was being read.
    ASSERT_TRUE(second.state() == QProcess::NotRunning || second.waitForFinished(30000));
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_EQ(received.first().first().toStringList(), QStringList{path});
    ASSERT_TRUE(loaded.count() > 0 || loaded.wait(30000));
    ASSERT_EQ(controller->files().size(), 1);
    EXPECT_EQ(controller->files().at(0)->filePath().toLocalFile(), path);
}

} // namespace
