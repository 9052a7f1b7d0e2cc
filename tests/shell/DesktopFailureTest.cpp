#include "ControllerFixture.h"
#include "engine/Settings.h"
#include "filelist/FileList.h"
#include "platform/Constants.h"
#include "shell/Dialogs.h"
#include "shell/ReportingWorkspace.h"
#include "support/TestEnvironment.h"
#include "support/TestTiff.h"
#include "widgets/SegmentedControl.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QStyle>

#include <functional>
#include <gtest/gtest.h>

namespace {

using Request = WorkspaceFailure::Request;

struct MessageCase {
    const char* name;
    QList<WorkspaceFailure> failures;
    const char* text; // "FOLDER" stands for an existing folder, "NAME" for its name
};

class CannotOpenMessageTest : public ::testing::TestWithParam<MessageCase> {};

TEST_P(CannotOpenMessageTest, SaysWhatFailedAndWhereItIs) {
    static const QString folder = makeTestFolder(QStringLiteral("Logs"));
    QList<WorkspaceFailure> failures = GetParam().failures;
    for (WorkspaceFailure& failure : failures) {
        failure.targets.replaceInStrings(QStringLiteral("FOLDER"), folder);
    }
    EXPECT_EQ(cannotOpenMessage(failures),
              QString::fromUtf8(GetParam().text)
                  .replace(QStringLiteral("FOLDER"), folder)
                  .replace(QStringLiteral("NAME"), QFileInfo(folder).fileName()));
}

QStringList numberedFiles(int count) {
    QStringList paths;
    for (int i = 1; i <= count; ++i) {
        paths.append(QStringLiteral("/scans/p%1.tif").arg(i));
    }
    return paths;
}

const MessageCase kMessageCases[] = {
    {"OneFile",
     {{Request::Open, {QStringLiteral("/opt/pictavo/MACPictavo2.pdf")}}},
     "“MACPictavo2.pdf” could not be opened: no application on this desktop opens it.\n"
     "The file is at:\n/opt/pictavo/MACPictavo2.pdf"},
    {"OneFolder",
     {{Request::Open, {QStringLiteral("FOLDER")}}},
     "The folder “NAME” could not be opened: no file manager is set up on this desktop.\n"
     "The folder is at:\nFOLDER"},
    {"FilesOpenedOneByOneInOneParagraph",
     {{Request::Open, {QStringLiteral("/scans/a.tif")}},
      {Request::Open, {QStringLiteral("/scans/b.tif")}},
      {Request::Open, {QStringLiteral("/scans/a.tif")}}},
     "2 files could not be opened: no application on this desktop opens them.\n"
     "They are at:\n/scans/a.tif\n/scans/b.tif"},
    {"Reveal",
     {{Request::Reveal, {QStringLiteral("/scans/a.tif")}}},
     "“a.tif” could not be shown in its folder: no file manager is set up on this desktop.\n"
     "The file is at:\n/scans/a.tif"},
    {"InformationOnTwo",
     {{Request::Information, {QStringLiteral("/scans/a.tif"), QStringLiteral("/scans/b.tif")}}},
     "The information on 2 files could not be shown: no file manager is set up on this "
     "desktop.\nThey are at:\n/scans/a.tif\n/scans/b.tif"},
    {"WebPage",
     {{Request::Url, {QStringLiteral("http://www.quorlen.example/pictavo/")}}},
     "The web page could not be opened: no web browser is set up on this desktop.\n"
     "Its address is:\nhttp://www.quorlen.example/pictavo/"},
    {"MailWithItsSubject",
     {{Request::Url,
       {QStringLiteral("mailto:support@quorlen.example?subject=Support%20for%20%5BPictavo%5D&"
                       "body=Note")}}},
     "The e-mail could not be started: no mail program is set up on this desktop.\n"
     "Write to:\nsupport@quorlen.example\nSubject: Support for [Pictavo]"},
    {"ManyFilesAreCounted",
     {{Request::Reveal, numberedFiles(12)}},
     "12 files could not be shown in their folders: no file manager is set up on this "
     "desktop.\nThey are at:\n/scans/p1.tif\n/scans/p2.tif\n/scans/p3.tif\n/scans/p4.tif\n"
     "/scans/p5.tif\n/scans/p6.tif\n/scans/p7.tif\n/scans/p8.tif\n/scans/p9.tif\n"
     "/scans/p10.tif\n… and 2 more"},
    {"EachKindItsParagraph",
     {{Request::Url, {QStringLiteral("http://www.quorlen.example/")}},
      {Request::Open, {QStringLiteral("/scans/a.tif")}}},
     "The web page could not be opened: no web browser is set up on this desktop.\n"
     "Its address is:\nhttp://www.quorlen.example/\n\n"
     "“a.tif” could not be opened: no application on this desktop opens it.\n"
     "The file is at:\n/scans/a.tif"},
};
INSTANTIATE_TEST_SUITE_P(Failures, CannotOpenMessageTest, ::testing::ValuesIn(kMessageCases),
                         ByName());

// The workspace layer alone, over a desktop that can do nothing.
class ReportingWorkspaceTest : public ::testing::Test {
protected:
    RecordingWorkspace desktop;
    QStringList told;
    ReportingWorkspace workspace{desktop, [this](const QString& m) { told.append(m); }};

