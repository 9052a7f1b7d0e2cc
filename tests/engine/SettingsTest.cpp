#include "engine/Settings.h"

#include "platform/Preferences.h"
#include "support/TestEnvironment.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QVariantList>
#include <QVariantMap>

#include <functional>
#include <gtest/gtest.h>
#include <map>
#include <stdexcept>
#include <string>

namespace {

// Every field away from its default, as the dictionary form holds it.
QVariantMap unusualDictionary() {
    return {{QStringLiteral("outputType"), 4},
            {QStringLiteral("isSetCurrentAsDefaultOutputFolderPath"), true},
            {QStringLiteral("isOpenFolderAfterConversion"), false},
            {QStringLiteral("outputFolderPath"), QStringLiteral("/tmp/out put")},
            {QStringLiteral("separator"), QStringLiteral("_p")},
            {QStringLiteral("jpegQuality"), 3},
            {QStringLiteral("tiffCompressionIndex"), 7},
            {QStringLiteral("isSplitTIFFIntoSinglePages"), true},
            {QStringLiteral("isClearProcessedFiles"), true},
            {QStringLiteral("leadingZeros"), 5}};
}

void expectDefaults(const Settings& s) {
    EXPECT_EQ(s.outputType(), OutputJpeg);
    EXPECT_TRUE(s.isSetCurrentAsDefaultOutputFolderPath());
    EXPECT_TRUE(s.isOpenFolderAfterConversion());
    EXPECT_EQ(s.outputFolderPath(), QString());
    EXPECT_EQ(s.separator(), QString());
    EXPECT_EQ(s.jpegQuality(), 10);
    EXPECT_EQ(s.tiffCompressionIndex(), 0);
    EXPECT_FALSE(s.isSplitTIFFIntoSinglePages());
    EXPECT_FALSE(s.isClearProcessedFiles());
    EXPECT_EQ(s.leadingZeros(), 0);
}

void expectSameFields(const Settings& actual, const Settings& expected) {
    EXPECT_EQ(actual.outputType(), expected.outputType());
    EXPECT_EQ(actual.isSetCurrentAsDefaultOutputFolderPath(),
              expected.isSetCurrentAsDefaultOutputFolderPath());
    EXPECT_EQ(actual.isOpenFolderAfterConversion(), expected.isOpenFolderAfterConversion());
    EXPECT_EQ(actual.outputFolderPath(), expected.outputFolderPath());
    EXPECT_EQ(actual.separator(), expected.separator());
    EXPECT_EQ(actual.jpegQuality(), expected.jpegQuality());
    EXPECT_EQ(actual.tiffCompressionIndex(), expected.tiffCompressionIndex());
    EXPECT_EQ(actual.isSplitTIFFIntoSinglePages(), expected.isSplitTIFFIntoSinglePages());
    EXPECT_EQ(actual.isClearProcessedFiles(), expected.isClearProcessedFiles());
    EXPECT_EQ(actual.leadingZeros(), expected.leadingZeros());
}

void setUnusual(Settings& s, const QString& separator) {
    s.setData(unusualDictionary());
    s.setSeparator(separator);
}

} // namespace

TEST(SettingsTest, FirstLaunchHasTheDefaults) {
    MemoryPreferences store;
    Settings settings(&store);
    expectDefaults(settings);
    expectDefaults(Settings());
}

struct FolderCase {
    const char* name;
    QVariant folder; // invalid: key absent
    QVariant flag;
    QString expectedFolder;
    bool expectedFlag;
};

class SettingsFolderTest : public ::testing::TestWithParam<FolderCase> {};

TEST_P(SettingsFolderTest, FolderSurvivesOnlyWhenMarkedDefault) {
    const FolderCase& c = GetParam();
    QVariantMap data = unusualDictionary();
    data.remove(QStringLiteral("outputFolderPath"));
    if (c.folder.isValid()) {
        data.insert(QStringLiteral("outputFolderPath"), c.folder);
    }
    data.insert(QStringLiteral("isSetCurrentAsDefaultOutputFolderPath"), c.flag);
    MemoryPreferences store;
    store.setValue(Settings::kPreferencesKey, data);
    Settings settings(&store);
    EXPECT_EQ(settings.outputFolderPath(), c.expectedFolder);
    EXPECT_EQ(settings.isSetCurrentAsDefaultOutputFolderPath(), c.expectedFlag);
}

