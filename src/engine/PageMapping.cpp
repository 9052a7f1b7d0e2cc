#include "engine/PageMapping.h"

#include "platform/SystemLog.h"

void setPageMapping(QImage& page, const QString& mapping) {
    page.setText(QLatin1String(kMappingTextKey), mapping);
}

QString pageMapping(const QImage& page) {
    return page.text(QLatin1String(kMappingTextKey));
}

void logPageMapping(const QImage& page, int pageNumber, const QString& file) {
    const QString mapping = pageMapping(page);
    if (!mapping.isEmpty()) {
        systemLog(QStringLiteral("Page %1 of “%2” is not an exact copy: %3")
                      .arg(pageNumber)
                      .arg(file, mapping));
    }
}

void markHoles(QImage& page) {
    page.setText(QLatin1String(kHolesTextKey), QStringLiteral("1"));
}

bool hasHoles(const QImage& page) {
    return !page.text(QLatin1String(kHolesTextKey)).isEmpty();
}
