// libFuzzer target: values of any type under "SETTINGS" and "RECENTITEMS", in
// memory or through the INI store, loaded as Settings (both editions) and
// recent folders, saved and loaded again.
#include "engine/OutputFormats.h"
#include "engine/Settings.h"
#include "filelist/RecentItem.h"
#include "platform/Preferences.h"

#include <QDateTime>
#include <QTemporaryDir>

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include <fuzzer/FuzzedDataProvider.h>

namespace {

// The names the loaders look for, and the INI store's own, so that a map
// often holds something the loader reads.
const std::array<QString, 16> kKnownKeys = {
    QStringLiteral("outputType"),
    QStringLiteral("isSetCurrentAsDefaultOutputFolderPath"),
    QStringLiteral("isOpenFolderAfterConversion"),
    QStringLiteral("outputFolderPath"),
    QStringLiteral("separator"),
    QStringLiteral("jpegQuality"),
    QStringLiteral("tiffCompressionIndex"),
    QStringLiteral("isSplitTIFFIntoSinglePages"),
    QStringLiteral("isClearProcessedFiles"),
    QStringLiteral("leadingZeros"),
    QStringLiteral("itemPath"),
    QStringLiteral("lastUsedDate"),
    QStringLiteral("__list__"),
    QStringLiteral("size"),
    QStringLiteral("1"),
    QStringLiteral("2"),
};

constexpr int kMaxDepth = 3;
constexpr size_t kMaxEntries = 6;

QString consumeText(FuzzedDataProvider& input) {
    const std::string text = input.ConsumeRandomLengthString(24);
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QString consumeKey(FuzzedDataProvider& input) {
    if (input.ConsumeBool()) {
        return kKnownKeys[input.ConsumeIntegralInRange<size_t>(0, kKnownKeys.size() - 1)];
    }
    return consumeText(input);
}

// Any bit pattern, NaN and infinities included.
double consumeDouble(FuzzedDataProvider& input) {
    const auto bits = input.ConsumeIntegral<uint64_t>();
    double value = 0;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

QVariant consumeValue(FuzzedDataProvider& input, int depth);

QVariantList consumeList(FuzzedDataProvider& input, int depth) {
    QVariantList list;
    const size_t count = input.ConsumeIntegralInRange<size_t>(0, kMaxEntries);
    for (size_t i = 0; i < count; ++i) {
        list.append(consumeValue(input, depth + 1));
    }
    return list;
}

QVariantMap consumeMap(FuzzedDataProvider& input, int depth) {
    QVariantMap map;
    const size_t count = input.ConsumeIntegralInRange<size_t>(0, kMaxEntries);
    for (size_t i = 0; i < count; ++i) {
        const QString key = consumeKey(input);
        map.insert(key, consumeValue(input, depth + 1));
    }
    return map;
}

QVariant consumeValue(FuzzedDataProvider& input, int depth) {
    const int kinds = depth < kMaxDepth ? 12 : 9;
    switch (input.ConsumeIntegralInRange(0, kinds - 1)) {
    case 0:
        return {};
    case 1:
        return input.ConsumeIntegral<int>();
    case 2:
        return consumeDouble(input);
    case 3:
        return input.ConsumeBool();
    case 4:
        return consumeText(input);
    case 5: {
        const std::string bytes = input.ConsumeRandomLengthString(24);
        return QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size()));
    }
    case 6:
        return QDateTime::fromMSecsSinceEpoch(input.ConsumeIntegral<qint64>(), Qt::UTC);
    case 7:
        return input.ConsumeIntegral<qlonglong>();
    case 8:
        return QStringList{consumeText(input), consumeText(input)};
    case 9:
        return consumeList(input, depth);
    case 10:
        return consumeMap(input, depth);
    default: {
        QVariantHash hash;
        const QVariantMap map = consumeMap(input, depth);
        for (auto it = map.cbegin(); it != map.cend(); ++it) {
            hash.insert(it.key(), it.value());
        }
        return hash;
    }
    }
}

// What the program does with a loaded Settings: look its codes up and write
// the dictionary back. Loading applies its rules once; from then on every
// launch must read what the last one wrote.
void loadSettings(Preferences& store, bool hasLeadingZeros) {
    Settings settings(&store, hasLeadingZeros);
    const ConversionOptions options = settings.snapshot();
    static_cast<void>(outputFormat(options.outputType));
    static_cast<void>(tiffCompression(options.tiffCompressionIndex));
    settings.synchronize();
    Settings normalised(&store, hasLeadingZeros);
    normalised.synchronize();
    Settings reloaded(&store, hasLeadingZeros);
    if (reloaded.getData() != normalised.getData()) {
        std::abort();
    }
}

void loadRecentItems(Preferences& store) {
    const std::vector<RecentItem> items =
        recentItemsFromData(store.value(RecentItem::kPreferencesKey));
    store.setValue(RecentItem::kPreferencesKey, recentItemsData(items));
    if (recentItemsFromData(store.value(RecentItem::kPreferencesKey)).size() != items.size()) {
        std::abort();
    }
}

std::unique_ptr<Preferences> storeFor(bool throughIniFile) {
    if (!throughIniFile) {
        return std::make_unique<MemoryPreferences>();
    }
    static const QTemporaryDir folder;
    auto store = std::make_unique<SettingsPreferences>(folder.filePath(QStringLiteral("p.ini")));
    store->remove(Settings::kPreferencesKey);
    store->remove(RecentItem::kPreferencesKey);
    return store;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider input(data, size);
    const std::unique_ptr<Preferences> store = storeFor(input.ConsumeBool());
    // Mostly the shapes the loaders expect, with anything inside.
    store->setValue(Settings::kPreferencesKey,
                    input.ConsumeBool() ? QVariant(consumeMap(input, 0)) : consumeValue(input, 0));
    store->setValue(RecentItem::kPreferencesKey,
                    input.ConsumeBool() ? QVariant(consumeList(input, 0)) : consumeValue(input, 0));
    const QVariant stored = store->value(Settings::kPreferencesKey);
    loadSettings(*store, true);
    store->setValue(Settings::kPreferencesKey, stored);
    loadSettings(*store, false);
    loadRecentItems(*store);
    return 0;
}
