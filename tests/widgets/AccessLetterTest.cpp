#include "widgets/AccessLetter.h"

#include "support/TestEnvironment.h"
#include "widgets/ElidedLabel.h"
#include "widgets/SheetDialog.h"

#include <QTest>

#include <gtest/gtest.h>

namespace {

struct LetterCase {
    std::string name;
    QString title;
    QString letter;
    int occurrence;
    QString marked;
};

class AccessLetterTest : public ::testing::TestWithParam<LetterCase> {};

TEST_P(AccessLetterTest, MarksTheRightLetter) {
    const LetterCase& c = GetParam();
    EXPECT_EQ(withAccessLetter(c.title, c.letter, c.occurrence), c.marked);
}

INSTANTIATE_TEST_SUITE_P(
    Titles, AccessLetterTest,
    ::testing::Values(
        LetterCase{"FirstMatch", "Set as default output folder", "d", 1,
                   "Set as &default output folder"},
        LetterCase{"OtherCaseCounts", "Open output folder", "o", 1, "&Open output folder"},
        LetterCase{"UpperLetterFindsLower", "View Log", "L", 1, "View &Log"},
        LetterCase{"Absent", "Close", "x", 1, "Close"},
        LetterCase{"EmptyLetter", "Close", "", 1, "Close"},
        LetterCase{"OldMarkDropped", "&Cancel", "n", 1, "Ca&ncel"},
        LetterCase{"LiteralAmpersandKept", "Tips && tricks", "t", 1, "&Tips && tricks"},
        LetterCase{"LiteralAmpersandAfterMark", "Save && close", "c", 1, "Save && &close"},
        LetterCase{"LastCaseSensitive", "From a File", "F", 2, "From a &File"},
        LetterCase{"LastIgnoresOtherCase", "From a file", "F", 2, "&From a file"},
        LetterCase{"LastAbsentInCase", "from a file", "F", 2, "from a file"}),
    ByName());

TEST(PlainTitleTest, ReadsMnemonicTitles) {
    EXPECT_EQ(plainTitle(QStringLiteral("O&pen && go")), QStringLiteral("Open & go"));
    EXPECT_EQ(plainTitle(QStringLiteral("Trailing&")), QStringLiteral("Trailing"));
}

TEST(ElidedLabelTest, ElidesTheMiddleOnlyWhenNarrow) {
    ElidedLabel label;
    const QString name =
        QStringLiteral("beginning-") + QString(120, QLatin1Char('x')) + QStringLiteral("-end.tif");
    label.setTextAndDetail(name, QStringLiteral("/some/folder/") + name);
    EXPECT_EQ(label.toolTip(), QStringLiteral("/some/folder/") + name);

    label.resize(label.fontMetrics().horizontalAdvance(name) + 20, label.sizeHint().height());
    EXPECT_EQ(label.displayedText(), name);

    label.resize(label.minimumSizeHint().width() * 3, label.sizeHint().height());
    const QString shown = label.displayedText();
    EXPECT_TRUE(shown.startsWith(QStringLiteral("beg"))) << shown.toStdString();
    EXPECT_TRUE(shown.endsWith(QStringLiteral(".tif"))) << shown.toStdString();
    EXPECT_TRUE(shown.contains(QChar(0x2026)));
    // Never asks for the room its text would need.
    EXPECT_LT(label.sizeHint().width(), label.fontMetrics().horizontalAdvance(name));
}

TEST(SheetDialogTest, EscapeAndCloseGoToTheHandler) {
    SheetDialog sheet;
    int asked = 0;
    sheet.setDismissHandler([&asked] { ++asked; });
    sheet.show();
    QTest::keyClick(&sheet, Qt::Key_Escape);
    EXPECT_TRUE(sheet.isVisible());
    EXPECT_FALSE(sheet.close());
    EXPECT_TRUE(sheet.isVisible());
    EXPECT_EQ(asked, 2);

    sheet.setDismissHandler([&sheet] { sheet.hide(); });
    EXPECT_TRUE(sheet.close());
    EXPECT_FALSE(sheet.isVisible());
}

} // namespace
