#include "OutputSettingsFixture.h"

namespace {

struct SplitControlsCase {
    std::string name;
    int typeIndex;
    bool clickSplit;
    bool quality;
    bool splitOption;
    bool compression;
    bool naming;
};

using SplitControlsInBothEditions = InBothEditionsWithCases<OutputSettingsTest, SplitControlsCase>;

TEST_P(SplitControlsInBothEditions, ChoicesEnableTheOptionsThatFit) {
    const SplitControlsCase& c = testCase();
    find<QComboBox>("outputTypePopup")->setCurrentIndex(c.typeIndex);
    if (c.clickSplit) {
        find<QCheckBox>("splitTiffCheckbox")->click();
    }
    EXPECT_EQ(find<QWidget>("jpegQualitySlider")->isEnabled(), c.quality);
    EXPECT_EQ(find<QWidget>("splitTiffCheckbox")->isEnabled(), c.splitOption);
    EXPECT_EQ(find<QWidget>("tiffCompressionPopup")->isEnabled(), c.compression);
    EXPECT_EQ(find<QWidget>("fileNameSeparatorLabel")->isEnabled(), c.naming);
    EXPECT_EQ(find<QWidget>("fileNameSeparatorText")->isEnabled(), c.naming);
    if (!isFirstEdition()) {
        EXPECT_EQ(find<QWidget>("fileNameLeadingZerosText")->isEnabled(), c.naming);
        EXPECT_EQ(find<QWidget>("fileNameLeadingZerosStepper")->isEnabled(), c.naming);
    }
}

PICTAVO_CASES_IN_BOTH_EDITIONS(
    Choices, SplitControlsInBothEditions,
    ::testing::Values(SplitControlsCase{"Png", OutputPng, false, false, false, false, true},
                      SplitControlsCase{"TiffWhole", OutputTiff, false, false, true, true, false},
                      SplitControlsCase{"TiffSplit", OutputTiff, true, false, true, true, true},
                      SplitControlsCase{"Bmp", OutputBmp, false, false, false, false, true},
                      SplitControlsCase{"Gif", OutputGif, false, false, false, false, true},
                      SplitControlsCase{"PdfWhole", OutputPdf, false, false, true, false, false},
                      SplitControlsCase{"PdfSplit", OutputPdf, true, false, true, false, true}));

TEST_P(OutputSettingsInBothEditions, BackToJpegEnablesQualityOnly) {
    find<QComboBox>("outputTypePopup")->setCurrentIndex(OutputTiff);
    find<QComboBox>("outputTypePopup")->setCurrentIndex(OutputJpeg);
    EXPECT_TRUE(find<QWidget>("jpegQualitySlider")->isEnabled());
    EXPECT_FALSE(find<QWidget>("splitTiffCheckbox")->isEnabled());
    EXPECT_TRUE(find<QWidget>("fileNameSeparatorText")->isEnabled());
}

// The output folder.

TEST_P(OutputSettingsInBothEditions, ChosenFolderIsStoredAtOnce) {
    const QString first = makeTestFolder(QStringLiteral("first"));
    const QString chosen = makeTestFolder(QStringLiteral("out"));
    dialogs.answerNextPanel({true, {first, chosen}});
    find<QPushButton>("chooseOutputFolderBtn")->click();

    ASSERT_EQ(dialogs.panelsShown().size(), 1);
    const OpenPanelRequest& asked = dialogs.panelsShown().at(0);
    // Each edition's own words.
    EXPECT_EQ(asked.message, isFirstEdition() ? QStringLiteral("Select Output Folder:")
                                              : QStringLiteral("Choose Output Folder : "));
    EXPECT_FALSE(asked.canChooseFiles);
    EXPECT_TRUE(asked.canChooseDirectories);
    EXPECT_FALSE(asked.allowsMultipleSelection);
    EXPECT_TRUE(asked.canCreateDirectories);
    EXPECT_EQ(settings().outputFolderPath(), chosen);
    EXPECT_EQ(find<QLineEdit>("outputFolderPath")->text(), chosen);

    SettingsPreferences reopened(prefsPath);
    EXPECT_EQ(reopened.value(QStringLiteral("SETTINGS"))
                  .toMap()
                  .value(QStringLiteral("outputFolderPath"))
                  .toString(),
              chosen);
}

TEST_P(OutputSettingsInBothEditions, CancelledChooserChangesNothing) {
    settings().setOutputFolderPath(QStringLiteral("/srv/before"));
    dialogs.answerNextPanel({false, {QStringLiteral("/srv/after")}});
    controller->outputSettings().chooseOutputFolder();
    EXPECT_EQ(settings().outputFolderPath(), QStringLiteral("/srv/before"));
    SettingsPreferences reopened(prefsPath);
    EXPECT_FALSE(reopened.value(QStringLiteral("SETTINGS")).isValid());
}

TEST_P(OutputSettingsInBothEditions, EmptyFolderTurnsTheDefaultOffAndAFolderOnlyReenablesIt) {
    auto* asDefault = find<QCheckBox>("setCurrentAsDefaultOutputFolderPathBtn");
    settings().setOutputFolderPath(QStringLiteral("/srv/out"));
    settings().setIsSetCurrentAsDefaultOutputFolderPath(true);
    EXPECT_TRUE(asDefault->isEnabled());

    settings().setOutputFolderPath(QString());
    EXPECT_FALSE(asDefault->isEnabled());
    EXPECT_FALSE(asDefault->isChecked());
    EXPECT_FALSE(settings().isSetCurrentAsDefaultOutputFolderPath());

    dialogs.answerNextPanel({true, {makeTestFolder(QStringLiteral("again"))}});
    controller->outputSettings().chooseOutputFolder();
    EXPECT_TRUE(asDefault->isEnabled());
    EXPECT_FALSE(settings().isSetCurrentAsDefaultOutputFolderPath());
}

TEST_P(OutputSettingsInBothEditions, ClearButtonRemovesTheDefaultFolder) {
    auto* clear = find<QPushButton>("clearOutputFolderBtn");
    auto* asDefault = find<QCheckBox>("setCurrentAsDefaultOutputFolderPathBtn");
    EXPECT_FALSE(clear->isEnabled()); // nothing to clear on a first launch
    dialogs.answerNextPanel({true, {makeTestFolder(QStringLiteral("chosen"))}});
    openSettings();
    controller->outputSettings().optionTabSegmentedChanged(2);
    controller->outputSettings().chooseOutputFolder();
    settings().setIsSetCurrentAsDefaultOutputFolderPath(true);
    ASSERT_TRUE(clear->isEnabled());
    EXPECT_TRUE(clear->isVisible());

    clear->click();
    EXPECT_TRUE(settings().outputFolderPath().isEmpty());
    EXPECT_TRUE(find<QLineEdit>("outputFolderPath")->text().isEmpty());
    EXPECT_FALSE(settings().isSetCurrentAsDefaultOutputFolderPath());
    EXPECT_FALSE(asDefault->isEnabled());
    EXPECT_FALSE(clear->isEnabled());
    // Stored at once, as a chosen folder is.
    SettingsPreferences reopened(prefsPath);
    EXPECT_EQ(reopened.value(QStringLiteral("SETTINGS"))
                  .toMap()
                  .value(QStringLiteral("outputFolderPath")),
              QString());
}

TEST_P(OutputSettingsInBothEditions, CheckBoxesCarryTheirAccessLetters) {
    EXPECT_EQ(find<QCheckBox>("setCurrentAsDefaultOutputFolderPathBtn")->text(),
              QStringLiteral("Set as &default output folder"));
    EXPECT_EQ(find<QCheckBox>("openFolderAfterConversionBtn")->text(),
              QStringLiteral("O&pen output folder after conversion"));
    // The chooser's boxes of the same meaning must not take Alt+D and Alt+P.
    EXPECT_FALSE(
        find<QCheckBox>("isSetCurrentAsDefaultOutputFolder")->text().contains(QLatin1Char('&')));
    EXPECT_FALSE(find<QCheckBox>("isOpenFolderAfterConversion")->text().contains(QLatin1Char('&')));
}

TEST_F(OutputSettingsTest, ConvertShowsTheFirstTabOnSegmentAndPage) {
    controller->editionWindow().showOutputSettings();
    find<SegmentedControl>("optionTabSegmented")->click(1);
    find<QPushButton>("closeOutputSettingBtn")->click();
    dialogs.answerNextPanel({false, {}});
    controller->convert().convertAction();
    controller->editionWindow().showOutputSettings();
    auto* tabs = find<SegmentedControl>("optionTabSegmented");
    EXPECT_EQ(find<QStackedWidget>("settingTabView")->currentIndex(), 0);
    EXPECT_TRUE(tabs->isSelected(0));
    EXPECT_FALSE(tabs->isSelected(1));
}

// Opening and closing the sheet.

TEST_F(OutputSettingsTest, CommandSegmentOpensTheSheetAndClearsItself) {
    auto* command = find<SegmentedControl>("commandSegmented");
    command->click(0);
    EXPECT_TRUE(panel()->isVisible());
    EXPECT_EQ(panel()->windowModality(), Qt::WindowModal);
    EXPECT_EQ(panel()->parentWidget(), controller->window());
    EXPECT_FALSE(command->isSelected(0));
    EXPECT_EQ(find<QStackedWidget>("settingTabView")->currentIndex(), 0);
    EXPECT_TRUE(find<SegmentedControl>("optionTabSegmented")->isSelected(0));
}

TEST_F(OutputSettingsTest, LastTabStaysSelectedWhenReopened) {
    auto* tabs = find<SegmentedControl>("optionTabSegmented");
    EXPECT_EQ(tabs->segmentCount(), 3);
    controller->editionWindow().showOutputSettings();
    tabs->click(2);
    EXPECT_EQ(find<QStackedWidget>("settingTabView")->currentIndex(), 2);
    EXPECT_FALSE(tabs->isSelected(0));
    find<QPushButton>("closeOutputSettingBtn")->click();
    EXPECT_FALSE(panel()->isVisible());

    controller->editionWindow().showOutputSettings();
    EXPECT_EQ(find<QStackedWidget>("settingTabView")->currentIndex(), 2);
    EXPECT_TRUE(tabs->isSelected(2));
}

struct HalfTypedCase {
    std::string name;
    const char* field;
    QString typed;
    const char* key;
    QVariant kept;
};

class HalfTypedTest : public OutputSettingsTest,
                      public ::testing::WithParamInterface<HalfTypedCase> {};

TEST_P(HalfTypedTest, ClosingKeepsTheTypedValue) {
    const HalfTypedCase& c = GetParam();
    controller->editionWindow().showOutputSettings();
    typeInto(find<QLineEdit>(c.field), c.typed);
    find<QPushButton>("closeOutputSettingBtn")->click();
    EXPECT_FALSE(panel()->isVisible());
    EXPECT_EQ(settings().property(c.key), c.kept);
}

INSTANTIATE_TEST_SUITE_P(Fields, HalfTypedTest,
                         ::testing::Values(HalfTypedCase{"Separator", "fileNameSeparatorText", "__",
                                                         "separator", "__"},
                                           HalfTypedCase{"LeadingZeros", "fileNameLeadingZerosText",
                                                         "7", "leadingZeros", 7}),
                         ByName());

TEST_F(OutputSettingsTest, EscapeAlsoKeepsTheTypedValue) {
    controller->editionWindow().showOutputSettings();
    typeInto(find<QLineEdit>("fileNameSeparatorText"), QStringLiteral("+"));
    panel()->reject();
    EXPECT_EQ(settings().separator(), QStringLiteral("+"));
}

TEST_F(OutputSettingsTest, OpeningTheSheetRewritesNoField) {
    settings().setLeadingZeros(-1); // a stored value the field cannot type
    controller->editionWindow().showOutputSettings();
    find<QPushButton>("closeOutputSettingBtn")->click();
    EXPECT_EQ(settings().leadingZeros(), -1);
}

} // namespace

