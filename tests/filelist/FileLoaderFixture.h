#pragma once

#include "filelist/FileLoader.h"
#include "platform/Preferences.h"
#include "support/TestEnvironment.h"
#include "support/TestTiff.h"

#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QRegularExpression>
#include <QThread>

#include <atomic>
#include <gtest/gtest.h>
#include <stdexcept>
#include <thread>

namespace fileloadertest {

using namespace std::chrono_literals;

constexpr FileLoaderOptions kEveryItem{0ms};
constexpr FileLoaderOptions kOnlyAtTheEnd{std::chrono::hours(1)};

// A host that runs everything on the caller's thread and writes down each
// call.
class RecordingHost : public FileLoaderHost {
public:
    FileList list;
    QStringList calls;
    std::vector<int> pageLabels;
    int itemsHandedOver = 0;
    bool offersKeys = true;
    // isProcessing() answers false from this query on (1-based); 0: never.
    int cancelAtQuery = 0;
    // The list size at which an append cancels the load; 0: never.
    int cancelAtSize = 0;
    // The call that throws "boom"; empty: none.
    QString throwIn;

    void resetViewObject(bool enable) override {
        note(enable ? QStringLiteral("enable") : QStringLiteral("disable"));
    }
    void startProcess() override {
        note(QStringLiteral("start"));
        m_processing = true;
    }
    void stopProcess() override {
        note(QStringLiteral("stop"));
        m_processing = false;
    }
    void updateTimeTakenLabel(const QString& text) override {
        note(QStringLiteral("label:") + text);
    }
    void updateTotalPagesLabel() override { pageLabels.push_back(list.totalPages()); }
    int appendFiles(const std::vector<std::shared_ptr<FileItem>>& items) override {
        note(QStringLiteral("append"));
        itemsHandedOver += static_cast<int>(items.size());
        const int added = list.appendAll(items);
        if (cancelAtSize > 0 && list.size() >= cancelAtSize) {
            m_processing = false;
        }
        return added;
    }
    void sortAndReload() override { note(QStringLiteral("sort")); }
    bool isProcessing() const override {
        ++m_queries;
        return m_processing && (cancelAtQuery == 0 || m_queries < cancelAtQuery);
    }
    FileList::KeySet presentUrlKeys() override {
        return offersKeys ? list.keys() : FileList::KeySet{};
    }

    // The calls other than appends, which depend on batching.
    QStringList steps() const {
        QStringList result = calls;
        result.removeAll(QStringLiteral("append"));
        return result;
    }

private:
    void note(const QString& call) {
        calls.append(call);
        if (call.startsWith(throwIn) && !throwIn.isEmpty()) {
            throw std::runtime_error("boom");
        }
    }

    bool m_processing = false;
    mutable int m_queries = 0;
};

class FileLoaderTest : public ::testing::Test {
protected:
    QString root = makeTestFolder(QStringLiteral("load"));

    void SetUp() override {
        tiff(QStringLiteral("b.tif"), 2);
        tiff(QStringLiteral("a.TIFF"), 1);
        tiff(QStringLiteral("c.tiff"), 1);
        tiff(QStringLiteral("mixed.Tif"), 1);
        tiff(QStringLiteral(".hidden.tif"), 1);
        tiff(QStringLiteral("sub/e.tif"), 3);
        tiff(QStringLiteral("sub/deeper/f.tif"), 1);
        tiff(QStringLiteral("sub/.h.tif"), 1);
        tiff(QStringLiteral(".secret/g.tif"), 1);
        file(QStringLiteral("photo.jpg"), "not really a photo");
        file(QStringLiteral("notes.txt"), "text");
    }

    QString path(const QString& relative) const { return QDir(root).filePath(relative); }

    void tiff(const QString& relative, int pages) {
        QDir().mkpath(QFileInfo(path(relative)).path());
        ASSERT_TRUE(
            writeTestTiff(path(relative), std::vector<TestTiffPage>(static_cast<std::size_t>(pages),
                                                                    grayPage(4, 4))));
    }

    void file(const QString& relative, const QByteArray& bytes) {
        QDir().mkpath(QFileInfo(path(relative)).path());
        ASSERT_TRUE(writeFileBytes(path(relative), bytes));
    }

    Arguments request(const QStringList& relative, bool isFolders, bool subfolders = false) const {
        Arguments arguments;
        for (const QString& r : relative) {
            // "." stands for the test folder itself, without a "/." in the paths.
            arguments.urls.append(QUrl::fromLocalFile(r == QLatin1String(".") ? root : path(r)));
        }
        arguments.isFolders = isFolders;
        arguments.isIncludeSubdirectories = subfolders;
        return arguments;
    }

    // The list in its order, as paths relative to the test folder.
    QStringList listed(const FileList& list) const {
        QStringList result;
        for (const auto& item : list.items()) {
            result.append(QDir(root).relativeFilePath(item->filePath().toLocalFile()));
        }
        return result;
    }
};

const QRegularExpression kEndLabel(QStringLiteral("^label:Total Time Taken : \\d\\d:\\d\\d 0/0$"));

} // namespace fileloadertest
