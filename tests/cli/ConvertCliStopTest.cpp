// How pictavo-convert ends when the world around it does: a signal from a
// user, a batch system or a closed terminal, a reader of its output that went
// away, a kill that leaves no time at all. Each run keeps what it wrote, and
// either saves its log or leaves what the next run needs to finish the job.
#include "CliRun.h"
#include "support/TestEnvironment.h"
#include "support/TestTiff.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QProcess>
#include <QSysInfo>
#include <QXmlStreamReader>

#include <array>
#include <csignal>
#include <functional>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr int kSources = 8;
constexpr int kPages = 6;
constexpr int kWaitMs = 120000;

// Sends `signal` to the child while it runs. Never to pid 0: that is the
// test's own process group.
void signalChild(const QProcess& cli, int signal) {
    const auto pid = static_cast<pid_t>(cli.processId());
    if (cli.state() == QProcess::Running && pid > 0) {
        ::kill(pid, signal);
    }
}

// Stops the child and waits until it has stopped; false when it ended first.
bool holdStill(QProcess& cli) {
    const auto pid = static_cast<pid_t>(cli.processId());
    if (cli.state() != QProcess::Running || pid <= 0) {
        return false;
    }
    ::kill(pid, SIGSTOP);
    siginfo_t state{};
    // WNOWAIT leaves the child to QProcess.
    ::waitid(P_PID, static_cast<id_t>(pid), &state, WSTOPPED | WEXITED | WNOWAIT);
    return state.si_code == CLD_STOPPED;
}

void letGo(const QProcess& cli) {
    signalChild(cli, SIGCONT);
}

// Reads stderr until it holds `text`; false when the process ended first.
bool waitForError(QProcess& cli, QByteArray& err, const QByteArray& text) {
    cli.setReadChannel(QProcess::StandardError);
    while (!err.contains(text) && cli.waitForReadyRead(kWaitMs)) {
        err += cli.readAllStandardError();
    }
    return err.contains(text);
}

QString logLineOf(const QString& out) {
    const qsizetype at = out.lastIndexOf(QStringLiteral("Log: "));
    return at < 0 ? QString() : out.mid(at + 5).trimmed();
}

class ConvertCliStopTest : public ::testing::Test {
protected:
    QString in = makeTestFolder(QStringLiteral("in"));
    QString out = makeTestFolder(QStringLiteral("out"));
    QString logs = makeTestFolder(QStringLiteral("logs"));

    // Pages large enough that a job is still under way when a test acts.
    void makeSources(int sources = kSources, const QString& under = {}) const {
        for (int i = 0; i < sources; ++i) {
            const QString path =
                QDir(QDir(in).filePath(under)).filePath(QStringLiteral("s%1.tif").arg(i));
            QDir().mkpath(QFileInfo(path).path());
            ASSERT_TRUE(
                writeTestTiff(path, std::vector<TestTiffPage>(kPages, rgbPage(700, 700, 8))));
        }
    }

    QStringList arguments(const QStringList& extra = {}) const {
        return QStringList{QStringLiteral("-t"),        QStringLiteral("png"),
                           QStringLiteral("-j"),        QStringLiteral("2"),
                           QStringLiteral("-o"),        out,
                           QStringLiteral("--log-dir"), logs} +
               extra + QStringList{in};
    }

    // The child starts with the three signals as a shell leaves them, or
    // with `ignored` ignored (as under nohup).
    static void start(QProcess& cli, const QStringList& args, int ignored = 0,
                      const std::function<void()>& inChild = {}) {
        cli.setChildProcessModifier([ignored, inChild] {
            for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGPIPE}) {
                ::signal(signal, signal == ignored ? SIG_IGN : SIG_DFL);
            }
            if (inChild) {
                inChild();
            }
        });
        cli.start(QStringLiteral(PICTAVO_CONVERT_PATH), args);
        ASSERT_TRUE(cli.waitForStarted());
    }

    QStringList outputs() const {
        return QDir(out).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
    }

    QStringList logsWritten() const {
        return QDir(logs).entryList({QStringLiteral("*.log")}, QDir::Files);
    }
};

struct SignalCase {
    const char* name;
    int first;
    int second; // 0: none
    bool quiet;
};

