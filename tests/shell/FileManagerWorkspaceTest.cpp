#include "shell/FileManagerWorkspace.h"

#include "platform/Workspace.h"
#include "support/TestEnvironment.h"

#include <QDir>
#include <QUrl>

#include <gtest/gtest.h>

namespace {

struct UrlCase {
    const char* name;
    const char* path; // relative paths are taken from the current folder
    const char* url;  // with "CWD" standing for the current folder's URL
};

class FileManagerUrlTest : public ::testing::TestWithParam<UrlCase> {};

TEST_P(FileManagerUrlTest, GivesAbsoluteEncodedFileUrls) {
    const QString here = QString::fromUtf8(QUrl::fromLocalFile(QDir::currentPath()).toEncoded());
    const QString expected = QString::fromUtf8(GetParam().url).replace(QStringLiteral("CWD"), here);
    EXPECT_EQ(FileManagerWorkspace::fileUrls({QString::fromUtf8(GetParam().path)}),
              QStringList{expected});
}

const UrlCase kUrlCases[] = {
    {"Absolute", "/data/scan.tif", "file:///data/scan.tif"},
    {"SpaceAndHash", "/data/a b#1.tif", "file:///data/a%20b%231.tif"},
    {"NonAscii", "/data/\xC3\xA9t\xC3\xA9.tif", "file:///data/%C3%A9t%C3%A9.tif"},
    {"Relative", "scan.tif", "CWD/scan.tif"},
};
INSTANTIATE_TEST_SUITE_P(Paths, FileManagerUrlTest, ::testing::ValuesIn(kUrlCases), ByName());

// No file manager owns this name, so every request reaches the fallback.
TEST(FileManagerWorkspaceTest, UnansweredRequestsGoToTheFallback) {
    RecordingWorkspace fallback;
    FileManagerWorkspace workspace(&fallback, QStringLiteral("org.pictavo.test.NoFileManager"));
    const QStringList files{QStringLiteral("/data/a.tif"), QStringLiteral("/data/b.tif")};
    EXPECT_TRUE(workspace.openFile(files.front()));
    EXPECT_TRUE(workspace.revealFiles(files));
    EXPECT_TRUE(workspace.showInformation(files));
    EXPECT_EQ(fallback.requests(),
              (QList<RecordingWorkspace::Request>{{QStringLiteral("open"), {files.front()}},
                                                  {QStringLiteral("reveal"), files},
                                                  {QStringLiteral("info"), files}}));
}

} // namespace
