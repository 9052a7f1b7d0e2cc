#include "ControllerFixture.h"
#include "platform/Constants.h"
#include "support/TestHttpServer.h"

#include <QAction>
#include <QCheckBox>
#include <QDialog>
#include <QFile>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QToolBar>

#include <gtest/gtest.h>

namespace {

class UsagesReportingTest : public ControllerFixture {
protected:
    void SetUp() override { start(); }

    UsagesReportingWindowController& usages() { return *controller->usage().usagesReport(); }
    UsageStore& store() { return usages().store(); }
    QString usageFile() const {
        return QDir(StringUtilities::getAppPath(edition)).filePath(QStringLiteral("Usages.Log"));
    }
    QByteArray usageFileBytes() const {
        QFile file(usageFile());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    template <typename T> T* inSheet(const char* name) {
        T* widget = usages().window()->findChild<T*>(QString::fromUtf8(name));
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }
    QStringList alertTexts() const {
        QStringList texts;
        for (const AlertRequest& a : dialogs.alertsShown()) {
            texts.append(a.messageText + QLatin1Char(' ') + a.informativeText);
        }
        return texts;
    }
    // Submits from the sheet and waits for the answer the user is shown.
    void submitAndWait() {
        QSignalSpy answered(&usages(), &UsagesReportingWindowController::submitAnswered);
        inSheet<QPushButton>("submitBtn")->click();
        ASSERT_TRUE(answered.count() > 0 || answered.wait(30000));
    }
};

using UsagesInBothEditions = InBothEditions<UsagesReportingTest>;
PICTAVO_IN_BOTH_EDITIONS(UsagesInBothEditions);

TEST_P(UsagesInBothEditions, FreshStartHoldsTheSetUpEntryAndTheDueMark) {
    ASSERT_NE(controller->usage().usagesReport(), nullptr);
    ASSERT_EQ(store().features().size(), 1U);
    EXPECT_EQ(store().features().front().name, QStringLiteral("Output Files"));
    EXPECT_EQ(store().features().front().usagesCount, 1);
    EXPECT_EQ(store().features().front().filesCount, 0);
    EXPECT_EQ(store().nextReviewTargetValue(), 500);
    EXPECT_EQ(store().reviewURL(),
              StringUtilities::siteAddress() + QStringLiteral("/review.php?pid=2015"));
    const QByteArray file = usageFileBytes();
    EXPECT_TRUE(file.contains("<nextReviewTargetValue>500</nextReviewTargetValue>"))
        << file.toStdString();
    EXPECT_TRUE(file.contains("<name>Output Files</name>"));
    // Nothing is due on a fresh start: no files converted yet.
    controller->applicationDidFinishLaunching();
    EXPECT_EQ(usages().reviewPanel(), nullptr);
}

TEST_P(UsagesInBothEditions, ApplyStoresTheConsentAndCancelStoresNothing) {
    usages().usagesAction();
    QDialog* sheet = usages().window();
    ASSERT_NE(sheet, nullptr);
    EXPECT_TRUE(sheet->isVisible());
    EXPECT_EQ(sheet->windowModality(), Qt::WindowModal);
    auto* consent = inSheet<QCheckBox>("enableUsagesReportingButton");
    EXPECT_FALSE(consent->isChecked());

    consent->click();
    QTest::keyClick(sheet, Qt::Key_Escape); // Cancel: nothing stored
    EXPECT_FALSE(sheet->isVisible());
    EXPECT_FALSE(store().isEnabled());
    EXPECT_TRUE(usageFileBytes().contains("<enabled>false</enabled>"));

    usages().usagesAction();
    EXPECT_TRUE(consent->isChecked()); // left as the user left it
    inSheet<QPushButton>("applyBtn")->click();
    EXPECT_FALSE(sheet->isVisible());
    EXPECT_TRUE(store().isEnabled());
    EXPECT_TRUE(usageFileBytes().contains("<enabled>true</enabled>"));
}

struct AnswerCase {
    std::string name;
    QByteArray body;
    bool accepted;
};

class SubmitAnswerTest : public UsagesReportingTest,
                         public ::testing::WithParamInterface<AnswerCase> {};

TEST_P(SubmitAnswerTest, SuccessIsToldOnlyWhenTheServerAccepted) {
    TestHttpServer server;
    server.answerWith(200, GetParam().body);
    qputenv("PICTAVO_SITE_URL", server.address().toUtf8());
    const QDateTime before = store().lastReportSentOn();
    usages().usagesAction();
    submitAndWait();
    qunsetenv("PICTAVO_SITE_URL");
    EXPECT_EQ(server.received().size(), 1);
    EXPECT_EQ(alertTexts(),
              QStringList{GetParam().accepted
                              ? QStringLiteral("Usages Reporting : Report submitted successfully.")
                              : QStringLiteral("Usages Reporting : Unable to submit report!")});
    EXPECT_EQ(store().lastReportSentOn() > before, GetParam().accepted);
    EXPECT_TRUE(usages().window()->isVisible()); // the sheet stays open
    EXPECT_TRUE(inSheet<QPushButton>("submitBtn")->isEnabled());
}

INSTANTIATE_TEST_SUITE_P(Answers, SubmitAnswerTest,
                         ::testing::Values(AnswerCase{"Ok", "OK", true},
                                           AnswerCase{"OkWithLineBreak", "OK<br>", false},
                                           AnswerCase{"ErrorPage", "<html>error</html>", false}),
                         ByName());

TEST_P(UsagesInBothEditions, NoUsageFileIsToldAtOnce) {
    ASSERT_TRUE(QFile::remove(usageFile()));
    usages().usagesAction();
    inSheet<QPushButton>("submitBtn")->click();
    EXPECT_EQ(alertTexts(),
              QStringList{QStringLiteral("Usages Reporting : Unable to submit report!")});
    EXPECT_TRUE(inSheet<QPushButton>("submitBtn")->isEnabled());
}

TEST_F(UsagesReportingTest, ToolbarItemGoesRightAfterItsLabel) {
    QToolBar toolbar;
    for (const char* label : {"A", "B", "C"}) {
        toolbar.addAction(QString::fromUtf8(label));
    }
    usages().initToolbar(&toolbar, QStringLiteral("D"));
    EXPECT_EQ(toolbar.actions().size(), 3);
    usages().initToolbar(&toolbar, QStringLiteral("B"));
    ASSERT_EQ(toolbar.actions().size(), 4);
    QAction* item = toolbar.actions().at(2);
    EXPECT_EQ(item->objectName(), QStringLiteral("USAGESREPORTING"));
    EXPECT_EQ(item->text(), QStringLiteral("Usages Reporting"));
    EXPECT_EQ(item->toolTip(), QStringLiteral("Usages Reporting"));
    EXPECT_EQ(item->property("paletteLabel").toString(), QStringLiteral("USAGESREPORTING"));
    EXPECT_FALSE(item->icon().isNull());
    EXPECT_EQ(toolbar.actions().at(3)->text(), QStringLiteral("C"));
    item->trigger();
    EXPECT_TRUE(usages().window()->isVisible());
    usages().cancelAction();
}

class ReviewPromptTest : public UsagesReportingTest {
protected:
    // A total of `files` converted files, as earlier jobs would leave it.
    void converted(qint32 files) {
        store().features().front().filesCount = files;
        (void)store().save();
    }
    // The review sheet; the test fails when none was ever made.
    QDialog& reviewSheet() {
        ReviewWindowController* panel = usages().reviewPanel();
        if (panel == nullptr) {
            ADD_FAILURE() << "no review sheet was made";
            return m_never;
        }
        return *panel->window();
    }
    bool reviewShown() { return usages().reviewPanel() != nullptr && reviewSheet().isVisible(); }
    QDialog m_never;
};

TEST_F(ReviewPromptTest, DueAtTheMarkAndMovedByCancel) {
    converted(499);
    controller->applicationDidFinishLaunching();
    EXPECT_EQ(usages().reviewPanel(), nullptr);

    converted(620);
    controller->applicationDidFinishLaunching();
    ASSERT_TRUE(reviewShown());
    EXPECT_EQ(reviewSheet().windowModality(), Qt::WindowModal);
    const QDateTime before = QDateTime::currentDateTime().addSecs(-1);
    QTest::keyClick(&reviewSheet(), Qt::Key_Escape); // as Cancel
    EXPECT_FALSE(reviewShown());
    EXPECT_EQ(store().nextReviewTargetValue(), 1120);
    EXPECT_FALSE(store().neverAskForReview());
    EXPECT_GE(store().lastReviewAskDate(), before);
    EXPECT_TRUE(workspace.requests().isEmpty()); // Cancel opens nothing
    EXPECT_TRUE(usageFileBytes().contains("<nextReviewTargetValue>1120</nextReviewTargetValue>"));

    controller->applicationDidFinishLaunching();
    EXPECT_FALSE(reviewShown()); // 620 is below the new mark
}

TEST_F(ReviewPromptTest, OkWithTheBoxTickedOpensThePageAndNeverAsksAgain) {
    converted(500);
    controller->applicationDidFinishLaunching();
    ASSERT_TRUE(reviewShown());
    reviewSheet().findChild<QCheckBox*>(QStringLiteral("neverAskmeAgainButton"))->click();
    reviewSheet().findChild<QPushButton*>(QStringLiteral("reviewOKBtn"))->click();
    ASSERT_EQ(workspace.requests().size(), 1);
    EXPECT_EQ(workspace.requests().first(),
              (RecordingWorkspace::Request{QStringLiteral("url"), {store().reviewURL()}}));
    EXPECT_TRUE(store().neverAskForReview());
    EXPECT_TRUE(usageFileBytes().contains("<neverAskForReview>true</neverAskForReview>"));

    converted(100000);
    controller->applicationDidFinishLaunching();
    EXPECT_FALSE(reviewShown());
}

} // namespace
