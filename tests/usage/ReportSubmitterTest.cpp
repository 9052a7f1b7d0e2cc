#include "usage/ReportSubmitter.h"

#include "UsageTestSupport.h"
#include "platform/Constants.h"
#include "support/TestEnvironment.h"
#include "support/TestHttpServer.h"
#include "usage/UsageStore.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>
#include <QUrlQuery>

#include <gtest/gtest.h>
#include <memory>

namespace {

constexpr int kWaitMs = 10000;
const QDateTime kLongAgo(QDate(2026, 1, 2), QTime(3, 4, 5), QTimeZone::utc());

// A started application whose site is a server of the test's own.
class ReportSubmitterTest : public ::testing::Test {
protected:
    void SetUp() override {
        qputenv("PICTAVO_SITE_URL", server.address().toUtf8() + "/");
        store = startApplication(makeTestFolder());
        store->setLastReportSentOn(kLongAgo);
        ASSERT_TRUE(store->save());
        submitter = std::make_unique<ReportSubmitter>(*store);
    }
    void TearDown() override { qunsetenv("PICTAVO_SITE_URL"); }

    // Submits and waits for the end of the upload; the answers so far.
    QList<bool> submitAndWait() {
        QSignalSpy ended(submitter.get(), &ReportSubmitter::reportEnded);
        EXPECT_TRUE(submitter->submitReport());
        EXPECT_TRUE(ended.wait(kWaitMs));
        QList<bool> answers;
        for (const QList<QVariant>& call : ended) {
            answers.append(call.at(0).toBool());
        }
        return answers;
    }

