// The cores a page's work may take, shared among the pages worked on at once.
#include "engine/CoreShare.h"

#include <QThread>

#include <algorithm>
#include <future>
#include <gtest/gtest.h>
#include <thread>

namespace {

int cores() {
    return std::max(1, QThread::idealThreadCount());
}

TEST(CoreShareTest, AloneTakesEveryCore) {
    const CoreShare share;
    EXPECT_EQ(share.threads(), cores());
}

// A page task and the decoder and writer it calls hold one share between them.
TEST(CoreShareTest, HeldAgainOnTheSameThreadCountsOnce) {
    const CoreShare task;
    const CoreShare writer;
    EXPECT_EQ(writer.threads(), cores());
    EXPECT_EQ(task.threads(), cores());
}

TEST(CoreShareTest, TwoThreadsHalveTheCores) {
    const CoreShare mine;
    std::promise<void> held;
    std::promise<void> done;
    std::thread other([&] {
        const CoreShare theirs;
        held.set_value();
        done.get_future().wait();
    });
    held.get_future().wait();
    EXPECT_EQ(mine.threads(), std::max(1, cores() / 2));
    done.set_value();
    other.join();
    EXPECT_EQ(mine.threads(), cores());
}

} // namespace
