#pragma once

#include "platform/SystemLog.h"

#include <QEvent>
#include <QObject>
#include <QString>

#include <exception>

// An application (QCoreApplication or QApplication) whose event loop lets no
// exception out of a slot or an event handler: Qt cannot unwind through its
// own frames, so one escaping would end the program. The event is taken as
// handled and the system log names where it was caught.
//
// Threads: events of every thread pass through it.
template <typename Base> class GuardedApplication final : public Base {
public:
    GuardedApplication(int& argc, char** argv) : Base(argc, argv) {}

    bool notify(QObject* receiver, QEvent* event) override {
        try {
            return Base::notify(receiver, event);
        } catch (...) {
            systemLogError(QString::fromLatin1(Q_FUNC_INFO),
                           exceptionReason(std::current_exception()));
            return true;
        }
    }
};