INSTANTIATE_TEST_SUITE_P(
    Normalisation, SettingsFolderTest,
    ::testing::Values(
        FolderCase{"FlagFalseClearsFolder", QStringLiteral("/srv/out"), false, "", false},
        FolderCase{"EmptyFolderClearsFlag", QStringLiteral(""), true, "", false},
        FolderCase{"AbsentFolderClearsFlag", QVariant(), true, "", false},
        FolderCase{"MarkedFolderIsKept", QStringLiteral("/srv/out"), true, "/srv/out", true},
        FolderCase{"BothOffStayOff", QStringLiteral(""), false, "", false},
        // The INI store gives booleans back as text.
        FolderCase{"TextFalseClearsFolder", QStringLiteral("/srv/out"), QStringLiteral("false"), "",
                   false},
        FolderCase{"TextTrueKeepsFolder", QStringLiteral("/srv/out"), QStringLiteral("true"),
                   "/srv/out", true}),
    ByName());

struct AbsentKeyCase {
    const char* name;
    const char* key;
};

class SettingsAbsentKeyTest : public ::testing::TestWithParam<AbsentKeyCase> {};

TEST_P(SettingsAbsentKeyTest, AbsentKeyLoadsAsZeroNotDefault) {
    const QString key = QString::fromLatin1(GetParam().key);
    QVariantMap data = unusualDictionary();
    data.remove(key);
    Settings settings;
    settings.setData(data);
    const QVariant loaded = settings.getData().toMap().value(key);
    switch (loaded.typeId()) {
    case QMetaType::Int:
        EXPECT_EQ(loaded.toInt(), 0);
        break;
    case QMetaType::Bool:
        EXPECT_FALSE(loaded.toBool());
        break;
    default:
        EXPECT_EQ(loaded.toString(), QString());
    }
}

INSTANTIATE_TEST_SUITE_P(
    EveryKey, SettingsAbsentKeyTest,
    ::testing::Values(AbsentKeyCase{"OutputType", "outputType"},
                      AbsentKeyCase{"IsSetCurrent", "isSetCurrentAsDefaultOutputFolderPath"},
                      AbsentKeyCase{"IsOpenFolder", "isOpenFolderAfterConversion"},
                      AbsentKeyCase{"OutputFolderPath", "outputFolderPath"},
                      AbsentKeyCase{"Separator", "separator"},
                      AbsentKeyCase{"JpegQuality", "jpegQuality"},
                      AbsentKeyCase{"TiffCompressionIndex", "tiffCompressionIndex"},
                      AbsentKeyCase{"IsSplitTiff", "isSplitTIFFIntoSinglePages"},
                      AbsentKeyCase{"IsClearProcessed", "isClearProcessedFiles"},
                      AbsentKeyCase{"LeadingZeros", "leadingZeros"}),
    ByName());

struct NotDictionaryCase {
    const char* name;
    QVariant stored;
};

class SettingsNotDictionaryTest : public ::testing::TestWithParam<NotDictionaryCase> {};

TEST_P(SettingsNotDictionaryTest, LeavesDefaults) {
    const QString file = QDir(makeTestFolder()).filePath(QStringLiteral("prefs.conf"));
    {
        SettingsPreferences store(file);
        store.setValue(Settings::kPreferencesKey, GetParam().stored);
        ASSERT_TRUE(store.synchronize());
    }
    SettingsPreferences store(file);
    expectDefaults(Settings(&store));
}

INSTANTIATE_TEST_SUITE_P(
    Values, SettingsNotDictionaryTest,
    ::testing::Values(NotDictionaryCase{"PlainString", QStringLiteral("outputType=2")},
                      NotDictionaryCase{"List", QVariantList{2, true, QStringLiteral("x")}},
                      NotDictionaryCase{"Number", 3}),
    ByName());

