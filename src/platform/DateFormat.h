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

// The elapsed time from `start` to `end`: "mm:ss", or "hh:mm:ss" from one
// hour on; in words, "1 hr(s) 2 min(s) 5 sec(s) " with only the parts above
// zero, each followed by a space ("" under a second). "" when either is
// missing.
QString timeTakenString(const QDateTime& start, const QDateTime& end, bool inWords = false);
