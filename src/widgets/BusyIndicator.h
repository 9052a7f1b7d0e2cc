#pragma once

#include <QTimer>
#include <QWidget>

// A small spinner of fading dots for work of unknown length. Paints nothing
// while stopped, so it keeps its place in a layout; it can hide itself instead.
class BusyIndicator : public QWidget {
    Q_OBJECT
public:
    static constexpr int kDotCount = 12;

    explicit BusyIndicator(QWidget* parent = nullptr);

    void start();
    void stop();
    bool isRunning() const;

    // When true the widget is hidden while stopped and shown by start().
    void setHidesWhenStopped(bool hides);
    bool hidesWhenStopped() const;

    // The dot drawn brightest, advanced by the timer; 0 after start().
    int leadingDot() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void advance();

    QTimer m_timer{this};
    int m_leadingDot = 0;
    bool m_hidesWhenStopped = false;
};
