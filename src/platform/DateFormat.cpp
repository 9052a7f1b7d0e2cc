#include "platform/DateFormat.h"

namespace {

QString quoted(const QString& text) {
    QString out = QStringLiteral("'");
    for (const QChar c : text) {
        out += (c == QLatin1Char('\'')) ? QStringLiteral("''") : QString(c);
    }
    return out + QLatin1Char('\'');
}

// One run of a repeated pattern letter, e.g. "MMM".
QString qtField(QChar letter, qsizetype count) {
    const auto repeat = [](char c, qsizetype n) { return QString(n, QLatin1Char(c)); };
    switch (letter.unicode()) {
    case 'y':
    case 'u':
    case 'Y':
        return count == 2 ? QStringLiteral("yy") : QStringLiteral("yyyy");
    case 'M':
    case 'L':
        return repeat('M', qMin<qsizetype>(count, 4));
    case 'd':
        return repeat('d', qMin<qsizetype>(count, 2));
    case 'E':
    case 'c':
    case 'e':
        return count >= 4 ? QStringLiteral("dddd") : QStringLiteral("ddd");
    case 'a':
        return QStringLiteral("Ap");
    case 'h':
    case 'K':
        return repeat('h', qMin<qsizetype>(count, 2));
    case 'H':
    case 'k':
        return repeat('H', qMin<qsizetype>(count, 2));
    case 'm':
        return repeat('m', qMin<qsizetype>(count, 2));
    case 's':
        return repeat('s', qMin<qsizetype>(count, 2));
    case 'S':
        return count >= 3 ? QStringLiteral("zzz") : QStringLiteral("z");
    case 'z':
    case 'Z':
    case 'v':
    case 'V':
    case 'O':
    case 'X':
    case 'x':
        return QStringLiteral("t");
    default:
        return quoted(QString(count, letter));
    }
}

bool isAsciiLetter(QChar c) {
    return (c >= QLatin1Char('a') && c <= QLatin1Char('z')) ||
           (c >= QLatin1Char('A') && c <= QLatin1Char('Z'));
}

} // namespace

QString qtDatePattern(const QString& icuPattern) {
    QString out;
    const qsizetype n = icuPattern.size();
    qsizetype i = 0;
    while (i < n) {
        const QChar c = icuPattern.at(i);
        if (c == QLatin1Char('\'')) {
            // Quoted text (and '' for a quote) means the same in both syntaxes.
            qsizetype j = i + 1;
            while (j < n) {
                if (icuPattern.at(j) == QLatin1Char('\'')) {
                    if (j + 1 < n && icuPattern.at(j + 1) == QLatin1Char('\'')) {
                        j += 2;
                        continue;
                    }
                    break;
                }
                ++j;
            }
            out += icuPattern.mid(i, qMin(j + 1, n) - i);
            if (j >= n) {
                out += QLatin1Char('\''); // close an unterminated quote
            }
            i = j + 1;
        } else if (isAsciiLetter(c)) {
            qsizetype j = i;
            while (j < n && icuPattern.at(j) == c) {
                ++j;
            }
            out += qtField(c, j - i);
            i = j;
        } else {
            out += c;
            ++i;
        }
    }
    return out;
}

QString formatDate(const QDateTime& when, const QString& icuPattern, const QLocale& locale) {
    if (!when.isValid()) {
        return {};
    }
    return locale.toString(when.toLocalTime(), qtDatePattern(icuPattern));
}

QString timeTakenString(const QDateTime& start, const QDateTime& end, bool inWords) {
    if (!start.isValid() || !end.isValid()) {
        return {};
    }
    const qint64 seconds = qMax<qint64>(0, start.secsTo(end));
    const qint64 hours = seconds / 3600;
    const qint64 minutes = (seconds % 3600) / 60;
    const qint64 rest = seconds % 60;
    if (inWords) {
        QString words;
        if (hours > 0) {
            words += QStringLiteral("%1 hr(s) ").arg(hours);
        }
        if (minutes > 0) {
            words += QStringLiteral("%1 min(s) ").arg(minutes);
        }
        if (rest > 0) {
            words += QStringLiteral("%1 sec(s) ").arg(rest);
        }
        return words;
    }
    if (hours > 0) {
        return QStringLiteral("%1:%2:%3")
            .arg(hours, 2, 10, QLatin1Char('0'))
            .arg(minutes, 2, 10, QLatin1Char('0'))
            .arg(rest, 2, 10, QLatin1Char('0'));
    }
    return QStringLiteral("%1:%2")
        .arg(minutes, 2, 10, QLatin1Char('0'))
        .arg(rest, 2, 10, QLatin1Char('0'));
}
