#include "engine/Settings.h"

#include "platform/Preferences.h"
#include "platform/SystemLog.h"

#include <QVariantMap>

#include <algorithm>
#include <exception>

namespace {

const QString kOutputType = QStringLiteral("outputType");
const QString kIsSetCurrentAsDefault = QStringLiteral("isSetCurrentAsDefaultOutputFolderPath");
const QString kIsOpenFolder = QStringLiteral("isOpenFolderAfterConversion");
const QString kOutputFolderPath = QStringLiteral("outputFolderPath");
const QString kSeparator = QStringLiteral("separator");
const QString kJpegQuality = QStringLiteral("jpegQuality");
const QString kTiffCompressionIndex = QStringLiteral("tiffCompressionIndex");
const QString kIsSplitTiff = QStringLiteral("isSplitTIFFIntoSinglePages");
const QString kIsClearProcessed = QStringLiteral("isClearProcessedFiles");
const QString kLeadingZeros = QStringLiteral("leadingZeros");

// An absent entry reads as 0 / false / no string. Values that went through the
// INI store come back as strings ("10", "true"), which QVariant converts.
int intEntry(const QVariantMap& map, const QString& key) {
    return map.value(key).toInt();
}
bool boolEntry(const QVariantMap& map, const QString& key) {
    return map.value(key).toBool();
}
QString stringEntry(const QVariantMap& map, const QString& key) {
    const auto it = map.constFind(key);
    return it == map.cend() ? QString() : it.value().toString();
}

// Only a dictionary counts; a hash is accepted as one.
bool toDictionary(const QVariant& data, QVariantMap* map) {
    switch (data.typeId()) {
    case QMetaType::QVariantMap:
        *map = data.toMap();
        return true;
    case QMetaType::QVariantHash: {
        const QVariantHash hash = data.toHash();
        for (auto it = hash.cbegin(); it != hash.cend(); ++it) {
            map->insert(it.key(), it.value());
        }
        return true;
    }
    default:
        return false;
    }
}

// The ten fields under their dictionary keys; `unsetAsEmpty` writes an unset
// string as "" (the stored form) rather than keeping it unset (the coder form).
QVariantMap fieldsToMap(const Settings& s, bool unsetAsEmpty) {
    const auto text = [unsetAsEmpty](const QString& value) {
        return (unsetAsEmpty && value.isNull()) ? QString(QLatin1String("")) : value;
    };
    QVariantMap map;
    map.insert(kOutputType, s.outputType());
    map.insert(kIsSetCurrentAsDefault, s.isSetCurrentAsDefaultOutputFolderPath());
    map.insert(kIsOpenFolder, s.isOpenFolderAfterConversion());
    map.insert(kOutputFolderPath, text(s.outputFolderPath()));
    map.insert(kSeparator, text(s.separator()));
    map.insert(kJpegQuality, s.jpegQuality());
    map.insert(kTiffCompressionIndex, s.tiffCompressionIndex());
    map.insert(kIsSplitTiff, s.isSplitTIFFIntoSinglePages());
    map.insert(kIsClearProcessed, s.isClearProcessedFiles());
    if (s.hasLeadingZeros()) {
        map.insert(kLeadingZeros, s.leadingZeros());
    }
    return map;
}

// Through the setters, so observers hear of every field that changes.
void fieldsFromMap(Settings& s, const QVariantMap& map) {
    s.setOutputType(intEntry(map, kOutputType));
    s.setIsSetCurrentAsDefaultOutputFolderPath(boolEntry(map, kIsSetCurrentAsDefault));
    s.setIsOpenFolderAfterConversion(boolEntry(map, kIsOpenFolder));
    s.setOutputFolderPath(stringEntry(map, kOutputFolderPath));
    s.setSeparator(stringEntry(map, kSeparator));
    s.setJpegQuality(intEntry(map, kJpegQuality));
    s.setTiffCompressionIndex(intEntry(map, kTiffCompressionIndex));
    s.setIsSplitTIFFIntoSinglePages(boolEntry(map, kIsSplitTiff));
    s.setIsClearProcessedFiles(boolEntry(map, kIsClearProcessed));
    if (s.hasLeadingZeros()) {
        s.setLeadingZeros(std::clamp(intEntry(map, kLeadingZeros), 0, Settings::kMaxLeadingZeros));
    }
}

template <typename T, typename Signal>
void assignAndNotify(Settings* self, T& field, const T& value, Signal signal) {
    if (field == value) {
        return;
    }
    field = value;
    Q_EMIT(self->*signal)(value);
}

} // namespace

const QString Settings::kPreferencesKey = QStringLiteral("SETTINGS");

Settings::Settings(QObject* parent) : QObject(parent) {}

Settings::Settings(Preferences* store, QObject* parent) : Settings(store, true, parent) {}