TEST(SettingsTest, GetDataWithUnsetStringsHasAllTenKeys) {
    Settings settings;
    const QVariantMap data = settings.getData().toMap();
    ASSERT_EQ(data.size(), 10);
    EXPECT_EQ(data.value(QStringLiteral("separator")).typeId(), QMetaType::QString);
    // Set to "" rather than left unset, so no store ever sees a missing value.
    EXPECT_FALSE(data.value(QStringLiteral("separator")).toString().isNull());
    EXPECT_FALSE(data.value(QStringLiteral("outputFolderPath")).toString().isNull());
    EXPECT_EQ(data.value(QStringLiteral("outputFolderPath")).typeId(), QMetaType::QString);
    EXPECT_EQ(data.value(QStringLiteral("jpegQuality")).typeId(), QMetaType::Int);
    EXPECT_EQ(data.value(QStringLiteral("isOpenFolderAfterConversion")).typeId(), QMetaType::Bool);
}

struct RoundTripCase {
    const char* name;
    const char* separator; // UTF-8
};

class SettingsRoundTripTest : public ::testing::TestWithParam<RoundTripCase> {};

TEST_P(SettingsRoundTripTest, SurvivesReopeningTheStoreFile) {
    const QString file = QDir(makeTestFolder()).filePath(QStringLiteral("prefs.conf"));
    Settings saved;
    setUnusual(saved, QString::fromUtf8(GetParam().separator));
    {
        SettingsPreferences store(file);
        Settings writer(&store);
        setUnusual(writer, QString::fromUtf8(GetParam().separator));
        writer.synchronize();
    }
    SettingsPreferences reopened(file);
    const Settings loaded(&reopened);
    expectSameFields(loaded, saved);
}

INSTANTIATE_TEST_SUITE_P(
    Separators, SettingsRoundTripTest,
    ::testing::Values(RoundTripCase{"Space", " "}, RoundTripCase{"Semicolon", ";"},
                      RoundTripCase{"Equals", "="}, RoundTripCase{"Hash", "#"},
                      RoundTripCase{"Backslash", "\\"}, RoundTripCase{"Accented", "\xc3\xa9"},
                      RoundTripCase{"Colon", ":"}, RoundTripCase{"QuoteAndComma", "\", "}),
    ByName());

TEST(SettingsTest, SynchronizeStoresDictionaryAndFlushes) {
    MemoryPreferences store;
    Settings settings(&store);
    settings.setJpegQuality(4);
    settings.synchronize();
    EXPECT_EQ(store.synchronizeCount(), 1);
    EXPECT_EQ(store.value(Settings::kPreferencesKey).toMap(), settings.getData().toMap());
    Settings().synchronize(); // no store: nothing to write, nothing to crash
}

namespace {
class FailingPreferences final : public Preferences {
public:
    QVariant value(const QString&) const override { return {}; }
    void setValue(const QString&, const QVariant&) override {
        throw std::runtime_error("disk full");
    }
    void remove(const QString&) override {}
    bool synchronize() override {
        ++flushes;
        return false;
    }
    int flushes = 0;
};
} // namespace

TEST(SettingsTest, FailedStoreIsLoggedAndStillFlushed) {
    FailingPreferences store;
    Settings settings(&store);
    const SystemLogCapture log;
    settings.synchronize();
    EXPECT_EQ(log.lines(),
              (QStringList{QStringLiteral("Error in (Settings=>synchronize) : disk full"),
                           QStringLiteral("Error in (Settings=>synchronize) : The preferences "
                                          "could not be saved")}));
    EXPECT_EQ(store.flushes, 1);
}

struct SignalCase {
    const char* name;
    const char* property;
    std::function<void(Settings&)> change;
};

class SettingsSignalTest : public ::testing::TestWithParam<SignalCase> {};

