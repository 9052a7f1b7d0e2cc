#include "ControllerFixture.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMainWindow>
#include <QStackedWidget>
#include <QStyle>
#include <QTabBar>

#include <gtest/gtest.h>
#include <string>

namespace {

// Each visible button whose caption (with its icon or indicator) needs more
// room than it was given, named with what it needs and what it has.
QStringList clippedButtons(const QWidget* root) {
    QStringList clipped;
    for (const QAbstractButton* button : root->findChildren<QAbstractButton*>()) {
        if (!button->isVisible() || button->text().isEmpty()) {
            continue;
        }
        const QSize needed = button->sizeHint();
        if (needed.width() > button->width() || needed.height() > button->height()) {
            clipped.append(QStringLiteral("\"%1\" needs %2x%3, has %4x%5")
                               .arg(button->text())
                               .arg(needed.width())
                               .arg(needed.height())
                               .arg(button->width())
                               .arg(button->height()));
        }
    }
    return clipped;
}

// Tabs squeezed below what their titles need, or out of the bar's reach.
QStringList squeezedTabs(const QTabBar* tabs) {
    QStringList squeezed;
    const int padding = tabs->style()->pixelMetric(QStyle::PM_TabBarTabHSpace, nullptr, tabs);
    for (int i = 0; i < tabs->count(); ++i) {
        const QRect rect = tabs->tabRect(i);
        const int needed = tabs->fontMetrics().horizontalAdvance(tabs->tabText(i)) + padding;
        if (!tabs->rect().contains(rect) || rect.width() < needed) {
            squeezed.append(QStringLiteral("tab \"%1\" needs %2, has %3 at %4")
                                .arg(tabs->tabText(i))
                                .arg(needed)
                                .arg(rect.width())
                                .arg(rect.x()));
        }
    }
    return squeezed;
}

struct WidthCase {
    std::string name;
    int width; // 0: the window's minimum width
};

const auto kWidths =
    ::testing::Values(WidthCase{"Minimum", 0}, WidthCase{"W950", 950}, WidthCase{"W1000", 1000},
                      WidthCase{"W1100", 1100}, WidthCase{"W1200", 1200});

// The window at `width` (0: its minimum) and its minimum height, laid out.
void resizeWindow(QMainWindow* window, int width) {
    const int wanted = width == 0 ? window->minimumWidth() : width;
    window->resize(wanted, window->minimumHeight());
    QApplication::sendPostedEvents();
    ASSERT_EQ(window->width(), qMax(wanted, window->minimumWidth()));
}

std::string report(const QWidget* window, const QStringList& found) {
    return QStringLiteral("at %1 px: %2")
        .arg(window->width())
        .arg(found.join(QStringLiteral("; ")))
        .toStdString();
}

class CaptionsFitTest : public InBothEditionsWithCases<ControllerFixture, WidthCase> {};

TEST_P(CaptionsFitTest, EveryButtonShowsItsWholeCaption) {
    start();
    resizeWindow(controller->window(), testCase().width);
    const QStringList clipped = clippedButtons(controller->window());
    EXPECT_TRUE(clipped.isEmpty()) << report(controller->window(), clipped);
}

PICTAVO_CASES_IN_BOTH_EDITIONS(Widths, CaptionsFitTest, kWidths);

// The first edition's settings pane beside the list, each of its tabs in turn.
class PaneCaptionsFitTest : public ControllerFixture,
                            public ::testing::WithParamInterface<WidthCase> {
protected:
    Edition::Id editionUnderTest() const override { return Edition::Id::First; }
};

TEST_P(PaneCaptionsFitTest, EveryTabShowsItsWholeCaptions) {
    start();
    resizeWindow(controller->window(), GetParam().width);
    auto* tabs = find<QTabBar>("settingTabs");
    auto* pages = find<QStackedWidget>("settingTabView");
    ASSERT_NE(tabs, nullptr);
    ASSERT_NE(pages, nullptr);
    ASSERT_TRUE(tabs->isVisible());
    const QStringList squeezed = squeezedTabs(tabs);
    EXPECT_TRUE(squeezed.isEmpty()) << report(controller->window(), squeezed);
    for (int i = 0; i < tabs->count(); ++i) {
        tabs->setCurrentIndex(i);
        QApplication::sendPostedEvents();
        ASSERT_TRUE(pages->currentWidget()->isVisible());
        const QStringList clipped = clippedButtons(pages->currentWidget());
        EXPECT_TRUE(clipped.isEmpty())
            << tabs->tabText(i).toStdString() << " " << report(controller->window(), clipped);
    }
}

INSTANTIATE_TEST_SUITE_P(Widths, PaneCaptionsFitTest, kWidths, ByName());

} // namespace
