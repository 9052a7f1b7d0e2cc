#include "widgets/BusyIndicator.h"

#include <QPainter>

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

constexpr int kFrameMilliseconds = 80;
constexpr int kSideLength = 16;
// The faintest dot, so the trail never vanishes against the window.
constexpr double kMinimumOpacity = 0.15;

} // namespace

BusyIndicator::BusyIndicator(QWidget* parent) : QWidget(parent) {
    m_timer.setInterval(kFrameMilliseconds);
    connect(&m_timer, &QTimer::timeout, this, &BusyIndicator::advance);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setAttribute(Qt::WA_TranslucentBackground);
}

void BusyIndicator::start() {
    m_leadingDot = 0;
    m_timer.start();
    if (m_hidesWhenStopped) {
        show();
    }
    update();
}

void BusyIndicator::stop() {
    m_timer.stop();
    if (m_hidesWhenStopped) {
        hide();
    }
    update();
}

bool BusyIndicator::isRunning() const {
    return m_timer.isActive();
}

void BusyIndicator::setHidesWhenStopped(bool hides) {
    m_hidesWhenStopped = hides;
    if (hides && !isRunning()) {
        hide();
    }
}

bool BusyIndicator::hidesWhenStopped() const {
    return m_hidesWhenStopped;
}

int BusyIndicator::leadingDot() const {
    return m_leadingDot;
}

QSize BusyIndicator::sizeHint() const {
    return {kSideLength, kSideLength};
}

QSize BusyIndicator::minimumSizeHint() const {
    return sizeHint();
}

void BusyIndicator::advance() {
    m_leadingDot = (m_leadingDot + 1) % kDotCount;
    update();
}

void BusyIndicator::paintEvent(QPaintEvent*) {
    if (!isRunning()) {
        return;
    }
    const double side = std::min(width(), height());
    const double dotRadius = side / 12.0;
    const double orbit = side / 2.0 - dotRadius;
    QColor colour = palette().color(QPalette::WindowText);

    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.translate(width() / 2.0, height() / 2.0);
    for (int i = 0; i < kDotCount; ++i) {
        // Dots behind the leading one fade out, which reads as clockwise motion.
        const int behind = (m_leadingDot - i + kDotCount) % kDotCount;
        const double fade = 1.0 - static_cast<double>(behind) / kDotCount;
        colour.setAlphaF(static_cast<float>(std::max(kMinimumOpacity, fade)));
        painter.setBrush(colour);
        const double angle = 2.0 * std::numbers::pi * i / kDotCount - std::numbers::pi / 2.0;
        painter.drawEllipse(QPointF(orbit * std::cos(angle), orbit * std::sin(angle)), dotRadius,
                            dotRadius);
    }
}
