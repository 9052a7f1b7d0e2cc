#include "platform/AtomicFile.h"
#include "platform/Constants.h"
#include "platform/Edition.h"
#include "platform/SystemLog.h"
#include "support/TestEnvironment.h"
#include "support/TestTiff.h"

#include <QDir>
#include <QFileInfo>

#include <gtest/gtest.h>

namespace {

QStringList filesIn(const QString& folder) {
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
}

TEST(AtomicFileTest, CommitReplacesTheFileAndLeavesNoTemporary) {
    const QString folder = makeTestFolder();
    const QString target = QDir(folder).filePath(QStringLiteral("page.png"));
    ASSERT_TRUE(writeFileBytes(target, "old"));
    AtomicFile file(target);
    ASSERT_TRUE(file.create());
    ASSERT_TRUE(writeFileBytes(file.temporaryPath(), "new"));
    // A process killed now would leave nothing under any name.
    EXPECT_EQ(filesIn(folder), QStringList{QStringLiteral("page.png")});
    ASSERT_TRUE(file.commit());
    EXPECT_EQ(readFileBytes(target), QByteArray("new"));
    EXPECT_EQ(filesIn(folder), QStringList{QStringLiteral("page.png")});
}

TEST(AtomicFileTest, AbandonedWriteKeepsTheOldFile) {
    const QString folder = makeTestFolder();
    const QString target = QDir(folder).filePath(QStringLiteral("page.png"));
    ASSERT_TRUE(writeFileBytes(target, "old"));
    {
        AtomicFile file(target);
        ASSERT_TRUE(file.create());
        ASSERT_TRUE(writeFileBytes(file.temporaryPath(), "half"));
    }
    EXPECT_EQ(readFileBytes(target), QByteArray("old"));
    EXPECT_EQ(filesIn(folder), QStringList{QStringLiteral("page.png")});
}

TEST(AtomicFileTest, CommitWithoutReplacingRefusesATakenName) {
    const QString folder = makeTestFolder();
    const QString taken = QDir(folder).filePath(QStringLiteral("a.log"));
    const QString free = QDir(folder).filePath(QStringLiteral("a-2.log"));
    ASSERT_TRUE(writeFileBytes(taken, "first"));
    AtomicFile file(taken);
    ASSERT_TRUE(file.create());
    ASSERT_TRUE(writeFileBytes(file.temporaryPath(), "second"));
    EXPECT_EQ(file.commitWithoutReplacing(taken), AtomicFile::Outcome::NameTaken);
    EXPECT_EQ(file.commitWithoutReplacing(free), AtomicFile::Outcome::Committed);
    EXPECT_EQ(readFileBytes(taken), QByteArray("first"));
    EXPECT_EQ(readFileBytes(free), QByteArray("second"));
    EXPECT_EQ(file.finalPath(), free);
    EXPECT_EQ(filesIn(folder).size(), 2);
}

TEST(AtomicFileTest, MissingFolderFailsWithItsName) {
    const QString folder = QDir(makeTestFolder()).filePath(QStringLiteral("gone"));
    AtomicFile file(QDir(folder).filePath(QStringLiteral("x.jpg")));
    const Status status = file.create();
    ASSERT_FALSE(status.ok());
    EXPECT_TRUE(status.error().contains(folder)) << status.error().toStdString();
}

TEST(StringUtilitiesTest, TitleIsTheDisplayNameWithTheSuffix) {
    EXPECT_EQ(StringUtilities::getAppTitle(Edition::currentEdition()), QStringLiteral("Pictavo"));
    EXPECT_EQ(StringUtilities::getAppTitle(Edition::currentEdition(), QStringLiteral(" - Log")),
              QStringLiteral("Pictavo - Log"));
}

TEST(StringUtilitiesTest, AppPathFollowsTheEdition) {
    const QString data = qEnvironmentVariable("XDG_DATA_HOME");
    EXPECT_EQ(StringUtilities::getAppPath(Edition::currentEdition()),
              data + QStringLiteral("/Quorlen/Pictavo2"));
    EXPECT_EQ(StringUtilities::getAppPath(Edition::firstEdition()),
              data + QStringLiteral("/Quorlen/Pictavo1"));
    EXPECT_EQ(Edition::firstEdition().guideName, QStringLiteral("MACPictavo1"));
    EXPECT_EQ(Edition::currentEdition().guideName, QStringLiteral("MACPictavo2"));
}

TEST(StringUtilitiesTest, CreatesTheFolderAndItsLogsOnce) {
    ASSERT_TRUE(
        StringUtilities::createApplicationUsersFolder(Edition::currentEdition(), QString()));
    ASSERT_TRUE(StringUtilities::createApplicationUsersFolder(Edition::currentEdition(),
                                                              QStringLiteral("Logs")));
    EXPECT_TRUE(QFileInfo(StringUtilities::appSubfolderPath(Edition::currentEdition(),
                                                            QStringLiteral("Logs")))
                    .isDir());
    EXPECT_TRUE(StringUtilities::createApplicationUsersFolder(Edition::currentEdition(),
                                                              QStringLiteral("Logs")));
}

TEST(StringUtilitiesTest, PlainFileInTheWayIsLeftAlone) {
    ASSERT_TRUE(
        StringUtilities::createApplicationUsersFolder(Edition::currentEdition(), QString()));
    const QString blocker =
        StringUtilities::appSubfolderPath(Edition::currentEdition(), QStringLiteral("Blocked"));
    ASSERT_TRUE(writeFileBytes(blocker, "keep"));
    QString error;
    EXPECT_FALSE(StringUtilities::createApplicationUsersFolder(Edition::currentEdition(),
                                                               QStringLiteral("Blocked"), &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(readFileBytes(blocker), QByteArray("keep"));
}

TEST(SystemLogTest, ErrorLinesHaveOneShape) {
    SystemLogCapture capture;
    systemLogError(QStringLiteral("(Settings=>synchronize)"), QStringLiteral("disk full"));
    systemLogError(QStringLiteral("convertAction"), QStringLiteral("100% wrong"));
    EXPECT_EQ(capture.lines(),
              (QStringList{QStringLiteral("Error in (Settings=>synchronize) : disk full"),
                           QStringLiteral("Error in convertAction : 100% wrong")}));
}

TEST(SystemLogTest, CapturesNestAndRestore) {
    SystemLogCapture outer;
    {
        SystemLogCapture inner;
        systemLog(QStringLiteral("inner"));
        EXPECT_EQ(inner.lines(), QStringList{QStringLiteral("inner")});
    }
    systemLog(QStringLiteral("outer"));
    EXPECT_EQ(outer.lines(), QStringList{QStringLiteral("outer")});
}

} // namespace
