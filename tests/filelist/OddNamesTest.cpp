#include "support/OddNames.h"

#include "filelist/FileItem.h"
#include "filelist/FileList.h"
#include "filelist/FolderWalker.h"
#include "filelist/ListExport.h"
#include "filelist/PathList.h"
#include "filelist/RecentItem.h"
#include "platform/NativePath.h"
#include "support/TestEnvironment.h"

#include <QFile>
#include <QSettings>
#include <QUrl>

#include <algorithm>
#include <array>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

namespace {

QByteArrayList sorted(QByteArrayList list) {
    std::sort(list.begin(), list.end());
    return list;
}

class OddNamesTest : public ::testing::TestWithParam<OddName> {
protected:
    QByteArray folder = QFile::encodeName(makeTestFolder(QStringLiteral("odd")));
    QByteArray path = folder + "/" + GetParam().bytes;

    void SetUp() override { ASSERT_TRUE(writeAtBytes(path, smallTiffBytes(2))); }

    std::shared_ptr<FileItem> item() const {
        return FileItem::initWithURL(QUrl::fromLocalFile(NativePath::decode(path)));
    }
};

// The sort reads each file's dates itself; an odd name must give the date
// the table shows, not a missing one.
TEST_P(OddNamesTest, DateSortReadsTheFilesDates) {
    const QByteArray plain = folder + "/plain.tif";
    ASSERT_TRUE(writeAtBytes(plain, smallTiffBytes()));
    FileList list;
    list.appendAll({item(), FileItem::initWithURL(QUrl::fromLocalFile(NativePath::decode(plain)))});
    // After the items read the files, which may move the access times.
    const std::array<timespec, 2> old{timespec{1000000000, 0}, timespec{1000000000, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, plain.constData(), old.data(), 0), 0);
    list.sortByColumn(QStringLiteral("dateModified"), Qt::AscendingOrder);
    ASSERT_EQ(list.size(), 2);
    EXPECT_EQ(NativePath::encode(list.at(0)->name()), QByteArray("plain.tif"));
    list.sortByColumn(QStringLiteral("dateAccessed"), Qt::DescendingOrder);
    EXPECT_EQ(NativePath::encode(list.at(0)->name()), GetParam().bytes);
}

TEST_P(OddNamesTest, FileItemReadsTheFileAndShowsItsName) {
    const auto file = item();
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(file->pages(), 2);
    EXPECT_GT(file->size(), 0);
    EXPECT_TRUE(file->dateModified().isValid());
    EXPECT_EQ(NativePath::encode(file->name()), GetParam().bytes);
    EXPECT_EQ(NativePath::encode(file->location()), folder);
    const QString shown = file->displayField(QStringLiteral("name")).toString();
    EXPECT_EQ(shown, NativePath::displayPath(NativePath::decode(GetParam().bytes)));
    // Readable as it is: no private-use escape reaches the screen.
    EXPECT_FALSE(std::any_of(shown.begin(), shown.end(), [](QChar c) {
        return c.unicode() >= NativePath::kFirstEscape && c.unicode() <= NativePath::kLastEscape;
    }));
}

TEST_P(OddNamesTest, AListOfItsPathNamesIt) {
    const QByteArray list = "ignored.png\n" + path + "\r\n" + path + "\n";
    const QList<QUrl> urls = parsePathList(NativePath::decode(list), {QStringLiteral("TIF")});
    if (GetParam().bytes.contains('\n')) {
        // A list holds one path a line: such a name splits and is never named.
        EXPECT_TRUE(std::none_of(urls.begin(), urls.end(), [this](const QUrl& url) {
            return NativePath::encode(url.toLocalFile()) == path;
        }));
        return;
    }
    ASSERT_EQ(urls.size(), 1);
    EXPECT_EQ(NativePath::encode(urls.first().toLocalFile()), path);
}

TEST_P(OddNamesTest, TheExportKeepsTheNameOnOneLine) {
    const QByteArray text = exportListText({item()});
    const QList<QByteArray> lines = text.split('\n');
    ASSERT_EQ(lines.size(), 3);
    const QList<QByteArray> fields = lines[1].split('\t');
    ASSERT_EQ(fields.size(), 8);
    QByteArray expected = GetParam().bytes;
    expected.replace('\t', ' ').replace('\n', ' ');
    EXPECT_EQ(NativePath::encode(QString::fromUtf8(fields[0])), expected);
    EXPECT_EQ(NativePath::encode(QString::fromUtf8(fields[7])), folder);
}

TEST_P(OddNamesTest, ARecentFolderOfTheNameSurvivesTheStore) {
    const QString file = QString::fromUtf8(folder + "/p.conf");
    RecentItem item(NativePath::decode(path));
    {
        QSettings store(file, QSettings::IniFormat);
        store.setValue(QStringLiteral("RECENTITEMS"), QVariantList{item.getData()});
    }
    QSettings store(file, QSettings::IniFormat);
    RecentItem read;
    read.setData(store.value(QStringLiteral("RECENTITEMS")).toList().value(0));
    EXPECT_EQ(NativePath::encode(read.itemPath()), path);
}

INSTANTIATE_TEST_SUITE_P(Table, OddNamesTest, ::testing::ValuesIn(oddNames()), ByName());

class OddNamesWalkTest : public ::testing::Test {
protected:
    QByteArray root = QFile::encodeName(makeTestFolder(QStringLiteral("odd-walk")));
    QByteArray sub = root + "/sub \xff\n";

    void SetUp() override {
        ASSERT_EQ(::mkdir(sub.constData(), 0755), 0);
        for (const OddName& name : oddNames()) {
            ASSERT_TRUE(writeAtBytes(root + "/" + name.bytes, "x"));
            ASSERT_TRUE(writeAtBytes(sub + "/" + name.bytes, "x"));
        }
        ASSERT_TRUE(writeAtBytes(root + "/.\xff hidden.tif", "x"));
        ASSERT_TRUE(writeAtBytes(root + "/\xff.jpg", "x"));
    }

    QByteArrayList walk(const QByteArray& start, bool subfolders) const {
        QByteArrayList seen;
        walkFolders(
            {QUrl::fromLocalFile(NativePath::decode(start))}, subfolders, [] { return true; },
            [&](const QUrl& url) { seen.append(NativePath::encode(url.toLocalFile())); });
        return seen;
    }

    QByteArrayList expected(const QByteArrayList& folders) const {
        QByteArrayList paths;
        for (const QByteArray& folder : folders) {
            for (const OddName& name : oddNames()) {
                paths.append(folder + "/" + name.bytes);
            }
        }
        return sorted(paths);
    }
};

TEST_F(OddNamesWalkTest, FindsEveryNameInTheFolder) {
    EXPECT_EQ(sorted(walk(root, false)), expected({root}));
}

TEST_F(OddNamesWalkTest, FindsEveryNameInSubfoldersToo) {
    EXPECT_EQ(sorted(walk(root, true)), expected({root, sub}));
}

} // namespace
