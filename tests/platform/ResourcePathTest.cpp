#include "platform/Constants.h"
#include "support/TestEnvironment.h"
#include "support/TestTiff.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <gtest/gtest.h>

namespace {

struct Prefix {
    QString bin;
    QString share;
};

// An installed layout: <prefix>/bin beside <prefix>/share/pictavo.
Prefix makePrefix() {
    const QDir root(makeTestFolder(QStringLiteral("prefix")));
    Prefix prefix{root.filePath(QStringLiteral("bin")),
                  root.filePath(QStringLiteral("share/pictavo"))};
    EXPECT_TRUE(QDir().mkpath(prefix.bin));
    EXPECT_TRUE(QDir().mkpath(prefix.share));
    return prefix;
}

QStringList searchOf(const Prefix& prefix) {
    return {prefix.bin, prefix.bin + QStringLiteral("/../share/pictavo")};
}

TEST(ResourcePathTest, FileBesideTheProgramComesFirst) {
    const Prefix prefix = makePrefix();
    ASSERT_TRUE(writeFileBytes(prefix.bin + QStringLiteral("/Guide.pdf"), "beside"));
    ASSERT_TRUE(writeFileBytes(prefix.share + QStringLiteral("/Guide.pdf"), "shared"));
    EXPECT_EQ(StringUtilities::pathForResource(QStringLiteral("Guide"), QStringLiteral("pdf"),
                                               searchOf(prefix)),
              prefix.bin + QStringLiteral("/Guide.pdf"));
}

TEST(ResourcePathTest, InstalledFileIsFoundAsACleanPath) {
    const Prefix prefix = makePrefix();
    ASSERT_TRUE(writeFileBytes(prefix.share + QStringLiteral("/Guide.pdf"), "shared"));
    const QString found = StringUtilities::pathForResource(QStringLiteral("Guide"),
                                                           QStringLiteral("pdf"), searchOf(prefix));
    EXPECT_EQ(found, prefix.share + QStringLiteral("/Guide.pdf"));
    EXPECT_FALSE(found.contains(QStringLiteral(".."))) << found.toStdString();
}

TEST(ResourcePathTest, MissingResourceIsEmpty) {
    const Prefix prefix = makePrefix();
    ASSERT_TRUE(writeFileBytes(prefix.bin + QStringLiteral("/Guide.html"), "other type"));
    ASSERT_TRUE(writeFileBytes(prefix.bin + QStringLiteral("/Guide"), "no type"));
    EXPECT_EQ(StringUtilities::pathForResource(QStringLiteral("Guide"), QStringLiteral("pdf"),
                                               searchOf(prefix)),
              QString());
}

TEST(ResourcePathTest, FolderOfTheResourceNameIsNoResource) {
    const Prefix prefix = makePrefix();
    ASSERT_TRUE(QDir().mkpath(prefix.bin + QStringLiteral("/Guide.pdf")));
    ASSERT_TRUE(writeFileBytes(prefix.share + QStringLiteral("/Guide.pdf"), "shared"));
    EXPECT_EQ(StringUtilities::pathForResource(QStringLiteral("Guide"), QStringLiteral("pdf"),
                                               searchOf(prefix)),
              prefix.share + QStringLiteral("/Guide.pdf"));
}

TEST(ResourcePathTest, EmptyNameOrFolderNeverReachesTheWorkingDirectory) {
    const QString folder = makeTestFolder(QStringLiteral("cwd"));
    ASSERT_TRUE(writeFileBytes(folder + QStringLiteral("/Guide.pdf"), "here"));
    ASSERT_TRUE(writeFileBytes(folder + QStringLiteral("/.pdf"), "nameless"));
    const QString before = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(folder));
    const QString byEmptyFolder = StringUtilities::pathForResource(
        QStringLiteral("Guide"), QStringLiteral("pdf"), {QString()});
    const QString byEmptyName =
        StringUtilities::pathForResource(QString(), QStringLiteral("pdf"), {folder});
    ASSERT_TRUE(QDir::setCurrent(before));
    EXPECT_EQ(byEmptyFolder, QString());
    EXPECT_EQ(byEmptyName, QString());
}

TEST(ResourcePathTest, DefaultSearchLooksBesideTheRunningProgram) {
    const QFileInfo program(QCoreApplication::applicationFilePath());
    EXPECT_EQ(StringUtilities::pathForResource(program.fileName(), QString()),
              program.absoluteFilePath());
    EXPECT_EQ(StringUtilities::pathForResource(program.fileName(), QStringLiteral("pdf")),
              QString());
}

} // namespace