    void SetUp() override { desktop.setRefusing(true); }
};

TEST_F(ReportingWorkspaceTest, EachFailureOutsideABatchIsToldAtOnce) {
    EXPECT_FALSE(workspace.openFile(QStringLiteral("/scans/a.tif")));
    EXPECT_EQ(told.size(), 1);
    EXPECT_FALSE(workspace.openURL(QStringLiteral("http://www.quorlen.example/")));
    EXPECT_EQ(told.size(), 2);
    EXPECT_EQ(desktop.requests().size(), 2);
}

TEST_F(ReportingWorkspaceTest, ABatchTellsItsFailuresOnceWhenItEnds) {
    {
        const ReportingWorkspace::Batch outer(workspace);
        {
            const ReportingWorkspace::Batch inner(workspace);
            EXPECT_FALSE(workspace.openFile(QStringLiteral("/scans/a.tif")));
        }
        EXPECT_FALSE(workspace.openFile(QStringLiteral("/scans/b.tif")));
        EXPECT_TRUE(told.isEmpty());
    }
    ASSERT_EQ(told.size(), 1);
    EXPECT_TRUE(told.first().startsWith(QStringLiteral("2 files could not be opened")));
}

TEST_F(ReportingWorkspaceTest, WhatTheDesktopDidIsNotTold) {
    desktop.setRefusing(false);
    EXPECT_TRUE(workspace.revealFiles({QStringLiteral("/scans/a.tif")}));
    EXPECT_TRUE(told.isEmpty());
}

TEST_F(ReportingWorkspaceTest, ClosedItAsksAndTellsNothing) {
    workspace.close();
    EXPECT_FALSE(workspace.openFile(QStringLiteral("/out")));
    EXPECT_TRUE(desktop.requests().isEmpty());
    EXPECT_TRUE(told.isEmpty());
}

// What the user does that asks the desktop to open something.
enum class Command {
    Help,
    LogsFolder,
    Website,
    Rate,
    Open,
    ShowInFolder,
    GetInfo,
    DoubleClick,
    ViewLog,
    AboutMailLink
};

struct CommandCase {
    const char* name;
    Command command;
    const char* told; // the start of the message; "GUIDE" stands for the guide's name
};

class DesktopFailureTest : public InBothEditionsWithCases<ControllerFixture, CommandCase> {
protected:
    QString data = makeTestFolder(QStringLiteral("data"));
    QString out = makeTestFolder(QStringLiteral("out"));
    QString source;
    // A guide of this test program's own beside it, so that Help finds one.
    QString guideName =
        QStringLiteral("DesktopFailureGuide%1").arg(QCoreApplication::applicationPid());
    QString guide =
        QDir(QCoreApplication::applicationDirPath()).filePath(guideName + QStringLiteral(".pdf"));

