// What a shard meets at the edges of its input and output: a quiet run that
// must still name its log, an output folder that is not there yet, a chunk
// with no TIFF in it, and special files (named pipes, sockets, devices) where
// TIFF files were expected.
#include "CliRun.h"
#include "support/TestEnvironment.h"
#include "support/TestTiff.h"
#include "support/WatchedPipe.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

QString logOf(const CliResult& r) {
    const QStringList lines = r.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    if (lines.isEmpty() || !lines.last().startsWith(QStringLiteral("Log: "))) {
        return {};
    }
    QFile log(lines.last().mid(5));
    return log.open(QIODevice::ReadOnly) ? QString::fromUtf8(log.readAll()) : QString();
}

class EdgeCasesCliTest : public ::testing::Test {
protected:
    QString in = makeTestFolder(QStringLiteral("in"));
    QString out = makeTestFolder(QStringLiteral("out"));
    QString logs = makeTestFolder(QStringLiteral("logs"));

    QString makeTiff(const QString& relative, int pages = 1) const {
        const QString path = QDir(in).filePath(relative);
        QDir().mkpath(QFileInfo(path).path());
        EXPECT_TRUE(writeTestTiff(
            path, std::vector<TestTiffPage>(static_cast<size_t>(pages), rgbPage(10, 10, 8))));
        return path;
    }

    QString inPath(const QString& relative) const { return QDir(in).filePath(relative); }

    QStringList outputs() const {
        return QDir(out).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
    }

    // "@IN" and "@OUT" stand for the folders.
    QStringList withFolders(QStringList arguments) const {
        arguments.replaceInStrings(QStringLiteral("@IN"), in);
        arguments.replaceInStrings(QStringLiteral("@OUT"), out);
        return QStringList{QStringLiteral("--log-dir"), logs} + arguments;
    }
};

struct QuietCase {
    const char* name;
    bool quiet;
    bool withBrokenSource;
};

class QuietOutputTest : public EdgeCasesCliTest, public ::testing::WithParamInterface<QuietCase> {};

// The `Log: PATH` line is the run's result: on stdout whatever the mode, and
// under --quiet the only thing there.
TEST_P(QuietOutputTest, LogLineGoesToStdoutInEveryMode) {
    const QuietCase& c = GetParam();
    makeTiff(QStringLiteral("good.tif"), 2);
    if (c.withBrokenSource) {
        ASSERT_TRUE(writeFileBytes(inPath(QStringLiteral("bad.tif")), "II*\0garbage"));
    }
    QStringList args =
        withFolders({QStringLiteral("-o"), QStringLiteral("@OUT"), QStringLiteral("@IN")});
    if (c.quiet) {
        args.prepend(QStringLiteral("--quiet"));
    }
    const CliResult r = runCli(args);
    EXPECT_EQ(r.exitCode, c.withBrokenSource ? 1 : 0) << r.err.toStdString();
    const QStringList lines = r.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_FALSE(lines.isEmpty()) << r.err.toStdString();
    EXPECT_TRUE(lines.last().startsWith(QStringLiteral("Log: ") + logs)) << r.out.toStdString();
    EXPECT_FALSE(logOf(r).isEmpty());
    EXPECT_FALSE(r.err.contains(QStringLiteral("Log: "))) << r.err.toStdString();
    const QString message = QStringLiteral("Total 2 files converted successfully.");
    if (c.quiet) {
        EXPECT_EQ(lines.size(), 1) << r.out.toStdString();
        // A run that did not convert everything still says how it ended.
        EXPECT_EQ(r.err.contains(message), c.withBrokenSource) << r.err.toStdString();
        EXPECT_EQ(r.err.isEmpty(), !c.withBrokenSource) << r.err.toStdString();
    } else {
        ASSERT_EQ(lines.size(), 2) << r.out.toStdString();
        EXPECT_EQ(lines.first(), message);
    }
}

