#include "widgets/BusyIndicator.h"

#include <QApplication>
#include <QImage>
#include <QTimerEvent>
#include <QWidget>

#include <gtest/gtest.h>

namespace {

// One frame of the animation, as the timer would deliver it.
void tick(BusyIndicator& indicator) {
    auto* timer = indicator.findChild<QTimer*>();
    ASSERT_NE(timer, nullptr);
    QTimerEvent event(timer->timerId());
    QApplication::sendEvent(timer, &event);
}

QImage render(BusyIndicator& indicator) {
    return indicator.grab().toImage();
}

bool isUniform(const QImage& image) {
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (image.pixel(x, y) != image.pixel(0, 0)) {
                return false;
            }
        }
    }
    return true;
}

} // namespace

TEST(BusyIndicatorTest, StartAndStopSwitchTheAnimation) {
    BusyIndicator indicator;
    EXPECT_FALSE(indicator.isRunning());
    indicator.start();
    EXPECT_TRUE(indicator.isRunning());
    indicator.stop();
    EXPECT_FALSE(indicator.isRunning());
    indicator.stop();
    EXPECT_FALSE(indicator.isRunning());
}

TEST(BusyIndicatorTest, PaintsDotsOnlyWhileRunning) {
    BusyIndicator indicator;
    indicator.resize(indicator.sizeHint());
    EXPECT_TRUE(isUniform(render(indicator)));
    indicator.start();
    EXPECT_FALSE(isUniform(render(indicator)));
    indicator.stop();
    EXPECT_TRUE(isUniform(render(indicator)));
}

TEST(BusyIndicatorTest, EachFrameTurnsTheDotsAndAFullTurnComesBack) {
    BusyIndicator indicator;
    indicator.resize(32, 32);
    indicator.start();
    const QImage first = render(indicator);
    tick(indicator);
    EXPECT_EQ(indicator.leadingDot(), 1);
    EXPECT_NE(render(indicator), first);
    for (int i = 1; i < BusyIndicator::kDotCount; ++i) {
        tick(indicator);
    }
    EXPECT_EQ(indicator.leadingDot(), 0);
    EXPECT_EQ(render(indicator), first);
}

TEST(BusyIndicatorTest, RestartBeginsAtTheFirstDot) {
    BusyIndicator indicator;
    indicator.start();
    tick(indicator);
    tick(indicator);
    indicator.stop();
    indicator.start();
    EXPECT_EQ(indicator.leadingDot(), 0);
}

TEST(BusyIndicatorTest, CanHideWhileStopped) {
    QWidget window;
    auto* indicator = new BusyIndicator(&window);
    window.show();
    EXPECT_TRUE(indicator->isVisible());
    indicator->setHidesWhenStopped(true);
    EXPECT_FALSE(indicator->isVisible());
    indicator->start();
    EXPECT_TRUE(indicator->isVisible());
    indicator->stop();
    EXPECT_FALSE(indicator->isVisible());
}