    void SetUp() override {
        adjustEdition = [this](Edition& e) { e.guideName = guideName; };
        ASSERT_TRUE(writeFileBytes(guide, "%PDF-1.4\n"));
        start();
        source = QDir(data).filePath(QStringLiteral("scan.tif"));
        ASSERT_TRUE(writeTestTiff(source, {grayPage(8, 8)}));
        controller->files().appendAll({FileItem::initWithURL(QUrl::fromLocalFile(source))});
        controller->editionWindow().resetView(true);
        controller->viewHelper().updateTotalLabel();
        controller->table().selectRows({0});
        controller->settings().setIsOpenFolderAfterConversion(false);
        controller->settings().setOutputFolderPath(out);
        controller->settings().setIsSetCurrentAsDefaultOutputFolderPath(true);
    }

    void TearDown() override {
        ControllerFixture::TearDown();
        QFile::remove(guide);
    }

    void clickSegment(const char* bar, int segment) { find<SegmentedControl>(bar)->click(segment); }

    void triggerMenuItem(const char* name) { find<QAction>(name)->trigger(); }

    void clickButton(const char* name) { find<QPushButton>(name)->click(); }

    void triggerContextItem(const char* name) {
        QAction* item =
            controller->table().filesContextMenu()->findChild<QAction*>(QString::fromUtf8(name));
        ASSERT_NE(item, nullptr) << name;
        item->trigger();
    }

