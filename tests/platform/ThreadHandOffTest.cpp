#include "platform/ThreadHandOff.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QObject>
#include <QThread>

#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <thread>

// The values handed across are plain on purpose: under ThreadSanitizer a
// hand-off it cannot see shows as a race and fails the test.

namespace {

enum class Caller { MainThread, Worker };

std::string callerName(const ::testing::TestParamInfo<Caller>& info) {
    return info.param == Caller::MainThread ? "MainThread" : "Worker";
}

// Makes `call` on the chosen thread while this one's event loop serves it.
void callFrom(Caller caller, const std::function<void()>& call) {
    if (caller == Caller::MainThread) {
        call();
        return;
    }
    QEventLoop loop;
    std::thread worker([&] {
        call();
        // By name, so the end of the test does not lean on the code under test.
        QMetaObject::invokeMethod(&loop, "quit", Qt::QueuedConnection);
    });
    loop.exec();
    worker.join();
}

class RunOnThreadOfTest : public ::testing::TestWithParam<Caller> {};

TEST_P(RunOnThreadOfTest, RunsOnTheContextsThreadAndReturnsWithItsResult) {
    QObject context;
    int sent = 0;
    int received = 0;
    int seenOnReturn = 0;
    QThread* ranOn = nullptr;
    callFrom(GetParam(), [&] {
        sent = 41;
        runOnThreadOf(&context, [&] {
            ranOn = QThread::currentThread();
            received = sent + 1;
        });
        seenOnReturn = received;
    });
    EXPECT_EQ(ranOn, context.thread());
    EXPECT_EQ(received, 42);
    EXPECT_EQ(seenOnReturn, 42);
}

INSTANTIATE_TEST_SUITE_P(Callers, RunOnThreadOfTest,
                         ::testing::Values(Caller::MainThread, Caller::Worker), callerName);

class PostToThreadOfTest : public ::testing::TestWithParam<Caller> {};

TEST_P(PostToThreadOfTest, RunsLaterOnTheContextsThreadWithWhatWasWrittenBefore) {
    QObject context;
    int sent = 0;
    int received = 0;
    int seenOnReturn = -1;
    QThread* ranOn = nullptr;
    callFrom(GetParam(), [&] {
        sent = 41;
        postToThreadOf(&context, [&] {
            ranOn = QThread::currentThread();
            received = sent + 1;
        });
        if (QThread::currentThread() == context.thread()) {
            seenOnReturn = received;
        }
    });
    QCoreApplication::sendPostedEvents();
    EXPECT_NE(seenOnReturn, 42) << "ran inside the post";
    EXPECT_EQ(ranOn, context.thread());
    EXPECT_EQ(received, 42);
}

INSTANTIATE_TEST_SUITE_P(Callers, PostToThreadOfTest,
                         ::testing::Values(Caller::MainThread, Caller::Worker), callerName);

TEST(PostToThreadOfContextTest, WorkForAContextDeletedFirstNeverRuns) {
    auto context = std::make_unique<QObject>();
    bool ran = false;
    std::thread worker([&] { postToThreadOf(context.get(), [&ran] { ran = true; }); });
    worker.join();
    context.reset();
    QCoreApplication::sendPostedEvents();
    EXPECT_FALSE(ran);
}

} // namespace
