#pragma once

#include <QObject>
#include <QSocketNotifier>

#include <array>
#include <csignal>
#include <functional>
#include <memory>

// The signals that ask a program to end: SIGINT (Ctrl+C), SIGTERM (kill, a
// batch system's cancel or time limit, a service manager's stop) and SIGHUP
// (the terminal went away). The first one calls `onFirst` with its number from
// the event loop of the thread that made the object, so the program can end
// its work in order; a second one ends the process at once with status
// 128 + its number, for a user who will not wait. A signal the process was
// started with ignored (nohup, a background job of a shell) stays ignored.
// Destroying the object restores what each signal did before.
//
// Threads: create and destroy on a thread with an event loop (the main
// thread), one object per process at a time. The handler itself only writes
// to a pipe, so it may interrupt any thread.
class TerminationSignals : public QObject {
    Q_OBJECT
public:
    explicit TerminationSignals(std::function<void(int signal)> onFirst, QObject* parent = nullptr);
    ~TerminationSignals() override;
    TerminationSignals(const TerminationSignals&) = delete;
    TerminationSignals& operator=(const TerminationSignals&) = delete;

    static constexpr std::array<int, 3> kSignals = {SIGINT, SIGTERM, SIGHUP};

    // The status a shell reports for a process that `signal` ended.
    static constexpr int exitStatusFor(int signal) { return 128 + signal; }

    // The number of the first signal since the object was made, 0 for none:
    // for work that runs before the event loop does and should end early.
    // Any thread.
    static int firstReceived();

    // Whether the handlers are in place (a pipe could be made).
    bool isActive() const { return m_notifier != nullptr; }

private:
    void deliver();

    std::function<void(int)> m_onFirst;
    std::unique_ptr<QSocketNotifier> m_notifier;
    std::array<struct sigaction, kSignals.size()> m_previous{};
    std::array<bool, kSignals.size()> m_installed{};
};
