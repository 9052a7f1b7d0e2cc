#pragma once

#include <QDateTime>
#include <QLocale>
#include <QString>

// Date patterns are written in the Unicode (ICU) form, e.g.
// "MM/dd/yyyy hh:mm:ss a"; these helpers render them with Qt.

// The Qt format string for an ICU date pattern. Quoted text stays literal;
// letters Qt would read differently are mapped ("a" -> "Ap", "EEEE" ->
// "dddd") or quoted when there is no equivalent.
QString qtDatePattern(const QString& icuPattern);

// `when` in the local time zone, in `locale`; "" for an invalid date.
QString formatDate(const QDateTime& when, const QString& icuPattern,
                   const QLocale& locale = QLocale::system());