INSTANTIATE_TEST_SUITE_P(Modes, QuietOutputTest,
                         ::testing::Values(QuietCase{"QuietSuccess", true, false},
                                           QuietCase{"QuietFailure", true, true},
                                           QuietCase{"LoudSuccess", false, false},
                                           QuietCase{"LoudFailure", false, true}),
                         ByName());

TEST_F(EdgeCasesCliTest, HelpSaysWhatQuietLeaves) {
    const CliResult help = runCli({QStringLiteral("--help")});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(help.out.contains(QStringLiteral("only the 'Log: PATH' line")))
        << help.out.toStdString();
}

struct MadeFolderCase {
    const char* name;
    const char* output; // under @OUT
    QStringList extra;
};

class OutputFolderMadeTest : public EdgeCasesCliTest,
                             public ::testing::WithParamInterface<MadeFolderCase> {};

// Like mkdir -p: a shard's output folder need not be made beforehand.
TEST_P(OutputFolderMadeTest, MissingParentsAreMade) {
    makeTiff(QStringLiteral("x/a.tif"), 2);
    const QString target = QDir(out).filePath(QString::fromUtf8(GetParam().output));
    const CliResult r =
        runCli(withFolders(GetParam().extra + QStringList{QStringLiteral("-o"), target,
                                                          QStringLiteral("@IN/x/a.tif")}));
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    const QString written =
        GetParam().extra.isEmpty() ? target : QDir(target).filePath(QStringLiteral("x"));
    EXPECT_EQ(QDir(written).entryList(QDir::Files),
              (QStringList{QStringLiteral("a1.jpg"), QStringLiteral("a2.jpg")}));
}

INSTANTIATE_TEST_SUITE_P(Folders, OutputFolderMadeTest,
                         ::testing::Values(MadeFolderCase{"OneLevel", "new", {}},
                                           MadeFolderCase{"SeveralLevels", "a/b/c", {}},
                                           MadeFolderCase{"Mirrored",
                                                          "mirror/of/in",
                                                          {QStringLiteral("--mirror"),
                                                           QStringLiteral("@IN")}}),
                         ByName());

TEST_F(EdgeCasesCliTest, RelativeOutputFolderIsMadeUnderTheWorkingFolder) {
    makeTiff(QStringLiteral("a.tif"));
    QProcess cli;
    cli.setWorkingDirectory(out);
    cli.start(QStringLiteral(PICTAVO_CONVERT_PATH),
              {QStringLiteral("--quiet"), QStringLiteral("--log-dir"), logs, QStringLiteral("-o"),
               QStringLiteral("made/here"), inPath(QStringLiteral("a.tif"))});
    ASSERT_TRUE(cli.waitForFinished(120000));
    EXPECT_EQ(cli.exitCode(), 0) << cli.readAllStandardError().constData();
    EXPECT_TRUE(QFileInfo::exists(QDir(out).filePath(QStringLiteral("made/here/a1.jpg"))));
}

struct EmptyCase {
    const char* name;
    QStringList arguments;
    QByteArray input;
};

class EmptyRunTest : public EdgeCasesCliTest, public ::testing::WithParamInterface<EmptyCase> {
protected:
    void SetUp() override {
        QDir().mkpath(inPath(QStringLiteral("empty")));
        makeTiff(QStringLiteral("parent/child/deep.tif"));
        ASSERT_TRUE(writeFileBytes(inPath(QStringLiteral("notes.txt")), "not a TIFF"));
        ASSERT_TRUE(writeFileBytes(inPath(QStringLiteral("no-tiff.txt")),
                                   (inPath(QStringLiteral("notes.txt")) + QStringLiteral("\n") +
                                    inPath(QStringLiteral("picture.png")) + QStringLiteral("\n"))
                                       .toUtf8()));
        ASSERT_TRUE(writeFileBytes(inPath(QStringLiteral("empty.txt")), ""));
    }
};

