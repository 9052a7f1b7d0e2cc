#include "ConvertCliFixture.h"

namespace {

// Every file under `folder` by its relative path, with its bytes.
QMap<QString, QByteArray> treeOf(const QString& folder) {
    QMap<QString, QByteArray> files;
    QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
        files.insert(QDir(folder).relativeFilePath(path), file.readAll());
    }
    return files;
}

QString logOf(const CliResult& r) {
    const qsizetype at = r.out.indexOf(QStringLiteral("Log: "));
    EXPECT_GE(at, 0) << r.out.toStdString();
    QFile log(r.out.mid(at + 5).trimmed());
    EXPECT_TRUE(log.open(QIODevice::ReadOnly)) << log.fileName().toStdString();
    return QString::fromUtf8(log.readAll());
}

const QDateTime kLongAgo(QDate(2001, 2, 3), QTime(4, 5, 6), Qt::UTC);

void backdate(const QString& path) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::Append)) << path.toStdString();
    ASSERT_TRUE(file.setFileTime(kLongAgo, QFileDevice::FileModificationTime));
}

bool isBackdated(const QString& path) {
    return QFileInfo(path).lastModified().toUTC() == kLongAgo;
}

struct ShardCase {
    const char* name;
    QStringList options;
    int outputsPerRun;
};

class ConvertCliShardTest : public ConvertCliTest, public ::testing::WithParamInterface<ShardCase> {
protected:
    QString lists = makeTestFolder(QStringLiteral("lists"));

    // Two sources share a name in different folders: a flat run would call one
    // of them " (2)", and a shard could not know which.
    QStringList makeArchive() {
        return {makeTiff(QStringLiteral("a/x.tif"), 2, 12),
                makeTiff(QStringLiteral("a/b/y.tif"), 1, 14),
                makeTiff(QStringLiteral("a/dup.tif"), 1, 16),
                makeTiff(QStringLiteral("top.tif"), 2, 18),
                makeTiff(QStringLiteral("c/d/e/z.tif"), 1, 20),
                makeTiff(QStringLiteral("c/dup.tif"), 3, 22)};
    }

    QString writeList(const QString& name, const QStringList& paths) const {
        const QString path = QDir(lists).filePath(name);
        EXPECT_TRUE(
            writeFileBytes(path, (paths.join(QLatin1Char('\n')) + QLatin1Char('\n')).toUtf8()));
        return path;
    }

    QStringList arguments(const QString& output, const QString& logDir, const QString& list) const {
        return GetParam().options +
               QStringList{QStringLiteral("-o"),       output, QStringLiteral("--log-dir"), logDir,
                           QStringLiteral("--mirror"), in,     QStringLiteral("-l"),        list};
    }
};