// Whatever the preferences file holds, the window opens with every control
// showing a value it can hold, and what it saves reads back the same.

struct DamagedStoreCase {
    std::string name;
    QByteArray content;
};

using DamagedStoreInBothEditions = InBothEditionsWithCases<OutputSettingsTest, DamagedStoreCase>;

TEST_P(DamagedStoreInBothEditions, WindowOpensWithValuesItsControlsCanShow) {
    (void)controller->applicationShouldTerminate();
    controller.reset();
    preferences.reset();
    ASSERT_TRUE(writeFileBytes(prefsPath, testCase().content));
    preferences = std::make_unique<SettingsPreferences>(prefsPath);
    start();

    const auto shown = [this] {
        QStringList values;
        for (const char* name : {"outputTypePopup", "tiffCompressionPopup"}) {
            auto* popup = find<QComboBox>(name);
            EXPECT_GE(popup->currentIndex(), 0) << name;
            EXPECT_LT(popup->currentIndex(), popup->count()) << name;
            values.append(QString::number(popup->currentIndex()));
        }
        auto* slider = find<QSlider>("jpegQualitySlider");
        EXPECT_GE(slider->value(), slider->minimum());
        EXPECT_LE(slider->value(), slider->maximum());
        // The label next to the slider tells the slider's value.
        EXPECT_EQ(find<QLabel>("qualityText")->text(),
                  OutputSettings::qualityPercentText(slider->value()));
        values.append(QString::number(slider->value()));
        if (!isFirstEdition()) {
            auto* stepper = find<QSpinBox>("fileNameLeadingZerosStepper");
            EXPECT_GE(stepper->value(), stepper->minimum());
            EXPECT_LE(stepper->value(), stepper->maximum());
            EXPECT_EQ(find<QLineEdit>("fileNameLeadingZerosText")->text(),
                      QString::number(stepper->value()));
            values.append(QString::number(stepper->value()));
        }
        values.append(find<QLineEdit>("fileNameSeparatorText")->text());
        values.append(find<QLineEdit>("outputFolderPath")->text());
        return values;
    };
    const QStringList first = shown();

    (void)controller->applicationShouldTerminate();
    controller.reset();
    start();
    EXPECT_EQ(shown(), first);
}