// `split -n l/N` makes empty chunks when N nears the number of lines: such a
// shard has nothing to do, which is no error, and still leaves its log.
TEST_P(EmptyRunTest, ConvertsNothingWithANoteAndALog) {
    const CliResult r = runCli(withFolders(GetParam().arguments), GetParam().input);
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(QStringLiteral("no TIFF files found"))) << r.err.toStdString();
    const QString log = logOf(r);
    ASSERT_FALSE(log.isEmpty()) << r.out.toStdString();
    EXPECT_EQ(log.count(QStringLiteral("<Files ")), 0);
    EXPECT_TRUE(outputs().isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Inputs, EmptyRunTest,
    ::testing::Values(
        EmptyCase{"EmptyFolder",
                  {QStringLiteral("-o"), QStringLiteral("@OUT"), QStringLiteral("@IN/empty")},
                  {}},
        EmptyCase{"OnlySubfoldersWithoutRecursion",
                  {QStringLiteral("--quiet"), QStringLiteral("-o"), QStringLiteral("@OUT"),
                   QStringLiteral("@IN/parent")},
                  {}},
        EmptyCase{"ListWithoutTiffLines",
                  {QStringLiteral("-o"), QStringLiteral("@OUT"), QStringLiteral("-l"),
                   QStringLiteral("@IN/no-tiff.txt")},
                  {}},
        EmptyCase{"EmptyListFile",
                  {QStringLiteral("--quiet"), QStringLiteral("--mirror"), QStringLiteral("@IN"),
                   QStringLiteral("-o"), QStringLiteral("@OUT"), QStringLiteral("-l"),
                   QStringLiteral("@IN/empty.txt")},
                  {}},
        EmptyCase{"EmptyStandardInput",
                  {QStringLiteral("-o"), QStringLiteral("@OUT"), QStringLiteral("-l"),
                   QStringLiteral("-")},
                  {}},
        EmptyCase{"StandardInputWithoutTiffLines",
                  {QStringLiteral("-o"), QStringLiteral("@OUT"), QStringLiteral("-l"),
                   QStringLiteral("-")},
                  "/nowhere/a.png\n\n"}),
    ByName());

enum class Special { Pipe, Socket, LinkToAFile };

struct SpecialCase {
    const char* name;
    Special kind;
    const char* at; // under @IN
    bool named;     // given on the command line, not found in a folder
    bool listed;    // in a -l list instead
    bool recursive;
};

class SpecialFileTest : public EdgeCasesCliTest, public ::testing::WithParamInterface<SpecialCase> {
protected:
    void TearDown() override {
        if (m_socket >= 0) {
            ::close(m_socket);
        }
    }

