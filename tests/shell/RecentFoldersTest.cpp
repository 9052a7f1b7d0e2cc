#include "ControllerFixture.h"
#include "filelist/FileList.h"
#include "support/TestTiff.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

namespace {

class RecentFoldersTest : public ControllerFixture {
protected:
    QString data = makeTestFolder(QStringLiteral("data"));

    void SetUp() override { start(); }

    QString folderWith(const QString& name, const QStringList& files) {
        const QString folder = QDir(data).filePath(name);
        QDir().mkpath(folder);
        for (const QString& file : files) {
            EXPECT_TRUE(writeTestTiff(QDir(folder).filePath(file), {grayPage(8, 8)}));
        }
        return folder;
    }

    void addFolder(const QString& folder) {
        dialogs.answerNextPanel({true, {folder}});
        waitForLoad([this] { controller->fileSystemHelper().addFolder(); });
    }

    QComboBox* popup() const { return find<QComboBox>("recentFoldersPopup"); }

    QStringList popupItems() const {
        QStringList items;
        for (int i = 0; i < popup()->count(); ++i) {
            items.append(popup()->itemText(i));
        }
        return items;
    }

    QStringList listed() const {
        QStringList out;
        for (const auto& item : controller->files().items()) {
            out.append(QFileInfo(item->filePath().toLocalFile()).fileName());
        }
        return out;
    }

    // The pop-up's entry for `folder`, chosen as a user would.
    void choose(const QString& folder) {
        const int index = popup()->findText(folder);
        ASSERT_GT(index, 0) << folder.toStdString();
        popup()->setCurrentIndex(index);
        Q_EMIT popup()->activated(index);
    }
};

const QString kTitle = QStringLiteral("Recent Folders...");

TEST_F(RecentFoldersTest, NewestFirstAndEachFolderOnce) {
    EXPECT_EQ(popupItems(), QStringList{kTitle});
    const QString a = folderWith(QStringLiteral("a"), {QStringLiteral("a1.tif")});
    const QString b = folderWith(QStringLiteral("b"), {QStringLiteral("b1.tif")});
    addFolder(a);
    const QDateTime first = controller->recentFolders()->recentItems().front().lastUsedDate();
    addFolder(b);
    addFolder(a); // already known: keeps its date and place
    EXPECT_EQ(popupItems(), (QStringList{kTitle, b, a}));
    EXPECT_EQ(controller->recentFolders()->recentItems().back().lastUsedDate(), first);
}

TEST_F(RecentFoldersTest, ChoosingAFolderReplacesTheListAndMovesItUp) {
    const QString a =
        folderWith(QStringLiteral("a"), {QStringLiteral("a1.tif"), QStringLiteral("a2.tif")});
    const QString b = folderWith(QStringLiteral("b"), {QStringLiteral("b1.tif")});
    addFolder(a);
    addFolder(b);
    EXPECT_EQ(controller->files().size(), 3);
    waitForLoad([&] { choose(a); });
    EXPECT_EQ(listed(), (QStringList{QStringLiteral("a1.tif"), QStringLiteral("a2.tif")}));
    EXPECT_EQ(popupItems(), (QStringList{kTitle, a, b}));
    EXPECT_EQ(popup()->currentText(), a);
}

TEST_F(RecentFoldersTest, TheTitleItselfDoesNothing) {
    addFolder(folderWith(QStringLiteral("a"), {QStringLiteral("a1.tif")}));
    controller->recentFolders()->recentFolderChanged(0);
    EXPECT_EQ(controller->files().size(), 1);
    EXPECT_FALSE(controller->fileSystemHelper().isLoading());
}

TEST_F(RecentFoldersTest, DeletedFolderAsksWhereItWentAndCancelKeepsTheList) {
    const QString a = folderWith(QStringLiteral("a"), {QStringLiteral("a1.tif")});
    const QString gone = folderWith(QStringLiteral("gone"), {QStringLiteral("g1.tif")});
    addFolder(gone);
    addFolder(a);
    ASSERT_TRUE(QDir(gone).removeRecursively());
    dialogs.answerNextPanel({false, {}});
    choose(gone);
    const OpenPanelRequest& panel = dialogs.panelsShown().last();
    EXPECT_EQ(panel.title, QStringLiteral("Choose folder(s):"));
    EXPECT_EQ(panel.directory, gone);
    EXPECT_FALSE(panel.canChooseFiles);
    EXPECT_FALSE(panel.canCreateDirectories);
    EXPECT_TRUE(panel.allowsMultipleSelection);
    EXPECT_EQ(controller->files().size(), 2);
    EXPECT_EQ(popupItems(), (QStringList{kTitle, a, gone}));
}

TEST_F(RecentFoldersTest, DeletedFolderReplacedByTheChosenOnes) {
    const QString gone = folderWith(QStringLiteral("gone"), {QStringLiteral("g1.tif")});
    const QString moved = folderWith(QStringLiteral("moved"), {QStringLiteral("m1.tif")});
    addFolder(gone);
    ASSERT_TRUE(QDir(gone).removeRecursively());
    dialogs.answerNextPanel({true, {moved}});
    waitForLoad([&] { choose(gone); });
    EXPECT_EQ(listed(), QStringList{QStringLiteral("m1.tif")});
    EXPECT_EQ(popup()->currentText(), moved);
    EXPECT_EQ(popupItems().size(), 3);
}

TEST_F(RecentFoldersTest, DroppedFilesAloneAddNoFolder) {
    const QString a = folderWith(QStringLiteral("a"), {QStringLiteral("a1.tif")});
    waitForLoad([&] {
        (void)controller->fileSystemHelper().acceptDrop(
            {QUrl::fromLocalFile(QDir(a).filePath(QStringLiteral("a1.tif")))});
    });
    EXPECT_EQ(popupItems(), QStringList{kTitle});
    waitForLoad([&] { (void)controller->fileSystemHelper().acceptDrop({QUrl::fromLocalFile(a)}); });
    EXPECT_EQ(popupItems(), (QStringList{kTitle, a}));
}

TEST_F(RecentFoldersTest, KeptAcrossARestartNewestFirst) {
    const QString a = folderWith(QStringLiteral("a"), {QStringLiteral("a1.tif")});
    const QString b = folderWith(QStringLiteral("b"), {QStringLiteral("b1.tif")});
    addFolder(a);
    addFolder(b);
    ASSERT_TRUE(controller->applicationShouldTerminate());
    controller.reset();
    preferences = std::make_unique<SettingsPreferences>(prefsPath);
    start();
    EXPECT_EQ(popupItems(), (QStringList{kTitle, b, a}));
    ASSERT_EQ(controller->recentFolders()->recentItems().size(), 2U);
    EXPECT_TRUE(controller->recentFolders()->recentItems().front().lastUsedDate().isValid());
}

} // namespace

