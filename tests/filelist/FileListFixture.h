#pragma once

#include "filelist/FileList.h"
#include "support/TestEnvironment.h"
#include "support/TestTiff.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <gtest/gtest.h>
#include <limits>

namespace filelisttest {

struct SourceFile {
    const char* path; // relative to the test folder
    int pages;        // 0: not an image
    uint32_t side;    // page width and height
    int year;         // modification time
};

// Original order b, A, c, a2, note; sizes, folders and dates chosen so that
// every column sorts them differently, with ties to show stability.
const SourceFile kFiles[] = {
    {"m/b.tif", 3, 8, 2020},  {"Z/A.tiff", 1, 300, 2022}, {"a/c.TIF", 3, 100, 2023},
    {"m/a2.tif", 2, 8, 2021}, {"m/note.tif", 0, 0, 2019},
};

class FileListFixture {
protected:
    QString root = makeTestFolder(QStringLiteral("list"));
    FileList::Items made; // one fresh item per kFiles entry

    void makeFiles() {
        for (const SourceFile& file : kFiles) {
            const QString path = QDir(root).filePath(QString::fromUtf8(file.path));
            QDir().mkpath(QFileInfo(path).path());
            if (file.pages == 0) {
                ASSERT_TRUE(writeFileBytes(path, "not an image"));
            } else {
                ASSERT_TRUE(writeTestTiff(
                    path, std::vector<TestTiffPage>(static_cast<std::size_t>(file.pages),
                                                    grayPage(file.side, file.side))));
            }
            QFile handle(path);
            ASSERT_TRUE(handle.open(QIODevice::ReadWrite));
            ASSERT_TRUE(handle.setFileTime(QDateTime(QDate(file.year, 1, 1), QTime(12, 0), Qt::UTC),
                                           QFileDevice::FileModificationTime));
            made.push_back(FileItem::initWithURL(QUrl::fromLocalFile(path)));
            ASSERT_NE(made.back(), nullptr);
        }
    }

    // A second item for the same file: equal, but not the same object.
    FileList::Item twin(int index) const {
        return FileItem::initWithURL(made.at(static_cast<std::size_t>(index))->filePath());
    }

    static QStringList names(const FileList& list) {
        QStringList result;
        for (const auto& item : list.items()) {
            result.append(item->name());
        }
        return result;
    }

    // The index and the running totals must agree with a plain walk of the
    // list using item equality.
    void expectConsistent(const FileList& list) const {
        qint64 pages = 0;
        qint64 checkedPages = 0;
        int checked = 0;
        for (const auto& item : list.items()) {
            pages += item->pages();
            if (item->isSelected()) {
                ++checked;
                checkedPages += item->pages();
            }
        }
        EXPECT_EQ(list.totalPages(), pages);
        EXPECT_EQ(list.checkedCount(), checked);
        EXPECT_EQ(list.checkedPages(), checkedPages);
        for (const auto& candidate : made) {
            int linear = -1;
            for (int row = 0; row < list.size(); ++row) {
                if (*list.at(row) == *candidate) {
                    linear = row;
                    break;
                }
            }
            EXPECT_EQ(list.indexOf(*candidate), linear) << candidate->name().toStdString();
            EXPECT_EQ(list.contains(*candidate), linear >= 0) << candidate->name().toStdString();
        }
    }
};
// ---------------------------------------------------------------------------
// Notifications a table model forwards.

class FileListTest : public FileListFixture, public ::testing::Test {
protected:
    QStringList events;

    void record(FileList& list) {
        const auto add = [this](const QString& text) { events.append(text); };
        QObject::connect(&list, &FileList::aboutToAppend, &list,
                         [add](int f, int l) { add(QStringLiteral("+%1..%2").arg(f).arg(l)); });
        QObject::connect(&list, &FileList::aboutToRemove, &list,
                         [add](int f, int l) { add(QStringLiteral("-%1..%2").arg(f).arg(l)); });
        QObject::connect(&list, &FileList::aboutToMove, &list,
                         [add](int f, int t) { add(QStringLiteral("%1>%2").arg(f).arg(t)); });
        QObject::connect(&list, &FileList::aboutToReset, &list,
                         [add] { add(QStringLiteral("reset")); });
        QObject::connect(&list, &FileList::checkedChanged, &list,
                         [add](int row) { add(QStringLiteral("check%1").arg(row)); });
        QObject::connect(&list, &FileList::checkedRangeChanged, &list, [add](int f, int l) {
            add(QStringLiteral("checks%1..%2").arg(f).arg(l));
        });
        QObject::connect(&list, &FileList::totalsChanged, &list,
                         [add] { add(QStringLiteral("totals")); });
    }
};

} // namespace filelisttest