Settings::Settings(Preferences* store, bool hasLeadingZeros, QObject* parent)
    : QObject(parent), m_store(store), m_hasLeadingZeros(hasLeadingZeros) {
    if (m_store != nullptr) {
        const QVariant stored = m_store->value(kPreferencesKey);
        if (stored.isValid()) {
            setData(stored);
        }
    }
}

Settings::~Settings() = default;

ConversionOptions Settings::snapshot() const {
    ConversionOptions o;
    o.outputType = m_outputType;
    o.jpegQuality = m_jpegQuality;
    o.tiffCompressionIndex = m_tiffCompressionIndex;
    o.isSplitTIFFIntoSinglePages = m_isSplitTIFFIntoSinglePages;
    o.separator = m_separator;
    o.leadingZeros = m_leadingZeros;
    o.isOpenFolderAfterConversion = m_isOpenFolderAfterConversion;
    o.outputFolderPath = m_outputFolderPath;
    return o;
}

void Settings::setOutputType(int value) {
    assignAndNotify(this, m_outputType, value, &Settings::outputTypeChanged);
}

void Settings::setIsSetCurrentAsDefaultOutputFolderPath(bool value) {
    assignAndNotify(this, m_isSetCurrentAsDefaultOutputFolderPath, value,
                    &Settings::isSetCurrentAsDefaultOutputFolderPathChanged);
}

void Settings::setIsOpenFolderAfterConversion(bool value) {
    assignAndNotify(this, m_isOpenFolderAfterConversion, value,
                    &Settings::isOpenFolderAfterConversionChanged);
}

void Settings::setOutputFolderPath(const QString& value) {
    assignAndNotify(this, m_outputFolderPath, value, &Settings::outputFolderPathChanged);
}

void Settings::setSeparator(const QString& value) {
    assignAndNotify(this, m_separator, value, &Settings::separatorChanged);
}

void Settings::setJpegQuality(int value) {
    assignAndNotify(this, m_jpegQuality, value, &Settings::jpegQualityChanged);
}

void Settings::setTiffCompressionIndex(int value) {
    assignAndNotify(this, m_tiffCompressionIndex, value, &Settings::tiffCompressionIndexChanged);
}

void Settings::setIsSplitTIFFIntoSinglePages(bool value) {
    assignAndNotify(this, m_isSplitTIFFIntoSinglePages, value,
                    &Settings::isSplitTIFFIntoSinglePagesChanged);
}

void Settings::setIsClearProcessedFiles(bool value) {
    assignAndNotify(this, m_isClearProcessedFiles, value, &Settings::isClearProcessedFilesChanged);
}

void Settings::setLeadingZeros(int value) {
    if (!m_hasLeadingZeros) {
        return; // the field does not exist
    }
    assignAndNotify(this, m_leadingZeros, value, &Settings::leadingZerosChanged);
}

void Settings::setData(const QVariant& data) {
    logFailures(QStringLiteral("(Settings=>setData:)"), [&] {
        QVariantMap map;
        if (!toDictionary(data, &map)) {
            return;
        }
        fieldsFromMap(*this, map);
        // A folder survives a restart only when it was marked as the default.
        if (m_outputFolderPath.isEmpty()) {
            setIsSetCurrentAsDefaultOutputFolderPath(false);
        } else if (!m_isSetCurrentAsDefaultOutputFolderPath) {
            setOutputFolderPath(QLatin1String(""));
        }
    });
}

QVariant Settings::getData() {
    QVariant data;
    logFailures(QStringLiteral("(Settings=>getData)"), [&] {
        if (m_outputFolderPath.isNull()) {
            m_outputFolderPath = QLatin1String("");
        }
        data = fieldsToMap(*this, true);
    });
    return data;
}

void Settings::synchronize() {
    if (m_store == nullptr) {
        return;
    }
    logFailures(QStringLiteral("(Settings=>synchronize)"), [&] {
        const QVariant data = getData();
        // getData() has logged its own failure; keep what is stored rather
        // than erase it.
        if (data.isValid()) {
            m_store->setValue(kPreferencesKey, data);
        }
    });
    // The next flush tries again; the system log hears of the first failure
    // of a streak (a read-only or full location), not of every change.
    const bool saved = m_store->synchronize();
    if (!saved && !m_storeFailing) {
        systemLogError(QStringLiteral("(Settings=>synchronize)"),
                       QStringLiteral("The preferences could not be saved"));
    }
    m_storeFailing = !saved;
}

void Settings::encodeWithCoder(QDataStream& out) const {
    out << fieldsToMap(*this, false);
}

void Settings::initWithCoder(QDataStream& in) {
    QVariantMap map;
    in >> map;
    // Nothing is applied from a stream that ended early or held garbage.
    if (in.status() != QDataStream::Ok) {
        return;
    }
    fieldsFromMap(*this, map);
}
