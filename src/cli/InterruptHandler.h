#pragma once

#include <QObject>
#include <QSocketNotifier>

#include <functional>
#include <memory>

// Ctrl+C: the first one calls `onFirst` on the main thread (to cancel the job
// gracefully); a second one ends the process at once with status 130.
//
// Threads: create on the main thread, once per process.
class InterruptHandler : public QObject {
    Q_OBJECT
public:
    explicit InterruptHandler(std::function<void()> onFirst, QObject* parent = nullptr);
    ~InterruptHandler() override;

private:
    std::function<void()> m_onFirst;
    std::unique_ptr<QSocketNotifier> m_notifier;
};
