#include "ControllerFixture.h"
#include "filelist/FileList.h"
#include "filelist/ListExport.h"
#include "platform/NativePath.h"
#include "support/OddNames.h"
#include "support/TestTiff.h"
#include "widgets/SegmentedControl.h"

#include <QApplication>
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
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

namespace {

class ImportTest : public ControllerFixture {
protected:
    QString data = makeTestFolder(QStringLiteral("data"));

    void SetUp() override {
        start();
        openImport();
    }

    void openImport() {
        if (isFirstEdition()) {
            find<QPushButton>("importBtn")->click();
        } else {
            find<SegmentedControl>("filesFoldersSegmented")->click(3);
        }
    }

    QString tiff(const QString& name, int pages = 1) {
        const QString path = QDir(data).filePath(name);
        EXPECT_TRUE(writeTestTiff(
            path, std::vector<TestTiffPage>(static_cast<size_t>(pages), grayPage(8, 8))));
        return path;
    }

    QDialog* window() const { return controller->importExport().importFilesController()->window(); }
    template <typename T> T* part(const char* name) const {
        T* widget = window()->findChild<T*>(QString::fromUtf8(name));
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }

    QStringList listed() const {
        QStringList out;
        for (const auto& item : controller->files().items()) {
            out.append(QFileInfo(item->filePath().toLocalFile()).fileName());
        }
        return out;
    }

    // Presses Import and waits for the load it starts.
    void importAndLoad() {
        QSignalSpy finished(controller.get(), &PictavoAppDelegate::loadFinished);
        part<QPushButton>("importBtn")->click();
        ASSERT_TRUE(finished.count() > 0 || finished.wait(30000));
    }

