#include "platform/TerminationSignals.h"

#include <atomic>
#include <cerrno>

#include <fcntl.h>
#include <unistd.h>

namespace {

// Written by the handler, read by the notifier: the one safe way from a signal
// handler to an event loop.
std::array<int, 2> g_pipe{-1, -1};
std::atomic<int> g_received{0};
std::atomic<int> g_first{0};
static_assert(std::atomic<int>::is_always_lock_free, "used from a signal handler");

extern "C" void onTerminationSignal(int signal) {
    if (g_received.fetch_add(1) > 0) {
        _exit(TerminationSignals::exitStatusFor(signal));
    }
    g_first = signal;
    const auto byte = static_cast<unsigned char>(signal);
    const int savedErrno = errno; // the interrupted code may be about to read it
    [[maybe_unused]] const ssize_t n = write(g_pipe[1], &byte, 1);
    errno = savedErrno;
}

void closePipe() {
    for (int& fd : g_pipe) {
        if (fd >= 0) {
            close(fd);
            fd = -1;
        }
    }
}

} // namespace

TerminationSignals::TerminationSignals(std::function<void(int)> onFirst, QObject* parent)
    : QObject(parent), m_onFirst(std::move(onFirst)) {
    if (g_pipe[0] >= 0 || pipe2(g_pipe.data(), O_CLOEXEC | O_NONBLOCK) != 0) {
        return;
    }
    g_received = 0;
    g_first = 0;
    m_notifier = std::make_unique<QSocketNotifier>(g_pipe[0], QSocketNotifier::Read);
    connect(m_notifier.get(), &QSocketNotifier::activated, this, &TerminationSignals::deliver);
    struct sigaction action {};
    action.sa_handler = onTerminationSignal;
    sigemptyset(&action.sa_mask);
    // Other calls go on as if nothing happened; the event loop hears of it.
    action.sa_flags = SA_RESTART;
    for (size_t i = 0; i < kSignals.size(); ++i) {
        if (sigaction(kSignals[i], nullptr, &m_previous[i]) != 0 ||
            m_previous[i].sa_handler == SIG_IGN) {
            continue;
        }
        m_installed[i] = sigaction(kSignals[i], &action, nullptr) == 0;
    }
}

TerminationSignals::~TerminationSignals() {
    if (m_notifier == nullptr) {
        return;
    }
    for (size_t i = 0; i < kSignals.size(); ++i) {
        if (m_installed[i]) {
            (void)sigaction(kSignals[i], &m_previous[i], nullptr); // valid numbers: cannot fail
        }
    }
    m_notifier.reset();
    closePipe();
}

void TerminationSignals::deliver() {
    unsigned char byte = 0;
    int first = 0;
    while (read(g_pipe[0], &byte, 1) > 0) {
        if (first == 0) {
            first = byte;
        }
    }
    if (first != 0 && m_onFirst) {
        m_onFirst(first);
    }
}

int TerminationSignals::firstReceived() {
    return g_first.load();
}
