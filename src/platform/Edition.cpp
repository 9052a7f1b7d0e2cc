#include "platform/Edition.h"

#include "BundleInfo.h"

namespace {

Edition makeEdition(Edition::Id id, const QString& number) {
    Edition e;
    e.id = id;
    e.displayName = QStringLiteral("Pictavo");
    e.organization = QStringLiteral("Quorlen");
    e.applicationName = QStringLiteral("Pictavo") + number;
    e.appFolder = QStringLiteral("Quorlen/Pictavo") + number;
    e.guideName = QStringLiteral("MACPictavo") + number;
    e.version = QString::fromUtf8(bundle_info::kVersion);
    e.copyright = QString::fromUtf8(bundle_info::kCopyright);
    return e;
}

} // namespace

Edition Edition::currentEdition() {
    Edition e = makeEdition(Id::Current, QStringLiteral("2"));
    e.desktopId = QStringLiteral("example.quorlen.Pictavo");
    return e;
}

Edition Edition::firstEdition() {
    Edition e = makeEdition(Id::First, QStringLiteral("1"));
    e.desktopId = QStringLiteral("example.quorlen.Pictavo1");
    e.hasLeadingZerosOption = false;
    e.elapsedTimeInWords = true;
    e.writesIntoSettingsFolder = true;
    e.hasApplicationModalAlerts = true;
    e.importCancelKeepsParsedFiles = true;
    return e;
}
