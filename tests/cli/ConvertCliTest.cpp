#include "ConvertCliFixture.h"

namespace {

TEST_F(ConvertCliTest, ConvertsAFolderAndReportsTheLog) {
    makeTiff(QStringLiteral("a.tif"), 2);
    makeTiff(QStringLiteral("b.TIFF"), 1);
    makeTiff(QStringLiteral(".hidden.tif"), 1);
    makeTiff(QStringLiteral("mixed.Tif"), 1);
    makeTiff(QStringLiteral("sub/deep.tif"), 1);
    const CliResult r = runCli(
        common() + QStringList{QStringLiteral("-t"), QStringLiteral("png"), QStringLiteral("-s"),
                               QStringLiteral("_"), QStringLiteral("-z"), QStringLiteral("3"), in});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(outputs(), (QStringList{QStringLiteral("a_001.png"), QStringLiteral("a_002.png"),
                                      QStringLiteral("b_001.png")}));
    const QStringList lines = r.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 2) << r.out.toStdString();
    EXPECT_EQ(lines[0], QStringLiteral("Total 3 files converted successfully."));
    ASSERT_TRUE(lines[1].startsWith(QStringLiteral("Log: ") + logs));
    EXPECT_TRUE(QFileInfo::exists(lines[1].mid(5)));
    // Not a terminal: plain progress lines.
    EXPECT_TRUE(r.err.contains(QStringLiteral("[2/2]"))) << r.err.toStdString();
}

TEST_F(ConvertCliTest, RecursiveWalksSubfoldersAndSkipsDuplicates) {
    const QString a = makeTiff(QStringLiteral("a.tif"), 1);
    makeTiff(QStringLiteral("sub/deep.tif"), 1);
    const CliResult r =
        runCli(common() + QStringList{QStringLiteral("-r"), QStringLiteral("--quiet"), in, a});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(outputs(), (QStringList{QStringLiteral("a1.jpg"), QStringLiteral("deep1.jpg")}));
    EXPECT_TRUE(r.out.startsWith(QStringLiteral("Log: "))) << r.out.toStdString();
}

TEST_F(ConvertCliTest, MultiPageTiffWithCompression) {
    makeTiff(QStringLiteral("doc.tif"), 3);
    const CliResult r =
        runCli(common() + QStringList{QStringLiteral("-t"), QStringLiteral("tiff"),
                                      QStringLiteral("-c"), QStringLiteral("lzw"), in});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(outputs(), QStringList{QStringLiteral("doc.tiff")});
    const TiffSummary written = summarizeTiff(QDir(out).filePath(QStringLiteral("doc.tiff")));
    EXPECT_EQ(written.pages, 3);
    EXPECT_EQ(written.compression, COMPRESSION_LZW);
}

// The pages `qpdf` counts in a PDF; -1 when it cannot read it.
int pdfPageCount(const QString& path) {
    QProcess qpdf;
    qpdf.start(QStringLiteral("qpdf"), {QStringLiteral("--show-npages"), path});
    if (!qpdf.waitForFinished(-1) || qpdf.exitCode() != 0) {
        return -1;
    }
    return QString::fromLatin1(qpdf.readAllStandardOutput()).trimmed().toInt();
}

