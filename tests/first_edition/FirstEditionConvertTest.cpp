#include "FirstEditionFixture.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QStackedWidget>
#include <QTabBar>
#include <QTableView>
#include <QTest>
#include <QToolBar>

#include <gtest/gtest.h>
#include <optional>

namespace {

// ---- convert ----

class FirstEditionWindowConvertTest : public FirstEditionFixture {
protected:
    QString in = makeTestFolder(QStringLiteral("in"));

    void SetUp() override {
        start();
        controller->settings().setIsOpenFolderAfterConversion(false);
        controller->settings().setSeparator(QStringLiteral("-"));
        controller->settings().setOutputType(OutputPng);
    }

    QString source(const QString& name, int pages) {
        const QString path = tiff(name, pages, in);
        addPaths({path});
        return path;
    }

    QPushButton* convertButton() const { return find<QPushButton>("convertBtn"); }

    void convertAndWait() {
        QPushButton* convert = convertButton();
        ASSERT_NE(convert, nullptr);
        ASSERT_TRUE(convert->isEnabled());
        QSignalSpy finished(controller.get(), &PictavoAppDelegate::conversionFinished);
        convert->click();
        ASSERT_TRUE(finished.count() > 0 || finished.wait(60000));
    }

    // Presses Convert into `out` and gives the progress sheet, up while the
    // job runs: its end reaches this thread only through events. Null when
    // no sheet is up.
    QDialog* convertShowingTheSheet(const QString& out, const QSignalSpy& finished) {
        controller->settings().setOutputFolderPath(out);
        QPushButton* convert = convertButton();
        EXPECT_NE(convert, nullptr);
        if (convert == nullptr) {
            return nullptr;
        }
        convert->click();
        QDialog* sheet = controller->progressSheet().processViewPanel();
        const bool up = sheet != nullptr && sheet->isVisible() && finished.isEmpty();
        EXPECT_TRUE(up);
        return up ? sheet : nullptr;
    }

    void expectFolderPageShown() {
        auto* pane = find<QWidget>("rightBox");
        auto* pages = find<QStackedWidget>("settingTabView");
        ASSERT_NE(pane, nullptr);
        ASSERT_NE(pages, nullptr);
        EXPECT_TRUE(pane->isVisible());
        EXPECT_EQ(pages->currentIndex(), kFolderPage);
        EXPECT_EQ(pages->currentWidget()->objectName(), QStringLiteral("folderTab"));
        EXPECT_TRUE(preferences->value(kShowSettings).toBool());
    }