TEST_P(ConvertCliShardTest, TwoConcurrentShardsWriteWhatOneRunWrites) {
    const QStringList sources = makeArchive();
    const QString whole = makeTestFolder(QStringLiteral("whole"));
    const CliResult one =
        runCli(arguments(whole, logs, writeList(QStringLiteral("all.txt"), sources)));
    ASSERT_EQ(one.exitCode, 0) << one.err.toStdString();
    const QMap<QString, QByteArray> expected = treeOf(whole);
    EXPECT_EQ(expected.size(), GetParam().outputsPerRun)
        << expected.keys().join(QLatin1Char(' ')).toStdString();
    EXPECT_TRUE(expected.lastKey().startsWith(QStringLiteral("top")))
        << expected.lastKey().toStdString();
    EXPECT_TRUE(logOf(one).contains(
        QStringLiteral("TargetPath=\"%1\"").arg(QDir(whole).filePath(QStringLiteral("c/d/e")))));

    const qsizetype half = sources.size() / 2;
    const std::array<QStringList, 2> parts = {sources.mid(0, half), sources.mid(half)};
    std::array<QProcess, 2> shards;
    for (size_t i = 0; i < shards.size(); ++i) {
        const QString list = writeList(QStringLiteral("chunk-%1").arg(i), parts[i]);
        shards[i].start(QStringLiteral(PICTAVO_CONVERT_PATH),
                        arguments(out, makeTestFolder(QStringLiteral("shard-logs")), list));
    }
    for (QProcess& shard : shards) {
        ASSERT_TRUE(shard.waitForStarted());
    }
    for (QProcess& shard : shards) {
        ASSERT_TRUE(shard.waitForFinished(120000));
        EXPECT_EQ(shard.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(shard.exitCode(), 0) << shard.readAllStandardError().constData();
    }
    EXPECT_EQ(treeOf(out), expected);
}

TEST_P(ConvertCliShardTest, SkipExistingLeavesConvertedSourcesAndRedoesOneWithAMissingOutput) {
    const QStringList sources = makeArchive();
    const QStringList args = arguments(out, logs, writeList(QStringLiteral("all.txt"), sources)) +
                             QStringList{QStringLiteral("--skip-existing")};
    ASSERT_EQ(runCli(args).exitCode, 0);
    const QMap<QString, QByteArray> converted = treeOf(out);
    ASSERT_EQ(converted.size(), GetParam().outputsPerRun);
    for (const QString& name : converted.keys()) {
        backdate(QDir(out).filePath(name));
    }
    const QString skipped = QStringLiteral("Status=\"Skipped: already converted\"");

    const CliResult again = runCli(args);
    EXPECT_EQ(again.exitCode, 0) << again.err.toStdString();
    EXPECT_EQ(treeOf(out), converted);
    for (const QString& name : converted.keys()) {
        EXPECT_TRUE(isBackdated(QDir(out).filePath(name))) << name.toStdString();
    }
    EXPECT_EQ(logOf(again).count(skipped), sources.size());
    EXPECT_EQ(again.err.count(QStringLiteral(": already converted")), sources.size())
        << again.err.toStdString();
    EXPECT_TRUE(again.out.contains(QStringLiteral("%1 source(s) skipped").arg(sources.size())));

    // The last output of c/dup.tif: a page file, or its one multi-page TIFF.
    QString gone;
    for (const QString& name : converted.keys()) {
        if (name.startsWith(QStringLiteral("c/dup"))) {
            gone = name;
        }
    }
    ASSERT_FALSE(gone.isEmpty());
    ASSERT_TRUE(QFile::remove(QDir(out).filePath(gone)));
    const CliResult redo = runCli(args);
    EXPECT_EQ(redo.exitCode, 0) << redo.err.toStdString();
    EXPECT_EQ(treeOf(out), converted);
    for (const QString& name : converted.keys()) {
        EXPECT_EQ(isBackdated(QDir(out).filePath(name)), !name.startsWith(QStringLiteral("c/dup")))
            << name.toStdString();
    }
    EXPECT_EQ(logOf(redo).count(skipped), sources.size() - 1);
}

INSTANTIATE_TEST_SUITE_P(Shards, ConvertCliShardTest,
                         ::testing::Values(ShardCase{"Jpeg", {}, 10},
                                           ShardCase{"PagePngs",
                                                     {QStringLiteral("-t"), QStringLiteral("png"),
                                                      QStringLiteral("-s"), QStringLiteral("_"),
                                                      QStringLiteral("-z"), QStringLiteral("2")},
                                                     10},
                                           ShardCase{"MultiPageTiff",
                                                     {QStringLiteral("-t"), QStringLiteral("tiff"),
                                                      QStringLiteral("-c"), QStringLiteral("lzw")},
                                                     6}),
                         ByName());

struct OutsideCase {
    const char* name;
    const char* source; // under the input folder; the root is its "arch"
    bool listed;
};

class ConvertCliOutsideRootTest : public ConvertCliTest,
                                  public ::testing::WithParamInterface<OutsideCase> {};

TEST_P(ConvertCliOutsideRootTest, RefusedWithStatusTwoBeforeAnythingIsWritten) {
    const QString inside = makeTiff(QStringLiteral("arch/inside.tif"), 1);
    const QString source = QDir(in).filePath(QString::fromUtf8(GetParam().source));
    if (!GetParam().listed) {
        makeTiff(QString::fromUtf8(GetParam().source), 1);
    }
    QStringList args = {QStringLiteral("-o"),
                        out,
                        QStringLiteral("--log-dir"),
                        QDir(out).filePath(QStringLiteral("logs")),
                        QStringLiteral("--mirror"),
                        QDir(in).filePath(QStringLiteral("arch")),
                        inside};
    if (GetParam().listed) {
        const QString list = QDir(logs).filePath(QStringLiteral("list.txt"));
        ASSERT_TRUE(writeFileBytes(list, source.toUtf8()));
        args += {QStringLiteral("-l"), list};
    } else {
        args += source;
    }
    const CliResult r = runCli(args);
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_TRUE(
        r.err.contains(QStringLiteral("'%1' is not inside the --mirror folder").arg(source)))
        << r.err.toStdString();
    EXPECT_TRUE(
        QDir(out).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden).isEmpty());
}

