#include "filelist/FolderWalker.h"

#include "support/TestEnvironment.h"
#include "support/TestTiff.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

namespace {

class FolderWalkerTest : public ::testing::Test {
protected:
    QString root = makeTestFolder(QStringLiteral("walk"));

    void touch(const QString& relative) {
        const QString path = QDir(root).filePath(relative);
        QDir().mkpath(QFileInfo(path).path());
        ASSERT_TRUE(writeFileBytes(path, "x"));
    }

    QStringList walk(const QStringList& relative, bool subfolders, int stopAfter = -1) {
        QList<QUrl> urls;
        for (const QString& r : relative) {
            urls.append(QUrl::fromLocalFile(QDir(root).filePath(r)));
        }
        QStringList seen;
        walkFolders(
            urls, subfolders, [&] { return stopAfter < 0 || seen.size() < stopAfter; },
            [&](const QUrl& url) { seen.append(QDir(root).relativeFilePath(url.toLocalFile())); });
        return seen;
    }

    void SetUp() override {
        for (const char* f :
             {"b.tif", "a.TIFF", "c.tiff", "d.TIF", "mixed.Tif", "photo.jpg", ".hidden.tif",
              "sub/e.tif", "sub/deeper/f.tif", ".secret/g.tif", "sub/.h.tif"}) {
            touch(QString::fromUtf8(f));
        }
    }
};

TEST_F(FolderWalkerTest, TakesOnlyTheFourExtensionsInNameOrder) {
    EXPECT_EQ(walk({QStringLiteral(".")}, false),
              (QStringList{QStringLiteral("a.TIFF"), QStringLiteral("b.tif"),
                           QStringLiteral("c.tiff"), QStringLiteral("d.TIF")}));
}

TEST_F(FolderWalkerTest, SubfoldersDepthFirstButNeverHiddenOnes) {
    EXPECT_EQ(walk({QStringLiteral(".")}, true),
              (QStringList{QStringLiteral("a.TIFF"), QStringLiteral("b.tif"),
                           QStringLiteral("c.tiff"), QStringLiteral("d.TIF"),
                           QStringLiteral("sub/deeper/f.tif"), QStringLiteral("sub/e.tif")}));
}

TEST_F(FolderWalkerTest, TopLevelFilesAreFilteredToo) {
    EXPECT_EQ(
        walk({QStringLiteral("photo.jpg"), QStringLiteral("mixed.Tif"), QStringLiteral("b.tif")},
             false),
        QStringList{QStringLiteral("b.tif")});
}

TEST_F(FolderWalkerTest, StopsWhenAskedAndKeepsWhatItFound) {
    EXPECT_EQ(walk({QStringLiteral("."), QStringLiteral("sub")}, true, 2).size(), 2);
}

TEST_F(FolderWalkerTest, DoesNotFollowLinkedFolders) {
    ASSERT_TRUE(QFile::link(root, QDir(root).filePath(QStringLiteral("sub/loop"))));
    EXPECT_EQ(walk({QStringLiteral("sub")}, true),
              (QStringList{QStringLiteral("sub/deeper/f.tif"), QStringLiteral("sub/e.tif")}));
}

TEST(AllowedFileTypesTest, ExactlyTheFourSpellings) {
    EXPECT_EQ(allowedFileTypes(), (QStringList{QStringLiteral("tif"), QStringLiteral("TIF"),
                                               QStringLiteral("tiff"), QStringLiteral("TIFF")}));
    EXPECT_FALSE(hasAllowedExtension(QStringLiteral("tif")));
    EXPECT_FALSE(hasAllowedExtension(QStringLiteral("a.tif.jpg")));
    EXPECT_TRUE(hasAllowedExtension(QStringLiteral("a.jpg.tif")));
}

} // namespace
