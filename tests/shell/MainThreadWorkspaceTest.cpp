#include "shell/MainThreadWorkspace.h"

#include <QCoreApplication>
#include <QTest>
#include <QThread>

#include <atomic>
#include <gtest/gtest.h>
#include <thread>

namespace {

// Notes the thread each request arrives on.
class ThreadNotingWorkspace final : public Workspace {
public:
    bool openFile(const QString&) override { return note(); }
    bool revealFiles(const QStringList&) override { return note(); }
    bool showInformation(const QStringList&) override { return note(); }
    bool openURL(const QString&) override { return note(); }
    QList<QThread*> threads;

private:
    bool note() {
        threads.append(QThread::currentThread());
        return true;
    }
};

TEST(MainThreadWorkspaceTest, AWorkersRequestsRunOnTheMainThread) {
    ThreadNotingWorkspace desktop;
    QObject context;
    MainThreadWorkspace workspace(desktop, context);
    std::atomic<int> answered{0};
    std::thread worker([&] {
        answered += workspace.openFile(QStringLiteral("/out")) ? 1 : 0;
        answered += workspace.revealFiles({QStringLiteral("/out/a.jpg")}) ? 1 : 0;
        answered += workspace.showInformation({QStringLiteral("/out/a.jpg")}) ? 1 : 0;
        answered += workspace.openURL(QStringLiteral("http://127.0.0.1/")) ? 1 : 0;
    });
    const bool served = QTest::qWaitFor([&] { return answered.load() == 4; }, 30000);
    worker.join();
    ASSERT_TRUE(served);
    ASSERT_EQ(desktop.threads.size(), 4);
    for (QThread* thread : desktop.threads) {
        EXPECT_EQ(thread, QCoreApplication::instance()->thread());
    }
    // On the main thread itself the call is direct.
    EXPECT_TRUE(workspace.openFile(QStringLiteral("/out")));
    EXPECT_EQ(desktop.threads.size(), 5);
}

} // namespace
