#include "platform/Preferences.h"

#include <QSettings>

#include <algorithm>

namespace {

// A group written by writeGroup() that holds a list, rather than a dictionary.
const QString kListMarker = QStringLiteral("__list__");

void writeValue(QSettings& settings, const QString& key, const QVariant& value);

void writeMap(QSettings& settings, const QString& key, const QVariantMap& map) {
    settings.beginGroup(key);
    for (auto it = map.cbegin(); it != map.cend(); ++it) {
        writeValue(settings, it.key(), it.value());
    }
    settings.endGroup();
}

void writeList(QSettings& settings, const QString& key, const QVariantList& list) {
    settings.beginGroup(key);
    settings.setValue(kListMarker, true);
    settings.setValue(QStringLiteral("size"), list.size());
    for (qsizetype i = 0; i < list.size(); ++i) {
        writeValue(settings, QString::number(i + 1), list.at(i));
    }
    settings.endGroup();
}

void writeValue(QSettings& settings, const QString& key, const QVariant& value) {
    settings.remove(key);
    switch (value.typeId()) {
    case QMetaType::QVariantMap:
        // A group without keys would not exist, and a list would lose its
        // place; the empty dictionary goes in as a value.
        if (value.toMap().isEmpty()) {
            settings.setValue(key, value);
        } else {
            writeMap(settings, key, value.toMap());
        }
        break;
    case QMetaType::QVariantList:
    case QMetaType::QStringList:
        writeList(settings, key, value.toList());
        break;
    default:
        settings.setValue(key, value);
        break;
    }
}

QVariant readValue(QSettings& settings, const QString& key);

// A damaged or hand-edited file may claim any size; a list has no more
// elements than its group has entries beside the marker and the size.
int storedListSize(const QSettings& settings) {
    const qsizetype elements = settings.childKeys().size() + settings.childGroups().size() - 2;
    return static_cast<int>(std::clamp<qsizetype>(settings.value(QStringLiteral("size")).toInt(), 0,
                                                  std::max<qsizetype>(elements, 0)));
}

QVariant readGroup(QSettings& settings, const QString& key) {
    settings.beginGroup(key);
    QVariant result;
    if (settings.value(kListMarker).toBool()) {
        const int size = storedListSize(settings);
        QVariantList list;
        for (int i = 1; i <= size; ++i) {
            list.append(readValue(settings, QString::number(i)));
        }
        result = list;
    } else {
        QVariantMap map;
        for (const QString& child : settings.childKeys()) {
            map.insert(child, settings.value(child));
        }
        for (const QString& child : settings.childGroups()) {
            map.insert(child, readGroup(settings, child));
        }
        result = map;
    }
    settings.endGroup();
    return result;
}

QVariant readValue(QSettings& settings, const QString& key) {
    if (settings.childGroups().contains(key)) {
        return readGroup(settings, key);
    }
    return settings.value(key);
}

} // namespace

struct SettingsPreferences::Private {
    std::unique_ptr<QSettings> settings;
};

SettingsPreferences::SettingsPreferences(const QString& organization, const QString& application)
    : d(std::make_unique<Private>()) {
    d->settings = std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                              organization, application);
}

SettingsPreferences::SettingsPreferences(const QString& iniFilePath)
    : d(std::make_unique<Private>()) {
    d->settings = std::make_unique<QSettings>(iniFilePath, QSettings::IniFormat);
}

SettingsPreferences::~SettingsPreferences() = default;

QVariant SettingsPreferences::value(const QString& key) const {
    return readValue(*d->settings, key);
}

void SettingsPreferences::setValue(const QString& key, const QVariant& value) {
    writeValue(*d->settings, key, value);
}

void SettingsPreferences::remove(const QString& key) {
    d->settings->remove(key);
}

bool SettingsPreferences::synchronize() {
    d->settings->sync();
    return d->settings->status() == QSettings::NoError;
}

QString SettingsPreferences::fileName() const {
    return d->settings->fileName();
}