TEST_F(ConvertCliTest, PdfPerSourceOrPerPage) {
    makeTiff(QStringLiteral("doc.tif"), 3);
    const CliResult gathered =
        runCli(common() + QStringList{QStringLiteral("-t"), QStringLiteral("pdf"), in});
    EXPECT_EQ(gathered.exitCode, 0) << gathered.err.toStdString();
    EXPECT_EQ(outputs(), QStringList{QStringLiteral("doc.pdf")});
    EXPECT_EQ(pdfPageCount(QDir(out).filePath(QStringLiteral("doc.pdf"))), 3);
    EXPECT_TRUE(gathered.out.startsWith(QStringLiteral("All files converted successfully.")))
        << gathered.out.toStdString();

    const CliResult split =
        runCli(common() + QStringList{QStringLiteral("-t"), QStringLiteral("pdf"),
                                      QStringLiteral("--split"), QStringLiteral("-s"),
                                      QStringLiteral("-"), in});
    EXPECT_EQ(split.exitCode, 0) << split.err.toStdString();
    EXPECT_EQ(outputs(), (QStringList{QStringLiteral("doc-1.pdf"), QStringLiteral("doc-2.pdf"),
                                      QStringLiteral("doc-3.pdf"), QStringLiteral("doc.pdf")}));
    EXPECT_EQ(pdfPageCount(QDir(out).filePath(QStringLiteral("doc-2.pdf"))), 1);
}

TEST_F(ConvertCliTest, ReadsPathsFromStandardInput) {
    const QString a = makeTiff(QStringLiteral("a.tif"), 1);
    const QString b = makeTiff(QStringLiteral("b.tif"), 1);
    const CliResult r =
        runCli(common() + QStringList{QStringLiteral("-l"), QStringLiteral("-")},
               (a + QStringLiteral("\r\n\n") + b + QStringLiteral("\n")).toLocal8Bit());
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(outputs(), (QStringList{QStringLiteral("a1.jpg"), QStringLiteral("b1.jpg")}));
}

TEST_F(ConvertCliTest, BrokenSourceGivesStatusOne) {
    makeTiff(QStringLiteral("good.tif"), 1);
    ASSERT_TRUE(writeFileBytes(QDir(in).filePath(QStringLiteral("bad.tif")), "II*\0garbage"));
    const CliResult r = runCli(common() + QStringList{in});
    EXPECT_EQ(r.exitCode, 1) << r.err.toStdString();
    EXPECT_EQ(outputs(), QStringList{QStringLiteral("good1.jpg")});
}

struct UsageCase {
    const char* name;
    QStringList arguments;
    const char* mentions;
};

class ConvertCliUsageTest : public ConvertCliTest,
                            public ::testing::WithParamInterface<UsageCase> {};

TEST_P(ConvertCliUsageTest, BadUsageGivesStatusTwoAndNamesTheProblem) {
    makeTiff(QStringLiteral("a.tif"), 1);
    QStringList arguments = GetParam().arguments;
    arguments.replaceInStrings(QStringLiteral("@IN"), in);
    arguments.replaceInStrings(QStringLiteral("@OUT"), out);
    const CliResult r = runCli(arguments);
    EXPECT_EQ(r.exitCode, 2);
    const QString mentions =
        QString::fromUtf8(GetParam().mentions).replace(QStringLiteral("@IN"), in);
    EXPECT_TRUE(r.err.contains(mentions)) << r.err.toStdString();
    EXPECT_TRUE(outputs().isEmpty());
    // Nothing made for a run that never started.
    EXPECT_FALSE(QFileInfo::exists(QDir(out).filePath(QStringLiteral("absent"))));
}

