// Faults from outside while pictavo-convert runs: the output folder moved,
// removed or made read-only, the disk full (a file size limit), sources
// removed or cut short, the process killed. Whatever happens, no file under an
// output name is half written, nothing the user had is lost, the log names
// exactly the files on disk, and the next run works.
#include "CliRun.h"
#include "support/TestEnvironment.h"
#include "support/TestTiff.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QMap>
#include <QProcess>
#include <QTemporaryDir>
#include <QXmlStreamReader>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

enum class Fault {
    OutputFolderRemoved,
    OutputFolderMovedAway,
    OutputFolderReadOnly,
    FileSizeLimit,
    SourcesRemoved,
    SourcesCutShort,
    Killed,
};

struct FaultCase {
    const char* name;
    Fault fault;
    const char* type;
    int jobs;
};

constexpr int kSources = 8;
constexpr int kPages = 4;
constexpr rlim_t kFileSizeLimit = 256 * 1024;
const QByteArray kEarlierRun("an earlier run's file");
const QByteArray kUsersFile("the user's own file");

// The sources the log gives fewer pages than they have, with no word why.
QStringList shortWithoutStatus(const QString& logPath) {
    QStringList silent;
    QFile file(logPath);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << logPath.toStdString();
    QXmlStreamReader xml(&file);
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement() && xml.name() == QLatin1String("Files") &&
            xml.attributes().value(QLatin1String("Pages")).toInt() < kPages &&
            xml.attributes().value(QLatin1String("Status")).isEmpty()) {
            silent.append(xml.attributes().value(QLatin1String("FileName")).toString());
        }
    }
    return silent;
}

// Reads the whole image, not only its header: a cut-off file fails here.
bool decodesWhole(const QString& path, int expectedTiffPages) {
    if (path.endsWith(QLatin1String(".tiff"))) {
        return summarizeTiff(path).pages == expectedTiffPages;
    }
    QImageReader reader(path);
    return !reader.read().isNull();
}

void openToEveryone(const QString& path) {
    QFile::setPermissions(
        path, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner |
                  QFileDevice::ReadGroup | QFileDevice::WriteGroup | QFileDevice::ExeGroup |
                  QFileDevice::ReadOther | QFileDevice::WriteOther | QFileDevice::ExeOther);
}

struct CliRun {
    int exitCode = -1;
    bool killed = false;
    bool faultTooLate = false; // the job was done before the fault came about
    QString out;
    QString err;
    QString logPath;
};

class ConvertFaultTest : public ::testing::TestWithParam<FaultCase> {
protected:
    // Under /tmp and open to all, so a child without privileges can work in
    // it: a read-only folder means nothing to root.
    QTemporaryDir area{QDir::tempPath() + QStringLiteral("/pictavo-fault-XXXXXX")};
    QString in;
    QString out;
    QString logs;
    QString earlierOutput;

    void SetUp() override { prepare(); }

    // Everything afresh, for each attempt.
    void prepare() {
        ASSERT_TRUE(area.isValid());
        openToEveryone(area.path());
        for (const QString& name :
             QDir(area.path()).entryList(QDir::AllDirs | QDir::NoDotAndDotDot)) {
            openToEveryone(QDir(area.path()).filePath(name));
            ASSERT_TRUE(QDir(QDir(area.path()).filePath(name)).removeRecursively());
        }
        in = folder(QStringLiteral("in"));
        out = folder(QStringLiteral("out"));
        logs = folder(QStringLiteral("logs"));
        makeSources();
        ASSERT_TRUE(writeFileBytes(QDir(out).filePath(QStringLiteral("keep.txt")), kUsersFile));
        // The last source is reached after the fault, so its earlier output
        // must survive the fault whole.
        earlierOutput = QDir(out).filePath(isGathered() ? QStringLiteral("s7.tiff")
                                                        : QStringLiteral("s7-1.") + extension());
        ASSERT_TRUE(writeFileBytes(earlierOutput, kEarlierRun));
    }

    void TearDown() override {
        // A read-only folder must not outlive the test.
        openToEveryone(out);
    }

    QString folder(const QString& name) const {
        const QString path = QDir(area.path()).filePath(name);
        QDir().mkpath(path);
        openToEveryone(path);
        return path;
    }

    QString source(int i) const { return QDir(in).filePath(QStringLiteral("s%1.tif").arg(i)); }

