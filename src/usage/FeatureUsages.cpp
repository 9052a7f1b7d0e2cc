#include "usage/FeatureUsages.h"

FeatureUsages FeatureUsages::initWithName(const QString& name, qint32 usagesCount,
                                          qint32 filesCount) {
    return FeatureUsages{name, usagesCount, filesCount};
}

QString FeatureUsages::description() const {
    // One multi-argument arg(): a "%2" inside the name must stay text.
    return QStringLiteral("name : %1 usagesCount:%2 filesCount:%3")
        .arg(name, QString::number(usagesCount), QString::number(filesCount));
}