    static QStringList filesIn(const QString& folder) {
        return QDir(folder).entryList(QDir::Files, QDir::Name);
    }
};

struct BadFolderCase {
    std::string name;
    std::function<QString()> folder; // none: a folder this process may not write into
    QString message;
    bool paneHidden;
};

const QString kMissing =
    QStringLiteral("Output folder missing or invalid path!\r\nPlease select valid output folder.");
const QString kNonWritable =
    QStringLiteral("Output folder is non-writable!\r\nPlease select writable output folder.");

class FirstEditionWindowBadFolderTest : public FirstEditionWindowConvertTest,
                                        public ::testing::WithParamInterface<BadFolderCase> {};

TEST_P(FirstEditionWindowBadFolderTest, OneAlertNoJobAndTheFolderPage) {
    std::optional<UnwritableFolder> unwritable;
    const QString folder = GetParam().folder ? GetParam().folder() : unwritable.emplace().path();
    source(QStringLiteral("scan.tif"), 2);
    if (GetParam().paneHidden) {
        firstEdition().settingsPane().toggleSettings();
        auto* pane = find<QWidget>("rightBox");
        ASSERT_NE(pane, nullptr);
        ASSERT_FALSE(pane->isVisible());
    }
    controller->settings().setOutputFolderPath(folder);
    QSignalSpy created(controller.get(), &PictavoAppDelegate::processCreated);
    QPushButton* convert = convertButton();
    ASSERT_NE(convert, nullptr);
    convert->click();
    ASSERT_EQ(dialogs.alertsShown().size(), 1);
    EXPECT_EQ(dialogs.alertWindows().first(), nullptr); // application-modal
    EXPECT_EQ(dialogs.alertsShown().first().messageText, QStringLiteral("Pictavo"));
    EXPECT_EQ(dialogs.alertsShown().first().informativeText, GetParam().message);
    EXPECT_EQ(created.count(), 0);
    QDialog* progress = controller->progressSheet().processViewPanel();
    ASSERT_NE(progress, nullptr);
    EXPECT_FALSE(progress->isVisible());
    EXPECT_EQ(filesIn(in), QStringList{QStringLiteral("scan.tif")});
    if (folder.startsWith(testHome()) && QFileInfo(folder).isDir()) {
        EXPECT_TRUE(filesIn(folder).isEmpty());
    }
    expectFolderPageShown();
}

INSTANTIATE_TEST_SUITE_P(
    Folders, FirstEditionWindowBadFolderTest,
    ::testing::Values(
        BadFolderCase{"Empty", [] { return QString(); }, kMissing, false},
        BadFolderCase{"EmptyPaneHidden", [] { return QString(); }, kMissing, true},
        BadFolderCase{"Nonexistent",
                      [] { return QDir(testHome()).filePath(QStringLiteral("no/such/folder")); },
                      kMissing, false},
        BadFolderCase{"NonexistentPaneHidden",
                      [] { return QDir(testHome()).filePath(QStringLiteral("nothing-here")); },
                      kMissing, true},
        BadFolderCase{"NonWritable", nullptr, kNonWritable, false},
        BadFolderCase{"NonWritablePaneHidden", nullptr, kNonWritable, true}),
    ByName());

const QString kSourceFolderQuestion = QStringLiteral(
    "No output folder selected, file(s) will be saved in source folder.\nDo you want to continue?");

TEST_F(FirstEditionWindowConvertTest, OlderSystemYesSavesNextToEachSource) {
    const QString other = makeTestFolder(QStringLiteral("other"));
    source(QStringLiteral("scan.tif"), 3);
    addPaths({tiff(QStringLiteral("long.tif"), 10, other)});
    firstEditionConvert().setSystemVersion({10, 6});
    controller->settings().setOutputFolderPath(QString());
    dialogs.answerNextAlert(kAlertFirstButton);
    convertAndWait();
    ASSERT_EQ(dialogs.alertsShown().size(), 1);
    EXPECT_EQ(dialogs.alertWindows().first(), nullptr);
    const AlertRequest& alert = dialogs.alertsShown().first();
    EXPECT_EQ(alert.messageText, QStringLiteral("Pictavo"));
    EXPECT_EQ(alert.informativeText, kSourceFolderQuestion);
    EXPECT_EQ(alert.buttons, (QStringList{QStringLiteral("Yes"), QStringLiteral("No")}));
    EXPECT_EQ(filesIn(in), (QStringList{QStringLiteral("scan-1.png"), QStringLiteral("scan-2.png"),
                                        QStringLiteral("scan-3.png"), QStringLiteral("scan.tif")}));
    QStringList expected;
    for (int page = 1; page <= 10; ++page) {
        expected.append(QStringLiteral("long-%1.png").arg(page));
    }
    expected.append(QStringLiteral("long.tif"));
    expected.sort();
    EXPECT_EQ(filesIn(other), expected);
}

TEST_F(FirstEditionWindowConvertTest, OlderSystemNoStartsNothingAndShowsTheFolderPage) {
    source(QStringLiteral("scan.tif"), 3);
    firstEdition().settingsPane().toggleSettings(); // hidden
    firstEditionConvert().setSystemVersion({10, 6});
    controller->settings().setOutputFolderPath(QString());
    dialogs.answerNextAlert(kAlertFirstButton + 1);
    QSignalSpy created(controller.get(), &PictavoAppDelegate::processCreated);
    QPushButton* convert = convertButton();
    ASSERT_NE(convert, nullptr);
    convert->click();
    ASSERT_EQ(dialogs.alertsShown().size(), 1);
    EXPECT_EQ(dialogs.alertWindows().first(), nullptr);
    EXPECT_EQ(dialogs.alertsShown().first().informativeText, kSourceFolderQuestion);
    EXPECT_EQ(created.count(), 0);
    QDialog* progress = controller->progressSheet().processViewPanel();
    ASSERT_NE(progress, nullptr);
    EXPECT_FALSE(progress->isVisible());
    EXPECT_EQ(filesIn(in), QStringList{QStringLiteral("scan.tif")});
    expectFolderPageShown();
}

TEST_F(FirstEditionWindowConvertTest, WritableFolderConvertsIntoItWithUnpaddedNames) {
    const QString out = makeTestFolder(QStringLiteral("out"));
    source(QStringLiteral("long.tif"), 10);
    controller->settings().setOutputFolderPath(out);
    QSignalSpy created(controller.get(), &PictavoAppDelegate::processCreated);
    convertAndWait();
    EXPECT_TRUE(dialogs.alertsShown().isEmpty());
    EXPECT_EQ(created.count(), 1);
    QStringList expected;
    for (int page = 1; page <= 10; ++page) {
        expected.append(QStringLiteral("long-%1.png").arg(page));
    }
    expected.sort();
    EXPECT_EQ(filesIn(out), expected);
    EXPECT_EQ(filesIn(in), QStringList{QStringLiteral("long.tif")});
}

// The sheet's clock writes elapsed time in this edition's words, as the time
// label and the log do.
TEST_F(FirstEditionWindowConvertTest, TheRunningSheetTellsTheTimeInWords) {
    const QString out = makeTestFolder(QStringLiteral("out"));
    source(QStringLiteral("a.tif"), 2);
    QSignalSpy finished(controller.get(), &PictavoAppDelegate::conversionFinished);
    QDialog* sheet = convertShowingTheSheet(out, finished);
    ASSERT_NE(sheet, nullptr);
    auto* time = sheet->findChild<QLabel*>(QStringLiteral("elapsedLabel"));
    ASSERT_NE(time, nullptr);
    EXPECT_TRUE(time->isVisible());
    EXPECT_EQ(time->text(), QStringLiteral("0 sec(s)"));
    ASSERT_TRUE(finished.wait(60000));
    EXPECT_EQ(time->text(), controller->convert().process()->timeTaken());
    auto* close = sheet->findChild<QPushButton*>(QStringLiteral("closeProcessBtn"));
    ASSERT_NE(close, nullptr);
    close->click();
    EXPECT_FALSE(sheet->isVisible());
}

// Ways a user dismisses the progress sheet other than its buttons.
enum class Dismiss { Escape, CloseRequest };

class FirstEditionWindowDismissSheetTest : public FirstEditionWindowConvertTest,
                                           public ::testing::WithParamInterface<Dismiss> {};

TEST_P(FirstEditionWindowDismissSheetTest, IgnoredWhileRunningAndCloseAfterwards) {
    const QString out = makeTestFolder(QStringLiteral("out"));
    source(QStringLiteral("a.tif"), 2);
    addPaths({tiff(QStringLiteral("b.tif"), 2, in)});
    QSignalSpy finished(controller.get(), &PictavoAppDelegate::conversionFinished);
    QDialog* sheet = convertShowingTheSheet(out, finished);
    ASSERT_NE(sheet, nullptr);
    const auto dismiss = [&] {
        if (GetParam() == Dismiss::Escape) {
            QTest::keyClick(sheet, Qt::Key_Escape);
        } else {
            sheet->close();
        }
    };
    dismiss();
    EXPECT_TRUE(sheet->isVisible());
    EXPECT_NE(controller->convert().process(), nullptr);
    auto* cancel = sheet->findChild<QPushButton*>(QStringLiteral("cancelProcessBtn"));
    ASSERT_NE(cancel, nullptr);
    EXPECT_TRUE(cancel->isEnabled());

    cancel->click();
    ASSERT_TRUE(finished.count() > 0 || finished.wait(60000));
    ASSERT_TRUE(sheet->isVisible());
    dismiss();
    EXPECT_FALSE(sheet->isVisible());
    EXPECT_EQ(controller->convert().process(), nullptr);
    EXPECT_FALSE(controller->fileSystemHelper().isProcessing());
    auto* addFiles = find<QPushButton>("addFilesBtn");
    ASSERT_NE(addFiles, nullptr);
    EXPECT_TRUE(addFiles->isEnabled());
    EXPECT_TRUE(convertButton()->isEnabled());
}

INSTANTIATE_TEST_SUITE_P(Ways, FirstEditionWindowDismissSheetTest,
                         ::testing::Values(Dismiss::Escape, Dismiss::CloseRequest),
                         [](const ::testing::TestParamInfo<Dismiss>& way) {
                             return way.param == Dismiss::Escape ? std::string("Escape")
                                                                 : std::string("CloseRequest");
                         });

} // namespace