    bool makeSocket(const QString& path) {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        const QByteArray bytes = QFile::encodeName(path);
        if (static_cast<size_t>(bytes.size()) >= sizeof(address.sun_path)) {
            return false;
        }
        std::copy(bytes.begin(), bytes.end(), address.sun_path);
        m_socket = ::socket(AF_UNIX, SOCK_STREAM, 0);
        return m_socket >= 0 &&
               ::bind(m_socket, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0;
    }

    int m_socket = -1;
};

// A special file never hangs the run: in a folder it is skipped like any
// other file that is no TIFF; named or listed, it is refused with the reason
// and logged as not opened. Never is it opened.
TEST_P(SpecialFileTest, IsNeverOpenedAndNeverHangs) {
    const SpecialCase& c = GetParam();
    makeTiff(QStringLiteral("good.tif"));
    const QString special = inPath(QString::fromUtf8(c.at));
    QDir().mkpath(QFileInfo(special).path());
    std::unique_ptr<WatchedPipe> pipe;
    switch (c.kind) {
    case Special::Pipe:
        pipe = std::make_unique<WatchedPipe>(special);
        ASSERT_TRUE(pipe->made());
        break;
    case Special::Socket:
        ASSERT_TRUE(makeSocket(special));
        break;
    case Special::LinkToAFile:
        ASSERT_TRUE(QFile::link(inPath(QStringLiteral("good.tif")), special));
        break;
    }
    QStringList args = {QStringLiteral("-o"), QStringLiteral("@OUT")};
    if (c.recursive) {
        args.append(QStringLiteral("-r"));
    }
    if (c.listed) {
        const QString list = QDir(logs).filePath(QStringLiteral("list.txt"));
        ASSERT_TRUE(writeFileBytes(
            list, (inPath(QStringLiteral("good.tif")) + QLatin1Char('\n') + special).toUtf8()));
        args += {QStringLiteral("-l"), list};
    } else if (c.named) {
        args += {inPath(QStringLiteral("good.tif")), special};
    } else {
        args.append(QStringLiteral("@IN"));
    }
    const CliResult r = runCli(withFolders(args), {}, pipe.get());
    if (pipe) {
        EXPECT_FALSE(pipe->wasOpened());
    }
    const QString log = logOf(r);
    if (c.kind == Special::LinkToAFile) {
        EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
        EXPECT_EQ(outputs().size(), 2) << outputs().join(QLatin1Char(' ')).toStdString();
        return;
    }
    EXPECT_TRUE(outputs().contains(QStringLiteral("good1.jpg")));
    EXPECT_EQ(outputs().size(), 1) << outputs().join(QLatin1Char(' ')).toStdString();
    const QString kind =
        c.kind == Special::Pipe ? QStringLiteral("a named pipe") : QStringLiteral("a socket");
    if (c.named || c.listed) {
        EXPECT_EQ(r.exitCode, 1) << r.err.toStdString();
        EXPECT_TRUE(r.err.contains(
            QStringLiteral("not a regular file: '%1' (%2; it is logged as not opened)")
                .arg(special, kind)))
            << r.err.toStdString();
        EXPECT_TRUE(
            log.contains(QStringLiteral("FileName=\"%1\"").arg(QFileInfo(special).fileName())))
            << log.toStdString();
        EXPECT_TRUE(log.contains(QStringLiteral("Status=\"Unable to Open File!\"")))
            << log.toStdString();
    } else {
        EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
        EXPECT_FALSE(r.err.contains(QFileInfo(special).fileName())) << r.err.toStdString();
        EXPECT_EQ(log.count(QStringLiteral("<Files ")), 1) << log.toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, SpecialFileTest,
    ::testing::Values(
        SpecialCase{"PipeInAFolder", Special::Pipe, "x.tif", false, false, false},
        SpecialCase{"PipeInASubfolder", Special::Pipe, "sub/x.TIF", false, false, true},
        SpecialCase{"PipeNamed", Special::Pipe, "x.tif", true, false, false},
        SpecialCase{"PipeListed", Special::Pipe, "x.tiff", false, true, false},
        SpecialCase{"SocketInAFolder", Special::Socket, "s.tif", false, false, false},
        SpecialCase{"SocketNamed", Special::Socket, "s.tif", true, false, false},
        SpecialCase{"LinkToAFileInAFolder", Special::LinkToAFile, "link.tif", false, false, false},
        SpecialCase{"LinkToAFileNamed", Special::LinkToAFile, "link.tif", true, false, false}),
    ByName());

TEST_F(EdgeCasesCliTest, DeviceNamedIsRefusedWithItsKind) {
    makeTiff(QStringLiteral("good.tif"));
    const CliResult r =
        runCli(withFolders({QStringLiteral("-o"), QStringLiteral("@OUT"),
                            inPath(QStringLiteral("good.tif")), QStringLiteral("/dev/zero")}));
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains(QStringLiteral("not a regular file: '/dev/zero' (a character "
                                              "device")))
        << r.err.toStdString();
    EXPECT_EQ(outputs(), QStringList{QStringLiteral("good1.jpg")});
}

} // namespace