class ConvertCliSignalTest : public ConvertCliStopTest,
                             public ::testing::WithParamInterface<SignalCase> {};

// One signal: no new page, the pages under way finished and kept, the log
// saved and named, the exit status 128 + the signal. A second one: at once.
TEST_P(ConvertCliSignalTest, EndsInOrderOrAtOnceOnTheSecond) {
    const SignalCase& c = GetParam();
    makeSources();
    const QStringList args =
        arguments(c.quiet ? QStringList{QStringLiteral("--quiet")} : QStringList{});
    bool tried = false;
    for (int attempt = 0; attempt < 3 && !tried && !HasFailure(); ++attempt) {
        for (const QString& folder : {out, logs}) {
            for (const QString& name : QDir(folder).entryList(QDir::Files | QDir::Hidden)) {
                QFile::remove(QDir(folder).filePath(name));
            }
        }
        QProcess cli;
        start(cli, args);
        QByteArray err;
        if (c.quiet) {
            // Nothing on stderr to go by: the first page file shows the job runs.
            while (outputs().isEmpty() && !cli.waitForFinished(20)) {
            }
        } else {
            ASSERT_TRUE(waitForError(cli, err, "[1/8]")) << err.constData();
        }
        signalChild(cli, c.first);
        if (c.second != 0) {
            // Once the first is heard, and while pages are still under way.
            ASSERT_TRUE(waitForError(cli, err, "after the pages under way")) << err.constData();
            if (!holdStill(cli)) {
                ASSERT_TRUE(cli.waitForFinished(kWaitMs));
                continue; // the job ended before the second could come
            }
            signalChild(cli, c.second);
            letGo(cli);
        }
        ASSERT_TRUE(cli.waitForFinished(kWaitMs));
        tried = true;
        err += cli.readAllStandardError();
        const QString printed = QString::fromLocal8Bit(cli.readAllStandardOutput());
        ASSERT_EQ(cli.exitStatus(), QProcess::NormalExit) << "killed by the signal";
        const int last = c.second != 0 ? c.second : c.first;
        EXPECT_EQ(cli.exitCode(), 128 + last) << err.constData();
        EXPECT_LT(outputs().size(), kSources * kPages);
        for (const QString& name : outputs()) {
            EXPECT_FALSE(name.startsWith(QLatin1Char('.'))) << "stray " << name.toStdString();
        }
        if (c.second != 0) {
            EXPECT_FALSE(printed.contains(QStringLiteral("Log: "))) << printed.toStdString();
            continue;
        }
        const QString log = logLineOf(printed);
        ASSERT_FALSE(log.isEmpty()) << printed.toStdString();
        EXPECT_EQ(logsWritten().size(), 1);
        EXPECT_EQ(completedInLog(log).keys(), outputs());
        if (c.quiet) {
            EXPECT_EQ(printed, QStringLiteral("Log: ") + log + QLatin1Char('\n'));
            EXPECT_TRUE(err.contains("Process cancelled!")) << err.constData();
        } else {
            EXPECT_TRUE(printed.startsWith(QStringLiteral("Process cancelled!")))
                << printed.toStdString();
        }
    }
    EXPECT_TRUE(tried) << "the job always ended before the second signal";
}

INSTANTIATE_TEST_SUITE_P(
    Signals, ConvertCliSignalTest,
    ::testing::Values(SignalCase{"Interrupt", SIGINT, 0, false},
                      SignalCase{"TerminateLikeABatchSystem", SIGTERM, 0, true},
                      SignalCase{"TerminateWithProgress", SIGTERM, 0, false},
                      SignalCase{"Hangup", SIGHUP, 0, false},
                      SignalCase{"TerminateThenInterrupt", SIGTERM, SIGINT, false},
                      SignalCase{"TerminateTwice", SIGTERM, SIGTERM, false},
                      SignalCase{"HangupThenTerminate", SIGHUP, SIGTERM, false}),
    ByName());