    QStringList alertTexts() const {
        QStringList texts;
        for (const AlertRequest& a : dialogs.alertsShown()) {
            texts.append(a.informativeText);
        }
        return texts;
    }
};

using ImportInBothEditions = InBothEditions<ImportTest>;
PICTAVO_IN_BOTH_EDITIONS(ImportInBothEditions);

TEST_P(ImportInBothEditions, OpensAsASheetOnTheFileSource) {
    ASSERT_NE(controller->importExport().importFilesController(), nullptr);
    EXPECT_TRUE(window()->isVisible());
    EXPECT_EQ(window()->windowModality(), Qt::WindowModal);
    EXPECT_EQ(window()->parentWidget(), controller->window());
    EXPECT_TRUE(part<QRadioButton>("importFromFileBtn")->isChecked());
    EXPECT_FALSE(part<QRadioButton>("importFromTextBtn")->isChecked());
    EXPECT_TRUE(part<QLineEdit>("importFile")->isEnabled());
    EXPECT_TRUE(part<QPushButton>("browseBtn")->isEnabled());
    EXPECT_FALSE(part<QPlainTextEdit>("importText")->isEnabled());
    EXPECT_FALSE(part<QPushButton>("pasteFromClipboardBtn")->isEnabled());
    EXPECT_EQ(part<QLabel>("totalFilesFound")->text(), QStringLiteral("Total Files Found : 0"));
    // Access letters: the last F and T as written, the first p and i in any case.
    EXPECT_EQ(part<QRadioButton>("importFromFileBtn")->text(),
              QStringLiteral("Read the paths from a text &File"));
    EXPECT_EQ(part<QRadioButton>("importFromTextBtn")->text(),
              QStringLiteral("Type or paste the paths as &Text"));
    EXPECT_EQ(part<QPushButton>("pasteFromClipboardBtn")->text(),
              QStringLiteral("&Paste from Clipboard"));
    EXPECT_EQ(part<QPushButton>("importBtn")->text(), QStringLiteral("&Import"));
}

TEST_P(ImportInBothEditions, EachEmptySourceSaysWhatIsMissingAndStaysOpen) {
    part<QPushButton>("importBtn")->click();
    part<QRadioButton>("importFromTextBtn")->click();
    part<QPushButton>("importBtn")->click();
    QTest::keyClicks(part<QPlainTextEdit>("importText"), QStringLiteral("/x/a.png"));
    part<QPushButton>("importBtn")->click();
    EXPECT_EQ(alertTexts(), (QStringList{QStringLiteral("Please select file to import!"),
                                         QStringLiteral("Please paste file(s) path to import!"),
                                         QStringLiteral("No File(s) Found!")}));
    EXPECT_EQ(dialogs.alertsShown().first().messageText, QStringLiteral("Pictavo"));
    for (const QWidget* shownOn : dialogs.alertWindows()) {
        EXPECT_EQ(shownOn, alertWindowFor(window()));
    }
    EXPECT_TRUE(window()->isVisible());
    EXPECT_TRUE(controller->files().isEmpty());
}

TEST_P(ImportInBothEditions, TypedPathsLoadOnceEachAndMissingFilesComeWithNoPages) {
    const QString a = tiff(QStringLiteral("a.tif"), 2);
    const QString b = tiff(QStringLiteral("b.Tif"), 1);
    const QString gone = QDir(data).filePath(QStringLiteral("gone.TIFF"));
    part<QRadioButton>("importFromTextBtn")->click();
    part<QPlainTextEdit>("importText")
        ->setPlainText(
            QStringList{a, QDir(data).filePath(QStringLiteral("c.png")), b, a, QString(), gone}
                .join(QLatin1Char('\n')));
    importAndLoad();
    EXPECT_FALSE(window()->isVisible());
    EXPECT_EQ(listed(), (QStringList{QStringLiteral("a.tif"), QStringLiteral("b.Tif"),
                                     QStringLiteral("gone.TIFF")}));
    EXPECT_EQ(controller->files().at(2)->pages(), 0);
    EXPECT_EQ(part<QLabel>("totalFilesFound")->text(), QStringLiteral("Total Files Found : 3"));
}

TEST_P(ImportInBothEditions, ChosenCrLfListImportsEveryLine) {
    const QString a = tiff(QStringLiteral("a.tif"));
    const QString b = tiff(QStringLiteral("b.tif"));
    const QString list = QDir(data).filePath(QStringLiteral("list.txt"));
    ASSERT_TRUE(
        writeFileBytes(list, (a + QStringLiteral("\r\n") + b + QStringLiteral("\r\n")).toUtf8()));
    dialogs.answerNextPanel({true, {list}});
    part<QPushButton>("browseBtn")->click();
    EXPECT_EQ(dialogs.panelsShown().last().message, QStringLiteral("Select Text File To Import:"));
    EXPECT_EQ(dialogs.panelsShown().last().allowedFileTypes, QStringList{QStringLiteral("txt")});
    EXPECT_EQ(part<QLineEdit>("importFile")->text(), list);
    importAndLoad();
    EXPECT_EQ(listed(), (QStringList{QStringLiteral("a.tif"), QStringLiteral("b.tif")}));
}

// Odd names in a UTF-8 list are found by their bytes; a list that is not
// UTF-8 text finds nothing, and says so.
TEST_P(ImportInBothEditions, ChosenListNamesOddFilesOnlyWhenItIsUtf8Text) {
    const QByteArray folder = QFile::encodeName(data);
    QByteArray list;
    QByteArrayList expected;
    QByteArray notUtf8;
    for (const OddName& odd : oddNames()) {
        if (odd.bytes.contains('\n')) {
            continue; // a list holds one path a line
        }
        ASSERT_TRUE(writeAtBytes(folder + "/" + odd.bytes, smallTiffBytes()));
        if (!QString::fromUtf8(odd.bytes).contains(QChar::ReplacementCharacter)) {
            list += folder + "/" + odd.bytes + "\n";
            expected.append(folder + "/" + odd.bytes);
        } else if (notUtf8.isEmpty()) {
            notUtf8 = folder + "/" + odd.bytes + "\n";
        }
    }
    ASSERT_FALSE(notUtf8.isEmpty());
    const QString listPath = QDir(data).filePath(QStringLiteral("list.txt"));
    ASSERT_TRUE(writeFileBytes(listPath, list));
    dialogs.answerNextPanel({true, {listPath}});
    part<QPushButton>("browseBtn")->click();
    importAndLoad();
    QByteArrayList paths;
    for (const auto& item : controller->files().items()) {
        paths.append(NativePath::encode(item->filePath().toLocalFile()));
        EXPECT_EQ(item->pages(), 1) << paths.last().toStdString();
    }
    EXPECT_EQ(paths, expected);

    const QString badList = QDir(data).filePath(QStringLiteral("latin1.txt"));
    ASSERT_TRUE(writeFileBytes(badList, list + notUtf8));
    openImport();
    dialogs.answerNextPanel({true, {badList}});
    part<QPushButton>("browseBtn")->click();
    EXPECT_TRUE(window()->isVisible());
    EXPECT_EQ(part<QLineEdit>("importFile")->text(), badList);
    EXPECT_EQ(part<QLabel>("totalFilesFound")->text(), QStringLiteral("Total Files Found : 0"));
    part<QPushButton>("importBtn")->click();
    ASSERT_FALSE(alertTexts().isEmpty());
    EXPECT_EQ(alertTexts().last(), QStringLiteral("No File(s) Found!"));
    EXPECT_EQ(controller->files().items().size(), static_cast<size_t>(expected.size()));
}

TEST_P(ImportInBothEditions, PasteKeepsOnlyTheAcceptedPaths) {
    QApplication::clipboard()->setText(QStringLiteral("/x/a.tif\n/x/notes.txt\r\n/x/b.TIFF\r\n"));
    part<QRadioButton>("importFromTextBtn")->click();
    part<QPushButton>("pasteFromClipboardBtn")->click();
    EXPECT_EQ(part<QPlainTextEdit>("importText")->toPlainText(),
              QStringLiteral("/x/a.tif\n/x/b.TIFF"));
    EXPECT_EQ(part<QLabel>("totalFilesFound")->text(), QStringLiteral("Total Files Found : 2"));
}

enum class CancelWay { Button, Escape, CloseRequest };

class ImportCancelTest : public ImportTest, public ::testing::WithParamInterface<CancelWay> {};

TEST_P(ImportCancelTest, AddsNothing) {
    tiff(QStringLiteral("a.tif"));
    part<QRadioButton>("importFromTextBtn")->click();
    part<QPlainTextEdit>("importText")->setPlainText(QDir(data).filePath(QStringLiteral("a.tif")));
    switch (GetParam()) {
    case CancelWay::Button:
        part<QPushButton>("cancelImportBtn")->click();
        break;
    case CancelWay::Escape:
        QTest::keyClick(window(), Qt::Key_Escape);
        break;
    case CancelWay::CloseRequest:
        window()->close();
        break;
    }
    EXPECT_FALSE(window()->isVisible());
    EXPECT_TRUE(controller->importExport().importFilesController()->files().isEmpty());
    EXPECT_FALSE(controller->fileSystemHelper().isLoading());
    EXPECT_TRUE(controller->files().isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Ways, ImportCancelTest,
                         ::testing::Values(CancelWay::Button, CancelWay::Escape,
                                           CancelWay::CloseRequest));

TEST_F(ImportTest, ReopeningClearsTheWindowButKeepsTheSource) {
    part<QRadioButton>("importFromTextBtn")->click();
    part<QPlainTextEdit>("importText")->setPlainText(QStringLiteral("/x/a.tif"));
    part<QPushButton>("cancelImportBtn")->click();
    controller->importExport().importAction();
    EXPECT_TRUE(window()->isVisible());
    EXPECT_TRUE(part<QRadioButton>("importFromTextBtn")->isChecked());
    EXPECT_TRUE(part<QPlainTextEdit>("importText")->toPlainText().isEmpty());
}

class ExportTest : public ControllerFixture {
protected:
    QString folder = makeTestFolder(QStringLiteral("export"));
    void SetUp() override { start(); }

    // Runs `trigger` and waits until the export it starts has ended.
    void exportAndWait(const std::function<void()>& trigger) {
        QSignalSpy finished(controller.get(), &PictavoAppDelegate::exportFinished);
        trigger();
        ASSERT_TRUE(finished.count() > 0 || finished.wait(30000));
    }
};

using ExportInBothEditions = InBothEditions<ExportTest>;
PICTAVO_IN_BOTH_EDITIONS(ExportInBothEditions);

TEST_F(ExportTest, SegmentAsksForANameAndWritesTheList) {
    const QString tiff = QDir(folder).filePath(QStringLiteral("a.tif"));
    ASSERT_TRUE(writeTestTiff(tiff, {grayPage(8, 8)}));
    controller->files().appendAll({FileItem::initWithURL(QUrl::fromLocalFile(tiff))});
    controller->editionWindow().resetView(true); // the segment is there once the list has files
    const QString path = QDir(folder).filePath(QStringLiteral("list.txt"));
    dialogs.answerNextPanel({true, {path}});
    exportAndWait([this] { find<SegmentedControl>("filesFoldersSegmented")->click(4); });
    ASSERT_EQ(dialogs.savePanelsShown().size(), 1);
    const SavePanelRequest& panel = dialogs.savePanelsShown().first();
    EXPECT_EQ(panel.message, QStringLiteral("Export List To Tab Delimited Text File :"));
    EXPECT_EQ(panel.allowedFileType, QStringLiteral("txt"));
    EXPECT_TRUE(QRegularExpression(
                    QStringLiteral("^Export \\d\\d-\\w+-\\d{4} \\d\\d-\\d\\d-\\d\\d \\S+\\.txt$"))
                    .match(panel.nameFieldStringValue)
                    .hasMatch())
        << panel.nameFieldStringValue.toStdString();
    QFile written(path);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = written.readAll().split('\n');
    ASSERT_EQ(lines.size(), 3);
    EXPECT_TRUE(lines[0].startsWith("Name\tPages\tSize\t"));
    EXPECT_TRUE(lines[1].startsWith("a.tif\t1\t"));
    EXPECT_TRUE(dialogs.alertsShown().isEmpty());
}

TEST_P(ExportInBothEditions, FailedWriteIsToldWithPathAndReason) {
    const QString path = QDir(folder).filePath(QStringLiteral("no/such/folder/list.txt"));
    dialogs.answerNextPanel({true, {path}});
    exportAndWait([this] { controller->importExport().exportAction(); });
    ASSERT_EQ(dialogs.alertsShown().size(), 1);
    EXPECT_TRUE(dialogs.alertsShown().first().informativeText.contains(path));
    EXPECT_FALSE(QFile::exists(path));
}

TEST_P(ExportInBothEditions, CancelWritesNothing) {
    dialogs.answerNextPanel({false, {QDir(folder).filePath(QStringLiteral("list.txt"))}});
    controller->importExport().exportAction();
    EXPECT_FALSE(QFile::exists(QDir(folder).filePath(QStringLiteral("list.txt"))));
    EXPECT_TRUE(dialogs.alertsShown().isEmpty());
}

TEST_F(ExportTest, WritesTheListAsItWasWhenTheExportStarted) {
    FileList::Items items;
    for (const char* name : {"b.tif", "a.tif"}) {
        const QString tiff = QDir(folder).filePath(QString::fromUtf8(name));
        ASSERT_TRUE(writeTestTiff(tiff, {grayPage(8, 8)}));
        items.push_back(FileItem::initWithURL(QUrl::fromLocalFile(tiff)));
    }
    controller->files().appendAll(items);
    const QString path = QDir(folder).filePath(QStringLiteral("list.txt"));
    exportAndWait([&] {
        controller->importExport().exportList(path);
        controller->files().clear();
    });
    EXPECT_EQ(readFileBytes(path), exportListText(items));
    EXPECT_TRUE(dialogs.alertsShown().isEmpty());
}

} // namespace
