// A multi-page document's life: only a finished document with pages reaches
// its final name, nothing after the end or after a failure changes that, and
// every later call repeats why the document ended.
#include "engine/DocumentFile.h"

#include "support/TestEnvironment.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

enum class Step { AddPage, Finish, Fail };

struct LifeCase {
    std::string name;
    std::vector<Step> steps;
    bool lastStepSucceeds;
    QString laterError; // what takesPages() says afterwards; empty: it takes pages
    bool fileInPlace;
};

class DocumentFileLifeTest : public ::testing::TestWithParam<LifeCase> {};

TEST_P(DocumentFileLifeTest, OnlyAFinishedDocumentWithPagesIsPutInPlace) {
    const LifeCase& c = GetParam();
    const QString path = QDir(makeTestFolder(QStringLiteral("doc"))).filePath("doc.bin");
    DocumentFile document(path);
    ASSERT_TRUE(document.file().create().ok());
    Status last;
    for (const Step step : c.steps) {
        switch (step) {
        case Step::AddPage:
            last = document.takesPages();
            if (last) {
                QFile out(document.file().temporaryPath());
                ASSERT_TRUE(out.open(QIODevice::WriteOnly | QIODevice::Append));
                ASSERT_EQ(out.write("page"), 4);
                document.pageAdded();
            }
            break;
        case Step::Finish:
            last = document.readyToFinish();
            if (last) {
                last = document.commit();
            }
            break;
        case Step::Fail:
            last = document.fail(Status::failure(QStringLiteral("disk full")));
            break;
        }
    }
    EXPECT_EQ(last.ok(), c.lastStepSucceeds);
    const Status later = document.takesPages();
    EXPECT_EQ(later.ok(), c.laterError.isEmpty());
    if (!c.laterError.isEmpty()) {
        EXPECT_EQ(later.error(), c.laterError);
        EXPECT_EQ(document.readyToFinish().error(), c.laterError);
    }
    EXPECT_EQ(QFile::exists(path), c.fileInPlace);
    if (c.fileInPlace) {
        QFile in(path);
        ASSERT_TRUE(in.open(QIODevice::ReadOnly));
        EXPECT_EQ(in.readAll().size(), 4 * document.pages());
    }
}

const QString kFinished = QStringLiteral("The file is already finished");
const QString kNoPage = QStringLiteral("No page to write");
const QString kDiskFull = QStringLiteral("disk full");

INSTANTIATE_TEST_SUITE_P(
    Lives, DocumentFileLifeTest,
    ::testing::Values(
        LifeCase{
            "PagesThenFinish", {Step::AddPage, Step::AddPage, Step::Finish}, true, kFinished, true},
        LifeCase{"PageAfterTheEndIsRefusedAndTheFileStays",
                 {Step::AddPage, Step::Finish, Step::AddPage},
                 false,
                 kFinished,
                 true},
        LifeCase{"SecondFinishIsRefusedAndTheFileStays",
                 {Step::AddPage, Step::Finish, Step::Finish},
                 false,
                 kFinished,
                 true},
        LifeCase{"FinishWithoutAPageSpendsIt", {Step::Finish}, false, kNoPage, false},
        LifeCase{"FailureSpendsItBeforeTheEnd",
                 {Step::AddPage, Step::Fail, Step::Finish},
                 false,
                 kDiskFull,
                 false},
        LifeCase{"PagesStillTakenBeforeTheEnd", {Step::AddPage}, true, QString(), false}),
    ByName());

} // namespace