namespace {

class BusyWindowTest : public RecentFoldersTest {
protected:
    // Starts a load of `folder` and returns while its worker waits for this
    // thread (its first call here is served only when events are processed).
    void startLoading(const QString& folder) {
        dialogs.answerNextPanel({true, {folder}});
        controller->fileSystemHelper().addFolder();
        ASSERT_TRUE(controller->fileSystemHelper().isLoading());
    }
};

TEST_F(BusyWindowTest, RecentFolderIsNotTakenWhileALoadRuns) {
    const QString a = folderWith(QStringLiteral("a"), {QStringLiteral("a1.tif")});
    const QString b =
        folderWith(QStringLiteral("b"), {QStringLiteral("b1.tif"), QStringLiteral("b2.tif")});
    addFolder(a);
    startLoading(b);
    QSignalSpy finished(controller.get(), &PictavoAppDelegate::loadFinished);
    controller->recentFolders()->recentFolderChanged(popup()->findText(a));
    ASSERT_TRUE(finished.wait(30000));
    EXPECT_EQ(listed(), (QStringList{QStringLiteral("a1.tif"), QStringLiteral("b1.tif"),
                                     QStringLiteral("b2.tif")}));
    EXPECT_EQ(popup()->currentIndex(), 0);
}

TEST_F(BusyWindowTest, HandedPathsWaitForTheLoadAndConvertDoesNotStart) {
    const QString b = folderWith(QStringLiteral("b"), {QStringLiteral("b1.tif")});
    const QString c = folderWith(QStringLiteral("c"), {QStringLiteral("c1.tif")});
    controller->settings().setOutputFolderPath(data);
    controller->settings().setIsSetCurrentAsDefaultOutputFolderPath(true);
    startLoading(b);
    QSignalSpy created(controller.get(), &PictavoAppDelegate::processCreated);
    controller->convert().convertAction();
    EXPECT_TRUE(created.isEmpty());
    controller->fileSystemHelper().addHandedPaths({QDir(c).filePath(QStringLiteral("c1.tif"))});
    QSignalSpy finished(controller.get(), &PictavoAppDelegate::loadFinished);
    ASSERT_TRUE(finished.wait(30000));                         // b
    ASSERT_TRUE(finished.count() > 1 || finished.wait(30000)); // the handed file
    EXPECT_EQ(listed(), (QStringList{QStringLiteral("b1.tif"), QStringLiteral("c1.tif")}));
    EXPECT_FALSE(controller->progressSheet().processViewPanel()->isVisible());
}

} // namespace

