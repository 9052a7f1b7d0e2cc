#include "widgets/FlowLayout.h"

#include <QBoxLayout>
#include <QStyle>
#include <QWidget>

#include <algorithm>

FlowLayout::FlowLayout(QWidget* parent) : QLayout(parent) {}

FlowLayout::~FlowLayout() {
    while (QLayoutItem* item = takeAt(0)) {
        delete item;
    }
}

FlowLayout* FlowLayout::replaceRow(QBoxLayout* row) {
    QWidget* owner = row->parentWidget();
    auto* outer = qobject_cast<QBoxLayout*>(row->parent());
    auto* flow = new FlowLayout; // owned by the layout or widget it goes into below
    flow->setContentsMargins(row->contentsMargins());
    flow->setHorizontalSpacing(row->spacing());
    flow->setVerticalSpacing(row->spacing());
    while (QLayoutItem* item = row->takeAt(0)) {
        if (item->spacerItem() != nullptr) {
            if (flow->m_trailingFrom < 0) {
                flow->m_trailingFrom = flow->count();
            }
            delete item;
            continue;
        }
        if (QLayout* inner = item->layout()) {
            flow->addChildLayout(inner);
        }
        flow->m_items.append(item);
    }
    if (outer != nullptr) {
        const int index = outer->indexOf(row);
        outer->removeItem(row);
        delete row;
        outer->insertLayout(index, flow);
    } else {
        delete row; // the owner's layout until now
        owner->setLayout(flow);
    }
    return flow;
}

int FlowLayout::styleSpacing(QStyle::PixelMetric metric) const {
    const QWidget* owner = parentWidget();
    return owner != nullptr ? owner->style()->pixelMetric(metric, nullptr, owner) : 0;
}

int FlowLayout::horizontalSpacing() const {
    return m_horizontalSpacing >= 0 ? m_horizontalSpacing
                                    : styleSpacing(QStyle::PM_LayoutHorizontalSpacing);
}

int FlowLayout::verticalSpacing() const {
    return m_verticalSpacing >= 0 ? m_verticalSpacing
                                  : styleSpacing(QStyle::PM_LayoutVerticalSpacing);
}

void FlowLayout::addItem(QLayoutItem* item) {
    m_items.append(item);
    invalidate();
}

int FlowLayout::count() const {
    return static_cast<int>(m_items.size());
}

QLayoutItem* FlowLayout::itemAt(int index) const {
    return m_items.value(index);
}

QLayoutItem* FlowLayout::takeAt(int index) {
    if (index < 0 || index >= m_items.size()) {
        return nullptr;
    }
    if (m_trailingFrom > index) {
        --m_trailingFrom;
    }
    QLayoutItem* item = m_items.takeAt(index);
    invalidate();
    return item;
}

Qt::Orientations FlowLayout::expandingDirections() const {
    return {};
}

bool FlowLayout::hasHeightForWidth() const {
    return true;
}

int FlowLayout::heightForWidth(int width) const {
    const QMargins m = contentsMargins();
    return arrange(width).height + m.top() + m.bottom();
}

int FlowLayout::lineCount(int width) const {
    return arrange(width).lines;
}

QSize FlowLayout::minimumSize() const {
    QSize widest;
    for (const QLayoutItem* item : m_items) {
        if (!item->isEmpty()) {
            widest = widest.expandedTo(item->minimumSize());
        }
    }
    const QMargins m = contentsMargins();
    return widest + QSize(m.left() + m.right(), m.top() + m.bottom());
}

QSize FlowLayout::sizeHint() const {
    int width = 0;
    int height = 0;
    int shown = 0;
    for (const QLayoutItem* item : m_items) {
        if (item->isEmpty()) {
            continue;
        }
        const QSize hint = item->sizeHint();
        width += hint.width();
        height = std::max(height, hint.height());
        ++shown;
    }
    width += std::max(0, shown - 1) * horizontalSpacing();
    const QMargins m = contentsMargins();
    return {width + m.left() + m.right(), height + m.top() + m.bottom()};
}

void FlowLayout::setGeometry(const QRect& rect) {
    QLayout::setGeometry(rect);
    for (const Placed& p : arrange(rect.width()).placed) {
        p.item->setGeometry(p.rect.translated(rect.topLeft()));
    }
}

FlowLayout::Arrangement FlowLayout::arrange(int width) const {
    struct Entry {
        QLayoutItem* item;
        QSize size;
        bool trailing;
    };
    const QMargins m = contentsMargins();
    const int room = std::max(0, width - m.left() - m.right());
    const int hSpace = horizontalSpacing();
    const int vSpace = verticalSpacing();

    QList<QList<Entry>> lines;
    int used = 0;
    for (int i = 0; i < m_items.size(); ++i) {
        QLayoutItem* item = m_items.at(i);
        if (item->isEmpty()) {
            continue;
        }
        const QSize hint = item->sizeHint();
        const Entry entry{item,
                          {std::min(hint.width(), room), hint.height()},
                          m_trailingFrom >= 0 && i >= m_trailingFrom};
        if (lines.isEmpty() || used + hSpace + entry.size.width() > room) {
            lines.append(QList<Entry>());
            used = entry.size.width();
        } else {
            used += hSpace + entry.size.width();
        }
        lines.last().append(entry);
    }

    Arrangement out;
    int y = m.top();
    for (const QList<Entry>& line : lines) {
        int lineHeight = 0;
        int trailingWidth = -hSpace;
        for (const Entry& e : line) {
            lineHeight = std::max(lineHeight, e.size.height());
            if (e.trailing) {
                trailingWidth += e.size.width() + hSpace;
            }
        }
        int x = m.left();
        bool atTrailing = false;
        for (const Entry& e : line) {
            if (e.trailing && !atTrailing) {
                atTrailing = true;
                x = m.left() + room - trailingWidth;
            }
            const int top = y + (lineHeight - e.size.height()) / 2;
            out.placed.append(Placed{e.item, QRect(QPoint(x, top), e.size)});
            x += e.size.width() + hSpace;
        }
        y += lineHeight + vSpace;
    }
    out.lines = static_cast<int>(lines.size());
    out.height = lines.isEmpty() ? 0 : y - vSpace - m.top();
    return out;
}
