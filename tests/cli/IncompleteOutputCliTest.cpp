// What pictavo-convert says when a source's outputs are not all written: a
// source whose pages cannot all be read, an output left damaged by an
// earlier run, a gathered TIFF cut short by Ctrl+C, a disk that fills up.
// None of them passes for a complete conversion, and --skip-existing never
// takes such an output for done.
#include "engine/TiffHandle.h"
#include "support/TestEnvironment.h"
#include "support/TestTiff.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include <csignal>
#include <cstring>
#include <functional>
#include <gtest/gtest.h>

#include <sys/resource.h>

namespace {

const QString kSomeFailed = QStringLiteral("Pictavo unable able to convert some of the files!");
const QString kSkipped = QStringLiteral("Status=\"Skipped: already converted\"");

struct CliRun {
    int exitCode = -1;
    QString out;
    QString err;
    QString log; // the XML log's text
};

QString logNamedIn(const QString& out) {
    const qsizetype at = out.indexOf(QStringLiteral("Log: "));
    if (at < 0) {
        return {};
    }
    return QString::fromUtf8(readFileBytes(out.mid(at + 5).trimmed()));
}

CliRun finish(QProcess& cli) {
    EXPECT_TRUE(cli.waitForFinished(120000));
    CliRun run;
    run.exitCode = cli.exitStatus() == QProcess::NormalExit ? cli.exitCode() : -1;
    run.out = QString::fromLocal8Bit(cli.readAllStandardOutput());
    run.err += QString::fromLocal8Bit(cli.readAllStandardError());
    run.log = logNamedIn(run.out);
    return run;
}

// The value of `attribute` of the "Files" element of the source `name`.
QString sourceAttribute(const QString& log, const QString& name, const QString& attribute) {
    const qsizetype at = log.indexOf(QStringLiteral("FileName=\"%1\"").arg(name));
    if (at < 0) {
        return QStringLiteral("<no entry>");
    }
    const QString key = attribute + QStringLiteral("=\"");
    const qsizetype start = log.indexOf(key, at) + key.size();
    return log.mid(start, log.indexOf(QLatin1Char('"'), start) - start);
}

class IncompleteOutputCliTest : public ::testing::Test {
protected:
    QString in = makeTestFolder(QStringLiteral("in"));
    QString out = makeTestFolder(QStringLiteral("out"));
    QString logs = makeTestFolder(QStringLiteral("logs"));

    QString makeTiff(const QString& name, int pages, uint32_t side) const {
        std::vector<TestTiffPage> layout;
        for (int i = 0; i < pages; ++i) {
            layout.push_back(rgbPage(side + uint32_t(i), side, 8));
        }
        const QString path = QDir(in).filePath(name);
        EXPECT_TRUE(writeTestTiff(path, layout));
        return path;
    }

    QStringList arguments(const QStringList& options, const QStringList& sources) const {
        return options + QStringList{QStringLiteral("-o"), out, QStringLiteral("--log-dir"), logs} +
               sources;
    }

    CliRun convert(const QStringList& options, const QStringList& sources,
                   const std::function<void()>& inChild = {}) const {
        QProcess cli;
        if (inChild) {
            cli.setChildProcessModifier(inChild);
        }
        cli.start(QStringLiteral(PICTAVO_CONVERT_PATH), arguments(options, sources));
        EXPECT_TRUE(cli.waitForStarted());
        return finish(cli);
    }

