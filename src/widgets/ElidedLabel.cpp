#include "widgets/ElidedLabel.h"

#include <QPainter>

namespace {

// Wide enough for a short name, narrow enough never to push a caption aside.
constexpr int kPreferredCharacters = 40;
constexpr int kMinimumCharacters = 8;

} // namespace

ElidedLabel::ElidedLabel(QWidget* parent) : QFrame(parent) {
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void ElidedLabel::setText(const QString& text) {
    setTextAndDetail(text, text);
}

void ElidedLabel::setTextAndDetail(const QString& text, const QString& detail) {
    m_text = text;
    setToolTip(detail);
    update();
}

QString ElidedLabel::displayedText() const {
    return fontMetrics().elidedText(m_text, Qt::ElideMiddle, contentsRect().width());
}

QSize ElidedLabel::sizeHint() const {
    const QFontMetrics metrics = fontMetrics();
    return {metrics.averageCharWidth() * kPreferredCharacters, metrics.height()};
}

QSize ElidedLabel::minimumSizeHint() const {
    const QFontMetrics metrics = fontMetrics();
    return {metrics.averageCharWidth() * kMinimumCharacters, metrics.height()};
}

void ElidedLabel::paintEvent(QPaintEvent* event) {
    QFrame::paintEvent(event);
    QPainter painter(this);
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawText(contentsRect(), Qt::AlignLeft | Qt::AlignVCenter, displayedText());
}
