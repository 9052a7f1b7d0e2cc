#pragma once

#include <QFrame>
#include <QString>

// One line of text that gives way to its neighbours: when it does not fit, its
// middle is elided, and the tool tip carries the full text or a longer one.
//
// Threads: main thread only.
class ElidedLabel : public QFrame {
    Q_OBJECT
public:
    explicit ElidedLabel(QWidget* parent = nullptr);

    QString text() const { return m_text; }
    // The text as it is drawn at the current width.
    QString displayedText() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

public Q_SLOTS:
    void setText(const QString& text);
    // `text` shown, `detail` (for example the full path) as tool tip.
    void setTextAndDetail(const QString& text, const QString& detail);
    void clear() { setTextAndDetail(QString(), QString()); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_text;
};