    QString output(const QString& name) const { return QDir(out).filePath(name); }
};

// The source's third directory is cut off: the two pages before it are
// written, the run says it lost the rest, and a rerun that skips what is done
// does not skip it.
struct TypeCase {
    const char* name;
    QStringList options;
    QStringList files;
};

class BrokenChainCliTest : public IncompleteOutputCliTest,
                           public ::testing::WithParamInterface<TypeCase> {};

TEST_P(BrokenChainCliTest, PagesPastTheBreakAreToldLost) {
    const QString source = makeTiff(QStringLiteral("multi.tif"), 3, 300);
    {
        Result<TiffHandle> tiff = TiffHandle::openFile(source, "r");
        ASSERT_TRUE(tiff.ok());
        ASSERT_EQ(TIFFSetDirectory(tiff->get(), 2), 1);
        const auto third = static_cast<qint64>(TIFFCurrentDirOffset(tiff->get()));
        ASSERT_TRUE(QFile(source).resize(third));
    }
    for (const QStringList& extra :
         {QStringList(), QStringList{QStringLiteral("--skip-existing")}}) {
        const CliRun run = convert(GetParam().options + extra, {source});
        EXPECT_EQ(run.exitCode, 1) << run.out.toStdString() << run.err.toStdString();
        EXPECT_TRUE(run.out.startsWith(kSomeFailed)) << run.out.toStdString();
        EXPECT_TRUE(sourceAttribute(run.log, QStringLiteral("multi.tif"), QStringLiteral("Status"))
                        .startsWith(QStringLiteral("Only 2 pages of the file could be read: the "
                                                   "directory of page 3 cannot be read")))
            << run.log.toStdString();
        EXPECT_FALSE(run.log.contains(kSkipped));
        EXPECT_TRUE(run.err.contains(
            QStringLiteral("Cannot read “%1” past page 2: the directory of page 3").arg(source)))
            << run.err.toStdString();
        EXPECT_EQ(QDir(out).entryList(QDir::Files), GetParam().files);
    }
    if (GetParam().files.size() == 1) {
        EXPECT_EQ(summarizeTiff(output(GetParam().files.front())).pages, 2);
    }
}

INSTANTIATE_TEST_SUITE_P(Types, BrokenChainCliTest,
                         ::testing::Values(TypeCase{"PagePngs",
                                                    {QStringLiteral("-t"), QStringLiteral("png")},
                                                    {QStringLiteral("multi1.png"),
                                                     QStringLiteral("multi2.png")}},
                                           TypeCase{"GatheredTiff",
                                                    {QStringLiteral("-t"), QStringLiteral("tiff")},
                                                    {QStringLiteral("multi.tiff")}}),
                         ByName());

// An earlier run's output, cut short afterwards, is converted again whole;
// the source whose outputs are whole is still skipped.
struct DamageCase {
    const char* name;
    QStringList options;
    const char* damaged; // the output of b.tif that is cut short
    bool toNothing;      // cut to 0 bytes, else to half
};

class DamagedOutputCliTest : public IncompleteOutputCliTest,
                             public ::testing::WithParamInterface<DamageCase> {};

TEST_P(DamagedOutputCliTest, SkipExistingConvertsItAgain) {
    const DamageCase& c = GetParam();
    const QStringList sources{makeTiff(QStringLiteral("a.tif"), 2, 40),
                              makeTiff(QStringLiteral("b.tif"), 2, 50)};
    const QStringList options = c.options + QStringList{QStringLiteral("--skip-existing")};
    ASSERT_EQ(convert(options, sources).exitCode, 0);
    const QString damaged = output(QString::fromLatin1(c.damaged));
    const QByteArray whole = readFileBytes(damaged);
    ASSERT_FALSE(whole.isEmpty());
    ASSERT_TRUE(QFile(damaged).resize(c.toNothing ? 0 : whole.size() / 2));

    const CliRun again = convert(options, sources);
    EXPECT_EQ(again.exitCode, 0) << again.out.toStdString() << again.err.toStdString();
    EXPECT_EQ(again.log.count(kSkipped), 1) << again.log.toStdString();
    EXPECT_EQ(sourceAttribute(again.log, QStringLiteral("a.tif"), QStringLiteral("Status")),
              QStringLiteral("Skipped: already converted"));
    EXPECT_EQ(sourceAttribute(again.log, QStringLiteral("b.tif"), QStringLiteral("Status")),
              QString());
    EXPECT_TRUE(readFileBytes(damaged) == whole);
    for (const QString& name : QDir(out).entryList(QDir::Files | QDir::Hidden)) {
        EXPECT_FALSE(name.startsWith(QLatin1Char('.'))) << "stray " << name.toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Outputs, DamagedOutputCliTest,
    ::testing::Values(
        DamageCase{"PngHalf", {QStringLiteral("-t"), QStringLiteral("png")}, "b2.png", false},
        DamageCase{"PngEmpty", {QStringLiteral("-t"), QStringLiteral("png")}, "b2.png", true},
        DamageCase{"JpegHalf", {}, "b1.jpg", false},
        DamageCase{"GifHalf", {QStringLiteral("-t"), QStringLiteral("gif")}, "b2.gif", false},
        DamageCase{"BmpHalf", {QStringLiteral("-t"), QStringLiteral("bmp")}, "b2.bmp", false},
        DamageCase{"TiffPageHalf",
                   {QStringLiteral("-t"), QStringLiteral("tiff"), QStringLiteral("--split")},
                   "b2.tiff",
                   false},
        DamageCase{
            "GatheredTiffHalf", {QStringLiteral("-t"), QStringLiteral("tiff")}, "b.tiff", false},
        DamageCase{"GatheredTiffEmpty",
                   {QStringLiteral("-t"), QStringLiteral("tiff"), QStringLiteral("-c"),
                    QStringLiteral("lzw")},
                   "b.tiff",
                   true}),
    ByName());

// Ctrl+C while a long source is gathered into one TIFF: the pages gathered
// are kept, the log says how many of the source's, and a rerun that skips
// what is done converts the source again whole.
TEST_F(IncompleteOutputCliTest, CancelledGatheredTiffIsNeverTakenForWhole) {
    constexpr int kPages = 60;
    // Pages small on disk that take long to convert (JPEG read, LZW
    // written), so that the stop lands mid-source on a loaded machine too.
    std::vector<TestTiffPage> longPages;
    for (int i = 0; i < kPages; ++i) {
        TestTiffPage page = rgbPage(400 + uint32_t(i), 400, 8);
        page.compression = COMPRESSION_JPEG;
        longPages.push_back(page);
    }
    const QString longSource = QDir(in).filePath(QStringLiteral("long.tif"));
    ASSERT_TRUE(writeTestTiff(longSource, longPages));
    const QStringList sources{makeTiff(QStringLiteral("first.tif"), 1, 8), longSource};
    const QStringList options{QStringLiteral("-t"),
                              QStringLiteral("tiff"),
                              QStringLiteral("-c"),
                              QStringLiteral("lzw"),
                              QStringLiteral("-j"),
                              QStringLiteral("1"),
                              QStringLiteral("--skip-existing")};
    const QString gathered = output(QStringLiteral("long.tiff"));
    CliRun cancelled;
    // A stop that comes only once the source is through proves nothing and
    // is tried again.
    for (int attempt = 0; attempt < 5; ++attempt) {
        QFile::remove(gathered);
        QFile::remove(output(QStringLiteral("first.tiff")));
        QProcess cli;
        // Launched from a shell without job control, this test inherits an
        // ignored SIGINT, which the converter rightly keeps ignoring.
        cli.setChildProcessModifier([] { (void)::signal(SIGINT, SIG_DFL); });
        cli.start(QStringLiteral(PICTAVO_CONVERT_PATH), arguments(options, sources));
        ASSERT_TRUE(cli.waitForStarted());
        cli.setReadChannel(QProcess::StandardError);
        QByteArray err;
        while (!err.contains("[1/2]") && cli.waitForReadyRead(60000)) {
            err += cli.readAllStandardError();
        }
        ASSERT_TRUE(err.contains("[1/2]")) << err.constData();
        ::kill(static_cast<pid_t>(cli.processId()), SIGINT);
        cancelled = finish(cli);
        cancelled.err.prepend(QString::fromLocal8Bit(err));
        if (sourceAttribute(cancelled.log, QStringLiteral("long.tif"), QStringLiteral("Pages")) !=
            QString::number(kPages)) {
            break;
        }
    }
    EXPECT_EQ(cancelled.exitCode, 130) << cancelled.err.toStdString();
    EXPECT_TRUE(cancelled.out.startsWith(QStringLiteral("Process cancelled!")));
    const int kept = QFileInfo::exists(gathered) ? summarizeTiff(gathered).pages : 0;
    ASSERT_LT(kept, kPages) << "the stop never came before the last page";
    EXPECT_EQ(sourceAttribute(cancelled.log, QStringLiteral("long.tif"), QStringLiteral("Pages")),
              QString::number(kept));
    EXPECT_EQ(sourceAttribute(cancelled.log, QStringLiteral("long.tif"), QStringLiteral("Status")),
              QStringLiteral("Cancelled: %1 of %2 pages written").arg(kept).arg(kPages));

    const CliRun again = convert(options, sources);
    EXPECT_EQ(again.exitCode, 0) << again.out.toStdString() << again.err.toStdString();
    EXPECT_EQ(sourceAttribute(again.log, QStringLiteral("long.tif"), QStringLiteral("Status")),
              QString());
    EXPECT_EQ(summarizeTiff(gathered).pages, kPages);
}

// A disk that fills up (a file size limit stands in for it) is told in the
// system's words with the output's own name, in TIFF output as in the others.
class FullDiskTiffCliTest : public IncompleteOutputCliTest,
                            public ::testing::WithParamInterface<TypeCase> {};

TEST_P(FullDiskTiffCliTest, TheSystemsReasonIsTold) {
    // Noise, which no compression brings under the limit.
    TestTiffPage noise = rgbPage(300, 300, 8);
    noise.sample = [](uint32_t x, uint32_t y, uint16_t s) {
        return ((x * 2654435761U) ^ (y * 40503U) ^ (s * 977U)) >> 7 & 0xFFU;
    };
    const QString source = QDir(in).filePath(QStringLiteral("src.tif"));
    ASSERT_TRUE(writeTestTiff(source, {noise, noise}));
    constexpr rlim_t kLimit = 64 * 1024;
    const CliRun run = convert(GetParam().options, {source}, [] {
        const rlimit limit{kLimit, kLimit};
        ::setrlimit(RLIMIT_FSIZE, &limit);
    });
    EXPECT_EQ(run.exitCode, 1) << run.out.toStdString() << run.err.toStdString();
    const QString reason = QString::fromLocal8Bit(std::strerror(EFBIG));
    for (const QString& name : GetParam().files) {
        EXPECT_TRUE(
            run.err.contains(QStringLiteral("Cannot write “%1”: %2").arg(output(name), reason)))
            << run.err.toStdString();
    }
    EXPECT_FALSE(run.err.contains(QStringLiteral("/proc/"))) << run.err.toStdString();
    EXPECT_TRUE(QDir(out).entryList(QDir::Files | QDir::Hidden).isEmpty());
    if (GetParam().files.size() == 1) {
        // The one file of the source is lost: its entry says why.
        EXPECT_EQ(
            sourceAttribute(run.log, QStringLiteral("src.tif"), QStringLiteral("Status")),
            QStringLiteral("Cannot write “%1”: %2").arg(output(GetParam().files.front()), reason));
    }
}

INSTANTIATE_TEST_SUITE_P(Tiff, FullDiskTiffCliTest,
                         ::testing::Values(TypeCase{"Gathered",
                                                    {QStringLiteral("-t"), QStringLiteral("tiff")},
                                                    {QStringLiteral("src.tiff")}},
                                           TypeCase{"GatheredLzw",
                                                    {QStringLiteral("-t"), QStringLiteral("tiff"),
                                                     QStringLiteral("-c"), QStringLiteral("lzw")},
                                                    {QStringLiteral("src.tiff")}},
                                           TypeCase{"PerPage",
                                                    {QStringLiteral("-t"), QStringLiteral("tiff"),
                                                     QStringLiteral("--split")},
                                                    {QStringLiteral("src1.tiff"),
                                                     QStringLiteral("src2.tiff")}}),
                         ByName());

} // namespace
