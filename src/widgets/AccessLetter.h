#pragma once

#include <QString>

// A button title with its access letter marked as a Qt mnemonic ("&" before
// it; a literal "&" becomes "&&"). `title` is the plain text a user reads, or
// a mnemonic title whose old mark is dropped. With `occurrence` 1 the first
// match, ignoring case, is marked; with any other value the last match, case
// sensitive. No match, or an empty letter, leaves the title unmarked.
QString withAccessLetter(const QString& title, const QString& letter, int occurrence = 1);

// The text a mnemonic title shows: marks dropped, "&&" read as "&".
QString plainTitle(const QString& mnemonicTitle);
