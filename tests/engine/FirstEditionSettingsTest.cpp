// The first edition's settings: its record without the page-number digits,
// in every form, against the current edition's that keeps them.
#include "JobFixture.h"
#include "engine/Log.h"
#include "engine/OutputNames.h"
#include "engine/Process.h"
#include "engine/Settings.h"
#include "platform/Constants.h"
#include "platform/DateFormat.h"
#include "platform/Edition.h"
#include "platform/Preferences.h"
#include "platform/Workspace.h"
#include "support/TestEnvironment.h"
#include "support/TestTiff.h"

#include <QDataStream>
#include <QDir>
#include <QFileInfo>
#include <QVariantMap>

#include <algorithm>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

namespace {

const QString kLeadingZerosKey = QStringLiteral("leadingZeros");

const QStringList kNineKeys = {QStringLiteral("outputType"),
                               QStringLiteral("isSetCurrentAsDefaultOutputFolderPath"),
                               QStringLiteral("isOpenFolderAfterConversion"),
                               QStringLiteral("outputFolderPath"),
                               QStringLiteral("separator"),
                               QStringLiteral("jpegQuality"),
                               QStringLiteral("tiffCompressionIndex"),
                               QStringLiteral("isSplitTIFFIntoSinglePages"),
                               QStringLiteral("isClearProcessedFiles")};

QStringList sortedKeys(const QVariantMap& map) {
    QStringList keys = map.keys();
    keys.sort();
    return keys;
}

QStringList sortedList(QStringList keys) {
    keys.sort();
    return keys;
}

// A current-edition "SETTINGS" dictionary: every field away from its default,
// and four page-number digits.
QVariantMap currentEditionDictionary() {
    return {{QStringLiteral("outputType"), OutputGif},
            {QStringLiteral("isSetCurrentAsDefaultOutputFolderPath"), true},
            {QStringLiteral("isOpenFolderAfterConversion"), false},
            {QStringLiteral("outputFolderPath"), QStringLiteral("/srv/out put")},
            {QStringLiteral("separator"), QStringLiteral("_p")},
            {QStringLiteral("jpegQuality"), 3},
            {QStringLiteral("tiffCompressionIndex"), 7},
            {QStringLiteral("isSplitTIFFIntoSinglePages"), true},
            {QStringLiteral("isClearProcessedFiles"), true},
            {kLeadingZerosKey, 4}};
}

// Every field of currentEditionDictionary() but the digits.
void expectNineFieldsRead(const Settings& s) {
    EXPECT_EQ(s.outputType(), OutputGif);
    EXPECT_TRUE(s.isSetCurrentAsDefaultOutputFolderPath());
    EXPECT_FALSE(s.isOpenFolderAfterConversion());
    EXPECT_EQ(s.outputFolderPath(), QStringLiteral("/srv/out put"));
    EXPECT_EQ(s.separator(), QStringLiteral("_p"));
    EXPECT_EQ(s.jpegQuality(), 3);
    EXPECT_EQ(s.tiffCompressionIndex(), 7);
    EXPECT_TRUE(s.isSplitTIFFIntoSinglePages());
    EXPECT_TRUE(s.isClearProcessedFiles());
}

QByteArray encoded(const Settings& s) {
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    s.encodeWithCoder(out);
    return bytes;
}

QVariantMap decodedMap(const QByteArray& bytes) {
    QDataStream in(bytes);
    QVariantMap map;
    in >> map;
    EXPECT_EQ(in.status(), QDataStream::Ok);
    return map;
}

// ---------------------------------------------------------------------------
// The edition's values

TEST(FirstEditionValuesTest, NamesAndRulesOfTheFirstEdition) {
    const Edition first = Edition::firstEdition();
    EXPECT_EQ(first.id, Edition::Id::First);
    EXPECT_EQ(first.appFolder, QStringLiteral("Quorlen/Pictavo1"));
    EXPECT_EQ(first.guideName, QStringLiteral("MACPictavo1"));
    EXPECT_FALSE(first.hasLeadingZerosOption);
    EXPECT_TRUE(first.elapsedTimeInWords);
    EXPECT_TRUE(first.writesIntoSettingsFolder);

    const Edition current = Edition::currentEdition();
    EXPECT_EQ(current.id, Edition::Id::Current);
    EXPECT_TRUE(current.hasLeadingZerosOption);
    EXPECT_FALSE(current.elapsedTimeInWords);
    EXPECT_FALSE(current.writesIntoSettingsFolder);
}

// ---------------------------------------------------------------------------
// Rule 1: nine fields, nine keys in every form

// One form of the record as a dictionary: what getData() gives, what
// synchronize() stores, or what the coder writes.
struct FormCase {
    std::string name;
    bool hasLeadingZeros;
    std::function<QVariantMap(Settings&, MemoryPreferences&)> form;
    int keyCount;
};

const auto kDictionaryForm = [](Settings& s, MemoryPreferences&) { return s.getData().toMap(); };
const auto kStoredForm = [](Settings& s, MemoryPreferences& store) {
    s.synchronize();
    return store.value(Settings::kPreferencesKey).toMap();
};
const auto kCoderForm = [](Settings& s, MemoryPreferences&) { return decodedMap(encoded(s)); };

class SettingsFormTest : public ::testing::TestWithParam<FormCase> {};

TEST_P(SettingsFormTest, CarriesTheEditionsKeys) {
    const FormCase& c = GetParam();
    QStringList expected = kNineKeys;
    if (c.hasLeadingZeros) {
        expected.append(kLeadingZerosKey);
    }
    ASSERT_EQ(expected.size(), c.keyCount);

    // Untouched, and after every way a digit count could be pushed in.
    MemoryPreferences store;
    Settings fresh(&store, c.hasLeadingZeros);
    EXPECT_EQ(sortedKeys(c.form(fresh, store)), sortedList(expected)) << "fresh record";

    MemoryPreferences otherStore;
    Settings pushed(&otherStore, c.hasLeadingZeros);
    pushed.setData(currentEditionDictionary());
    pushed.setLeadingZeros(6);
    const QVariantMap map = c.form(pushed, otherStore);
    EXPECT_EQ(sortedKeys(map), sortedList(expected)) << "after setData and setLeadingZeros";
    EXPECT_EQ(map.contains(kLeadingZerosKey), c.hasLeadingZeros);
    if (c.hasLeadingZeros) {
        EXPECT_EQ(map.value(kLeadingZerosKey).toInt(), 6);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Forms, SettingsFormTest,
    ::testing::Values(FormCase{"FirstEditionDictionary", false, kDictionaryForm, 9},
                      FormCase{"FirstEditionStored", false, kStoredForm, 9},
                      FormCase{"FirstEditionCoder", false, kCoderForm, 9},
                      FormCase{"CurrentEditionDictionary", true, kDictionaryForm, 10},
                      FormCase{"CurrentEditionStored", true, kStoredForm, 10},
                      FormCase{"CurrentEditionCoder", true, kCoderForm, 10}),
    ByName());

TEST(FirstEditionSettingsTest, HasNoDigitsField) {
    Settings settings(nullptr, /*hasLeadingZeros*/ false);
    EXPECT_FALSE(settings.hasLeadingZeros());
    int changes = 0;
    QObject::connect(&settings, &Settings::leadingZerosChanged, [&changes] { ++changes; });
    settings.setLeadingZeros(4);
    EXPECT_EQ(settings.leadingZeros(), 0);
    EXPECT_EQ(changes, 0);
    EXPECT_EQ(settings.snapshot().leadingZeros, 0);
    // The two-argument constructor is the current edition's record.
    MemoryPreferences store;
    EXPECT_TRUE(Settings(&store).hasLeadingZeros());
}

// A current-edition store opened by the first edition, through the store kinds
// the programs use.
struct StoreCase {
    std::string name;
    bool iniFile;
};

class FirstEditionLoadTest : public ::testing::TestWithParam<StoreCase> {
protected:
    QString file = QDir(makeTestFolder()).filePath(QStringLiteral("prefs.conf"));
    MemoryPreferences memory;
    std::unique_ptr<SettingsPreferences> ini;

    Preferences& open() {
        if (!GetParam().iniFile) {
            return memory;
        }
        ini = std::make_unique<SettingsPreferences>(file);
        return *ini;
    }
};

TEST_P(FirstEditionLoadTest, CurrentEditionDigitsAreIgnoredAndNeverWrittenBack) {
    {
        Preferences& store = open();
        Settings current(&store);
        current.setData(currentEditionDictionary());
        current.synchronize();
        ASSERT_EQ(store.value(Settings::kPreferencesKey).toMap().value(kLeadingZerosKey).toInt(),
                  4);
    }

    Preferences& store = open();
    const SystemLogCapture log;
    Settings first(&store, /*hasLeadingZeros*/ false);
    expectNineFieldsRead(first);
    EXPECT_EQ(first.leadingZeros(), 0);
    EXPECT_TRUE(log.lines().isEmpty()) << log.lines().join(QLatin1Char('\n')).toStdString();

    first.synchronize();
    EXPECT_TRUE(log.lines().isEmpty()) << log.lines().join(QLatin1Char('\n')).toStdString();
    const QVariantMap saved = open().value(Settings::kPreferencesKey).toMap();
    EXPECT_EQ(sortedKeys(saved), sortedList(kNineKeys));
    if (GetParam().iniFile) {
        EXPECT_FALSE(readFileBytes(file).contains("leadingZeros"));
    }

    // The current edition, reading what the first left, starts without digits.
    const Settings again(&open());
    EXPECT_EQ(again.leadingZeros(), 0);
    expectNineFieldsRead(again);
}

INSTANTIATE_TEST_SUITE_P(Stores, FirstEditionLoadTest,
                         ::testing::Values(StoreCase{"Memory", false}, StoreCase{"IniFile", true}),
                         ByName());

TEST(FirstEditionSettingsTest, CoderFormOfTheCurrentEditionLoadsWithoutItsDigits) {
    Settings current;
    current.setData(currentEditionDictionary());
    ASSERT_EQ(current.leadingZeros(), 4);
    const QByteArray bytes = encoded(current);
    ASSERT_TRUE(decodedMap(bytes).contains(kLeadingZerosKey));

    const SystemLogCapture log;
    Settings first(nullptr, /*hasLeadingZeros*/ false);
    QDataStream in(bytes);
    first.initWithCoder(in);
    expectNineFieldsRead(first);
    EXPECT_EQ(first.leadingZeros(), 0);
    EXPECT_TRUE(log.lines().isEmpty());
    EXPECT_EQ(sortedKeys(decodedMap(encoded(first))), sortedList(kNineKeys));
}

TEST(CurrentEditionSettingsTest, KeepsItsDigitsInEveryForm) {
    MemoryPreferences store;
    store.setValue(Settings::kPreferencesKey, currentEditionDictionary());
    Settings current(&store);
    EXPECT_EQ(current.leadingZeros(), 4);
    current.synchronize();
    const QVariantMap stored = store.value(Settings::kPreferencesKey).toMap();
    EXPECT_EQ(stored.size(), 10);
    EXPECT_EQ(stored.value(kLeadingZerosKey).toInt(), 4);
    EXPECT_EQ(decodedMap(encoded(current)).value(kLeadingZerosKey).toInt(), 4);
}

} // namespace
