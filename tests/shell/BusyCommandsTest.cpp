#include "ControllerFixture.h"
#include "filelist/FileList.h"
#include "support/TestEnvironment.h"
#include "support/TestTiff.h"

#include <QAction>
#include <QDir>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

namespace {

enum class LoadEnd { Finishes, Cancelled };

struct LoadCase {
    const char* name;
    LoadEnd end;
};

class BusyCommandsTest : public InBothEditionsWithCases<ControllerFixture, LoadCase> {
protected:
    QString data = makeTestFolder(QStringLiteral("data"));

    // A checked file with pages in the list, so that Convert can act.
    void SetUp() override {
        start();
        const QString path = QDir(data).filePath(QStringLiteral("a.tif"));
        ASSERT_TRUE(writeTestTiff(path, {grayPage(8, 8)}));
        controller->files().appendAll({FileItem::initWithURL(QUrl::fromLocalFile(path))});
        controller->editionWindow().resetView(true);
        controller->viewHelper().updateTotalLabel();
        const QString out = makeTestFolder(QStringLiteral("out"));
        controller->settings().setOutputFolderPath(out);
        controller->settings().setIsSetCurrentAsDefaultOutputFolderPath(true);
    }

    QString folderOf(int files) {
        const QString folder = QDir(data).filePath(QStringLiteral("many"));
        QDir().mkpath(folder);
        for (int i = 0; i < files; ++i) {
            EXPECT_TRUE(writeTestTiff(QDir(folder).filePath(QStringLiteral("f%1.tif").arg(i)),
                                      {grayPage(8, 8)}));
        }
        return folder;
    }

    // Whether the File menu, as it opens, offers Convert.
    bool menuOffersConvert() {
        auto* menu = find<QMenu>("fileMenu");
        menu->popup({});
        const bool offered = find<QAction>("convertMenuItem")->isEnabled();
        menu->hide();
        return offered;
    }
};

TEST_P(BusyCommandsTest, ConvertIsDisabledWhileFilesAreAddedAndEnabledAfterwards) {
    ASSERT_TRUE(isCommandEnabled(UiCommand::Convert));
    ASSERT_TRUE(menuOffersConvert());
    QSignalSpy finished(controller.get(), &PictavoAppDelegate::loadFinished);
    dialogs.answerNextPanel({true, {folderOf(50)}});
    pressCommand(UiCommand::AddFolder);
    // The loader waits for this thread before it reads a file.
    ASSERT_TRUE(controller->fileSystemHelper().isLoading());

    EXPECT_FALSE(isCommandEnabled(UiCommand::Convert));
    EXPECT_FALSE(menuOffersConvert());
    QSignalSpy created(controller.get(), &PictavoAppDelegate::processCreated);
    pressCommand(UiCommand::Convert);
    find<QAction>("convertMenuItem")->trigger(); // Ctrl+R
    EXPECT_TRUE(created.isEmpty());

    if (testCase().end == LoadEnd::Cancelled) {
        // Once the load is under way, as the user sees it.
        ASSERT_TRUE(QTest::qWaitFor(
            [this] { return controller->fileSystemHelper().isProcessing(); }, 30000));
        find<QPushButton>("cancelBtn")->click();
    }
    ASSERT_TRUE(finished.count() > 0 || finished.wait(30000));
    EXPECT_TRUE(isCommandEnabled(UiCommand::Convert));
    EXPECT_TRUE(menuOffersConvert());
}

PICTAVO_CASES_IN_BOTH_EDITIONS(Ends, BusyCommandsTest,
                               ::testing::Values(LoadCase{"Finishes", LoadEnd::Finishes},
                                                 LoadCase{"Cancelled", LoadEnd::Cancelled}));

} // namespace
