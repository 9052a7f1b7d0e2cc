#include "platform/GuardedApplication.h"
#include "platform/SystemLog.h"

#include <QCoreApplication>
#include <QEvent>
#include <QObject>
#include <QStringList>

#include <functional>
#include <gtest/gtest.h>
#include <stdexcept>

namespace {

struct Thrown {
    const char* name;
    std::function<void()> body;
    bool completes;
    QString line; // the system log's line, "" for none
};

class FailureLoggingTest : public ::testing::TestWithParam<Thrown> {};

TEST_P(FailureLoggingTest, AnExceptionBecomesOneLineAndEndsOnlyTheBody) {
    QStringList lines;
    const SystemLogRedirect capture([&lines](const QString& line) { lines.append(line); });
    bool after = false;
    const bool completed = logFailures(QStringLiteral("(remove)"), [&] {
        GetParam().body();
        after = true;
    });
    EXPECT_EQ(completed, GetParam().completes);
    EXPECT_EQ(after, GetParam().completes);
    const QStringList expected =
        GetParam().line.isEmpty() ? QStringList() : QStringList{GetParam().line};
    EXPECT_EQ(lines, expected);
}

INSTANTIATE_TEST_SUITE_P(
    Bodies, FailureLoggingTest,
    ::testing::Values(Thrown{"Nothing", [] {}, true, QString()},
                      Thrown{"StandardException", [] { throw std::runtime_error("disk gone"); },
                             false, QStringLiteral("Error in (remove) : disk gone")},
                      Thrown{"OutOfMemory", [] { throw std::bad_alloc(); }, false,
                             QStringLiteral("Error in (remove) : std::bad_alloc")},
                      Thrown{"NotAnException", [] { throw 42; }, false,
                             QStringLiteral("Error in (remove) : unknown exception")}),
    [](const auto& param) { return std::string(param.param.name); });

// Throws from its event handler, as a slot or a paint handler might.
class ThrowingObject final : public QObject {
protected:
    bool event(QEvent* event) override {
        if (event->type() == QEvent::User) {
            throw std::runtime_error("handler failed");
        }
        return QObject::event(event);
    }
};

TEST(GuardedApplicationTest, AnExceptionInAnEventHandlerIsLoggedAndTheLoopGoesOn) {
    QStringList lines;
    const SystemLogRedirect capture([&lines](const QString& line) { lines.append(line); });
    ThrowingObject target;
    QEvent event(QEvent::User);
    EXPECT_TRUE(QCoreApplication::sendEvent(&target, &event));
    ASSERT_EQ(lines.size(), 1);
    EXPECT_TRUE(lines.first().startsWith(QStringLiteral("Error in ")));
    EXPECT_TRUE(lines.first().contains(QStringLiteral("notify")));
    EXPECT_TRUE(lines.first().endsWith(QStringLiteral(" : handler failed")));
    // Events after it are delivered as before.
    QEvent later(QEvent::None);
    EXPECT_NO_THROW(QCoreApplication::sendEvent(&target, &later));
    EXPECT_EQ(lines.size(), 1);
}

} // namespace