PICTAVO_CASES_IN_BOTH_EDITIONS(
    Stores, DamagedStoreInBothEditions,
    ::testing::Values(
        DamagedStoreCase{"Empty", QByteArray()},
        DamagedStoreCase{"GarbageBytes",
                         QByteArray("\x00\xff[SETT\x01\n=\x80\xfe]]\n\x00@Variant(\xff", 27)},
        DamagedStoreCase{"MissingKeys", "[SETTINGS]\nseparator=x\n"},
        DamagedStoreCase{"WrongTypes",
                         "[SETTINGS]\noutputType=banana\njpegQuality=@Variant(\\0\\0\\0\\x7f)\n"
                         "tiffCompressionIndex=@ByteArray(\\xff)\nleadingZeros=true\n"
                         "separator=@Rect(1 2 3 4)\noutputFolderPath=42\n"
                         "isSplitTIFFIntoSinglePages=maybe\n"},
        DamagedStoreCase{"OutOfRange",
                         "[SETTINGS]\noutputType=2147483647\njpegQuality=-2147483648\n"
                         "tiffCompressionIndex=-1\nleadingZeros=999999999\n"},
        DamagedStoreCase{"SettingsIsAList", "[SETTINGS]\n__list__=true\nsize=2\n1=a\n2=b\n"},
        DamagedStoreCase{"SettingsIsAText", "[General]\nSETTINGS=hello\n"}));