TEST_P(SettingsSignalTest, OneSignalPerRealChange) {
    Settings settings;
    std::map<std::string, int> counts;
    const auto bump = [&counts](const char* name) { return [&counts, name] { ++counts[name]; }; };
    QObject::connect(&settings, &Settings::outputTypeChanged, bump("outputType"));
    QObject::connect(&settings, &Settings::isSetCurrentAsDefaultOutputFolderPathChanged,
                     bump("isSetCurrentAsDefaultOutputFolderPath"));
    QObject::connect(&settings, &Settings::isOpenFolderAfterConversionChanged,
                     bump("isOpenFolderAfterConversion"));
    QObject::connect(&settings, &Settings::outputFolderPathChanged, bump("outputFolderPath"));
    QObject::connect(&settings, &Settings::separatorChanged, bump("separator"));
    QObject::connect(&settings, &Settings::jpegQualityChanged, bump("jpegQuality"));
    QObject::connect(&settings, &Settings::tiffCompressionIndexChanged,
                     bump("tiffCompressionIndex"));
    QObject::connect(&settings, &Settings::isSplitTIFFIntoSinglePagesChanged,
                     bump("isSplitTIFFIntoSinglePages"));
    QObject::connect(&settings, &Settings::isClearProcessedFilesChanged,
                     bump("isClearProcessedFiles"));
    QObject::connect(&settings, &Settings::leadingZerosChanged, bump("leadingZeros"));

    GetParam().change(settings);
    GetParam().change(settings); // the same value again
    EXPECT_EQ(counts, (std::map<std::string, int>{{GetParam().property, 1}}));
}

INSTANTIATE_TEST_SUITE_P(
    Properties, SettingsSignalTest,
    ::testing::Values(
        SignalCase{"OutputType", "outputType", [](Settings& s) { s.setOutputType(OutputGif); }},
        SignalCase{"IsSetCurrent", "isSetCurrentAsDefaultOutputFolderPath",
                   [](Settings& s) { s.setIsSetCurrentAsDefaultOutputFolderPath(false); }},
        SignalCase{"IsOpenFolder", "isOpenFolderAfterConversion",
                   [](Settings& s) { s.setIsOpenFolderAfterConversion(false); }},
        SignalCase{"OutputFolderPath", "outputFolderPath",
                   [](Settings& s) { s.setOutputFolderPath(QStringLiteral("/srv")); }},
        SignalCase{"Separator", "separator",
                   [](Settings& s) { s.setSeparator(QStringLiteral("-")); }},
        SignalCase{"JpegQuality", "jpegQuality", [](Settings& s) { s.setJpegQuality(7); }},
        SignalCase{"TiffCompressionIndex", "tiffCompressionIndex",
                   [](Settings& s) { s.setTiffCompressionIndex(3); }},
        SignalCase{"IsSplitTiff", "isSplitTIFFIntoSinglePages",
                   [](Settings& s) { s.setIsSplitTIFFIntoSinglePages(true); }},
        SignalCase{"IsClearProcessed", "isClearProcessedFiles",
                   [](Settings& s) { s.setIsClearProcessedFiles(true); }},
        SignalCase{"LeadingZeros", "leadingZeros", [](Settings& s) { s.setLeadingZeros(3); }},
        SignalCase{"SetDataChangingOneField", "outputFolderPath",
                   [](Settings& s) {
                       QVariantMap data = s.getData().toMap();
                       data.insert(QStringLiteral("outputFolderPath"), QStringLiteral("/srv"));
                       s.setData(data);
                   }}),
    ByName());

namespace {
QByteArray encoded(const Settings& s) {
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    s.encodeWithCoder(out);
    return bytes;
}
} // namespace

TEST(SettingsTest, CoderRoundTripKeepsEveryField) {
    Settings original;
    setUnusual(original, QStringLiteral("\xc3\xa9"));
    original.setIsSetCurrentAsDefaultOutputFolderPath(false); // no normalising on this path
    Settings decoded;
    QDataStream in(encoded(original));
    decoded.initWithCoder(in);
    expectSameFields(decoded, original);
}

