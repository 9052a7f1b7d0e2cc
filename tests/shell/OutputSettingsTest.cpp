#include "ControllerFixture.h"
#include "engine/OutputFormats.h"
#include "engine/Settings.h"
#include "platform/Preferences.h"
#include "platform/Workspace.h"
#include "shell/Dialogs.h"
#include "shell/PictavoAppDelegate.h"
#include "support/TestEnvironment.h"
#include "support/TestTiff.h"
#include "widgets/SegmentedControl.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMetaProperty>
#include <QPushButton>
#include <QSignalSpy>
#include <QSlider>
#include <QSpinBox>
#include <QStackedWidget>
#include <QStringList>
#include <QTest>

#include <gtest/gtest.h>

namespace {

class OutputSettingsTest : public ControllerFixture {
protected:
    void SetUp() override { start(); }

    Settings& settings() { return controller->settings(); }
    QDialog* panel() { return controller->outputSettings().outputSettingPanel(); }

    static QStringList itemTexts(const QComboBox* popup) {
        QStringList texts;
        for (int i = 0; i < popup->count(); ++i) {
            texts.append(popup->itemText(i));
        }
        return texts;
    }

    // Replaces the field's text as a user would: select all, then type over
    // it key by key (or delete it).
    static void typeInto(QLineEdit* field, const QString& text) {
        field->selectAll();
        if (text.isEmpty()) {
            QTest::keyClick(field, Qt::Key_Backspace);
        } else {
            QTest::keyClicks(field, text);
        }
    }
};

// The numeric-field rule, without a window.

struct NumericCase {
    std::string name;
    int tag;
    QString typed;
    QString shown;
};

class NumericFieldTextTest : public ::testing::TestWithParam<NumericCase> {};

TEST_P(NumericFieldTextTest, KeepsTheFieldANumber) {
    const NumericCase& c = GetParam();
    EXPECT_EQ(OutputSettings::numericFieldText(c.tag, c.typed), c.shown);
}

INSTANTIATE_TEST_SUITE_P(
    Rule, NumericFieldTextTest,
    ::testing::Values(NumericCase{"EmptyTwo", 30001, "", "2"},
                      NumericCase{"EmptyOne", 30002, "", "1"},
                      NumericCase{"LettersAroundTwo", 30001, "x12y", "12"},
                      NumericCase{"LettersAroundOne", 30002, "x12y", "12"},
                      NumericCase{"ZeroTwo", 30001, "0", "2"},
                      NumericCase{"ZeroOne", 30002, "0", "1"},
                      NumericCase{"ZeroRunThenLetterTwo", 30001, "0a5", "2"},
                      NumericCase{"ZeroRunThenLetterOne", 30002, "0a5", "1"},
                      NumericCase{"LeadingZerosStayTwo", 30001, "007", "007"},
                      NumericCase{"LeadingZerosStayOne", 30002, "007", "007"},
                      NumericCase{"InnerLetterStays", 30001, "3a4", "3a4"},
                      NumericCase{"OnlyLettersTwo", 30001, "abc", "2"},
                      NumericCase{"OnlyLettersOne", 30002, "abc", "1"},
                      NumericCase{"AllZerosOne", 30002, "000", "1"},
                      NumericCase{"SignAndSpaces", 30001, " -5 ", "5"},
                      NumericCase{"LongRunDoesNotOverflow", 30002, "000000000000000000000001",
                                  "000000000000000000000001"},
                      NumericCase{"LongZeroRun", 30001, "00000000000000000000000", "2"},
                      NumericCase{"OtherTagUntouched", 0, "x0y", "x0y"},
                      NumericCase{"NeighbourTagUntouched", 30003, "", ""}),
    ByName());

TEST_F(OutputSettingsTest, LeadingZerosFieldFallsBackToOneWhileTyped) {
    auto* zeros = find<QLineEdit>("fileNameLeadingZerosText");
    EXPECT_EQ(zeros->property("tag").toInt(), 30002);
    typeInto(zeros, QString());
    EXPECT_EQ(zeros->text(), QStringLiteral("1"));
    QTest::keyClicks(zeros, QStringLiteral("5x"));
    EXPECT_EQ(zeros->text(), QStringLiteral("15"));
    Q_EMIT zeros->editingFinished();
    // Past the stepper's range: brought back into it, and shown so.
    EXPECT_EQ(settings().leadingZeros(), 9);
    EXPECT_EQ(zeros->text(), QStringLiteral("9"));
    EXPECT_EQ(find<QSpinBox>("fileNameLeadingZerosStepper")->value(), 9);
}

TEST_F(OutputSettingsTest, FieldAndStepperShareOneRange) {
    auto* stepper = find<QSpinBox>("fileNameLeadingZerosStepper");
    EXPECT_EQ(stepper->minimum(), 0);
    EXPECT_EQ(stepper->maximum(), Settings::kMaxLeadingZeros);
    controller->editionWindow().showOutputSettings();
    auto* zeros = find<QLineEdit>("fileNameLeadingZerosText");
    typeInto(zeros, QStringLiteral("112"));
    find<QPushButton>("closeOutputSettingBtn")->click();
    EXPECT_EQ(settings().leadingZeros(), Settings::kMaxLeadingZeros);
}

using OutputSettingsInBothEditions = InBothEditions<OutputSettingsTest>;
PICTAVO_IN_BOTH_EDITIONS(OutputSettingsInBothEditions);

// An item's index is what the record stores, so the popups follow the tables.
TEST_P(OutputSettingsInBothEditions, PopupsListTheFormatTablesInOrder) {
    QStringList typeLabels;
    for (const OutputFormat& format : outputFormats()) {
        typeLabels.append(QLatin1StringView(format.label));
    }
    QStringList compressionLabels;
    for (const TiffCompression& compression : tiffCompressions()) {
        compressionLabels.append(QLatin1StringView(compression.label));
    }
    EXPECT_EQ(itemTexts(find<QComboBox>("outputTypePopup")), typeLabels);
    EXPECT_EQ(itemTexts(find<QComboBox>("tiffCompressionPopup")), compressionLabels);
}

TEST_P(OutputSettingsInBothEditions, AnyFieldTaggedTwoGetsTheRule) {
    QLineEdit field(panel());
    field.setProperty("tag", 30001);
    field.setText(QStringLiteral("x12y"));
    controller->outputSettings().controlTextDidChange(&field);
    EXPECT_EQ(field.text(), QStringLiteral("12"));
    field.clear();
    controller->outputSettings().controlTextDidChange(&field);
    EXPECT_EQ(field.text(), QStringLiteral("2"));
}

TEST_P(OutputSettingsInBothEditions, SeparatorFieldIsNotNumeric) {
    auto* separator = find<QLineEdit>("fileNameSeparatorText");
    typeInto(separator, QStringLiteral("_p-"));
    EXPECT_EQ(separator->text(), QStringLiteral("_p-"));
}

// The quality label follows the slider.

struct QualityCase {
    std::string name;
    int position;
    QString label;
};

using QualitySliderInBothEditions = InBothEditionsWithCases<OutputSettingsTest, QualityCase>;

TEST_P(QualitySliderInBothEditions, LabelShowsThePercentage) {
    const QualityCase& c = testCase();
    auto* slider = find<QSlider>("jpegQualitySlider");
    slider->setValue(c.position == 5 ? 6 : 5); // a real move to the position below
    slider->setValue(c.position);
    EXPECT_EQ(settings().jpegQuality(), c.position);
    EXPECT_EQ(find<QLabel>("qualityText")->text(), c.label);
}

PICTAVO_CASES_IN_BOTH_EDITIONS(Positions, QualitySliderInBothEditions,
                               ::testing::Values(QualityCase{"Lowest", 0, "10%"},
                                                 QualityCase{"Four", 4, "50%"},
                                                 QualityCase{"Nine", 9, "100%"},
                                                 QualityCase{"Highest", 10, "100%"}));

// Every control edits its field, and every field change shows in its control.

struct BindingCase {
    std::string name;
    const char* control;
    const char* key;
    QVariant edited;   // what the user puts into the control
    QVariant fromUser; // the field afterwards
    QVariant fromCode; // set on the record; the control shows it
};

class BindingTest : public OutputSettingsTest {
protected:
    QMetaMethod notifyOf(const char* key) {
        const QMetaObject* meta = settings().metaObject();
        return meta->property(meta->indexOfProperty(key)).notifySignal();
    }

