#pragma once

#include <QImage>
#include <QString>

// A page whose pixels are not an exact copy of its samples (floating-point,
// wide or signed integers, L*a*b*) says how they were mapped, in words for
// the system log, under this text key.
inline constexpr char kMappingTextKey[] = "pictavo-mapping";
// Pixels without a value (NaN or infinite samples) are transparent; a writer
// whose format has no alpha shows them black, not over white.
inline constexpr char kHolesTextKey[] = "pictavo-holes";

void setPageMapping(QImage& page, const QString& mapping);
// "" when the page is an exact copy.
QString pageMapping(const QImage& page);

// Writes one system-log line naming the mapping of page `pageNumber` of
// `file`; nothing for a page that is an exact copy.
void logPageMapping(const QImage& page, int pageNumber, const QString& file);

void markHoles(QImage& page);
bool hasHoles(const QImage& page);
