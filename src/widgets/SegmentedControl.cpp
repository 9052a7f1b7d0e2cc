#include "widgets/SegmentedControl.h"

#include <QHBoxLayout>
#include <QPaintEvent>
#include <QRegularExpression>
#include <QStyleOptionFocusRect>
#include <QStyleOptionToolButton>
#include <QStylePainter>
#include <QToolButton>

#include <algorithm>

namespace {

// A tool button that paints itself as one piece of a joined row: the panel of
// an inner side runs on under the clip, so its rounded corners disappear and
// neighbours meet on a straight edge, whatever the style.
class SegmentButton : public QToolButton {
public:
    explicit SegmentButton(QWidget* parent) : QToolButton(parent) {}

    void setNeighbours(bool left, bool right) {
        m_hasLeft = left;
        m_hasRight = right;
        update();
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QStylePainter painter(this);
        QStyleOptionToolButton option;
        initStyleOption(&option);
        drawPanel(painter, option);
        drawSeparator(painter);
        drawFocus(painter, option);
        drawLabel(painter, option);
    }

private:
    // Wide enough to hide the largest corner radius of the stock styles.
    static constexpr int kOverlap = 8;

    void drawPanel(QStylePainter& painter, const QStyleOptionToolButton& option) {
        QStyleOptionToolButton panel = option;
        panel.rect = rect().adjusted(m_hasLeft ? -kOverlap : 0, 0, m_hasRight ? kOverlap : 0, 0);
        painter.save();
        painter.setClipRect(rect());
        painter.drawPrimitive(QStyle::PE_PanelButtonTool, panel);
        painter.restore();
    }

    void drawSeparator(QStylePainter& painter) {
        if (!m_hasRight) {
            return;
        }
        const QRect r = rect();
        painter.setPen(palette().color(QPalette::Mid));
        painter.drawLine(r.right(), r.top() + 1, r.right(), r.bottom() - 1);
    }

    void drawFocus(QStylePainter& painter, const QStyleOptionToolButton& option) {
        if (!(option.state & QStyle::State_HasFocus)) {
            return;
        }
        QStyleOptionFocusRect focus;
        focus.QStyleOption::operator=(option);
        focus.rect = rect().adjusted(3, 3, -3, -3);
        painter.drawPrimitive(QStyle::PE_FrameFocusRect, focus);
    }

    void drawLabel(QStylePainter& painter, const QStyleOptionToolButton& option) {
        QStyleOptionToolButton label = option;
        const int frame = style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, this);
        label.rect = rect().adjusted(frame, frame, -frame, -frame);
        painter.drawControl(QStyle::CE_ToolButtonLabel, label);
    }

    bool m_hasLeft = false;
    bool m_hasRight = false;
};

Qt::ToolButtonStyle buttonStyleFor(bool hasText, bool hasIcon) {
    if (hasText && hasIcon) {
        return Qt::ToolButtonTextBesideIcon;
    }
    return hasIcon ? Qt::ToolButtonIconOnly : Qt::ToolButtonTextOnly;
}

} // namespace

SegmentedControl::SegmentedControl(QWidget* parent) : QWidget(parent) {
    m_layout = new QHBoxLayout(this);
    m_layout->setContentsMargins(0, 0, 0, 0);
    m_layout->setSpacing(0);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    connect(this, &QObject::objectNameChanged, this, [this] { refreshObjectNames(); });
}

void SegmentedControl::setSegmentCount(int count) {
    const auto wanted = static_cast<std::size_t>(std::max(count, 0));
    while (m_segments.size() > wanted) {
        delete m_segments.back().button; // owned by this widget; the layout forgets it on deletion
        m_segments.pop_back();
    }
    while (m_segments.size() < wanted) {
        const int index = static_cast<int>(m_segments.size());
        m_segments.push_back(Segment{});
        m_segments.back().button = makeButton(index);
        refreshButton(index);
    }
    if (m_lastClicked >= count) {
        m_lastClicked = -1;
    }
    refreshPositions();
    refreshObjectNames();
}

int SegmentedControl::segmentCount() const {
    return static_cast<int>(m_segments.size());
}

void SegmentedControl::setLabel(int segment, const QString& text) {
    if (!isValid(segment)) {
        return;
    }
    m_segments[static_cast<std::size_t>(segment)].label = text;
    refreshButton(segment);
}

QString SegmentedControl::label(int segment) const {
    return isValid(segment) ? m_segments[static_cast<std::size_t>(segment)].label : QString();
}

