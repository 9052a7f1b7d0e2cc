#include "JobFixture.h"

#include "filelist/FileItem.h"

#include <QUrl>

#include <gtest/gtest.h>

SourceFile listedSource(const QString& path) {
    const auto item = FileItem::initWithURL(QUrl::fromLocalFile(path));
    EXPECT_TRUE(item) << path.toStdString();
    if (!item) {
        return {path};
    }
    return {path, item->pages(), item->hasUnreadablePages()};
}

void addListedSource(Process& job, const QString& path, const QString& targetFolder) {
    job.outputFiles().push_back({path, {listedSource(path)}, targetFolder});
}

void runJob(Process& job) {
    job.setTotalFileSelected(static_cast<int>(job.outputFiles().size()));
    job.start();
}