INSTANTIATE_TEST_SUITE_P(
    Usage, ConvertCliUsageTest,
    ::testing::Values(
        UsageCase{"NoPath", {QStringLiteral("-o"), QStringLiteral("@OUT")}, "no PATH"},
        UsageCase{"UnknownType",
                  {QStringLiteral("-t"), QStringLiteral("webp"), QStringLiteral("@IN")},
                  "webp"},
        UsageCase{"QualityOutOfRange",
                  {QStringLiteral("-q"), QStringLiteral("11"), QStringLiteral("@IN")},
                  "11"},
        UsageCase{"LeadingZerosPastTheSettingsRange",
                  {QStringLiteral("-z"), QStringLiteral("10"), QStringLiteral("@IN")},
                  "from 0 to 9"},
        UsageCase{"UnknownCompression",
                  {QStringLiteral("-c"), QStringLiteral("zip"), QStringLiteral("@IN")},
                  "zip"},
        UsageCase{
            "UnknownOption", {QStringLiteral("--frobnicate"), QStringLiteral("@IN")}, "frobnicate"},
        UsageCase{"MissingPath",
                  {QStringLiteral("-o"), QStringLiteral("@OUT"), QStringLiteral("@IN/nope.tif")},
                  "nope.tif"},
        UsageCase{
            "MissingPathMakesNoOutputFolder",
            {QStringLiteral("-o"), QStringLiteral("@OUT/absent"), QStringLiteral("@IN/nope.tif")},
            "nope.tif"},
        UsageCase{"OutputIsAFile",
                  {QStringLiteral("-o"), QStringLiteral("@IN/a.tif"), QStringLiteral("@IN")},
                  "the output folder '@IN/a.tif' is not a folder"},
        UsageCase{
            "OutputUnderAFile",
            {QStringLiteral("-o"), QStringLiteral("@IN/a.tif/sub/deeper"), QStringLiteral("@IN")},
            "cannot create the output folder '@IN/a.tif/sub/deeper': '@IN/a.tif' is not a "
            "folder"},
        UsageCase{"MissingList",
                  {QStringLiteral("-o"), QStringLiteral("@OUT"), QStringLiteral("-l"),
                   QStringLiteral("@IN/nope.txt")},
                  "cannot read the list '@IN/nope.txt'"},
        UsageCase{"MirrorWithoutOutput",
                  {QStringLiteral("--mirror"), QStringLiteral("@IN"), QStringLiteral("@IN")},
                  "--mirror needs an output folder"},
        UsageCase{"NoJobs",
                  {QStringLiteral("-j"), QStringLiteral("0"), QStringLiteral("@IN")},
                  "--jobs takes"},
        UsageCase{"JobsNotANumber",
                  {QStringLiteral("--jobs"), QStringLiteral("all"), QStringLiteral("@IN")},
                  "'all'"},
        UsageCase{"TooManyJobs",
                  {QStringLiteral("--jobs"), QStringLiteral("257"), QStringLiteral("@IN")},
                  "from 1 to 256"}),
    ByName());

TEST_F(ConvertCliTest, UnwritableLogIsAFailureNamedOnStderr) {
    makeTiff(QStringLiteral("a.tif"), 1);
    // Exists, yet nobody may create a file in it, root included.
    const QStringList arguments = {QStringLiteral("-o"), out, QStringLiteral("--log-dir"),
                                   QStringLiteral("/proc/1"), in};
    const CliResult r = runCli(arguments);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains(QStringLiteral("the log could not be written: ")))
        << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(QStringLiteral("/proc/1"))) << r.err.toStdString();
    EXPECT_FALSE(r.out.contains(QStringLiteral("Log: "))) << r.out.toStdString();
    EXPECT_EQ(outputs(), QStringList{QStringLiteral("a1.jpg")}); // the pages are kept
}

