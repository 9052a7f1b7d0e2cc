#include "widgets/AccessLetter.h"

namespace {

QString escaped(const QString& plain) {
    QString out = plain;
    out.replace(QLatin1Char('&'), QStringLiteral("&&"));
    return out;
}

} // namespace

QString plainTitle(const QString& mnemonicTitle) {
    QString plain;
    plain.reserve(mnemonicTitle.size());
    for (qsizetype i = 0; i < mnemonicTitle.size(); ++i) {
        const QChar c = mnemonicTitle.at(i);
        if (c == QLatin1Char('&') && i + 1 < mnemonicTitle.size()) {
            plain += mnemonicTitle.at(++i);
        } else if (c != QLatin1Char('&')) {
            plain += c;
        }
    }
    return plain;
}

QString withAccessLetter(const QString& title, const QString& letter, int occurrence) {
    const QString plain = plainTitle(title);
    if (letter.isEmpty()) {
        return escaped(plain);
    }
    const qsizetype at = occurrence == 1 ? plain.indexOf(letter, 0, Qt::CaseInsensitive)
                                         : plain.lastIndexOf(letter, -1, Qt::CaseSensitive);
    if (at < 0) {
        return escaped(plain);
    }
    return escaped(plain.left(at)) + QLatin1Char('&') + escaped(plain.mid(at));
}
