#pragma once

#include <QString>

// The counters of one named feature in the usage record.
struct FeatureUsages {
    QString name; // compared exactly
    qint32 usagesCount = 0;
    qint32 filesCount = 0;

    static FeatureUsages initWithName(const QString& name, qint32 usagesCount, qint32 filesCount);
    // "name : <name> usagesCount:<n> filesCount:<n>"
    QString description() const;
};
