#include "widgets/FlowLayout.h"

#include "support/TestEnvironment.h"

#include <QHBoxLayout>
#include <QRect>
#include <QWidget>

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

constexpr int kHeight = 20;
constexpr int kSpacing = 6;

struct FlowCase {
    std::string name;
    int width;                // of the row's widget
    std::vector<int> widths;  // of the items, in order
    int spacerBefore;         // the row's spacer stands before this item; -1: none
    int hiddenItem;           // -1: none
    std::vector<QRect> rects; // where the items go; a hidden item's is not checked
    int lines;
};

class FlowLayoutTest : public ::testing::TestWithParam<FlowCase> {};

TEST_P(FlowLayoutTest, WrapsWhereTheNextItemDoesNotFitAndKeepsTrailingItemsRight) {
    const FlowCase& c = GetParam();
    QWidget owner;
    auto* row = new QHBoxLayout(&owner); // owned by `owner` until replaced
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(kSpacing);
    std::vector<QWidget*> items;
    for (size_t i = 0; i < c.widths.size(); ++i) {
        if (static_cast<int>(i) == c.spacerBefore) {
            row->addStretch();
        }
        auto* item = new QWidget(&owner); // owned by `owner`
        item->setFixedSize(c.widths[i], kHeight);
        row->addWidget(item);
        items.push_back(item);
    }
    if (c.hiddenItem >= 0) {
        items[static_cast<size_t>(c.hiddenItem)]->hide();
    }
    FlowLayout* flow = FlowLayout::replaceRow(row);
    ASSERT_EQ(owner.layout(), flow);
    ASSERT_EQ(flow->count(), static_cast<int>(items.size()));
    flow->setGeometry(QRect(0, 0, c.width, 200));
    for (size_t i = 0; i < items.size(); ++i) {
        if (static_cast<int>(i) != c.hiddenItem) {
            EXPECT_EQ(items[i]->geometry(), c.rects[i]) << "item " << i;
        }
    }
    EXPECT_EQ(flow->lineCount(c.width), c.lines);
    EXPECT_EQ(flow->heightForWidth(c.width), c.lines * kHeight + (c.lines - 1) * kSpacing);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, FlowLayoutTest,
    ::testing::Values(FlowCase{"OneLine",
                               200,
                               {50, 50, 50},
                               -1,
                               -1,
                               {QRect(0, 0, 50, 20), QRect(56, 0, 50, 20), QRect(112, 0, 50, 20)},
                               1},
                      FlowCase{"WrapsTheItemThatDoesNotFit",
                               150,
                               {50, 50, 50},
                               -1,
                               -1,
                               {QRect(0, 0, 50, 20), QRect(56, 0, 50, 20), QRect(0, 26, 50, 20)},
                               2},
                      FlowCase{"ItemsAfterTheSpacerKeepRight",
                               300,
                               {50, 50, 40},
                               2,
                               -1,
                               {QRect(0, 0, 50, 20), QRect(56, 0, 50, 20), QRect(260, 0, 40, 20)},
                               1},
                      FlowCase{"TrailingItemWrapsToTheRightEnd",
                               150,
                               {50, 50, 60},
                               2,
                               -1,
                               {QRect(0, 0, 50, 20), QRect(56, 0, 50, 20), QRect(90, 26, 60, 20)},
                               2},
                      FlowCase{
                          "HiddenItemTakesNoRoom",
                          150,
                          {50, 50, 50, 50},
                          -1,
                          1,
                          {QRect(0, 0, 50, 20), {}, QRect(56, 0, 50, 20), QRect(0, 26, 50, 20)},
                          2}),
    ByName());

TEST(FlowLayoutSizeTest, NeedsTheWidestItemAndHintsOneLine) {
    QWidget owner;
    auto* row = new QHBoxLayout(&owner); // owned by `owner` until replaced
    row->setContentsMargins(3, 4, 5, 6);
    row->setSpacing(kSpacing);
    for (const int width : {50, 80, 30}) {
        auto* item = new QWidget(&owner); // owned by `owner`
        item->setFixedSize(width, kHeight);
        row->addWidget(item);
    }
    const FlowLayout* flow = FlowLayout::replaceRow(row);
    EXPECT_EQ(flow->minimumSize(), QSize(80 + 3 + 5, kHeight + 4 + 6));
    EXPECT_EQ(flow->sizeHint(), QSize(50 + 80 + 30 + 2 * kSpacing + 3 + 5, kHeight + 4 + 6));
}

// A row inside another layout is replaced in its place.
TEST(FlowLayoutSizeTest, ReplacesARowInItsOuterLayout) {
    QWidget owner;
    auto* outer = new QVBoxLayout(&owner); // owned by `owner`
    auto* above = new QWidget(&owner);     // owned by `owner`
    outer->addWidget(above);
    auto* row = new QHBoxLayout; // owned by `outer` below, until replaced
    outer->addLayout(row);
    auto* below = new QWidget(&owner); // owned by `owner`
    outer->addWidget(below);
    auto* item = new QWidget(&owner); // owned by `owner`
    row->addWidget(item);
    FlowLayout* flow = FlowLayout::replaceRow(row);
    ASSERT_EQ(outer->count(), 3);
    EXPECT_EQ(outer->itemAt(0)->widget(), above);
    EXPECT_EQ(outer->itemAt(1)->layout(), flow);
    EXPECT_EQ(outer->itemAt(2)->widget(), below);
    EXPECT_EQ(flow->itemAt(0)->widget(), item);
    EXPECT_EQ(flow->parent(), outer);
}

} // namespace
