#include "platform/Preferences.h"

#include "support/TestEnvironment.h"
#include "support/TestTiff.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

namespace {

QString storePath() {
    return QDir(makeTestFolder(QStringLiteral("prefs"))).filePath(QStringLiteral("store.conf"));
}

TEST(SettingsPreferencesTest, DictionaryIsStoredAsAReadableGroup) {
    const QString path = storePath();
    {
        SettingsPreferences store(path);
        store.setValue(QStringLiteral("SETTINGS"),
                       QVariantMap{{QStringLiteral("outputType"), 3},
                                   {QStringLiteral("separator"), QStringLiteral(" ;=#\\é")},
                                   {QStringLiteral("isClearProcessedFiles"), true}});
        ASSERT_TRUE(store.synchronize());
    }
    const QString text = QString::fromUtf8(readFileBytes(path));
    EXPECT_TRUE(text.contains(QStringLiteral("[SETTINGS]"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("outputType=3"))) << text.toStdString();

    SettingsPreferences reopened(path);
    const QVariantMap map = reopened.value(QStringLiteral("SETTINGS")).toMap();
    EXPECT_EQ(map.value(QStringLiteral("outputType")).toInt(), 3);
    EXPECT_EQ(map.value(QStringLiteral("separator")).toString(), QStringLiteral(" ;=#\\é"));
    EXPECT_TRUE(map.value(QStringLiteral("isClearProcessedFiles")).toBool());
}

TEST(SettingsPreferencesTest, ListsOfDictionariesKeepTheirOrder) {
    const QString path = storePath();
    const QVariantList items{QVariantMap{{QStringLiteral("path"), QStringLiteral("/b")}},
                             QVariantMap{{QStringLiteral("path"), QStringLiteral("/a")}}};
    {
        SettingsPreferences store(path);
        store.setValue(QStringLiteral("RECENTITEMS"), items);
        ASSERT_TRUE(store.synchronize());
    }
    SettingsPreferences reopened(path);
    const QVariantList back = reopened.value(QStringLiteral("RECENTITEMS")).toList();
    ASSERT_EQ(back.size(), 2);
    EXPECT_EQ(back[0].toMap().value(QStringLiteral("path")).toString(), QStringLiteral("/b"));
    EXPECT_EQ(back[1].toMap().value(QStringLiteral("path")).toString(), QStringLiteral("/a"));
}

// Lists are read no further than their entries go, so every element must
// leave one, the empty dictionary too.
TEST(SettingsPreferencesTest, EmptyDictionariesKeepTheirPlaceInAList) {
    const QString path = storePath();
    const QVariantList items{QVariantMap{}, QStringLiteral("a"), QVariantMap{}};
    {
        SettingsPreferences store(path);
        store.setValue(QStringLiteral("RECENTITEMS"), items);
        ASSERT_TRUE(store.synchronize());
    }
    SettingsPreferences reopened(path);
    EXPECT_EQ(reopened.value(QStringLiteral("RECENTITEMS")).toList(), items);
}

TEST(SettingsPreferencesTest, ReplacingAValueDropsTheOldKeys) {
    SettingsPreferences store(storePath());
    store.setValue(QStringLiteral("K"), QVariantMap{{QStringLiteral("old"), 1}});
    store.setValue(QStringLiteral("K"), QVariantMap{{QStringLiteral("new"), 2}});
    EXPECT_EQ(store.value(QStringLiteral("K")).toMap().keys(), QStringList{QStringLiteral("new")});
    store.setValue(QStringLiteral("K"), QStringLiteral("plain"));
    EXPECT_EQ(store.value(QStringLiteral("K")).typeId(), QMetaType::QString);
    store.remove(QStringLiteral("K"));
    EXPECT_FALSE(store.value(QStringLiteral("K")).isValid());
}

TEST(SettingsPreferencesTest, UserStoreLivesInTheConfigurationFolder) {
    SettingsPreferences store(QStringLiteral("Quorlen"), QStringLiteral("Pictavo2"));
    EXPECT_EQ(store.fileName(),
              qEnvironmentVariable("XDG_CONFIG_HOME") + QStringLiteral("/Quorlen/Pictavo2.conf"));
}

TEST(SettingsPreferencesTest, UnwritableStoreReportsFailure) {
    // A plain file where the store's folder should be defeats even root.
    const QString blocker =
        QDir(makeTestFolder(QStringLiteral("blocked"))).filePath(QStringLiteral("file"));
    ASSERT_TRUE(writeFileBytes(blocker, "x"));
    SettingsPreferences store(blocker + QStringLiteral("/store.conf"));
    store.setValue(QStringLiteral("A"), 1);
    EXPECT_FALSE(store.synchronize());
}

struct DamagedListCase {
    std::string name;
    QByteArray group; // the lines of [RECENTITEMS]
    QStringList elements;
};

class DamagedListTest : public ::testing::TestWithParam<DamagedListCase> {};

// A size the file cannot back once made the load read two billion elements.
TEST_P(DamagedListTest, ListSizeIsBoundByTheEntriesThere) {
    const QString path = storePath();
    ASSERT_TRUE(writeFileBytes(path, "[RECENTITEMS]\n__list__=true\n" + GetParam().group));
    SettingsPreferences store(path);
    QStringList elements;
    for (const QVariant& element : store.value(QStringLiteral("RECENTITEMS")).toList()) {
        elements.append(element.toString());
    }
    EXPECT_EQ(elements, GetParam().elements);
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, DamagedListTest,
    ::testing::Values(DamagedListCase{"SizeOfTheEntries", "size=2\n1=a\n2=b\n", {"a", "b"}},
                      DamagedListCase{
                          "SizeFarPastTheEntries", "size=2147483647\n1=a\n2=b\n", {"a", "b"}},
                      DamagedListCase{"SizeWithoutEntries", "size=1000000000\n", {}},
                      DamagedListCase{"NegativeSize", "size=-5\n1=a\n", {}},
                      DamagedListCase{"SizeNotANumber", "size=many\n1=a\n", {}},
                      DamagedListCase{"SizeBelowTheEntries", "size=1\n1=a\n2=b\n", {"a"}}),
    ByName());

} // namespace
