// The named temporaries of AtomicFile, used where a file system has no
// unnamed files: a process killed mid-write leaves one, and a later process on
// the same host removes it, never another's that may still be written.
#include "platform/AtomicFile.h"
#include "support/TestEnvironment.h"
#include "support/TestTiff.h"

#include <QDir>
#include <QFile>
#include <QSysInfo>

#include <gtest/gtest.h>

#include <unistd.h>

namespace {

// Above the kernel's largest possible process id: no process has it.
constexpr qint64 kDeadPid = 4194305;
const QString kToken = QStringLiteral("0123456789abcdef");

QString temporaryName(const QString& host, qint64 pid, const QString& token = kToken) {
    return QStringLiteral(".pictavo-%1-%2-%3.tmp").arg(host).arg(pid).arg(token);
}

QString thisHost() {
    return QSysInfo::machineHostName();
}

enum class Kind { File, Folder, Link };

struct StaleCase {
    const char* name;
    QString entry;
    bool owned; // named as AtomicFile names its temporaries
    bool removed;
    Kind kind = Kind::File;
};

class StaleTemporaryTest : public ::testing::TestWithParam<StaleCase> {};

TEST_P(StaleTemporaryTest, OnlyThisHostsDeadProcessesLeftoversGo) {
    const QString folder = makeTestFolder(QStringLiteral("stale"));
    const QString path = QDir(folder).filePath(GetParam().entry);
    switch (GetParam().kind) {
    case Kind::File:
        ASSERT_TRUE(writeFileBytes(path, "half a page"));
        break;
    case Kind::Folder:
        ASSERT_TRUE(QDir().mkpath(path));
        break;
    case Kind::Link:
        ASSERT_TRUE(writeFileBytes(QDir(folder).filePath(QStringLiteral("page.png")), "page"));
        ASSERT_TRUE(QFile::link(QDir(folder).filePath(QStringLiteral("page.png")), path));
        break;
    }
    EXPECT_EQ(removeStaleTemporaries(folder), GetParam().removed ? 1 : 0);
    EXPECT_EQ(QFileInfo::exists(path) || QFileInfo(path).isSymLink(), !GetParam().removed);
    EXPECT_EQ(isAtomicFileTemporary(GetParam().entry), GetParam().owned);
}

INSTANTIATE_TEST_SUITE_P(
    Entries, StaleTemporaryTest,
    ::testing::Values(
        StaleCase{"DeadProcessOfThisHost", temporaryName(thisHost(), kDeadPid), true, true},
        StaleCase{"RunningProcessOfThisHost", temporaryName(thisHost(), ::getpid()), true, false},
        StaleCase{"InitOfThisHost", temporaryName(thisHost(), 1), true, false},
        StaleCase{"DeadProcessOfAnotherHost",
                  temporaryName(QStringLiteral("node-07.cluster"), kDeadPid), true, false},
        StaleCase{"HostWhoseNameEndsLikeThisOnes",
                  temporaryName(QStringLiteral("x-") + thisHost(), kDeadPid), true, false},
        StaleCase{"UnownedOfEarlierVersions", QStringLiteral(".pictavo-0123456789abcdef.tmp"),
                  false, false},
        StaleCase{"ShortToken", temporaryName(thisHost(), kDeadPid, QStringLiteral("abc")), false,
                  false},
        StaleCase{"NoPid", QStringLiteral(".pictavo-%1--%2.tmp").arg(thisHost(), kToken), false,
                  false},
        StaleCase{"NotHidden", temporaryName(thisHost(), kDeadPid).mid(1), false, false},
        StaleCase{"FolderOfThatName", temporaryName(thisHost(), kDeadPid), true, false,
                  Kind::Folder},
        StaleCase{"LinkOfThatName", temporaryName(thisHost(), kDeadPid), true, false, Kind::Link}),
    ByName());

TEST(AtomicFileSweepTest, CreateRemovesStaleTemporariesOncePerFolder) {
    const QString folder = makeTestFolder(QStringLiteral("sweep"));
    const QString first = QDir(folder).filePath(temporaryName(thisHost(), kDeadPid));
    ASSERT_TRUE(writeFileBytes(first, "killed mid-write"));
    AtomicFile file(QDir(folder).filePath(QStringLiteral("page.png")));
    ASSERT_TRUE(file.create());
    EXPECT_FALSE(QFileInfo::exists(first));
    // The folder was looked at already: a run lists it once, however many
    // files it writes there.
    const QString second = QDir(folder).filePath(
        temporaryName(thisHost(), kDeadPid, QStringLiteral("fedcba9876543210")));
    ASSERT_TRUE(writeFileBytes(second, "another"));
    AtomicFile again(QDir(folder).filePath(QStringLiteral("page2.png")));
    ASSERT_TRUE(again.create());
    EXPECT_TRUE(QFileInfo::exists(second));
}

} // namespace
