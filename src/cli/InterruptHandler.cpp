#include "cli/InterruptHandler.h"

#include <array>
#include <csignal>

#include <fcntl.h>
#include <unistd.h>

namespace {

// Written by the signal handler, read by the notifier: the one safe way from a
// signal handler to the event loop.
std::array<int, 2> g_pipe{-1, -1};
volatile std::sig_atomic_t g_interrupts = 0;

extern "C" void onInterrupt(int) {
    g_interrupts = g_interrupts + 1;
    if (g_interrupts > 1) {
        _exit(130);
    }
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = write(g_pipe[1], &byte, 1);
}

} // namespace

InterruptHandler::InterruptHandler(std::function<void()> onFirst, QObject* parent)
    : QObject(parent), m_onFirst(std::move(onFirst)) {
    if (pipe2(g_pipe.data(), O_CLOEXEC | O_NONBLOCK) != 0) {
        return;
    }
    m_notifier = std::make_unique<QSocketNotifier>(g_pipe[0], QSocketNotifier::Read);
    connect(m_notifier.get(), &QSocketNotifier::activated, this, [this] {
        char byte = 0;
        while (read(g_pipe[0], &byte, 1) > 0) {
        }
        if (m_onFirst) {
            m_onFirst();
        }
    });
    struct sigaction action {};
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
}

InterruptHandler::~InterruptHandler() {
    (void)signal(SIGINT, SIG_DFL); // fails only for an invalid signal number
    m_notifier.reset();
    for (int& fd : g_pipe) {
        if (fd >= 0) {
            close(fd);
            fd = -1;
        }
    }
}