struct BadStreamCase {
    const char* name;
    std::function<QByteArray(const QByteArray&)> damage;
};

class SettingsBadStreamTest : public ::testing::TestWithParam<BadStreamCase> {};

TEST_P(SettingsBadStreamTest, LeavesRecordUnchanged) {
    Settings source;
    setUnusual(source, QStringLiteral("#"));
    const QByteArray bytes = GetParam().damage(encoded(source));
    Settings target;
    target.setSeparator(QStringLiteral("keep"));
    Settings expected;
    expected.setSeparator(QStringLiteral("keep"));
    QDataStream in(bytes);
    target.initWithCoder(in);
    expectSameFields(target, expected);
}

INSTANTIATE_TEST_SUITE_P(
    Damage, SettingsBadStreamTest,
    ::testing::Values(
        BadStreamCase{"Empty", [](const QByteArray&) { return QByteArray(); }},
        BadStreamCase{"FirstByteOnly", [](const QByteArray& b) { return b.left(1); }},
        BadStreamCase{"Half", [](const QByteArray& b) { return b.left(b.size() / 2); }},
        BadStreamCase{"LastByteMissing", [](const QByteArray& b) { return b.chopped(1); }}),
    ByName());

namespace {

TEST(SettingsLoadTest, StoredDigitCountIsBroughtIntoRange) {
    const std::vector<std::pair<QVariant, int>> cases = {
        {112, Settings::kMaxLeadingZeros},
        {QStringLiteral("10"), Settings::kMaxLeadingZeros},
        {9, 9},
        {3, 3},
        {0, 0},
        {-4, 0}};
    for (const auto& [stored, loaded] : cases) {
        Settings s;
        s.setData(QVariantMap{{QStringLiteral("leadingZeros"), stored}});
        EXPECT_EQ(s.leadingZeros(), loaded) << stored.toString().toStdString();
    }
}

TEST(SettingsLoadTest, SnapshotCopiesWhatAJobReads) {
    Settings s;
    s.setData(unusualDictionary());
    const ConversionOptions o = s.snapshot();
    EXPECT_EQ(o.outputType, 4);
    EXPECT_EQ(o.jpegQuality, 3);
    EXPECT_EQ(o.tiffCompressionIndex, 7);
    EXPECT_TRUE(o.isSplitTIFFIntoSinglePages);
    EXPECT_EQ(o.separator, QStringLiteral("_p"));
    EXPECT_EQ(o.leadingZeros, 5);
    EXPECT_FALSE(o.isOpenFolderAfterConversion);
    s.setSeparator(QStringLiteral("changed"));
    EXPECT_EQ(o.separator, QStringLiteral("_p"));
}

} // namespace

namespace {

// A location the preferences cannot be saved in (a plain file where their
// folder should be stops even root) is told once, not at every change.
TEST(SettingsStoreTest, UnsavablePreferencesAreToldOnce) {
    const QString folder = makeTestFolder(QStringLiteral("store"));
    const QString blocker = QDir(folder).filePath(QStringLiteral("config"));
    ASSERT_TRUE(QFile(blocker).open(QIODevice::WriteOnly));
    SettingsPreferences store(blocker + QStringLiteral("/Pictavo2.conf"));
    Settings settings(&store);
    SystemLogCapture log;
    const auto failures = [&log] {
        return log.lines().filter(QStringLiteral("The preferences could not be saved")).size();
    };

    settings.setSeparator(QStringLiteral("a"));
    settings.synchronize();
    settings.setSeparator(QStringLiteral("b"));
    settings.synchronize();
    EXPECT_EQ(failures(), 1);

    ASSERT_TRUE(QFile::remove(blocker));
    ASSERT_TRUE(QDir().mkdir(blocker));
    settings.synchronize();
    EXPECT_EQ(failures(), 1);
    EXPECT_TRUE(QFileInfo::exists(blocker + QStringLiteral("/Pictavo2.conf")));
}

} // namespace
