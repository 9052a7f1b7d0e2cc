#include "ControllerFixture.h"
#include "engine/OutputFormats.h"
#include "engine/Settings.h"
#include "filelist/FileItem.h"
#include "filelist/FileList.h"
#include "shell/PictavoAppDelegate.h"
#include "support/TestEnvironment.h"
#include "support/TestTiff.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>

#include <gtest/gtest.h>

namespace {

// The pages `qpdf` counts in a PDF; -1 when it cannot read it.
int pdfPageCount(const QString& path) {
    QProcess qpdf;
    qpdf.start(QStringLiteral("qpdf"), {QStringLiteral("--show-npages"), path});
    if (!qpdf.waitForFinished(-1) || qpdf.exitCode() != 0) {
        return -1;
    }
    return QString::fromLatin1(qpdf.readAllStandardOutput()).trimmed().toInt();
}

class PdfConvertTest : public ControllerFixture {
protected:
    QString in = makeTestFolder(QStringLiteral("in"));
    QString out = makeTestFolder(QStringLiteral("out"));

    void addSource(const char* name, const std::vector<TestTiffPage>& pages) {
        const QString path = QDir(in).filePath(QString::fromUtf8(name));
        ASSERT_TRUE(writeTestTiff(path, pages));
        auto item = FileItem::initWithURL(QUrl::fromLocalFile(path));
        item->setIsSelected(true);
        controller->files().appendAll({item});
    }
};

using PdfConvertInBothEditions = InBothEditions<PdfConvertTest>;
PICTAVO_IN_BOTH_EDITIONS(PdfConvertInBothEditions);

// Chosen in the settings, PDF takes the split option only; Convert writes
// one PDF per source with every page.
TEST_P(PdfConvertInBothEditions, ConvertFromTheSettingsWritesOnePdfPerSource) {
    start();
    controller->settings().setIsOpenFolderAfterConversion(false);
    controller->settings().setOutputFolderPath(out);
    controller->settings().setIsSetCurrentAsDefaultOutputFolderPath(true);
    openSettings();
    QComboBox* types = find<QComboBox>("outputTypePopup");
    ASSERT_NE(types, nullptr);
    const int pdf = types->findText(QStringLiteral("PDF"));
    EXPECT_EQ(pdf, types->count() - 1); // after the five
    types->setCurrentIndex(pdf);
    EXPECT_EQ(controller->settings().outputType(), OutputPdf);
    EXPECT_FALSE(find<QWidget>("jpegQualitySlider")->isEnabled());
    EXPECT_FALSE(find<QWidget>("tiffCompressionPopup")->isEnabled());
    EXPECT_TRUE(find<QCheckBox>("splitTiffCheckbox")->isEnabled());
    if (!isFirstEdition()) {
        find<QPushButton>("closeOutputSettingBtn")->click();
    }

    addSource("fax.tif",
              std::vector<TestTiffPage>(3, bilevelPage(64, 48, true, COMPRESSION_CCITTFAX4)));
    addSource("photo.tif", {rgbPage(30, 20), grayPage(20, 30)});
    controller->editionWindow().resetView(true);
    controller->viewHelper().updateTotalLabel();
    QSignalSpy finished(controller.get(), &PictavoAppDelegate::conversionFinished);
    pressCommand(UiCommand::Convert);
    ASSERT_TRUE(finished.count() > 0 || finished.wait(60000));
    find<QPushButton>("closeProcessBtn")->click();

    EXPECT_EQ(QDir(out).entryList(QDir::Files),
              (QStringList{QStringLiteral("fax.pdf"), QStringLiteral("photo.pdf")}));
    EXPECT_EQ(pdfPageCount(QDir(out).filePath(QStringLiteral("fax.pdf"))), 3);
    EXPECT_EQ(pdfPageCount(QDir(out).filePath(QStringLiteral("photo.pdf"))), 2);
}

} // namespace