TEST_F(ConvertCliTest, ListReadsLikeTheImportAndSurvivesAStaleLine) {
    const QString a = makeTiff(QStringLiteral("a.tif"), 2);
    const QString b = makeTiff(QStringLiteral("b.TIF"), 1);
    const QString gone = QDir(in).filePath(QStringLiteral("gone.tif"));
    const QString list = QDir(in).filePath(QStringLiteral("list.txt"));
    const QStringList lines = {a, QDir(in).filePath(QStringLiteral("picture.png")), gone, b, a};
    ASSERT_TRUE(writeFileBytes(
        list, (lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n")).toUtf8()));
    const CliResult r = runCli(common() + QStringList{QStringLiteral("-l"), list});
    EXPECT_EQ(r.exitCode, 1) << r.err.toStdString();
    EXPECT_EQ(outputs(), (QStringList{QStringLiteral("a1.jpg"), QStringLiteral("a2.jpg"),
                                      QStringLiteral("b1.jpg")}));
    EXPECT_TRUE(r.err.contains(gone)) << r.err.toStdString();
    EXPECT_FALSE(r.err.contains(QStringLiteral("picture.png"))) << r.err.toStdString();
    const qsizetype at = r.out.indexOf(QStringLiteral("Log: "));
    ASSERT_GE(at, 0) << r.out.toStdString();
    QFile log(r.out.mid(at + 5).trimmed());
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    const QString xml = QString::fromUtf8(log.readAll());
    EXPECT_TRUE(xml.contains(QStringLiteral("FileName=\"gone.tif\"")));
    EXPECT_TRUE(xml.contains(QStringLiteral("Status=\"Unable to Open File!\"")));
    EXPECT_EQ(xml.count(QStringLiteral("<Files ")), 3);
}

TEST_F(ConvertCliTest, HelpAndVersion) {
    const CliResult help = runCli({QStringLiteral("--help")});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(help.out.contains(QStringLiteral("--leading-zeros")));
    const CliResult version = runCli({QStringLiteral("--version")});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_TRUE(version.out.startsWith(QStringLiteral("pictavo-convert ")));
}

TEST_F(ConvertCliTest, OneJobOrManyWriteTheSameFiles) {
    for (int i = 0; i < 3; ++i) {
        makeTiff(QStringLiteral("doc%1.tif").arg(i), 5, 40);
    }
    QMap<QString, QByteArray> written[2];
    const char* jobs[2] = {"1", "3"};
    for (int run = 0; run < 2; ++run) {
        const QString folder = makeTestFolder(QStringLiteral("jobs%1").arg(run));
        const CliResult r =
            runCli({QStringLiteral("-t"), QStringLiteral("png"), QStringLiteral("-j"),
                    QString::fromLatin1(jobs[run]), QStringLiteral("-o"), folder,
                    QStringLiteral("--log-dir"), logs, in});
        ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
        EXPECT_TRUE(r.out.startsWith(QStringLiteral("Total 15 files converted successfully.")))
            << r.out.toStdString();
        for (const QString& name : QDir(folder).entryList(QDir::Files | QDir::Hidden)) {
            written[run].insert(name, readFileBytes(QDir(folder).filePath(name)));
        }
    }
    EXPECT_EQ(written[0].size(), 15);
    EXPECT_EQ(written[1], written[0]);
}

TEST_F(ConvertCliTest, InterruptCancelsAtAPageBoundary) {
    for (int i = 0; i < 8; ++i) {
        makeTiff(QStringLiteral("big%1.tif").arg(i), 12, 800);
    }
    QProcess cli;
    cli.start(QStringLiteral(PICTAVO_CONVERT_PATH), common() + QStringList{in});
    ASSERT_TRUE(cli.waitForStarted());
    cli.setReadChannel(QProcess::StandardError);
    // The first finished source shows that the job runs; then Ctrl+C.
    QByteArray err;
    while (!err.contains("[1/8]") && cli.waitForReadyRead(60000)) {
        err += cli.readAllStandardError();
    }
    ASSERT_TRUE(err.contains("[1/8]")) << err.constData();
    ::kill(static_cast<pid_t>(cli.processId()), SIGINT);
    ASSERT_TRUE(cli.waitForFinished(60000));
    const QString printed = QString::fromLocal8Bit(cli.readAllStandardOutput());
    EXPECT_EQ(cli.exitCode(), 130);
    EXPECT_TRUE(printed.startsWith(QStringLiteral("Process cancelled!"))) << printed.toStdString();
    EXPECT_LT(outputs().size(), 8 * 12);
    EXPECT_GE(outputs().size(), 12);
    // Nothing half-written is left behind.
    for (const QString& name : outputs()) {
        EXPECT_FALSE(name.startsWith(QLatin1Char('.'))) << name.toStdString();
    }
}

} // namespace