    TestHttpServer server;
    std::unique_ptr<UsageStore> store;
    std::unique_ptr<ReportSubmitter> submitter;
};

TEST_F(ReportSubmitterTest, UploadsTheUsageFileAsAFormWithTheUploadId) {
    const QByteArray onDisk = readAll(store->filePath());
    const double before = QDateTime::currentMSecsSinceEpoch() / 1000.0;
    EXPECT_EQ(submitAndWait(), QList<bool>{true});
    const double after = QDateTime::currentMSecsSinceEpoch() / 1000.0;

    ASSERT_EQ(server.received().size(), 1);
    const TestHttpServer::Received& request = server.received()[0];
    EXPECT_EQ(request.method, "POST");
    EXPECT_EQ(request.header("UPLOAD_ID"), "qtd58w710295");
    const QUrl target(QString::fromUtf8(request.target));
    EXPECT_EQ(target.path(), QStringLiteral("/error/usagesubmit.php"));
    const QString f = QUrlQuery(target).queryItemValue(QStringLiteral("f"));
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^\\d+\\.\\d{6}$")).match(f).hasMatch())
        << f.toStdString();
    EXPECT_GE(f.toDouble(), before - 0.001);
    EXPECT_LE(f.toDouble(), after + 0.001);

    const QList<FormPart> parts = parseMultipart(request.header("content-type"), request.body);
    ASSERT_EQ(parts.size(), 1);
    EXPECT_EQ(parts[0].headers.at("content-disposition"),
              "form-data; name=\"file\"; filename=\"Usages.Log\"");
    EXPECT_EQ(parts[0].content, onDisk);
}

struct AcceptanceCase {
    const char* name;
    int status;
    QByteArray body;
    bool accepted;
};

class ReportAcceptanceTest : public ReportSubmitterTest,
                             public ::testing::WithParamInterface<AcceptanceCase> {};

TEST_P(ReportAcceptanceTest, OnlyAnAnswerOfExactlyOkIsRecorded) {
    server.answerWith(GetParam().status, GetParam().body);
    const QByteArray fileBefore = readAll(store->filePath());
    const QDateTime before = QDateTime::currentDateTime();

    EXPECT_EQ(submitAndWait(), QList<bool>{GetParam().accepted});
    if (GetParam().accepted) {
        EXPECT_GE(store->lastReportSentOn(), before);
        UsageStore reread(QFileInfo(store->filePath()).path(), pinnedBundle(), kPinnedUUID);
        ASSERT_TRUE(reread.load());
        EXPECT_EQ(reread.lastReportSentOn().toMSecsSinceEpoch(),
                  store->lastReportSentOn().toMSecsSinceEpoch());
    } else {
        EXPECT_EQ(store->lastReportSentOn(), kLongAgo);
        EXPECT_EQ(readAll(store->filePath()), fileBefore);
    }
}

// Any response is an answer; its text alone decides, whatever the status.
const AcceptanceCase kAcceptance[] = {
    {"ok", 200, "OK", true},
    {"ok_with_line_feed", 200, "OK\n", false},
    {"ok_with_html_break", 200, "OK<br>", false},
    {"html_space_then_ok", 200, "&nbsp;OK", false},
    {"lower_case", 200, "ok", false},
    {"empty", 200, "", false},
    {"error_page", 500, "<html>Internal error</html>", false},
    {"ok_on_a_server_error", 500, "OK", true},
};
INSTANTIATE_TEST_SUITE_P(Answers, ReportAcceptanceTest, ::testing::ValuesIn(kAcceptance), ByName());

TEST_F(ReportSubmitterTest, SecondSubmitCancelsTheFirstWithoutAWord) {
    server.hold();
    QSignalSpy ended(submitter.get(), &ReportSubmitter::reportEnded);
    QSignalSpy received(&server, &TestHttpServer::requestReceived);
    ASSERT_TRUE(submitter->submitReport());
    ASSERT_TRUE(received.wait(kWaitMs));

    server.answerWith(200, "OK");
    ASSERT_TRUE(submitter->submitReport());
    EXPECT_EQ(submitter->networkQueue().requestsCount(), 1);
    ASSERT_TRUE(ended.wait(kWaitMs));
    // The first connection is gone too, and still nothing more was told.
    EXPECT_TRUE(QTest::qWaitFor([&] { return server.disconnectedClients() == 2; }, kWaitMs));
    server.answerHeld(200, "OK");
    QCoreApplication::processEvents();

    ASSERT_EQ(ended.size(), 1);
    EXPECT_TRUE(ended[0].at(0).toBool());
    EXPECT_EQ(server.received().size(), 2);
}

TEST_F(ReportSubmitterTest, MissingUsageFileSendsNothing) {
    server.hold();
    ASSERT_TRUE(QFile::remove(store->filePath()));
    EXPECT_FALSE(submitter->submitReport());
    EXPECT_EQ(submitter->networkQueue().requestsCount(), 0);

    // The next upload is the first the server sees.
    server.answerWith(200, "OK");
    ASSERT_TRUE(store->save());
    EXPECT_EQ(submitAndWait(), QList<bool>{true});
    EXPECT_EQ(server.received().size(), 1);
}

TEST_F(ReportSubmitterTest, DroppedConnectionEndsTheReportUnacceptedAndStoresNothing) {
    server.closeWithoutAnswer();
    const QByteArray fileBefore = readAll(store->filePath());
    EXPECT_EQ(submitAndWait(), QList<bool>{false});
    EXPECT_EQ(store->lastReportSentOn(), kLongAgo);
    EXPECT_EQ(readAll(store->filePath()), fileBefore);
}

TEST_F(ReportSubmitterTest, UnusableSiteAddressIsLoggedAndNothingIsQueued) {
    qputenv("PICTAVO_SITE_URL", "http://exa mple:port");
    const SystemLogCapture log;
    EXPECT_FALSE(submitter->submitReport());
    EXPECT_EQ(submitter->networkQueue().requestsCount(), 0);
    ASSERT_EQ(log.lines().size(), 1);
    EXPECT_TRUE(log.lines()[0].startsWith(QStringLiteral("Error in submitReport : ")));
}

struct AcceptTextCase {
    const char* name;
    QString text;
    bool accepted;
};

class AcceptedTextTest : public ::testing::TestWithParam<AcceptTextCase> {};

TEST_P(AcceptedTextTest, Rule) {
    EXPECT_EQ(ReportSubmitter::isAccepted(GetParam().text), GetParam().accepted);
}

const AcceptTextCase kAcceptTexts[] = {
    {"ok", QStringLiteral("OK"), true},
    {"split_by_a_break", QStringLiteral("O<br>K"), false},
    {"break_before", QStringLiteral("<br>OK"), false},
    {"trailing_space_entity", QStringLiteral("OK&nbsp;"), false},
    {"upper_case_break_is_text", QStringLiteral("OK<BR>"), false},
    {"entity_made_of_the_replacements", QStringLiteral("O&nbsp;K"), false},
};
INSTANTIATE_TEST_SUITE_P(Texts, AcceptedTextTest, ::testing::ValuesIn(kAcceptTexts), ByName());

TEST(SubmitAddressTest, SixDecimalSecondsSinceTheEpoch) {
    const QDateTime now = QDateTime::fromMSecsSinceEpoch(1796632829123, QTimeZone::utc());
    EXPECT_EQ(
        ReportSubmitter::submitAddress(QStringLiteral("http://www.quorlen.example"), now),
        QStringLiteral("http://www.quorlen.example/error/usagesubmit.php?f=1796632829.123000"));
}

} // namespace