INSTANTIATE_TEST_SUITE_P(OutsideRoot, ConvertCliOutsideRootTest,
                         ::testing::Values(OutsideCase{"AboveTheRoot", "top.tif", false},
                                           OutsideCase{"SiblingSharingTheRootsName",
                                                       "archive/x.tif", false},
                                           OutsideCase{"ListedAndMissing", "gone.tif", true}),
                         ByName());

// A bilevel page whose header claims 30000 x 30000 pixels over one tiny G4
// strip: refused before any of it is decoded.
bool writeOversizedBilevel(const QString& path) {
    TIFF* tiff = TIFFOpen(QFile::encodeName(path).constData(), "w");
    if (tiff == nullptr) {
        return false;
    }
    constexpr uint32_t kSide = 30000;
    TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, kSide);
    TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, kSide);
    TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, 1);
    TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, 1);
    TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE);
    TIFFSetField(tiff, TIFFTAG_COMPRESSION, COMPRESSION_CCITTFAX4);
    TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, kSide);
    std::array<uint8_t, 8> strip{};
    const bool written = TIFFWriteRawStrip(tiff, 0, strip.data(), strip.size()) > 0;
    TIFFClose(tiff);
    return written;
}

struct OversizedCase {
    const char* name;
    QStringList typeArguments;
};

class ConvertCliOversizedTest : public ConvertCliTest,
                                public ::testing::WithParamInterface<OversizedCase> {};

TEST_P(ConvertCliOversizedTest, PageOverThePixelLimitIsRefusedAndLeavesNoOutput) {
    const QString source = QDir(in).filePath(QStringLiteral("huge.tif"));
    ASSERT_TRUE(writeOversizedBilevel(source));
    const CliResult r = runCli(common() + GetParam().typeArguments + QStringList{source});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains(QStringLiteral("Cannot read page 1 of “huge.tif”: Page 1 is 30000 "
                                              "x 30000 pixels, more than the limit of 536870912 "
                                              "pixels")))
        << r.err.toStdString();
    EXPECT_TRUE(r.out.contains(QStringLiteral("unable able to convert some of the files")))
        << r.out.toStdString();
    EXPECT_TRUE(
        QDir(out).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden).isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    EachOutput, ConvertCliOversizedTest,
    ::testing::Values(OversizedCase{"Jpeg", {QStringLiteral("-t"), QStringLiteral("jpg")}},
                      OversizedCase{"Png", {QStringLiteral("-t"), QStringLiteral("png")}},
                      OversizedCase{"Bmp", {QStringLiteral("-t"), QStringLiteral("bmp")}},
                      OversizedCase{"Gif", {QStringLiteral("-t"), QStringLiteral("gif")}},
                      OversizedCase{"TiffPerPage",
                                    {QStringLiteral("-t"), QStringLiteral("tiff"),
                                     QStringLiteral("--split")}},
                      OversizedCase{"GatheredTiff",
                                    {QStringLiteral("-t"), QStringLiteral("tiff"),
                                     QStringLiteral("-c"), QStringLiteral("g4")}}),
    ByName());

} // namespace
