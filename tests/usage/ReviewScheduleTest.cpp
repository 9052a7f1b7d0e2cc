#include "UsageTestSupport.h"
#include "support/TestEnvironment.h"
#include "usage/UsageStore.h"

#include <QDateTime>

#include <gtest/gtest.h>

namespace {

const QString kOutputFiles = QStringLiteral("Output Files");

QString usageFileIn(const QString& folder) {
    return folder + QStringLiteral("/Usages.Log");
}

// A usage file with one "Output Files" entry of `files` files and due mark
// `mark`.
QString folderWith(int files, int mark, bool neverAsk = false) {
    const QString folder = makeTestFolder();
    writeFile(
        usageFileIn(folder),
        usageFileWith("<neverAskForReview>" + QByteArray(neverAsk ? "true" : "false") +
                      "</neverAskForReview><nextReviewTargetValue>" + QByteArray::number(mark) +
                      "</nextReviewTargetValue><features><featureusages>"
                      "<name>Output Files</name><usagescount>3</usagescount><filescount>" +
                      QByteArray::number(files) + "</filescount></featureusages></features>"));
    return folder;
}

TEST(ReviewScheduleTest, FreshInstallationIsNotDue) {
    const auto store = startApplication(makeTestFolder());
    EXPECT_EQ(store->totalFileCount(), 0);
    EXPECT_EQ(store->nextReviewTargetValue(), 500);
    EXPECT_FALSE(store->isReviewDue());
}

TEST(ReviewScheduleTest, StoredMarkOfZeroIsRaisedToTheLimitFirst) {
    const auto store = startApplication(folderWith(3, 0));
    EXPECT_EQ(store->nextReviewTargetValue(), 500);
    EXPECT_FALSE(store->isReviewDue());
}

TEST(ReviewScheduleTest, StoredMarkOtherThanZeroIsKept) {
    const auto store = startApplication(folderWith(3, 2));
    EXPECT_EQ(store->nextReviewTargetValue(), 2);
    EXPECT_TRUE(store->isReviewDue());
}

TEST(ReviewScheduleTest, DueOnceTheTotalReachesTheMark) {
    const QString folder = folderWith(499, 500);
    {
        const auto store = startApplication(folder);
        EXPECT_FALSE(store->isReviewDue());
        store->updateUsages(kOutputFiles, 1);
    }
    EXPECT_TRUE(startApplication(folder)->isReviewDue());
}

TEST(ReviewScheduleTest, TotalAddsUpEveryEntry) {
    const auto store = startApplication(folderWith(300, 500));
    store->updateUsages(QStringLiteral("Other"), 200);
    EXPECT_EQ(store->totalFileCount(), 500);
    EXPECT_TRUE(store->isReviewDue());
}

TEST(ReviewScheduleTest, NotDueWhileTheReviewIsOff) {
    const auto store = openStore(folderWith(900, 500));
    EXPECT_FALSE(store->isReviewDue()); // the main window has not switched it on
    store->setIsReviewEnabled(true);
    EXPECT_TRUE(store->isReviewDue());
}

TEST(ReviewScheduleTest, ClosedAnswerMovesTheMarkFromTheTotal) {
    const QString folder = folderWith(620, 500);
    const QDateTime closed(QDate(2026, 12, 8), QTime(10, 15, 30, 500), oneHourEast());
    {
        const auto store = startApplication(folder);
        ASSERT_TRUE(store->isReviewDue());
        store->recordReviewAnswer(false, closed);
        EXPECT_EQ(store->nextReviewTargetValue(), 1120);
        EXPECT_FALSE(store->isReviewDue());
    }
    const QByteArray text = readAll(usageFileIn(folder));
    EXPECT_TRUE(text.contains("<nextReviewTargetValue>1120</nextReviewTargetValue>"));
    EXPECT_TRUE(text.contains("<lastReviewAskDate>2026-12-08T10:15:30.500000+01:00<"));
    EXPECT_TRUE(text.contains("<neverAskForReview>false</neverAskForReview>"));

    const auto next = startApplication(folder);
    EXPECT_EQ(next->lastReviewAskDate(), closed);
    next->updateUsages(kOutputFiles, 499);
    EXPECT_FALSE(next->isReviewDue());
    next->updateUsages(kOutputFiles, 1);
    EXPECT_TRUE(next->isReviewDue());
}

TEST(ReviewScheduleTest, NeverAskAgainEndsThePromptsForGood) {
    const QString folder = folderWith(620, 500);
    startApplication(folder)->recordReviewAnswer(true, pinnedNow());
    EXPECT_TRUE(
        readAll(usageFileIn(folder)).contains("<neverAskForReview>true</neverAskForReview>"));

    const auto later = startApplication(folder);
    later->updateUsages(kOutputFiles, 1000000);
    EXPECT_FALSE(later->isReviewDue());
    EXPECT_FALSE(startApplication(folder)->isReviewDue());
}

TEST(ReviewScheduleTest, LimitSetterFillsOnlyAnEmptyMark) {
    UsageStore store(makeTestFolder(), pinnedBundle(), kPinnedUUID);
    EXPECT_EQ(store.nextReviewTargetValue(), 0);
    store.setReviewFileCountLimit(500);
    EXPECT_EQ(store.nextReviewTargetValue(), 500);
    store.setReviewFileCountLimit(700);
    EXPECT_EQ(store.reviewFileCountLimit(), 700);
    EXPECT_EQ(store.nextReviewTargetValue(), 500);
}

} // namespace
