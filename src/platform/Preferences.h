#pragma once

#include <QString>
#include <QVariant>

#include <memory>

// The per-user preferences store. Values are plain values, lists or
// dictionaries (QVariantMap); a dictionary is kept as a group of keys so the
// stored file stays readable.
//
// Threads: main thread only.
class Preferences {
public:
    virtual ~Preferences() = default;

    // An absent key gives an invalid QVariant.
    virtual QVariant value(const QString& key) const = 0;
    virtual void setValue(const QString& key, const QVariant& value) = 0;
    virtual void remove(const QString& key) = 0;
    // Writes pending changes to storage; false when that failed.
    virtual bool synchronize() = 0;
};

// Backed by QSettings in the user's configuration folder
// (~/.config/<organization>/<application>.conf).
class SettingsPreferences final : public Preferences {
public:
    SettingsPreferences(const QString& organization, const QString& application);
    // A store in an explicit file, for tools and tests.
    explicit SettingsPreferences(const QString& iniFilePath);
    ~SettingsPreferences() override;

    QVariant value(const QString& key) const override;
    void setValue(const QString& key, const QVariant& value) override;
    void remove(const QString& key) override;
    bool synchronize() override;

    QString fileName() const;

private:
    struct Private;
    std::unique_ptr<Private> d;
};

// Kept in memory only; for tests and for programs that must not touch the
// user's preferences.
class MemoryPreferences final : public Preferences {
public:
    QVariant value(const QString& key) const override { return m_values.value(key); }
    void setValue(const QString& key, const QVariant& value) override {
        m_values.insert(key, value);
    }
    void remove(const QString& key) override { m_values.remove(key); }
    bool synchronize() override {
        ++m_synchronizeCount;
        return true;
    }

    int synchronizeCount() const { return m_synchronizeCount; }

private:
    QVariantMap m_values;
    int m_synchronizeCount = 0;
};