namespace {

// The real folder panel, as a user answers it.
class RecentFoldersPanelTest : public ControllerFixture {
protected:
    QtDialogs realDialogs;
    QString data = makeTestFolder(QStringLiteral("data"));

    void SetUp() override {
        controller = std::make_unique<PictavoAppDelegate>(PictavoAppDelegate::Services{
            preferences.get(), &workspace, &realDialogs, Edition::currentEdition()});
        controller->awakeFromNib();
    }

    QString folderWith(const QString& name, const QString& file) {
        const QString folder = QDir(data).filePath(name);
        QDir().mkpath(folder);
        EXPECT_TRUE(writeTestTiff(QDir(folder).filePath(file), {grayPage(8, 8)}));
        return folder;
    }

    QComboBox* popup() const { return find<QComboBox>("recentFoldersPopup"); }

    QFileDialog* shownPanel() const {
        for (QFileDialog* panel : controller->window()->findChildren<QFileDialog*>()) {
            if (panel->isVisible()) {
                return panel;
            }
        }
        return nullptr;
    }

    // Adds `folder` through Add Folder's real panel.
    void addFolder(const QString& folder) {
        QSignalSpy loaded(controller.get(), &PictavoAppDelegate::loadFinished);
        controller->fileSystemHelper().addFolder();
        QFileDialog* panel = shownPanel();
        ASSERT_NE(panel, nullptr);
        panel->selectFile(folder);
        QTest::keyClick(panel, Qt::Key_Return);
        ASSERT_TRUE(loaded.count() > 0 || loaded.wait(30000));
    }

    // The pop-up's entry for `folder`, picked from its list as a user does.
    void choose(const QString& folder) {
        QComboBox* box = popup();
        const int index = box->findText(folder);
        ASSERT_GT(index, 0) << folder.toStdString();
        box->showPopup();
        QAbstractItemView* list = box->view();
        ASSERT_TRUE(list->isVisible());
        const QRect row = list->visualRect(list->model()->index(index, 0));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, row.center());
    }
};

// The folder chosen in place of a missing one is the newest and the
// pop-up's choice; the missing one follows it.
TEST_F(RecentFoldersPanelTest, RelocatedFolderBecomesTheNewestAndThePopUpsChoice) {
    const QString gone = folderWith(QStringLiteral("gone"), QStringLiteral("g1.tif"));
    const QString moved = folderWith(QStringLiteral("moved"), QStringLiteral("m1.tif"));
    addFolder(gone);
    ASSERT_TRUE(QDir(gone).removeRecursively());
    choose(gone);
    QFileDialog* panel = shownPanel();
    ASSERT_NE(panel, nullptr);
    EXPECT_EQ(panel->windowTitle(), QStringLiteral("Choose folder(s):"));
    QSignalSpy loaded(controller.get(), &PictavoAppDelegate::loadFinished);
    panel->selectFile(moved);
    QTest::keyClick(panel, Qt::Key_Return);
    ASSERT_FALSE(panel->isVisible());
    ASSERT_TRUE(loaded.count() > 0 || loaded.wait(30000));
    EXPECT_EQ(popup()->currentText(), moved);
    QStringList items;
    for (int i = 0; i < popup()->count(); ++i) {
        items.append(popup()->itemText(i));
    }
    EXPECT_EQ(items, (QStringList{QStringLiteral("Recent Folders..."), moved, gone}));
    ASSERT_EQ(controller->files().size(), 1);
    EXPECT_EQ(QFileInfo(controller->files().at(0)->filePath().toLocalFile()).fileName(),
              QStringLiteral("m1.tif"));
}

} // namespace