    // Large and small pages in turn: under the file size limit only the
    // large ones fail. The first source, all small, is done soon, which
    // leaves most of the work for after the fault.
    void makeSources() const {
        for (int i = 0; i < kSources; ++i) {
            std::vector<TestTiffPage> pages;
            for (int p = 0; p < kPages; ++p) {
                const bool large = i > 0 && p % 2 == 0;
                pages.push_back(large ? rgbPage(480, 480, 8) : rgbPage(48, 40, 8));
            }
            ASSERT_TRUE(writeTestTiff(source(i), pages));
        }
    }

    bool isGathered() const { return QLatin1String(GetParam().type) == QLatin1String("tiff"); }
    QString extension() const { return QString::fromLatin1(GetParam().type); }

    QStringList arguments() const {
        return {QStringLiteral("-t"),
                QString::fromLatin1(GetParam().type),
                QStringLiteral("-s"),
                QStringLiteral("-"),
                QStringLiteral("-j"),
                QString::number(GetParam().jobs),
                QStringLiteral("-o"),
                out,
                QStringLiteral("--log-dir"),
                logs,
                in};
    }

    // Runs the converter; with `inject`, brings the fault about once the
    // first source is done, while later pages are under way.
    CliRun run(bool inject) {
        const Fault fault = GetParam().fault;
        QProcess cli;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("HOME"), area.path());
        cli.setProcessEnvironment(environment);
        const bool limitFileSize = inject && fault == Fault::FileSizeLimit;
        const bool dropPrivileges =
            inject && fault == Fault::OutputFolderReadOnly && ::geteuid() == 0;
        cli.setChildProcessModifier([limitFileSize, dropPrivileges] {
            if (limitFileSize) {
                const rlimit limit{kFileSizeLimit, kFileSizeLimit};
                ::setrlimit(RLIMIT_FSIZE, &limit);
            }
            if (dropPrivileges && (::setgid(65534) != 0 || ::setuid(65534) != 0)) {
                ::_exit(99);
            }
        });
        cli.start(QStringLiteral(PICTAVO_CONVERT_PATH), arguments());
        EXPECT_TRUE(cli.waitForStarted());
        CliRun result;
        QByteArray err;
        if (inject && fault != Fault::FileSizeLimit) {
            const QByteArray firstSourceDone = QStringLiteral("[1/%1]").arg(kSources).toLatin1();
            cli.setReadChannel(QProcess::StandardError);
            while (!err.contains(firstSourceDone) && cli.waitForReadyRead(60000)) {
                err += cli.readAllStandardError();
            }
            EXPECT_TRUE(err.contains(firstSourceDone)) << err.constData();
            // Held still while the fault comes about, with pages under way.
            const auto pid = static_cast<pid_t>(cli.processId());
            ::kill(pid, SIGSTOP);
            siginfo_t state{};
            // Waits for the stop itself; WNOWAIT leaves the child to QProcess.
            ::waitid(P_PID, static_cast<id_t>(pid), &state, WSTOPPED | WEXITED | WNOWAIT);
            err += cli.readAllStandardError();
            const QByteArray lastSourceDone = QStringLiteral("[%1/%1]").arg(kSources).toLatin1();
            result.faultTooLate = state.si_code != CLD_STOPPED || err.contains(lastSourceDone);
            bringAbout(fault, cli);
            ::kill(pid, SIGCONT);
        }
        EXPECT_TRUE(cli.waitForFinished(120000));
        result.killed = cli.exitStatus() == QProcess::CrashExit;
        result.exitCode = result.killed ? -1 : cli.exitCode();
        result.out = QString::fromLocal8Bit(cli.readAllStandardOutput());
        result.err = QString::fromLocal8Bit(err + cli.readAllStandardError());
        const qsizetype at = result.out.indexOf(QStringLiteral("Log: "));
        if (at >= 0) {
            result.logPath = result.out.mid(at + 5).trimmed();
        }
        return result;
    }

    void bringAbout(Fault fault, QProcess& cli) {
        switch (fault) {
        case Fault::OutputFolderRemoved:
            ASSERT_TRUE(QDir(out).removeRecursively());
            break;
        case Fault::OutputFolderMovedAway:
            ASSERT_TRUE(QDir().rename(out, movedAway()));
            break;
        case Fault::OutputFolderReadOnly:
            ASSERT_TRUE(QFile::setPermissions(out, QFileDevice::ReadOwner | QFileDevice::ExeOwner |
                                                       QFileDevice::ReadOther |
                                                       QFileDevice::ExeOther));
            break;
        case Fault::SourcesRemoved:
            for (int i = kSources / 2; i < kSources; ++i) {
                ASSERT_TRUE(QFile::remove(source(i)));
            }
            break;
        case Fault::SourcesCutShort:
            for (int i = kSources / 2; i < kSources; ++i) {
                ASSERT_EQ(::truncate(source(i).toLocal8Bit().constData(),
                                     QFileInfo(source(i)).size() / 2),
                          0);
            }
            break;
        case Fault::Killed:
            ::kill(static_cast<pid_t>(cli.processId()), SIGKILL);
            break;
        case Fault::FileSizeLimit:
            break; // set when the process starts
        }
    }

    // Puts things right, as a user would, before the next run.
    void mendFault() {
        switch (GetParam().fault) {
        case Fault::OutputFolderRemoved:
        case Fault::OutputFolderMovedAway:
            folder(QStringLiteral("out"));
            break;
        case Fault::OutputFolderReadOnly:
            openToEveryone(out);
            break;
        case Fault::SourcesRemoved:
        case Fault::SourcesCutShort:
            makeSources();
            break;
        case Fault::FileSizeLimit:
        case Fault::Killed:
            break;
        }
    }

    QString movedAway() const { return out + QStringLiteral("-moved"); }

    // Every file in `folder` is one the log says was written, whole, and
    // every file the log says was written is there. The user's own file and
    // an earlier output the run did not reach stand as they were.
    void expectFolderMatches(const QString& folder, const QMap<QString, int>& completed) const {
        QMap<QString, int> onDisk;
        const QStringList names =
            QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
        for (const QString& name : names) {
            const QString path = QDir(folder).filePath(name);
            EXPECT_FALSE(name.startsWith(QLatin1Char('.'))) << "stray " << name.toStdString();
            if (name == QLatin1String("keep.txt")) {
                EXPECT_EQ(readFileBytes(path), kUsersFile);
                continue;
            }
            if (QFileInfo(path).fileName() == QFileInfo(earlierOutput).fileName() &&
                readFileBytes(path) == kEarlierRun) {
                EXPECT_FALSE(completed.contains(name)) << name.toStdString();
                continue;
            }
            onDisk.insert(name, completed.value(name));
            EXPECT_TRUE(decodesWhole(path, completed.value(name))) << name.toStdString();
        }
        EXPECT_EQ(onDisk.keys(), completed.keys());
    }

    bool faultBites();

    void expectNextRunWorks() {
        mendFault();
        const bool userFileKept = QFileInfo::exists(QDir(out).filePath(QStringLiteral("keep.txt")));
        const CliRun next = run(false);
        EXPECT_EQ(next.exitCode, 0) << next.out.toStdString() << next.err.toStdString();
        const QMap<QString, int> completed = completedInLog(next.logPath);
        EXPECT_EQ(completed.size(), isGathered() ? kSources : kSources * kPages);
        expectFolderMatches(out, completed);
        EXPECT_EQ(QFileInfo::exists(QDir(out).filePath(QStringLiteral("keep.txt"))), userFileKept);
    }
};

