#include "engine/PageMapping.h"

void setPageMapping(QImage& page, const QString& mapping) {
    page.setText(QLatin1String(kMappingTextKey), mapping);
}

QString pageMapping(const QImage& page) {
    return page.text(QLatin1String(kMappingTextKey));
}

void markHoles(QImage& page) {
    page.setText(QLatin1String(kHolesTextKey), QStringLiteral("1"));
}

bool hasHoles(const QImage& page) {
    return !page.text(QLatin1String(kHolesTextKey)).isEmpty();
}
