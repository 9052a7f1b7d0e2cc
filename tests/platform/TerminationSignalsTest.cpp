#include "platform/TerminationSignals.h"

#include "support/TestEnvironment.h"

#include <QCoreApplication>
#include <QDeadlineTimer>

#include <csignal>
#include <gtest/gtest.h>

namespace {

struct SignalCase {
    const char* name;
    int signal;
};

class TerminationSignalsTest : public ::testing::TestWithParam<SignalCase> {};

void (*dispositionOf(int signal))(int) {
    struct sigaction current {};
    sigaction(signal, nullptr, &current);
    return current.sa_handler;
}

TEST_P(TerminationSignalsTest, FirstSignalReachesTheEventLoopWithItsNumber) {
    const int signal = GetParam().signal;
    int heard = 0;
    int calls = 0;
    {
        const TerminationSignals signals([&](int number) {
            heard = number;
            ++calls;
        });
        ASSERT_TRUE(signals.isActive());
        EXPECT_EQ(TerminationSignals::firstReceived(), 0);
        ASSERT_EQ(std::raise(signal), 0);
        // Known at once, for work that runs before the event loop does...
        EXPECT_EQ(TerminationSignals::firstReceived(), signal);
        // ...and told from the event loop, never from the handler.
        EXPECT_EQ(calls, 0);
        const QDeadlineTimer deadline(60000);
        while (calls == 0 && !deadline.hasExpired()) {
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 100);
        }
        EXPECT_EQ(heard, signal);
        EXPECT_EQ(calls, 1);
    }
    // What the signal did before is back.
    EXPECT_EQ(dispositionOf(signal), SIG_DFL);
}

TEST_P(TerminationSignalsTest, SecondSignalEndsTheProcessAtOnce) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const int signal = GetParam().signal;
    EXPECT_EXIT(
        {
            const TerminationSignals signals([](int) {});
            std::raise(SIGTERM);
            std::raise(signal);
        },
        ::testing::ExitedWithCode(128 + signal), "");
}

TEST_P(TerminationSignalsTest, SignalIgnoredAtStartStaysIgnored) {
    const int signal = GetParam().signal;
    std::signal(signal, SIG_IGN);
    {
        const TerminationSignals signals([](int) {});
        EXPECT_EQ(dispositionOf(signal), SIG_IGN);
        for (const int other : TerminationSignals::kSignals) {
            if (other != signal) {
                EXPECT_NE(dispositionOf(other), SIG_IGN);
                EXPECT_NE(dispositionOf(other), SIG_DFL);
            }
        }
    }
    EXPECT_EQ(dispositionOf(signal), SIG_IGN);
    std::signal(signal, SIG_DFL);
}

INSTANTIATE_TEST_SUITE_P(Signals, TerminationSignalsTest,
                         ::testing::Values(SignalCase{"Interrupt", SIGINT},
                                           SignalCase{"Terminate", SIGTERM},
                                           SignalCase{"Hangup", SIGHUP}),
                         ByName());

} // namespace
