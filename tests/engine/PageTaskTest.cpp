#include "engine/PageTask.h"

#include "engine/OutputFormats.h"
#include "support/TestEnvironment.h"
#include "support/TestTiff.h"

#include <QDir>
#include <QFileInfo>

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

class CollectingChannel : public TaskChannel {
public:
    void publish(PageResult page) override { pages.push_back(std::move(page)); }
    bool mayContinue() override { return true; }
    std::vector<PageResult> pages;
};

// A page is written through the row of the chosen type: the row's largest
// side refuses it before any file exists, and the refusal is the page's own
// log line rather than a line caught on its way to the system log.
struct SideCase {
    std::string name;
    int outputType;
    uint32_t width;
    bool written;
    const char* line; // the page's log line when it is not written
};

class PageTaskSideTest : public ::testing::TestWithParam<SideCase> {};

TEST_P(PageTaskSideTest, LargestSideIsTheRowsOwn) {
    const SideCase& c = GetParam();
    const QString folder = makeTestFolder();
    const QString source = QDir(folder).filePath(QStringLiteral("wide.tiff"));
    ASSERT_TRUE(writeTestTiff(source, {grayPage(c.width, 1)}));
    const OutputFormat* format = outputFormat(c.outputType);
    ASSERT_NE(format, nullptr);
    const QString name = QStringLiteral("wide") + format->extensionText();

    PlannedTask task{0, source, folder, {1}, {name}, false};
    TaskOptions options;
    options.format = format;
    SourceCache sources(options.limits);
    CollectingChannel channel;
    const TaskEnding ending = runTask(task, options, sources, channel);

    EXPECT_EQ(ending.end, TaskEnd::Done);
    ASSERT_EQ(channel.pages.size(), 1U);
    const PageResult& page = channel.pages.front();
    EXPECT_EQ(page.outcome == PageOutcome::Written, c.written);
    EXPECT_EQ(QFileInfo::exists(QDir(folder).filePath(name)), c.written);
    if (!c.written) {
        EXPECT_EQ(page.diagnostics, QStringList{QString::fromUtf8(c.line)});
    }
    EXPECT_EQ(QDir(folder).entryList(QDir::Files).size(), c.written ? 2 : 1) << "no stray file";
}

INSTANTIATE_TEST_SUITE_P(
    Rows, PageTaskSideTest,
    ::testing::Values(
        SideCase{"JpegAtItsLimit", OutputJpeg, 65500, true, ""},
        SideCase{"JpegPastItsLimit", OutputJpeg, 65501, false,
                 "Erorr in (saveAsJpegWithName:) : JPEG holds at most 65500 x 65500 pixels; the "
                 "page has 65501 x 1"},
        SideCase{"GifAtItsLimit", OutputGif, 65535, true, ""},
        SideCase{"GifPastItsLimit", OutputGif, 65536, false,
                 "Erorr in (saveAsGifWithName:) : GIF holds at most 65535 x 65535 pixels; the "
                 "page has 65536 x 1"},
        SideCase{"PngHasNoLimitOfItsOwn", OutputPng, 65536, true, ""},
        SideCase{"BmpHasNoLimitOfItsOwn", OutputBmp, 65536, true, ""}),
    ByName());

TEST(PageTaskTest, TaskWithoutAnOutputTypeWritesNothing) {
    const QString folder = makeTestFolder();
    const QString source = QDir(folder).filePath(QStringLiteral("page.tiff"));
    ASSERT_TRUE(writeTestTiff(source, {grayPage(4, 4)}));
    PlannedTask task{0, source, folder, {1}, {QStringLiteral("page")}, false};
    TaskOptions options;
    SourceCache sources(options.limits);
    CollectingChannel channel;
    const TaskEnding ending = runTask(task, options, sources, channel);
    EXPECT_EQ(ending.end, TaskEnd::Failed);
    EXPECT_FALSE(ending.error.isEmpty());
    EXPECT_TRUE(channel.pages.empty());
    EXPECT_EQ(QDir(folder).entryList(QDir::Files), QStringList{QStringLiteral("page.tiff")});
}

} // namespace
