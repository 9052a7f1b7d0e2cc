#include "ControllerFixture.h"
#include "filelist/FileList.h"
#include "support/TestTiff.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMainWindow>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>
#include <string>

namespace {

// Add Files through the desktop's real file dialog, as a user meets it.
class AddFilesPanelTest : public ControllerFixture {
protected:
    QtDialogs realDialogs;
    QString data = makeTestFolder(QStringLiteral("data"));
    QString folder = QDir(data).filePath(QStringLiteral("scans"));

    void SetUp() override {
        tiff(QStringLiteral("scans/top.tif"));
        tiff(QStringLiteral("scans/deep/low.tif"));
        controller = std::make_unique<PictavoAppDelegate>(PictavoAppDelegate::Services{
            preferences.get(), &workspace, &realDialogs, Edition::currentEdition()});
        controller->awakeFromNib();
    }

    QString tiff(const QString& relative) {
        const QString path = QDir(data).filePath(relative);
        QDir().mkpath(QFileInfo(path).path());
        EXPECT_TRUE(writeTestTiff(path, {grayPage(8, 8)}));
        return path;
    }

    void setSubfolders(bool on) {
        if (isIncludeSubfoldersShownOn() != on) {
            pressCommand(UiCommand::IncludeSubfolders);
        }
        ASSERT_EQ(isIncludeSubfoldersShownOn(), on);
    }

    // Presses Add Files and returns the dialog it shows.
    QFileDialog* openPanel() {
        pressCommand(UiCommand::AddFiles);
        for (QFileDialog* panel : controller->window()->findChildren<QFileDialog*>()) {
            if (panel->isVisible()) {
                return panel;
            }
        }
        ADD_FAILURE() << "no file dialog is shown";
        return nullptr;
    }

    static QPushButton* openButton(const QFileDialog* panel) {
        auto* box = panel->findChild<QDialogButtonBox*>(QStringLiteral("buttonBox"));
        return box != nullptr ? box->button(QDialogButtonBox::Open) : nullptr;
    }

    QStringList listed() const {
        QStringList out;
        for (const auto& item : controller->files().items()) {
            out.append(QDir(data).relativeFilePath(item->filePath().toLocalFile()));
        }
        out.sort();
        return out;
    }
};

enum class Press { OpenButton, Enter };

struct ChoiceCase {
    std::string name;
    QString chosen; // relative to the data folder
    Press press;
    QStringList added;
};

class AddFilesPanelChoiceTest : public AddFilesPanelTest,
                                public ::testing::WithParamInterface<ChoiceCase> {};

TEST_P(AddFilesPanelChoiceTest, WithSubfoldersOnAFolderOrAFileCanBeChosen) {
    const ChoiceCase& c = GetParam();
    setSubfolders(true);
    QFileDialog* panel = openPanel();
    ASSERT_NE(panel, nullptr);
    panel->selectFile(QDir(data).filePath(c.chosen));
    QSignalSpy loaded(controller.get(), &PictavoAppDelegate::loadFinished);
    if (c.press == Press::OpenButton) {
        QPushButton* open = openButton(panel);
        ASSERT_NE(open, nullptr);
        ASSERT_TRUE(open->isEnabled());
        open->click();
    } else {
        QTest::keyClick(panel, Qt::Key_Return);
    }
    ASSERT_FALSE(panel->isVisible()) << "the panel went into the folder instead";
    ASSERT_TRUE(loaded.count() > 0 || loaded.wait(30000));
    EXPECT_EQ(listed(), c.added);
}

INSTANTIATE_TEST_SUITE_P(Choices, AddFilesPanelChoiceTest,
                         ::testing::Values(ChoiceCase{"FolderByOpen",
                                                      QStringLiteral("scans"),
                                                      Press::OpenButton,
                                                      {QStringLiteral("scans/deep/low.tif"),
                                                       QStringLiteral("scans/top.tif")}},
                                           ChoiceCase{"FolderByEnter",
                                                      QStringLiteral("scans"),
                                                      Press::Enter,
                                                      {QStringLiteral("scans/deep/low.tif"),
                                                       QStringLiteral("scans/top.tif")}},
                                           ChoiceCase{"FileByEnter",
                                                      QStringLiteral("scans/top.tif"),
                                                      Press::Enter,
                                                      {QStringLiteral("scans/top.tif")}}),
                         ByName());

// Without subfolders the panel chooses files only: Enter on a folder goes
// into it.
TEST_F(AddFilesPanelTest, WithSubfoldersOffEnterOnAFolderOpensIt) {
    setSubfolders(false);
    QFileDialog* panel = openPanel();
    ASSERT_NE(panel, nullptr);
    panel->selectFile(folder);
    QTest::keyClick(panel, Qt::Key_Return);
    EXPECT_TRUE(panel->isVisible());
    EXPECT_EQ(QFileInfo(panel->directory().absolutePath()).canonicalFilePath(),
              QFileInfo(folder).canonicalFilePath());
    EXPECT_FALSE(controller->fileSystemHelper().isLoading());
    EXPECT_TRUE(controller->files().isEmpty());
    QTest::keyClick(panel, Qt::Key_Escape);
    EXPECT_FALSE(panel->isVisible());
    EXPECT_TRUE(controller->files().isEmpty());
}

} // namespace