    // Runs `command` as the user gives it in the edition under test; returns
    // the path or address the desktop was asked for.
    QString give(Command command) {
        const bool first = isFirstEdition();
        switch (command) {
        case Command::Help:
            first ? triggerMenuItem("helpMenuItem") : clickSegment("helpSegmented", 1);
            return guide;
        case Command::LogsFolder:
            first ? triggerMenuItem("openLogsFolderMenuItem")
                  : clickSegment("filesFoldersSegmented", 5);
            return StringUtilities::appSubfolderPath(edition, QStringLiteral("Logs"));
        case Command::Website:
            first ? triggerMenuItem("websiteMenuItem") : clickSegment("helpSegmented", 0);
            return StringUtilities::siteAddress() + QStringLiteral("/pictavo/");
        case Command::Rate:
            first ? triggerMenuItem("rateMenuItem") : clickSegment("helpSegmented", 2);
            return controller->usage().usagesReport()->store().reviewURL();
        case Command::Open:
            first ? clickButton("openFileButton") : triggerContextItem("openFileMenuItem");
            return source;
        case Command::ShowInFolder:
            first ? clickButton("openEnclosedFolderButton")
                  : triggerContextItem("revealFileMenuItem");
            return source;
        case Command::GetInfo:
            first ? clickButton("getInfoButton") : triggerContextItem("getInfoMenuItem");
            return source;
        case Command::DoubleClick: {
            // What the view reports for a double click on the row's name.
            auto* table = find<QAbstractItemView>("mainTableView");
            Q_EMIT table->doubleClicked(table->model()->index(0, 1));
            return source;
        }
        case Command::ViewLog: {
            QSignalSpy finished(controller.get(), &PictavoAppDelegate::conversionFinished);
            pressCommand(UiCommand::Convert);
            EXPECT_TRUE(finished.count() > 0 || finished.wait(60000));
            clickButton("viewLogBtn");
            return controller->convert().process()->log().logFilePath();
        }
        case Command::AboutMailLink: {
            controller->help().aboutAction();
            auto* link = controller->help().aboutWindow()->findChild<QLabel*>(
                QStringLiteral("aboutSupportLink"));
            // What the label reports for a click on its link.
            Q_EMIT link->linkActivated(link->property("mailUrl").toString());
            return QStringLiteral("support@quorlen.example");
        }
        }
        return {};
    }
};

TEST_P(DesktopFailureTest, TellsWhatCouldNotBeOpenedAndWhere) {
    workspace.setRefusing(true);
    const QString target = give(testCase().command);
    ASSERT_FALSE(workspace.requests().isEmpty());
    ASSERT_EQ(dialogs.alertsShown().size(), 1);
    const AlertRequest& alert = dialogs.alertsShown().first();
    EXPECT_EQ(alert.messageText, StringUtilities::getAppTitle(edition));
    const QString told = QString::fromUtf8(testCase().told)
                             .replace(QStringLiteral("GUIDE"), guideName + QStringLiteral(".pdf"));
    EXPECT_TRUE(alert.informativeText.startsWith(told)) << alert.informativeText.toStdString();
    EXPECT_TRUE(alert.informativeText.contains(QLatin1Char('\n') + target))
        << alert.informativeText.toStdString();
    // On the window in the current edition, on its own in the first.
    EXPECT_EQ(dialogs.alertWindows().first() == nullptr, isFirstEdition());
}

TEST_P(DesktopFailureTest, NothingIsToldWhenTheDesktopDidIt) {
    (void)give(testCase().command);
    EXPECT_FALSE(workspace.requests().isEmpty());
    EXPECT_TRUE(dialogs.alertsShown().isEmpty());
}

PICTAVO_CASES_IN_BOTH_EDITIONS(
    Commands, DesktopFailureTest,
    ::testing::Values(
        CommandCase{"Help", Command::Help, "“GUIDE” could not be opened"},
        CommandCase{"LogsFolder", Command::LogsFolder, "The folder “Logs” could not be opened"},
        CommandCase{"Website", Command::Website, "The web page could not be opened"},
        CommandCase{"Rate", Command::Rate, "The web page could not be opened"},
        CommandCase{"Open", Command::Open, "“scan.tif” could not be opened"},
        CommandCase{"ShowInFolder", Command::ShowInFolder,
                    "“scan.tif” could not be shown in its folder"},
        CommandCase{"GetInfo", Command::GetInfo, "The information on “scan.tif” could not"},
        CommandCase{"ViewLog", Command::ViewLog, "“"},
        CommandCase{"AboutMailLink", Command::AboutMailLink, "The e-mail could not be started"}));

// The first edition's table opens nothing on a double click.
INSTANTIATE_TEST_SUITE_P(CurrentEditionCommands, DesktopFailureTest,
                         ::testing::Combine(::testing::Values(CommandCase{
                                                "DoubleClick", Command::DoubleClick,
                                                "“scan.tif” could not be shown in its folder"}),
                                            ::testing::Values(Edition::Id::Current)),
                         ByNameAndEdition());

// The alert as the desktop shows it: the path in it can be selected and
// copied, whichever style draws it (some let the style decide, and some styles
// only follow links).
class AlertTextTest : public ::testing::TestWithParam<const char*> {
protected:
    const QString styleBefore = QApplication::style()->name();
    void SetUp() override { QApplication::setStyle(QString::fromUtf8(GetParam())); }
    void TearDown() override { QApplication::setStyle(styleBefore); }
};

TEST_P(AlertTextTest, PathsCanBeSelected) {
    QMainWindow window;
    window.show();
    QtDialogs dialogs;
    AlertRequest alert;
    alert.messageText = QStringLiteral("Pictavo");
    alert.informativeText = QStringLiteral("The file is at:\n/scans/a.tif");
    dialogs.beginAlert(&window, alert, [](int) {});
    auto* box = window.findChild<QMessageBox*>();
    ASSERT_NE(box, nullptr);
    ASSERT_TRUE(box->isVisible());
    bool found = false;
    for (const QLabel* label : box->findChildren<QLabel*>()) {
        if (label->text().contains(QStringLiteral("/scans/a.tif"))) {
            found = true;
            EXPECT_TRUE(label->textInteractionFlags().testFlag(Qt::TextSelectableByMouse));
        }
    }
    EXPECT_TRUE(found);
    box->accept();
}

INSTANTIATE_TEST_SUITE_P(Styles, AlertTextTest, ::testing::Values("Fusion", "Windows"),
                         [](const ::testing::TestParamInfo<const char*>& style) {
                             return std::string(style.param);
                         });

} // namespace
