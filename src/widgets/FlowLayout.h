#pragma once

#include <QLayout>
#include <QList>
#include <QStyle>

class QBoxLayout;

// A row of items that wraps onto further lines where the next item does not
// fit, so that a narrow window shows every item whole rather than squeezed.
// Items from the trailing index on keep to the right end of their line, as
// items after a stretch do in a row. Each item gets its size hint, or the
// line's width when that is less.
class FlowLayout final : public QLayout {
public:
    explicit FlowLayout(QWidget* parent = nullptr);
    ~FlowLayout() override;
    FlowLayout(const FlowLayout&) = delete;
    FlowLayout& operator=(const FlowLayout&) = delete;

    // Puts a flow layout where `row` was (in its outer box layout, or as its
    // widget's layout), with the row's items in their order, its spacing and
    // margins; the items after its first spacer keep to the right. The row
    // and its spacers are deleted.
    static FlowLayout* replaceRow(QBoxLayout* row);

    // Items from `index` on keep to the right; -1 (the default): none.
    void setTrailingFrom(int index) { m_trailingFrom = index; }
    int trailingFrom() const { return m_trailingFrom; }
    // Space between items on a line and between lines; -1 asks the style.
    void setHorizontalSpacing(int spacing) { m_horizontalSpacing = spacing; }
    void setVerticalSpacing(int spacing) { m_verticalSpacing = spacing; }
    int horizontalSpacing() const;
    int verticalSpacing() const;
    // The number of lines the items take at `width`.
    int lineCount(int width) const;

    void addItem(QLayoutItem* item) override;
    int count() const override;
    QLayoutItem* itemAt(int index) const override;
    QLayoutItem* takeAt(int index) override;
    Qt::Orientations expandingDirections() const override;
    bool hasHeightForWidth() const override;
    int heightForWidth(int width) const override;
    QSize minimumSize() const override;
    QSize sizeHint() const override;
    void setGeometry(const QRect& rect) override;

private:
    struct Placed {
        QLayoutItem* item = nullptr;
        QRect rect;
    };
    struct Arrangement {
        QList<Placed> placed;
        int lines = 0;
        int height = 0; // of the lines, without margins
    };
    // Where the visible items go in a rectangle of `width` (margins included).
    Arrangement arrange(int width) const;
    int styleSpacing(QStyle::PixelMetric metric) const;

    QList<QLayoutItem*> m_items;
    int m_trailingFrom = -1;
    int m_horizontalSpacing = -1;
    int m_verticalSpacing = -1;
};
