#pragma once

#include "ControllerFixture.h"
#include "filelist/FileItem.h"
#include "filelist/FileList.h"
#include "platform/Preferences.h"
#include "platform/Workspace.h"
#include "shell/Dialogs.h"
#include "shell/FileTableModel.h"
#include "shell/PictavoAppDelegate.h"
#include "support/TestEnvironment.h"
#include "support/TestTiff.h"
#include "widgets/CustomTableView.h"
#include "widgets/SegmentedControl.h"

#include <QAction>
#include <QDir>
#include <QHeaderView>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QSignalSpy>
#include <QTest>

#include <algorithm>
#include <filesystem>
#include <gtest/gtest.h>
#include <vector>

// Refuses to open anything, as a desktop without a default application does.
class RefusingWorkspace final : public Workspace {
public:
    bool openFile(const QString& path) override {
        (void)recorder.openFile(path);
        return false;
    }
    bool revealFiles(const QStringList& paths) override { return recorder.revealFiles(paths); }
    bool showInformation(const QStringList& paths) override {
        return recorder.showInformation(paths);
    }
    bool openURL(const QString& url) override { return recorder.openURL(url); }
    RecordingWorkspace recorder;
};

class TableCommandsTest : public ControllerFixture {
protected:
    QString data = makeTestFolder(QStringLiteral("data"));

    // Files "f0.tif" ... with row r holding r + 1 pages, all checked.
    void startWithFiles(int count) {
        start();
        for (int row = 0; row < count; ++row) {
            const QString path = QDir(data).filePath(QStringLiteral("f%1.tif").arg(row));
            ASSERT_TRUE(writeTestTiff(
                path, std::vector<TestTiffPage>(static_cast<size_t>(row + 1), grayPage(4, 4))));
            ASSERT_TRUE(
                controller->files().append(FileItem::initWithURL(QUrl::fromLocalFile(path))));
        }
        // As a finished load leaves the window.
        controller->editionWindow().resetView(true);
        controller->viewHelper().updateTotalLabel();
    }

    void setChecks(const std::vector<bool>& checks) {
        for (size_t row = 0; row < checks.size(); ++row) {
            controller->files().setChecked(static_cast<int>(row), checks[row]);
        }
    }

    std::vector<bool> checks() const {
        std::vector<bool> out;
        for (const auto& item : controller->files().items()) {
            out.push_back(item->isSelected());
        }
        return out;
    }

    // The list as the rows' original numbers: "f3.tif" reads 3.
    std::vector<int> order() const {
        std::vector<int> out;
        for (const auto& item : controller->files().items()) {
            out.push_back(item->name().mid(1).chopped(4).toInt());
        }
        return out;
    }

    QString path(int original) const {
        return QDir(data).filePath(QStringLiteral("f%1.tif").arg(original));
    }

    CustomTableView* table() const {
        return controller->window()->findChild<CustomTableView*>(QStringLiteral("mainTableView"));
    }

    SegmentedControl* segments(const char* name) const {
        return controller->window()->findChild<SegmentedControl*>(QString::fromUtf8(name));
    }

    QAction* menuItem(const char* name) const {
        auto* item =
            controller->table().filesContextMenu()->findChild<QAction*>(QString::fromUtf8(name));
        EXPECT_NE(item, nullptr) << name;
        return item;
    }

    QString totals() const {
        return controller->window()->findChild<QLabel*>(QStringLiteral("labelTotalFiles"))->text();
    }

    FileTableModel* model() const { return qobject_cast<FileTableModel*>(table()->model()); }

    // Sorts as a click on the column's header does, and waits for the rows'
    // new order.
    void sortAndWait(const QString& key, Qt::SortOrder order) {
        QSignalSpy sorted(model(), &FileTableModel::sorted);
        table()->sortByColumn(FileTableModel::columnOf(key), order);
        ASSERT_TRUE(sorted.count() > 0 || sorted.wait(30000));
    }

    // `count` hard links to one two-page file, named out of order and in
    // mixed case, so each sort moves rows.
    FileList::Items linkedItems(int count, int first = 0) const {
        const QString one = QDir(data).filePath(QStringLiteral("one.tif"));
        if (!QFile::exists(one)) {
            EXPECT_TRUE(writeTestTiff(one, {grayPage(4, 4), grayPage(4, 4)}));
        }
        FileList::Items items;
        for (int i = first; i < first + count; ++i) {
            const QString link = QDir(data).filePath(
                QStringLiteral("%1%2.tif").arg(i % 2 == 0 ? "f" : "F").arg((i * 7919) % 100003));
            std::error_code error;
            std::filesystem::create_hard_link(QFile::encodeName(one).toStdString(),
                                              QFile::encodeName(link).toStdString(), error);
            EXPECT_FALSE(error) << error.message();
            items.push_back(FileItem::initWithURL(QUrl::fromLocalFile(link)));
        }
        return items;
    }

    static FileList::Items byName(FileList::Items items, Qt::SortOrder order) {
        std::stable_sort(items.begin(), items.end(), [order](const auto& a, const auto& b) {
            const int c =
                QString::localeAwareCompare(a->name().toCaseFolded(), b->name().toCaseFolded());
            return order == Qt::AscendingOrder ? c < 0 : c > 0;
        });
        return items;
    }

    static QString totalsText(int files, int checked, int pages) {
        return QStringLiteral(
                   "%1 Total file(s); %2 file selected; Total page count of selected TIFF "
                   "file(s): %3")
            .arg(files)
            .arg(checked)
            .arg(pages);
    }
};

using TableCommandsInBothEditions = InBothEditions<TableCommandsTest>;
