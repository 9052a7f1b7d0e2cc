#include "widgets/SegmentedControl.h"

#include "support/TestEnvironment.h"

#include <QSignalSpy>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>
#include <vector>

namespace {

std::vector<int> clickedSegments(const QSignalSpy& spy) {
    std::vector<int> segments;
    for (const QList<QVariant>& arguments : spy) {
        segments.push_back(arguments.at(0).toInt());
    }
    return segments;
}

} // namespace

struct ClickCase {
    const char* name;
    std::vector<int> disabledSegments;
    bool controlDisabled;
    bool preselected; // the clicked segment is selected before the click
    int clicked;
    bool emits;
};

class SegmentClickTest : public ::testing::TestWithParam<ClickCase> {};

TEST_P(SegmentClickTest, ClickSelectsAndReportsOnlyAnEnabledSegment) {
    const ClickCase& c = GetParam();
    SegmentedControl control;
    control.setSegmentCount(3);
    for (int segment : c.disabledSegments) {
        control.setEnabled(segment, false);
    }
    control.setEnabled(!c.controlDisabled);
    if (c.preselected) {
        control.setSelected(c.clicked, true);
    }
    QSignalSpy spy(&control, &SegmentedControl::segmentClicked);

    control.click(c.clicked);

    if (c.emits) {
        EXPECT_EQ(clickedSegments(spy), std::vector<int>{c.clicked});
        EXPECT_TRUE(control.isSelected(c.clicked));
        EXPECT_EQ(control.selectedSegment(), c.clicked);
    } else {
        EXPECT_TRUE(spy.isEmpty());
        EXPECT_EQ(control.isSelected(c.clicked), c.preselected);
        EXPECT_EQ(control.selectedSegment(), -1);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Clicks, SegmentClickTest,
    ::testing::Values(ClickCase{"EnabledSegment", {}, false, false, 1, true},
                      ClickCase{"AlreadySelectedStaysSelected", {}, false, true, 2, true},
                      ClickCase{"DisabledSegmentIgnored", {1}, false, false, 1, false},
                      ClickCase{"OtherSegmentDisabled", {0, 2}, false, false, 1, true},
                      ClickCase{"WholeControlDisabled", {}, true, false, 0, false},
                      ClickCase{"BeyondLastSegment", {}, false, false, 3, false},
                      ClickCase{"NegativeSegment", {}, false, false, -1, false}),
    ByName());

TEST(SegmentedControlTest, SegmentIsSelectedWhenTheSignalArrives) {
    SegmentedControl control;
    control.setSegmentCount(2);
    bool selectedInSlot = false;
    QObject::connect(&control, &SegmentedControl::segmentClicked,
                     [&](int segment) { selectedInSlot = control.isSelected(segment); });
    control.click(1);
    EXPECT_TRUE(selectedInSlot);
}

TEST(SegmentedControlTest, OwnerClearingInTheSlotMakesAPushButton) {
    SegmentedControl control;
    control.setSegmentCount(2);
    QObject::connect(&control, &SegmentedControl::segmentClicked,
                     [&](int segment) { control.setSelected(segment, false); });
    control.click(0);
    control.click(0);
    EXPECT_FALSE(control.isSelected(0));
    EXPECT_EQ(control.selectedSegment(), 0);
}

TEST(SegmentedControlTest, MouseClickOnASegmentButtonReportsIt) {
    SegmentedControl control;
    control.setSegmentCount(3);
    control.setLabel(2, QStringLiteral("Two"));
    control.show();
    QSignalSpy spy(&control, &SegmentedControl::segmentClicked);
    QTest::mouseClick(control.segmentButton(2), Qt::LeftButton);
    EXPECT_EQ(clickedSegments(spy), std::vector<int>{2});
}

TEST(SegmentedControlTest, SegmentEnablingSurvivesDisablingTheWholeControl) {
    SegmentedControl control;
    control.setSegmentCount(3);
    control.setEnabled(1, false);
    EXPECT_TRUE(control.isEnabled(0));
    EXPECT_FALSE(control.isEnabled(1));
    EXPECT_TRUE(control.isEnabled(2));

    control.setEnabled(false);
    EXPECT_FALSE(control.segmentButton(0)->isEnabled());
    EXPECT_TRUE(control.isEnabled(0)) << "the segment's own setting is kept";

    control.setEnabled(true);
    EXPECT_TRUE(control.segmentButton(0)->isEnabled());
    EXPECT_FALSE(control.segmentButton(1)->isEnabled());
    EXPECT_TRUE(control.segmentButton(2)->isEnabled());
}

TEST(SegmentedControlTest, SegmentButtonsAreNamedAfterTheControl) {
    QWidget window;
    auto* control = new SegmentedControl(&window);
    control->setSegmentCount(2);
    control->setObjectName(QStringLiteral("navigationSegmented"));
    control->setSegmentCount(3);
    for (int i = 0; i < 3; ++i) {
        const QString name = QStringLiteral("navigationSegmented_%1").arg(i);
        EXPECT_EQ(window.findChild<QToolButton*>(name), control->segmentButton(i)) << i;
    }

    control->setObjectName(QStringLiteral("helpSegmented"));
    EXPECT_EQ(window.findChild<QToolButton*>(QStringLiteral("helpSegmented_1")),
              control->segmentButton(1));
    EXPECT_EQ(window.findChild<QToolButton*>(QStringLiteral("navigationSegmented_1")), nullptr);
}

TEST(SegmentedControlTest, ShrinkingRemovesSegmentsAndForgetsAClickedOneBeyond) {
    SegmentedControl control;
    control.setObjectName(QStringLiteral("bar"));
    control.setSegmentCount(4);
    control.click(3);
    control.setSegmentCount(2);
    EXPECT_EQ(control.segmentCount(), 2);
    EXPECT_EQ(control.selectedSegment(), -1);
    EXPECT_EQ(control.findChildren<QToolButton*>().size(), 2);
    EXPECT_EQ(control.findChild<QToolButton*>(QStringLiteral("bar_3")), nullptr);
}

struct NameCase {
    const char* name;
    const char* label;
    const char* toolTip;
    const char* accessibleName;
    const char* expected;
};

class SegmentAccessibleNameTest : public ::testing::TestWithParam<NameCase> {};

TEST_P(SegmentAccessibleNameTest, ScreenReadersGetAReadableName) {
    const NameCase& c = GetParam();
    SegmentedControl control;
    control.setSegmentCount(1);
    control.setLabel(0, QString::fromUtf8(c.label));
    control.setToolTip(0, QString::fromUtf8(c.toolTip));
    control.setAccessibleName(0, QString::fromUtf8(c.accessibleName));
    EXPECT_EQ(control.accessibleName(0).toStdString(), c.expected);
    EXPECT_EQ(control.segmentButton(0)->toolTip().toStdString(), c.toolTip);
}

INSTANTIATE_TEST_SUITE_P(
    Names, SegmentAccessibleNameTest,
    ::testing::Values(NameCase{"LabelWins", "Convert", "Start converting", "", "Convert"},
                      NameCase{"AccessLetterDropped", "&Convert", "", "", "Convert"},
                      NameCase{"DoubledAmpersandKeepsOne", "Save && Quit", "", "", "Save & Quit"},
                      NameCase{"IconOnlyUsesToolTip", "", "Move up", "", "Move up"},
                      NameCase{"ExplicitNameWins", "+", "Add files", "Add", "Add"}),
    ByName());

TEST(SegmentedControlTest, ButtonShowsWhatTheSegmentHas) {
    SegmentedControl control;
    control.setSegmentCount(3);
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::red);
    control.setLabel(0, QStringLiteral("Text"));
    control.setIcon(1, QIcon(pixmap));
    control.setLabel(2, QStringLiteral("Both"));
    control.setIcon(2, QIcon(pixmap));
    EXPECT_EQ(control.segmentButton(0)->toolButtonStyle(), Qt::ToolButtonTextOnly);
    EXPECT_EQ(control.segmentButton(1)->toolButtonStyle(), Qt::ToolButtonIconOnly);
    EXPECT_EQ(control.segmentButton(2)->toolButtonStyle(), Qt::ToolButtonTextBesideIcon);
    EXPECT_NE(control.segmentButton(1)->focusPolicy() & Qt::TabFocus, 0);
}
