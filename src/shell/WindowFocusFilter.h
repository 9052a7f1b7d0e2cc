#pragma once

#include <QEvent>
#include <QObject>

// Tells when the window it watches becomes or stops being the active window.
class WindowFocusFilter : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

Q_SIGNALS:
    void activated();
    void deactivated();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::WindowActivate) {
            Q_EMIT activated();
        } else if (event->type() == QEvent::WindowDeactivate) {
            Q_EMIT deactivated();
        }
        return QObject::eventFilter(watched, event);
    }
};
