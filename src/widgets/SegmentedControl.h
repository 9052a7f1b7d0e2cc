#pragma once

#include <QIcon>
#include <QString>
#include <QWidget>

#include <vector>

class QHBoxLayout;
class QToolButton;

// A row of joined push segments. A click selects the clicked segment and then
// reports it; the owner clears the selection again when the segment should act
// as a push button, or leaves it for a toggle.
class SegmentedControl : public QWidget {
    Q_OBJECT
public:
    explicit SegmentedControl(QWidget* parent = nullptr);

    // Segments beyond the new count are removed; new ones start empty and enabled.
    void setSegmentCount(int count);
    int segmentCount() const;

    void setLabel(int segment, const QString& text);
    QString label(int segment) const;
    void setIcon(int segment, const QIcon& icon);
    void setToolTip(int segment, const QString& text);
    QString toolTip(int segment) const;
    // Overrides the name read out by screen readers, which otherwise is the
    // label or, for an icon-only segment, the tool tip.
    void setAccessibleName(int segment, const QString& name);
    QString accessibleName(int segment) const;

    // The segment's own setting; disabling the whole control with
    // QWidget::setEnabled() still disables every segment without changing it.
    void setEnabled(int segment, bool enabled);
    bool isEnabled(int segment) const;

    void setSelected(int segment, bool selected);
    bool isSelected(int segment) const;
    // The segment last clicked, -1 before any.
    int selectedSegment() const;

    // As a user click: ignored when the segment or the control is disabled.
    void click(int segment);

    // The button behind a segment, for layouts and GUI tests; null when out of range.
    QToolButton* segmentButton(int segment) const;

    using QWidget::isEnabled;
    using QWidget::setAccessibleName;
    using QWidget::setEnabled;
    using QWidget::setToolTip;
    using QWidget::toolTip;

Q_SIGNALS:
    // Emitted after the click has set the segment's selected state.
    void segmentClicked(int segment);

private:
    struct Segment {
        QToolButton* button = nullptr;
        QString label;
        QString toolTip;
        QString accessibleName;
        bool hasIcon = false;
        bool enabled = true;
    };

    bool isValid(int segment) const;
    QToolButton* makeButton(int index);
    void onButtonClicked(int index);
    void refreshButton(int index);
    void refreshPositions();
    void refreshObjectNames();

    QHBoxLayout* m_layout = nullptr;
    std::vector<Segment> m_segments;
    int m_lastClicked = -1;
};