// Returns whether the fault bit: a fault that came too late to touch any page
// proves nothing and is tried again.
bool ConvertFaultTest::faultBites() {
    const FaultCase& c = GetParam();
    const CliRun faulty = run(true);
    if (faulty.faultTooLate) {
        return false;
    }
    if (c.fault == Fault::Killed) {
        EXPECT_TRUE(faulty.killed);
        // No log: the files themselves must be whole, and nothing else there.
        const QStringList names =
            QDir(out).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
        EXPECT_GE(names.size(), 3) << "the first source's files";
        for (const QString& name : names) {
            EXPECT_FALSE(name.startsWith(QLatin1Char('.'))) << "stray " << name.toStdString();
            const QString path = QDir(out).filePath(name);
            const QByteArray bytes = readFileBytes(path);
            if (bytes != kUsersFile && bytes != kEarlierRun && !isGathered()) {
                EXPECT_TRUE(decodesWhole(path, 0)) << name.toStdString();
            }
        }
        if (isGathered()) {
            EXPECT_EQ(summarizeTiff(QDir(out).filePath(QStringLiteral("s0.tiff"))).pages, kPages);
        }
        return true;
    }

    EXPECT_FALSE(faulty.killed) << faulty.err.toStdString();
    EXPECT_FALSE(faulty.logPath.isEmpty()) << faulty.out.toStdString();
    if (faulty.logPath.isEmpty()) {
        return true;
    }
    const QMap<QString, int> completed = completedInLog(faulty.logPath);
    if (isGathered()) {
        // One file stands for the whole source: one without every page says so.
        EXPECT_EQ(shortWithoutStatus(faulty.logPath), QStringList());
    }
    switch (c.fault) {
    case Fault::OutputFolderRemoved:
        EXPECT_FALSE(QFileInfo::exists(out)) << "a folder made again behind the user's back";
        break;
    case Fault::OutputFolderMovedAway:
        expectFolderMatches(movedAway(), completed);
        EXPECT_EQ(readFileBytes(QDir(movedAway()).filePath(QStringLiteral("keep.txt"))),
                  kUsersFile);
        EXPECT_FALSE(QFileInfo::exists(out)) << "a folder made again behind the user's back";
        break;
    default:
        expectFolderMatches(out, completed);
        EXPECT_EQ(readFileBytes(QDir(out).filePath(QStringLiteral("keep.txt"))), kUsersFile);
        break;
    }
    if (c.fault == Fault::FileSizeLimit) {
        // Told with the file's own name, not its temporary one.
        EXPECT_TRUE(faulty.err.contains(QStringLiteral("Cannot write “%1/").arg(out)))
            << faulty.err.toStdString();
        EXPECT_FALSE(faulty.err.contains(QStringLiteral("/proc/"))) << faulty.err.toStdString();
        // In the system's words, whatever the output type.
        EXPECT_TRUE(faulty.err.contains(QString::fromLocal8Bit(std::strerror(EFBIG))))
            << faulty.err.toStdString();
        if (!isGathered()) {
            // Exactly the pages over the limit are missing.
            EXPECT_EQ(completed.size(), kPages + (kSources - 1) * kPages / 2);
        }
    }
    const bool bit = faulty.exitCode != 0;
    if (bit) {
        EXPECT_EQ(faulty.exitCode, 1) << faulty.out.toStdString() << faulty.err.toStdString();
    }
    return bit;
}

