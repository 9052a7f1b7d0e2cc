#include "engine/PageResolution.h"

#include <QStringList>

#include <cmath>

namespace {

constexpr double kMetresPerInch = 0.0254;

} // namespace

void markWithoutResolution(QImage& page) {
    page.setText(QLatin1String(kNoResolutionTextKey), QStringLiteral("1"));
}

bool hasResolution(const QImage& page) {
    return page.dotsPerMeterX() > 0 && page.dotsPerMeterY() > 0 &&
           page.text(QLatin1String(kNoResolutionTextKey)).isEmpty();
}

int dotsPerMetre(double value, bool perCentimetre) {
    return static_cast<int>(std::lround(perCentimetre ? value * 100.0 : value / kMetresPerInch));
}

void setStatedResolution(QImage& page, const StatedResolution& r) {
    page.setDotsPerMeterX(dotsPerMetre(r.x, r.perCentimetre));
    page.setDotsPerMeterY(dotsPerMetre(r.y, r.perCentimetre));
    page.setText(QLatin1String(kStatedResolutionTextKey),
                 QStringLiteral("%1 %2 %3")
                     .arg(QString::number(r.x, 'g', 17), QString::number(r.y, 'g', 17),
                          r.perCentimetre ? QStringLiteral("cm") : QStringLiteral("inch")));
}

StatedResolution statedResolution(const QImage& page) {
    const QStringList parts =
        page.text(QLatin1String(kStatedResolutionTextKey)).split(QLatin1Char(' '));
    if (parts.size() == 3) {
        StatedResolution r;
        bool xOk = false;
        bool yOk = false;
        r.x = parts[0].toDouble(&xOk);
        r.y = parts[1].toDouble(&yOk);
        r.perCentimetre = parts[2] == QLatin1String("cm");
        if (xOk && yOk && dotsPerMetre(r.x, r.perCentimetre) == page.dotsPerMeterX() &&
            dotsPerMetre(r.y, r.perCentimetre) == page.dotsPerMeterY()) {
            return r;
        }
    }
    return {page.dotsPerMeterX() * kMetresPerInch, page.dotsPerMeterY() * kMetresPerInch, false};
}
