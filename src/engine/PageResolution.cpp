#include "engine/PageResolution.h"

void markWithoutResolution(QImage& page) {
    page.setText(QLatin1String(kNoResolutionTextKey), QStringLiteral("1"));
}

bool hasResolution(const QImage& page) {
    return page.dotsPerMeterX() > 0 && page.dotsPerMeterY() > 0 &&
           page.text(QLatin1String(kNoResolutionTextKey)).isEmpty();
}
