#include "http/RequestQueue.h"

#include "UsageTestSupport.h"
#include "support/TestEnvironment.h"
#include "support/TestHttpServer.h"

#include <QSignalSpy>
#include <QTcpServer>
#include <QTest>

#include <gtest/gtest.h>
#include <memory>

namespace {

constexpr int kWaitMs = 10000;

// Counts the callbacks of one queue.
struct Outcomes {
    int finished = 0;
    int failed = 0;
    int status = 0;
    QString body;
    QString error;

    void watch(RequestQueue& queue) {
        queue.setRequestDidFinish([this](FormRequest& request) {
            ++finished;
            status = request.responseStatusCode();
            body = request.responseString();
        });
        queue.setRequestDidFail([this](FormRequest& request) {
            ++failed;
            error = request.error();
        });
    }
};

std::shared_ptr<FormRequest> uploadOf(const QString& url, const QString& path) {
    auto request = std::make_shared<FormRequest>(QUrl(url + QStringLiteral("/upload")));
    request->setFile(path, QStringLiteral("file"));
    return request;
}

QString fileWith(const QString& name, const QByteArray& bytes) {
    const QString path = makeTestFolder() + QLatin1Char('/') + name;
    writeFile(path, bytes);
    return path;
}

bool runUntilDone(RequestQueue& queue) {
    QSignalSpy done(&queue, &RequestQueue::queueDidFinish);
    return done.wait(kWaitMs);
}

// A port on which nothing listens.
quint16 closedPort() {
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost);
    return probe.serverPort();
}

struct AnswerCase {
    const char* name;
    int status;
    QByteArray body;
};

class RequestQueueAnswerTest : public ::testing::TestWithParam<AnswerCase> {};

TEST_P(RequestQueueAnswerTest, AnyResponseIsFinishedWithItsStatusAndBody) {
    TestHttpServer server;
    server.answerWith(GetParam().status, GetParam().body);
    RequestQueue queue;
    Outcomes outcomes;
    outcomes.watch(queue);

    queue.addOperation(uploadOf(server.address(), fileWith(QStringLiteral("a.txt"), "x")));
    queue.go();
    ASSERT_TRUE(runUntilDone(queue));
    EXPECT_EQ(outcomes.finished, 1);
    EXPECT_EQ(outcomes.failed, 0);
    EXPECT_EQ(outcomes.status, GetParam().status);
    EXPECT_EQ(outcomes.body, QString::fromUtf8(GetParam().body));
    EXPECT_EQ(queue.requestsCount(), 0);
}

const AnswerCase kAnswers[] = {
    {"ok", 200, "OK"},
    {"not_found", 404, "<html>missing</html>"},
    {"server_error", 500, "OK"},
    {"empty", 200, ""},
};
INSTANTIATE_TEST_SUITE_P(Answers, RequestQueueAnswerTest, ::testing::ValuesIn(kAnswers), ByName());

struct PartCase {
    const char* name;
    const char* fileName;
    QByteArray contentType;
};

class RequestQueuePartTest : public ::testing::TestWithParam<PartCase> {};

TEST_P(RequestQueuePartTest, FilePartCarriesNameTypeAndBytes) {
    TestHttpServer server;
    RequestQueue queue;
    const QByteArray bytes("\x89PNG\r\n\x1a\n\0binary\xff", 16);
    queue.addOperation(
        uploadOf(server.address(), fileWith(QString::fromUtf8(GetParam().fileName), bytes)));
    queue.go();
    ASSERT_TRUE(runUntilDone(queue));

    ASSERT_EQ(server.received().size(), 1);
    const TestHttpServer::Received& request = server.received()[0];
    EXPECT_EQ(request.method, "POST");
    EXPECT_EQ(request.target, "/upload");
    const QList<FormPart> parts = parseMultipart(request.header("content-type"), request.body);
    ASSERT_EQ(parts.size(), 1);
    EXPECT_EQ(parts[0].headers.at("content-disposition"),
              "form-data; name=\"file\"; filename=\"" + QByteArray(GetParam().fileName) + '"');
    EXPECT_EQ(parts[0].headers.at("content-type"), GetParam().contentType);
    EXPECT_EQ(parts[0].content, bytes);
}