TEST_F(ConvertCliStopTest, HangupIgnoredAtStartStaysIgnored) {
    makeSources(2);
    QProcess cli;
    start(cli, arguments(), SIGHUP);
    QByteArray err;
    ASSERT_TRUE(waitForError(cli, err, "[1/2]")) << err.constData();
    signalChild(cli, SIGHUP);
    ASSERT_TRUE(cli.waitForFinished(kWaitMs));
    EXPECT_EQ(cli.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(cli.exitCode(), 0);
    EXPECT_EQ(outputs().size(), 2 * kPages);
}

enum class Reader { BothStreamsHeadOneLine, OutputGoneAtStart, ErrorsGoneAtStart };

struct PipeCase {
    const char* name;
    Reader reader;
};

class ConvertCliClosedPipeTest : public ConvertCliStopTest,
                                 public ::testing::WithParamInterface<PipeCase> {};

// `pictavo-convert ... 2>&1 | head -n1` and the like: the reader goes away,
// the run goes on to the end and saves its log.
TEST_P(ConvertCliClosedPipeTest, RunGoesOnWithoutItsReader) {
    const Reader reader = GetParam().reader;
    makeSources(4);
    std::array<int, 2> pipe{-1, -1};
    ASSERT_EQ(::pipe2(pipe.data(), O_CLOEXEC), 0);
    const bool intoStdout = reader != Reader::ErrorsGoneAtStart;
    const bool intoStderr = reader != Reader::OutputGoneAtStart;
    if (reader != Reader::BothStreamsHeadOneLine) {
        ::close(pipe[0]); // gone before the first write
        pipe[0] = -1;
    }
    QProcess cli;
    start(cli, arguments(), 0, [pipe, intoStdout, intoStderr] {
        if (intoStdout) {
            ::dup2(pipe[1], STDOUT_FILENO);
        }
        if (intoStderr) {
            ::dup2(pipe[1], STDERR_FILENO);
        }
    });
    ::close(pipe[1]);
    if (reader == Reader::BothStreamsHeadOneLine) {
        QByteArray line;
        char c = 0;
        pollfd readable{pipe[0], POLLIN, 0};
        while (!line.endsWith('\n') && ::poll(&readable, 1, kWaitMs) > 0 &&
               ::read(pipe[0], &c, 1) == 1) {
            line += c;
        }
        EXPECT_TRUE(line.startsWith("[1/4]")) << line.constData();
        // Held while the reader goes, so that every later line meets a
        // closed pipe.
        ASSERT_TRUE(holdStill(cli)) << "the job ended before its reader went";
        ::close(pipe[0]);
        letGo(cli);
    }
    ASSERT_TRUE(cli.waitForFinished(kWaitMs));
    ASSERT_EQ(cli.exitStatus(), QProcess::NormalExit) << "killed by SIGPIPE";
    EXPECT_EQ(cli.exitCode(), 0);
    EXPECT_EQ(outputs().size(), 4 * kPages);
    ASSERT_EQ(logsWritten().size(), 1);
    EXPECT_EQ(completedInLog(QDir(logs).filePath(logsWritten().first())).size(), 4 * kPages);
    if (!intoStdout) {
        EXPECT_TRUE(
            QString::fromLocal8Bit(cli.readAllStandardOutput()).endsWith(QStringLiteral(".log\n")));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Readers, ConvertCliClosedPipeTest,
    ::testing::Values(PipeCase{"BothStreamsHeadOneLine", Reader::BothStreamsHeadOneLine},
                      PipeCase{"OutputGoneAtStart", Reader::OutputGoneAtStart},
                      PipeCase{"ErrorsGoneAtStart", Reader::ErrorsGoneAtStart}),
    ByName());

// Every file under `folder`, relative to it.
QStringList treeOf(const QString& folder) {
    QStringList names;
    QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        names.append(QDir(folder).relativeFilePath(it.next()));
    }
    names.sort();
    return names;
}

QStringList temporariesIn(const QString& folder) {
    QStringList found;
    for (const QString& name : treeOf(folder)) {
        if (QFileInfo(name).fileName().startsWith(QStringLiteral(".pictavo-"))) {
            found.append(name);
        }
    }
    return found;
}

// A shard on a file system without unnamed files (NFS, FUSE) killed with no
// time to tidy up leaves partial named temporaries; the rerun on the same
// host removes them, never another host's or a live process's, and finishes
// the job.
TEST_F(ConvertCliStopTest, ShardKilledOnNamedTemporariesIsTidiedByItsRerun) {
    const QString sub = QStringLiteral("a/b");
    makeSources(4);
    makeSources(2, sub);
    const QString list = QDir(logs).filePath(QStringLiteral("chunk-000"));
    QStringList paths;
    for (const QString& name : treeOf(in)) {
        paths.append(QDir(in).filePath(name));
    }
    ASSERT_TRUE(writeFileBytes(list, paths.join(QLatin1Char('\n')).toUtf8() + '\n'));
    const QString shardLogs = QDir(logs).filePath(QStringLiteral("shard"));
    const QStringList args = {QStringLiteral("-t"),
                              QStringLiteral("png"),
                              QStringLiteral("-j"),
                              QStringLiteral("2"),
                              QStringLiteral("--mirror"),
                              in,
                              QStringLiteral("-o"),
                              out,
                              QStringLiteral("--skip-existing"),
                              QStringLiteral("--log-dir"),
                              shardLogs,
                              QStringLiteral("-l"),
                              list};
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("PICTAVO_NAMED_TEMPORARIES"), QStringLiteral("1"));

    QStringList leftBehind;
    qint64 killedPid = 0;
    for (int attempt = 0; attempt < 5 && leftBehind.isEmpty(); ++attempt) {
        QProcess shard;
        shard.setProcessEnvironment(environment);
        start(shard, args);
        QByteArray err;
        ASSERT_TRUE(waitForError(shard, err, "[1/6]")) << err.constData();
        // Caught with a page half written, then killed.
        while (leftBehind.isEmpty() && holdStill(shard)) {
            leftBehind = temporariesIn(out);
            if (leftBehind.isEmpty()) {
                letGo(shard);
                shard.waitForFinished(10);
            }
        }
        killedPid = shard.processId();
        shard.kill();
        ASSERT_TRUE(shard.waitForFinished(kWaitMs));
    }
    ASSERT_FALSE(leftBehind.isEmpty()) << "never caught a named temporary";
    for (const QString& name : leftBehind) {
        EXPECT_TRUE(name.contains(QStringLiteral("-%1-").arg(killedPid))) << name.toStdString();
    }

    // Not the rerun's to remove: another host's, a live process's (this
    // test's), and the unowned names of earlier versions.
    const QString host = QSysInfo::machineHostName();
    const QStringList others = {
        QStringLiteral(".pictavo-elsewhere.example-%1-00000000deadbeef.tmp").arg(killedPid),
        QStringLiteral(".pictavo-%1-%2-00000000cafef00d.tmp").arg(host).arg(::getpid()),
        QStringLiteral(".pictavo-0123456789abcdef.tmp")};
    // Beside the killed shard's own, in a folder the rerun writes to.
    const QString folder = QFileInfo(leftBehind.first()).path();
    for (const QString& name : others) {
        ASSERT_TRUE(writeFileBytes(QDir(QDir(out).filePath(folder)).filePath(name), "partial"));
    }

    QProcess rerun;
    rerun.setProcessEnvironment(environment);
    start(rerun, args);
    ASSERT_TRUE(rerun.waitForFinished(kWaitMs));
    const QString printed = QString::fromLocal8Bit(rerun.readAllStandardOutput());
    EXPECT_EQ(rerun.exitCode(), 0) << rerun.readAllStandardError().constData();
    QStringList expectedTemporaries;
    for (const QString& name : others) {
        expectedTemporaries.append(QDir::cleanPath(folder + QLatin1Char('/') + name));
    }
    expectedTemporaries.sort();
    EXPECT_EQ(temporariesIn(out), expectedTemporaries);
    QStringList pages;
    for (const QString& name : treeOf(out)) {
        if (!QFileInfo(name).fileName().startsWith(QLatin1Char('.'))) {
            pages.append(name);
            EXPECT_FALSE(QImageReader(QDir(out).filePath(name)).read().isNull())
                << name.toStdString();
        }
    }
    EXPECT_EQ(pages.size(), 6 * kPages);
    const QString log = logLineOf(printed);
    ASSERT_FALSE(log.isEmpty()) << printed.toStdString();
    QFile logFile(log);
    ASSERT_TRUE(logFile.open(QIODevice::ReadOnly));
    EXPECT_FALSE(logFile.readAll().contains(".pictavo-"));
}

} // namespace
