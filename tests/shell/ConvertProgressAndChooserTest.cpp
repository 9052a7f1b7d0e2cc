#include "ConvertCommandFixture.h"

namespace {

struct TimeTextCase {
    std::string name;
    qint64 elapsedMs;
    int done;
    int total;
    const char* text;
    bool inWords = false;
};

class ProgressTimeTextTest : public ::testing::TestWithParam<TimeTextCase> {};

TEST_P(ProgressTimeTextTest, ElapsedThenTimeLeftOnceThePaceIsKnown) {
    const TimeTextCase& c = GetParam();
    EXPECT_EQ(ProgressSheet::progressTimeText(c.elapsedMs, c.done, c.total, c.inWords),
              QString::fromUtf8(c.text));
}

INSTANTIATE_TEST_SUITE_P(
    InWords, ProgressTimeTextTest,
    ::testing::Values(
        TimeTextCase{"WordsAtStart", 0, 0, 10, "0 sec(s)", true},
        TimeTextCase{"WordsUnderASecond", 999, 0, 10, "0 sec(s)", true},
        TimeTextCase{"WordsTooFewPages", 2000, 2, 10, "2 sec(s)", true},
        TimeTextCase{"WordsThreePages", 3000, 3, 12, "3 sec(s)  (about 9 sec(s) left)", true},
        TimeTextCase{"WordsMinutes", 75000, 5, 10,
                     "1 min(s) 15 sec(s)  (about 1 min(s) 15 sec(s) left)", true},
        TimeTextCase{"WordsHours", 3725000, 10, 20,
                     "1 hr(s) 2 min(s) 5 sec(s)  (about 1 hr(s) 2 min(s) 5 sec(s) left)", true},
        TimeTextCase{"WordsAllDone", 5000, 10, 10, "5 sec(s)", true}),
    ByName());

INSTANTIATE_TEST_SUITE_P(
    Cases, ProgressTimeTextTest,
    ::testing::Values(TimeTextCase{"Start", 0, 0, 10, "00:00"},
                      TimeTextCase{"TooFewPagesAndSeconds", 2000, 2, 10, "00:02"},
                      TimeTextCase{"ThreePages", 3000, 3, 12, "00:03  (about 00:09 left)"},
                      TimeTextCase{"SlowFirstPage", 6000, 1, 3, "00:06  (about 00:12 left)"},
                      TimeTextCase{"RoundsUp", 10000, 3, 4, "00:10  (about 00:04 left)"},
                      TimeTextCase{"Hours", 3600000, 10, 30, "1:00:00  (about 2:00:00 left)"},
                      TimeTextCase{"AllDone", 5000, 10, 10, "00:05"}),
    ByName());

// The real folder chooser, as a user meets it.
class ChooserTest : public ConvertCommandTest {
protected:
    QtDialogs realDialogs;

    void SetUp() override {
        controller = std::make_unique<PictavoAppDelegate>(
            PictavoAppDelegate::Services{preferences.get(), &workspace, &realDialogs});
        controller->awakeFromNib();
        controller->settings().setIsOpenFolderAfterConversion(false);
    }

    QFileDialog* openChooser() {
        controller->convert().convertAction();
        for (QFileDialog* chooser : controller->window()->findChildren<QFileDialog*>()) {
            if (chooser->isVisible()) {
                return chooser;
            }
        }
        ADD_FAILURE() << "no chooser is shown";
        return nullptr;
    }

    QCheckBox* box(const char* name) const {
        return controller->window()->findChild<QCheckBox*>(QString::fromUtf8(name));
    }
};

TEST_F(ChooserTest, ShowsItsMessageAboveAndCheckBoxesThatWork) {
    addSources({{QStringLiteral("scan.tif"), 1}});
    QFileDialog* chooser = openChooser();
    ASSERT_NE(chooser, nullptr);
    ASSERT_TRUE(chooser->isVisible());
    auto* message = chooser->findChild<QLabel*>(QStringLiteral("openPanelMessage"));
    ASSERT_NE(message, nullptr);
    EXPECT_TRUE(message->isVisible());
    EXPECT_EQ(message->text(), QStringLiteral("Please select output folder!"));
    EXPECT_TRUE(message->wordWrap());
    // Above the dialog's own location box, which keeps its room.
    auto* lookIn = chooser->findChild<QComboBox*>(QStringLiteral("lookInCombo"));
    ASSERT_NE(lookIn, nullptr);
    EXPECT_LT(message->mapTo(chooser, QPoint()).y(), lookIn->mapTo(chooser, QPoint()).y());

    QCheckBox* makeDefault = box("isSetCurrentAsDefaultOutputFolder");
    QCheckBox* openAfter = box("isOpenFolderAfterConversion");
    ASSERT_NE(makeDefault, nullptr);
    ASSERT_NE(openAfter, nullptr);
    EXPECT_TRUE(makeDefault->isVisible());
    EXPECT_TRUE(openAfter->isVisible());
    EXPECT_TRUE(chooser->isAncestorOf(makeDefault));
    makeDefault->click();
    openAfter->click();

    QSignalSpy finished(controller.get(), &PictavoAppDelegate::conversionFinished);
    chooser->selectFile(out);
    QTest::keyClick(chooser, Qt::Key_Return);
    ASSERT_TRUE(finished.count() > 0 || finished.wait(60000));
    EXPECT_EQ(controller->settings().outputFolderPath(), QFileInfo(out).absoluteFilePath());
    EXPECT_TRUE(controller->settings().isSetCurrentAsDefaultOutputFolderPath());
    EXPECT_TRUE(controller->settings().isOpenFolderAfterConversion());
    EXPECT_EQ(outputs(), QStringList{QStringLiteral("scan1.jpg")});
    // The check boxes went back to the window, out of sight.
    EXPECT_FALSE(chooser->isAncestorOf(makeDefault));
    EXPECT_FALSE(makeDefault->isVisible());
    panelButton("closeProcessBtn")->click();
}

TEST_F(ChooserTest, EscapeCancelsAndTheNextChooserShowsTheBoxesAgain) {
    addSources({{QStringLiteral("scan.tif"), 1}});
    QFileDialog* first = openChooser();
    ASSERT_NE(first, nullptr);
    QTest::keyClick(first, Qt::Key_Escape);
    EXPECT_FALSE(first->isVisible());
    EXPECT_FALSE(controller->fileSystemHelper().isProcessing());
    EXPECT_TRUE(outputs().isEmpty());

    QFileDialog* second = openChooser();
    ASSERT_NE(second, nullptr);
    EXPECT_TRUE(box("isSetCurrentAsDefaultOutputFolder")->isVisible());
    EXPECT_TRUE(box("isOpenFolderAfterConversion")->isVisible());
    second->reject();
}

} // namespace