    // What a control edits: a pop-up's index, else its user property.
    static QMetaProperty valueOf(QWidget* control) {
        const QMetaObject* meta = control->metaObject();
        return qobject_cast<QComboBox*>(control) != nullptr
                   ? meta->property(meta->indexOfProperty("currentIndex"))
                   : meta->userProperty();
    }

    void edit(QWidget* control, const QVariant& value) {
        if (auto* field = qobject_cast<QLineEdit*>(control)) {
            typeInto(field, value.toString());
            Q_EMIT field->editingFinished();
        } else {
            valueOf(control).write(control, value);
        }
    }

    static QVariant shown(QWidget* control) { return valueOf(control).read(control); }

    void expectControlAndFieldFollowEachOther(const BindingCase& c) {
        auto* control = find<QWidget>(c.control);
        ASSERT_NE(control, nullptr);
        QSignalSpy changes(&settings(), notifyOf(c.key));
        edit(control, c.edited);
        EXPECT_EQ(settings().property(c.key), c.fromUser);
        EXPECT_EQ(changes.count(), 1) << "one edit, one change";

        settings().setProperty(c.key, c.fromCode);
        EXPECT_EQ(shown(control).toString(), c.fromCode.toString());
        EXPECT_EQ(settings().property(c.key), c.fromCode) << "the control did not write back";
        EXPECT_EQ(changes.count(), 2);
    }
};

using BindingInBothEditions = InBothEditionsWithCases<BindingTest, BindingCase>;

TEST_P(BindingInBothEditions, ControlAndFieldFollowEachOther) {
    expectControlAndFieldFollowEachOther(testCase());
}

PICTAVO_CASES_IN_BOTH_EDITIONS(
    Controls, BindingInBothEditions,
    ::testing::Values(
        BindingCase{"OutputType", "outputTypePopup", "outputType", 3, 3, 4},
        BindingCase{"Quality", "jpegQualitySlider", "jpegQuality", 6, 6, 2},
        BindingCase{"Split", "splitTiffCheckbox", "isSplitTIFFIntoSinglePages", true, true, false},
        BindingCase{"Compression", "tiffCompressionPopup", "tiffCompressionIndex", 3, 3, 4},
        BindingCase{"Separator", "fileNameSeparatorText", "separator", "_p", "_p", "-"},
        BindingCase{"AsDefault", "setCurrentAsDefaultOutputFolderPathBtn",
                    "isSetCurrentAsDefaultOutputFolderPath", true, true, false},
        BindingCase{"OpenFolder", "openFolderAfterConversionBtn", "isOpenFolderAfterConversion",
                    false, false, true},
        BindingCase{"ClearProcessed", "clearProcessedFilesBtn", "isClearProcessedFiles", true, true,
                    false}));

// The leading zeros: only the current edition has their controls.
class LeadingZerosBindingTest : public BindingTest,
                                public ::testing::WithParamInterface<BindingCase> {};

TEST_P(LeadingZerosBindingTest, ControlAndFieldFollowEachOther) {
    expectControlAndFieldFollowEachOther(GetParam());
}

INSTANTIATE_TEST_SUITE_P(Controls, LeadingZerosBindingTest,
                         ::testing::Values(BindingCase{"ZerosField", "fileNameLeadingZerosText",
                                                       "leadingZeros", "4", 4, 7},
                                           BindingCase{"ZerosStepper",
                                                       "fileNameLeadingZerosStepper",
                                                       "leadingZeros", 5, 5, 2}),
                         ByName());

TEST_F(OutputSettingsTest, StepperAndZerosFieldShowTheSameValue) {
    find<QSpinBox>("fileNameLeadingZerosStepper")->setValue(3);
    EXPECT_EQ(find<QLineEdit>("fileNameLeadingZerosText")->text(), QStringLiteral("3"));
    auto* zeros = find<QLineEdit>("fileNameLeadingZerosText");
    typeInto(zeros, QStringLiteral("6"));
    Q_EMIT zeros->editingFinished();
    EXPECT_EQ(find<QSpinBox>("fileNameLeadingZerosStepper")->value(), 6);
}

TEST_P(OutputSettingsInBothEditions, FolderFieldOnlyShowsTheFolder) {
    auto* folder = find<QLineEdit>("outputFolderPath");
    EXPECT_TRUE(folder->isReadOnly());
    settings().setOutputFolderPath(QStringLiteral("/srv/out"));
    EXPECT_EQ(folder->text(), QStringLiteral("/srv/out"));
}

TEST_P(OutputSettingsInBothEditions, StartsShowingTheStoredSettings) {
    (void)controller->applicationShouldTerminate();
    controller.reset();
    Settings stored(preferences.get());
    stored.setOutputType(OutputTiff);
    stored.setTiffCompressionIndex(2);
    stored.setSeparator(QStringLiteral("#"));
    stored.setLeadingZeros(3);
    stored.setOutputFolderPath(QStringLiteral("/srv/out"));
    stored.setIsSetCurrentAsDefaultOutputFolderPath(true); // a kept folder needs this
    stored.synchronize();
    start();
    EXPECT_EQ(find<QComboBox>("outputTypePopup")->currentIndex(), OutputTiff);
    EXPECT_EQ(find<QComboBox>("tiffCompressionPopup")->currentIndex(), 2);
    EXPECT_EQ(find<QLineEdit>("fileNameSeparatorText")->text(), QStringLiteral("#"));
    if (!isFirstEdition()) {
        EXPECT_EQ(find<QLineEdit>("fileNameLeadingZerosText")->text(), QStringLiteral("3"));
        EXPECT_EQ(find<QSpinBox>("fileNameLeadingZerosStepper")->value(), 3);
    }
    EXPECT_EQ(find<QLineEdit>("outputFolderPath")->text(), QStringLiteral("/srv/out"));
}

// The options that fit the format follow the user's choices.

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
