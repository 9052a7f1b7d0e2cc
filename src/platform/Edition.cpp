#include "platform/Edition.h"

#include "BundleInfo.h"

namespace {

Edition& selected() {
    static Edition edition = Edition::currentEdition();
    return edition;
}

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
    return makeEdition(Id::Current, QStringLiteral("2"));
}

Edition Edition::firstEdition() {
    return makeEdition(Id::First, QStringLiteral("1"));
}

const Edition& Edition::current() {
    return selected();
}

void Edition::select(const Edition& edition) {
    selected() = edition;
}