const PartCase kParts[] = {
    {"png", "picture.png", "image/png"},
    {"unknown_extension", "data.zzqx", "application/octet-stream"},
    {"no_extension", "README", "application/octet-stream"},
    {"upper_case_extension", "Usages.Log", "text/x-log"},
    {"last_extension_only", "old.png.zzqx", "application/octet-stream"},
};
INSTANTIATE_TEST_SUITE_P(Files, RequestQueuePartTest, ::testing::ValuesIn(kParts), ByName());

TEST(RequestQueueTest, RefusedConnectionFails) {
    RequestQueue queue;
    Outcomes outcomes;
    outcomes.watch(queue);
    queue.addOperation(uploadOf(QStringLiteral("http://127.0.0.1:%1").arg(closedPort()),
                                fileWith(QStringLiteral("a.txt"), "x")));
    queue.go();
    ASSERT_TRUE(runUntilDone(queue));
    EXPECT_EQ(outcomes.finished, 0);
    EXPECT_EQ(outcomes.failed, 1);
    EXPECT_FALSE(outcomes.error.isEmpty());
}

TEST(RequestQueueTest, ConnectionClosedWithoutAnAnswerFails) {
    TestHttpServer server;
    server.closeWithoutAnswer();
    RequestQueue queue;
    Outcomes outcomes;
    outcomes.watch(queue);
    queue.addOperation(uploadOf(server.address(), fileWith(QStringLiteral("a.txt"), "x")));
    queue.go();
    ASSERT_TRUE(runUntilDone(queue));
    EXPECT_EQ(outcomes.finished, 0);
    EXPECT_EQ(outcomes.failed, 1);
}

TEST(RequestQueueTest, SilentServerFailsAfterTheTimeout) {
    TestHttpServer server;
    server.hold();
    RequestQueue queue;
    Outcomes outcomes;
    outcomes.watch(queue);
    queue.setTimeoutSeconds(1);
    queue.addOperation(uploadOf(server.address(), fileWith(QStringLiteral("a.txt"), "x")));
    queue.go();
    ASSERT_TRUE(runUntilDone(queue));
    EXPECT_EQ(outcomes.failed, 1);
    EXPECT_EQ(outcomes.finished, 0);
}

TEST(RequestQueueTest, FileMissingWhenTheRequestStartsFailsFromTheEventLoop) {
    TestHttpServer server;
    RequestQueue queue;
    Outcomes outcomes;
    outcomes.watch(queue);
    const QString missing = makeTestFolder() + QStringLiteral("/gone.log");
    queue.addOperation(uploadOf(server.address(), missing));
    queue.go();
    EXPECT_EQ(outcomes.failed, 0); // never inside go()
    EXPECT_EQ(queue.requestsCount(), 1);

    ASSERT_TRUE(runUntilDone(queue));
    EXPECT_EQ(outcomes.failed, 1);
    EXPECT_TRUE(outcomes.error.contains(missing));
    EXPECT_TRUE(server.received().isEmpty());
}

TEST(RequestQueueTest, ResetCancelsRunningRequestsSilentlyAndClearsTheSettings) {
    TestHttpServer server;
    server.hold();
    RequestQueue queue;
    Outcomes before;
    before.watch(queue);
    queue.setShowAccurateProgress(true);
    queue.addOperation(uploadOf(server.address(), fileWith(QStringLiteral("a.txt"), "first")));
    queue.go();
    QSignalSpy received(&server, &TestHttpServer::requestReceived);
    ASSERT_TRUE(received.wait(kWaitMs));

    queue.reset();
    EXPECT_EQ(queue.requestsCount(), 0);
    EXPECT_FALSE(queue.showAccurateProgress());
    QSignalSpy gone(&server, &TestHttpServer::clientDisconnected);
    ASSERT_TRUE(server.disconnectedClients() == 1 || gone.wait(kWaitMs));

    Outcomes after;
    after.watch(queue);
    server.answerWith(200, "second");
    queue.addOperation(uploadOf(server.address(), fileWith(QStringLiteral("b.txt"), "second")));
    queue.go();
    ASSERT_TRUE(runUntilDone(queue));
    EXPECT_EQ(before.finished + before.failed, 0);
    EXPECT_EQ(after.finished, 1);
    EXPECT_EQ(after.failed, 0);
    EXPECT_EQ(after.body, QStringLiteral("second"));
}