void SegmentedControl::setIcon(int segment, const QIcon& icon) {
    if (!isValid(segment)) {
        return;
    }
    Segment& s = m_segments[static_cast<std::size_t>(segment)];
    s.hasIcon = !icon.isNull();
    s.button->setIcon(icon);
    refreshButton(segment);
}

void SegmentedControl::setToolTip(int segment, const QString& text) {
    if (!isValid(segment)) {
        return;
    }
    m_segments[static_cast<std::size_t>(segment)].toolTip = text;
    refreshButton(segment);
}

QString SegmentedControl::toolTip(int segment) const {
    return isValid(segment) ? m_segments[static_cast<std::size_t>(segment)].toolTip : QString();
}

void SegmentedControl::setAccessibleName(int segment, const QString& name) {
    if (!isValid(segment)) {
        return;
    }
    m_segments[static_cast<std::size_t>(segment)].accessibleName = name;
    refreshButton(segment);
}

QString SegmentedControl::accessibleName(int segment) const {
    return isValid(segment) ? m_segments[static_cast<std::size_t>(segment)].button->accessibleName()
                            : QString();
}

void SegmentedControl::setEnabled(int segment, bool enabled) {
    if (!isValid(segment)) {
        return;
    }
    Segment& s = m_segments[static_cast<std::size_t>(segment)];
    s.enabled = enabled;
    s.button->setEnabled(enabled);
}

bool SegmentedControl::isEnabled(int segment) const {
    return isValid(segment) && m_segments[static_cast<std::size_t>(segment)].enabled;
}

void SegmentedControl::setSelected(int segment, bool selected) {
    if (isValid(segment)) {
        m_segments[static_cast<std::size_t>(segment)].button->setChecked(selected);
    }
}

bool SegmentedControl::isSelected(int segment) const {
    return isValid(segment) && m_segments[static_cast<std::size_t>(segment)].button->isChecked();
}

int SegmentedControl::selectedSegment() const {
    return m_lastClicked;
}

void SegmentedControl::click(int segment) {
    if (isValid(segment)) {
        // QAbstractButton::click() refuses a disabled button itself.
        m_segments[static_cast<std::size_t>(segment)].button->click();
    }
}

QToolButton* SegmentedControl::segmentButton(int segment) const {
    return isValid(segment) ? m_segments[static_cast<std::size_t>(segment)].button : nullptr;
}

bool SegmentedControl::isValid(int segment) const {
    return segment >= 0 && segment < segmentCount();
}

QToolButton* SegmentedControl::makeButton(int index) {
    auto* button = new SegmentButton(this);
    button->setCheckable(true);
    button->setFocusPolicy(Qt::StrongFocus);
    button->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    connect(button, &QToolButton::clicked, this, [this, index] { onButtonClicked(index); });
    m_layout->addWidget(button);
    return button;
}

void SegmentedControl::onButtonClicked(int index) {
    // A checkable button flips on each click; a segment click always selects.
    m_segments[static_cast<std::size_t>(index)].button->setChecked(true);
    m_lastClicked = index;
    Q_EMIT segmentClicked(index);
}

void SegmentedControl::refreshButton(int index) {
    const Segment& s = m_segments[static_cast<std::size_t>(index)];
    s.button->setText(s.label);
    s.button->setToolTip(s.toolTip);
    s.button->setToolButtonStyle(buttonStyleFor(!s.label.isEmpty(), s.hasIcon));
    QString spoken = s.accessibleName;
    if (spoken.isEmpty()) {
        spoken = s.label.isEmpty() ? s.toolTip : s.label;
    }
    // An "&" marks an access letter; a screen reader should not say it.
    spoken.remove(QRegularExpression(QStringLiteral("&(?!&)")));
    s.button->setAccessibleName(spoken);
}

void SegmentedControl::refreshPositions() {
    const int last = segmentCount() - 1;
    for (int i = 0; i <= last; ++i) {
        static_cast<SegmentButton*>(m_segments[static_cast<std::size_t>(i)].button)
            ->setNeighbours(i > 0, i < last);
    }
}

void SegmentedControl::refreshObjectNames() {
    const QString base = objectName();
    for (int i = 0; i < segmentCount(); ++i) {
        m_segments[static_cast<std::size_t>(i)].button->setObjectName(
            base.isEmpty() ? QString() : base + QLatin1Char('_') + QString::number(i));
    }
}
