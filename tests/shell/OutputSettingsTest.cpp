#include "OutputSettingsFixture.h"

namespace {

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

} // namespace