TEST(RequestQueueTest, ResetAlsoCancelsAFailureNotYetTold) {
    TestHttpServer server;
    RequestQueue queue;
    queue.addOperation(uploadOf(server.address(), makeTestFolder() + QStringLiteral("/gone")));
    queue.go();
    queue.reset();

    Outcomes after;
    after.watch(queue);
    queue.addOperation(uploadOf(server.address(), fileWith(QStringLiteral("b.txt"), "b")));
    queue.go();
    ASSERT_TRUE(runUntilDone(queue));
    EXPECT_EQ(after.finished, 1);
    EXPECT_EQ(after.failed, 0);
}

TEST(RequestQueueTest, FinishedCallbackMayResetTheQueueAndStartTheNextRequest) {
    TestHttpServer server;
    RequestQueue queue;
    const QString path = fileWith(QStringLiteral("a.txt"), "x");
    int finished = 0;
    std::function<void(FormRequest&)> onFinished = [&](FormRequest&) {
        if (++finished == 1) {
            queue.reset(); // destroys the callback that is running
            queue.setRequestDidFinish(onFinished);
            queue.addOperation(uploadOf(server.address(), path));
            queue.go();
        }
    };
    queue.setRequestDidFinish(onFinished);
    queue.addOperation(uploadOf(server.address(), path));
    queue.go();
    ASSERT_TRUE(runUntilDone(queue));
    EXPECT_EQ(finished, 2);
    EXPECT_EQ(server.received().size(), 2);
}

TEST(RequestQueueTest, FinishedCallbackMayDestroyTheQueue) {
    TestHttpServer server;
    auto queue = std::make_unique<RequestQueue>();
    QSignalSpy destroyed(queue.get(), &QObject::destroyed);
    queue->setRequestDidFinish([&queue](FormRequest&) { queue = nullptr; });
    queue->addOperation(uploadOf(server.address(), fileWith(QStringLiteral("a.txt"), "x")));
    queue->go();
    ASSERT_TRUE(destroyed.wait(kWaitMs));
}

TEST(RequestQueueTest, AccurateProgressCountsTheBytesOfRunningRequests) {
    TestHttpServer server;
    server.hold();
    RequestQueue queue;
    queue.setShowAccurateProgress(true);
    queue.addOperation(
        uploadOf(server.address(), fileWith(QStringLiteral("a.bin"), QByteArray(200000, 'p'))));
    queue.go();
    QSignalSpy received(&server, &TestHttpServer::requestReceived);
    ASSERT_TRUE(received.wait(kWaitMs));
    const qint64 length = server.received()[0].header("content-length").toLongLong();
    ASSERT_GT(length, 200000);

    EXPECT_TRUE(QTest::qWaitFor([&] { return queue.bytesSent() == length; }, kWaitMs));
    EXPECT_EQ(queue.totalBytesToSend(), length);

    server.answerHeld(200, "OK");
    ASSERT_TRUE(runUntilDone(queue));
    EXPECT_EQ(queue.bytesSent(), 0); // nothing runs any more
    EXPECT_EQ(queue.totalBytesToSend(), 0);
}

TEST(RequestQueueTest, WithoutAFilePartTheRequestIsAGetWithItsHeaders) {
    TestHttpServer server;
    RequestQueue queue;
    auto request = std::make_shared<FormRequest>(QUrl(server.address() + QStringLiteral("/p?q=1")));
    request->addRequestHeader("X-Test", "yes");
    queue.addOperation(request);
    queue.go();
    ASSERT_TRUE(runUntilDone(queue));
    ASSERT_EQ(server.received().size(), 1);
    EXPECT_EQ(server.received()[0].method, "GET");
    EXPECT_EQ(server.received()[0].target, "/p?q=1");
    EXPECT_EQ(server.received()[0].header("x-test"), "yes");
    EXPECT_EQ(request->responseString(), QStringLiteral("OK"));
}

} // namespace