TEST_P(ConvertFaultTest, NothingHalfWrittenNothingLostAndTheLogTellsTheTruth) {
    bool bit = false;
    for (int attempt = 0; attempt < 5 && !bit && !HasFailure(); ++attempt) {
        if (attempt > 0) {
            prepare();
        }
        bit = faultBites();
    }
    ASSERT_TRUE(bit) << "the job always ended before the fault";
    expectNextRunWorks();
}

INSTANTIATE_TEST_SUITE_P(
    Faults, ConvertFaultTest,
    ::testing::Values(FaultCase{"FolderRemovedOneJob", Fault::OutputFolderRemoved, "png", 1},
                      FaultCase{"FolderRemovedPool", Fault::OutputFolderRemoved, "jpg", 4},
                      FaultCase{"FolderMovedOneJob", Fault::OutputFolderMovedAway, "bmp", 1},
                      FaultCase{"FolderMovedPool", Fault::OutputFolderMovedAway, "png", 4},
                      FaultCase{"FolderMovedGathered", Fault::OutputFolderMovedAway, "tiff", 4},
                      FaultCase{"ReadOnlyOneJob", Fault::OutputFolderReadOnly, "jpg", 1},
                      FaultCase{"ReadOnlyPool", Fault::OutputFolderReadOnly, "bmp", 4},
                      FaultCase{"ReadOnlyGathered", Fault::OutputFolderReadOnly, "tiff", 2},
                      FaultCase{"DiskFullOneJob", Fault::FileSizeLimit, "bmp", 1},
                      FaultCase{"DiskFullPool", Fault::FileSizeLimit, "bmp", 4},
                      FaultCase{"DiskFullGathered", Fault::FileSizeLimit, "tiff", 4},
                      FaultCase{"SourcesRemovedOneJob", Fault::SourcesRemoved, "png", 1},
                      FaultCase{"SourcesRemovedPool", Fault::SourcesRemoved, "jpg", 4},
                      FaultCase{"SourcesCutShortPool", Fault::SourcesCutShort, "png", 4},
                      FaultCase{"SourcesCutShortGathered", Fault::SourcesCutShort, "tiff", 4},
                      FaultCase{"KilledOneJob", Fault::Killed, "bmp", 1},
                      FaultCase{"KilledPool", Fault::Killed, "png", 4},
                      FaultCase{"KilledGathered", Fault::Killed, "tiff", 4}),
    ByName());

} // namespace
